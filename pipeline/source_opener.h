// SPDX-License-Identifier: Apache-2.0
// Opens the source files of an image's data area ahead of the thread that
// reads them, on a thread of its own: the lookup and examination of each
// file then overlap with the reading of the files before it, on the other
// core.  Files are opened in file table order, relative to their directory,
// which stays open while consecutive files lie in it (the data area keeps a
// directory's files together), so that an open walks and converts only the
// last component of the path.  The files the reader is done with are closed
// on the opener's thread too, while it keeps ahead of the reader.
//
// At most kLookahead files are held open ahead of the reader, and at most
// as many it is done with.  A source the opener could not open is opened
// again by the reader at its turn, by its full path, while nothing is held
// open for the opener: a failure then reads exactly as it would without the
// opener (the same reason, at the same point of the run), and an open that
// failed for want of descriptors gets a fair second try.
//
// The files pass between the two threads through rings of slots, without a
// lock; a thread that has to wait sleeps until a batch is ready, so that
// neither wakes the other for every file.
#ifndef ORVEX_PIPELINE_SOURCE_OPENER_H_
#define ORVEX_PIPELINE_SOURCE_OPENER_H_

#include <array>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string_view>
#include <thread>

#include "platform/file.h"
#include "tree/entries.h"
#include "tree/entry_table.h"

namespace orvex {

class TSourceOpener {
 public:
  static constexpr uint32_t kLookahead = 64;

  // Starts opening the sources of those of the first `count` entries of
  // `files` that carry their own data from a source file (HasOwnData, with a
  // path).  The entries' paths must not change while the opener exists.
  TSourceOpener(const TEntryTable<TFileEntry>& files, int32_t count);
  // Stops the thread, which finishes at most the open in hand, and closes
  // the files that were not taken or not closed yet.
  ~TSourceOpener();
  TSourceOpener(const TSourceOpener&) = delete;
  TSourceOpener& operator=(const TSourceOpener&) = delete;

  // The source of entry `index` opened for reading, as TFile::OpenRead
  // gives it (a file that is not open carries the reason).  Called for the
  // entries the opener opens, in increasing order, each once.
  TFile Take(int32_t index);
  // Closes a file the reader is done with: on the opener's thread while the
  // opener is ahead, here when the reader would wait for it anyway.
  void Close(TFile file);

 private:
  static constexpr uint32_t kBatch = kLookahead / 2;

  void Run();
  TFile Open(const std::u16string& path);
  // Closes the files given back so far; only ever on one thread at a time:
  // the opener's, or the reader's while the opener waits for a failed open
  // to be taken.
  void CloseGivenBack();
  // The reader's wait for opened files: for a batch, or for what there is
  // once the opener waits or is done.
  void WaitForOpened(uint32_t taken);
  // The opener's wait until at most `most` files are held for the reader;
  // false when it is stopped.  A waiting reader is woken first: no more
  // come until it takes some.
  bool WaitForTaking(uint32_t most);
  // Wakes the thread sleeping on `sleeper` (if any) after a change it may
  // wait for.
  void Wake(std::condition_variable& sleeper);

  const TEntryTable<TFileEntry>& files_;
  const int32_t count_;
  TFile directory_;                     // the directory of the last file opened
  std::u16string_view directory_path_;  // its path, up to and with the last '/'

  std::array<TFile, kLookahead> opened_files_;
  std::atomic<uint32_t> opened_{0};  // files opened (or failed) so far
  std::atomic<uint32_t> taken_{0};   // of them taken by the reader
  std::array<TFile, kLookahead> given_files_;
  std::atomic<uint32_t> given_{0};   // files the reader gave back to be closed
  std::atomic<uint32_t> closed_{0};  // of them closed
  std::atomic<bool> done_{false};    // every source is opened
  std::atomic<bool> stop_{false};

  // Only for sleeping: a thread says what it waits for, sets its flag, then
  // looks once more and sleeps; the other, seeing the flag after a change
  // that gives it what it waits for, wakes it.
  std::mutex mutex_;
  std::condition_variable opened_cv_;  // the reader waits here for files
  std::condition_variable taken_cv_;   // the opener waits here for room
  std::atomic<bool> reader_waits_{false};
  std::atomic<bool> opener_waits_{false};
  std::atomic<uint32_t> wanted_{0};     // the count of opened files the reader waits for
  std::atomic<uint32_t> most_held_{0};  // the files held for the reader that the opener waits for

  std::thread thread_;  // last: starts once the rest is ready
};

}  // namespace orvex

#endif  // ORVEX_PIPELINE_SOURCE_OPENER_H_
