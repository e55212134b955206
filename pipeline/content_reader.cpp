// SPDX-License-Identifier: Apache-2.0
#include "pipeline/content_reader.h"

#include "platform/text_conversion.h"

namespace orvex {
namespace {

bool SameTime(const FILETIME& a, const FILETIME& b) {
  return a.dwLowDateTime == b.dwLowDateTime && a.dwHighDateTime == b.dwHighDateTime;
}

}  // namespace

bool TContentReader::Open(TFileEntry& entry, TObject* sender) {
  return Open(entry, sender, entry.Path.empty() ? TFile() : TFile::OpenRead(Utf16ToUtf8(entry.Path)));
}

bool TContentReader::Open(TFileEntry& entry, TObject* sender, TFile source) {
  entry_ = &entry;
  sender_ = sender;
  from_callback_ = entry.Path.empty();
  if (from_callback_) {
    name_ = entry.LongName;
    // A memory file without data cannot give any.
    return entry.mfcbFunction || Fail(kErrorReading, 0);
  }
  name_ = entry.Path;
  file_ = std::move(source);
  if (!file_.IsOpen()) return Fail(kErrorOpening, file_.LastError());
  opened_ = file_.OpenedState();
  changed_at_open_ = !opened_ || opened_->size != static_cast<uint64_t>(entry.FileSize) ||
                     !SameTime(opened_->write_time, entry.WriteTime);
  return true;
}

bool TContentReader::Open(const std::string& path) {
  owned_name_ = Utf8ToUtf16(path);
  name_ = owned_name_;
  file_ = TFile::OpenRead(path);
  if (!file_.IsOpen()) return Fail(kErrorOpening, file_.LastError());
  opened_ = file_.OpenedState();
  return true;
}

bool TContentReader::Read(uint8_t* buffer, uint32_t count) {
  uint32_t got = count;
  if (from_callback_) {
    entry_->mfcbFunction(sender_, entry_, position_, buffer, got);
  } else {
    const int64_t n = file_.Read(buffer, count);
    if (n < 0) return Fail(kErrorReading, file_.LastError());
    got = static_cast<uint32_t>(n);
  }
  // Shorter than recorded: the image would hold something else than the file.
  if (got < count) return Fail(kErrorReading, 0);
  position_ += count;
  ++reads_;
  return true;
}

std::shared_ptr<TCopySource> TContentReader::HandOver(uint64_t size) {
  if (from_callback_ || !opened_ || !opened_->regular || changed_at_open_ || reads_ != 0) {
    return nullptr;
  }
  auto source = std::make_shared<TCopySource>();
  source->File = std::move(file_);
  source->Name = std::u16string(name_);
  source->Size = size;
  return source;
}

bool TContentReader::Changed() const {
  if (from_callback_ || !opened_) return false;
  if (changed_at_open_) return true;
  if (reads_ <= 1) return false;
  const std::optional<TFileState> now = file_.State();
  return !now || now->size != opened_->size || !SameTime(now->write_time, opened_->write_time);
}

bool TContentReader::Fail(uint32_t error, int system_error) {
  failure_ = {error, std::u16string(name_), system_error};
  return false;
}

}  // namespace orvex
