// SPDX-License-Identifier: Apache-2.0
// Reads the content of one entry from its start, piece by piece: its source
// file, or the data callback of a memory file.  The cache thread, smart
// references and verification all read content through here, so they agree
// on what a source holds.
//
// The rules: a source that cannot be opened is error 2; one that cannot be
// read, that ends before the size the entry recorded, or a callback that
// delivers less than asked, is error 5.  The failure names the source (its
// path, or a memory file's long name) and carries the system's reason.
// Positions are 64-bit, so files of 4 GiB and more read in full.
#ifndef ORVEX_PIPELINE_CONTENT_READER_H_
#define ORVEX_PIPELINE_CONTENT_READER_H_

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "pipeline/copy_source.h"
#include "pipeline/job_errors.h"
#include "platform/file.h"
#include "tree/entries.h"

namespace orvex {

class TObject;

class TContentReader {
 public:
  // The content of `entry`; `sender` is what its callback is told.
  bool Open(TFileEntry& entry, TObject* sender);
  // The same with the entry's source file opened already, as
  // TFile::OpenRead gives it (one that is not open carries the reason).
  bool Open(TFileEntry& entry, TObject* sender, TFile source);
  // A file that belongs to no entry (the boot image).
  bool Open(const std::string& path);

  // The next `count` bytes into `buffer`; `count` never goes past the
  // recorded size.
  bool Read(uint8_t* buffer, uint32_t count);

  // Whether the source file differs from what was recorded when it was
  // added (size or modification time), or changed while it was read in
  // several pieces (a file read at one go cannot be seen to change in
  // between).  Memory files never change.
  bool Changed() const;

  // Hands the opened source over to be copied as a whole (`size` bytes)
  // instead of read here: only a regular source file, unchanged since it
  // was added, of which nothing was read yet.  Null, keeping it, otherwise.
  std::shared_ptr<TCopySource> HandOver(uint64_t size);

  // Gives up the source file (a closed one for a memory file), so that it
  // can be closed elsewhere; nothing can be read after.
  TFile Release() { return std::move(file_); }

  // The size of the regular file opened by path; none for anything else.
  std::optional<uint64_t> OpenedFileSize() const {
    if (!opened_ || !opened_->regular) return std::nullopt;
    return opened_->size;
  }

  uint64_t Position() const { return position_; }
  const TJobFailure& Failure() const { return failure_; }

 private:
  bool Fail(uint32_t error, int system_error);

  TFileEntry* entry_ = nullptr;
  TObject* sender_ = nullptr;
  bool from_callback_ = false;
  TFile file_;
  std::optional<TFileState> opened_;  // the file as it was at the open
  bool changed_at_open_ = false;
  std::u16string_view name_;  // the entry's path or long name, or owned_name_
  std::u16string owned_name_;
  uint64_t position_ = 0;
  uint32_t reads_ = 0;
  TJobFailure failure_;
};

}  // namespace orvex

#endif  // ORVEX_PIPELINE_CONTENT_READER_H_
