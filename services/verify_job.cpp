// SPDX-License-Identifier: Apache-2.0
#include "services/verify_job.h"

#include <algorithm>
#include <atomic>
#include <future>
#include <limits>
#include <memory>
#include <optional>
#include <set>
#include <utility>
#include <vector>

#include "drive/execute_command.h"
#include "drive/read_retry.h"
#include "drive/transfer_rate.h"
#include "image/component_status.h"
#include "services/content_digest.h"
#include "services/disc_tree.h"
#include "services/md5_stream.h"

namespace orvex {
namespace {

constexpr uint32_t kReadBlocks = 32;                  // one READ(10) reads 64 KiB at most
// Files from this size have their source hashed on a thread of its own
// while the disc's blocks are read and hashed; for smaller ones starting
// the thread costs more than it saves.
constexpr int64_t kParallelBytes = 1 << 20;
constexpr char kNoDigest = '-';                       // the digest text of an empty file or an unread extent
constexpr int64_t kAllFilesParameter = 0xFFFFFFFF;    // wParam of the final message
constexpr int64_t kFailedFileParameter = 0xFFFFFFFF;  // lParam of a failed file's message

bool ToVerify(const TFileEntry& e) { return !e.Path.empty() && !e.Imported && e.DirRecord == nullptr; }

uint32_t Blocks(uint64_t bytes) { return static_cast<uint32_t>(Sectors(bytes)); }

// The entry whose source holds a file's content: its own, or for a
// smart-reference duplicate its original's; null for a file without one.
TFileEntry* ContentSource(TFileEntry& e) {
  if (!e.Path.empty()) return &e;
  if (e.ReferenceEntry != nullptr && !e.ReferenceEntry->Path.empty()) return e.ReferenceEntry;
  return nullptr;
}

// What one file of the run is checked for.
struct TTarget {
  // Read and compare; failed as the session lacks it; failed as the
  // session's file is of another size.
  enum TKind { kCompare, kMissing, kOtherSize };
  TKind kind = kCompare;
  TFileEntry* file = nullptr;
  TFileEntry* source = nullptr;  // whose source the disc's data is compared with
  uint64_t block = 0;            // where the data lies on the disc
  std::u16string path;           // in the session (kMissing)
};

enum class TResult { kGood, kDiffers, kUnreadable, kNoSource, kMissing, kStopped };

// What reading a file's blocks from the disc gave.
struct TDiscRead {
  // "-" when a block cannot be read, empty when the run stopped first.
  std::string digest;
  uint64_t counted = 0;     // blocks added to the progress
  TCommandFailure failure;  // the read given up for good, with "-"
};

class TVerifyDiscThread : public TObject {
 public:
  TVerifyDiscThread(TCDFiles& CDFiles_, TSCSIDevice& Device_, std::optional<uint8_t> Session_, bool StopOnMismatch_,
                    bool FireVerifyEventOnAllFiles_, TVerifyDoneEvent OnDone_, TObject* Sender_)
      : CDFiles(CDFiles_),
        Device(Device_),
        Session(Session_),
        StopOnMismatch(StopOnMismatch_),
        FireVerifyEventOnAllFiles(FireVerifyEventOnAllFiles_),
        OnDone(std::move(OnDone_)),
        Sender(Sender_),
        count_(CDFiles_.FileCounter()) {}

  void Execute();

 private:
  // The files of the layout just burned, where it put them.
  std::vector<TTarget> LayoutTargets();
  // The files of the tree as session `*Session` shows them; false when the
  // session has no readable volume.
  bool SessionTargets(std::vector<TTarget>& targets);
  // Whether the last session's tree shows every file where the layout put
  // it, and nothing else.
  bool WrittenSessionFound();
  // The session's tree read, its findings noted.
  TDiscTree ReadSession(uint8_t session);
  // The session's files no entry was matched with are extra.
  void NoteExtra(const TDiscTree& disc, const std::set<std::u16string>& matched);
  TResult Check(const TTarget& target);
  // The source's digest (empty when it cannot be read whole or the run
  // stopped), into `buffer`; sets `failed` when it is empty.
  std::string SourceDigest(TFileEntry& source, uint8_t* buffer, std::atomic<bool>& failed);
  // The digest of `size` bytes from `block` on; stops early once the run
  // stops or `source_failed` is set.
  TDiscRead DiscDigest(uint64_t block, int64_t size, const std::atomic<bool>& source_failed);
  void Note(const TTarget& target, TResult result);
  void Report(int32_t file_id, bool failed);

  TCDFiles& CDFiles;
  TSCSIDevice& Device;
  const std::optional<uint8_t> Session;  // the session to compare with; none: the layout just burned
  const bool StopOnMismatch;
  const bool FireVerifyEventOnAllFiles;
  const TVerifyDoneEvent OnDone;
  TObject* const Sender;
  const int32_t count_;  // the entries when the run began
  bool unreadable_ = false;     // a file's blocks could not be read
  TCommandFailure read_failure_;  // the first read given up for good, the run's failed command
  bool tree_disagrees_ = false;  // the session lacks a file of the tree, or holds one beyond it
  std::unique_ptr<uint8_t[]> buffer_ = std::make_unique<uint8_t[]>(kDigestPieceBytes);
  std::unique_ptr<uint8_t[]> source_buffer_ = std::make_unique<uint8_t[]>(kDigestPieceBytes);
};

void TVerifyDiscThread::Execute() {
  SetCurrentThreadPriority(TThreadPriority::tpLower);
  bool any_failed = false, tree_failed = false;
  const TJobControl::TEndGuard end(CDFiles.Job, [&] {
    // A run that was stopped did not check every file: it did not succeed.
    const bool failed = any_failed || tree_failed || CDFiles.Job.Failed();
    ReportCompletion(CDFiles.hWNDFE, OnDone, kMessageVerifyDone, kAllFilesParameter, failed ? 1 : 0,
                     [&] { OnDone(Sender, Device.SelectedDevice, -1, failed); });
  });
  std::vector<TTarget> targets;
  if (!Session) {
    targets = LayoutTargets();
  } else if (!SessionTargets(targets)) {
    tree_failed = true;
  }
  bool stopped_early = false;
  for (const TTarget& target : targets) {
    if (CDFiles.Aborted) break;
    const TResult result = Check(target);
    if (result == TResult::kStopped) break;
    Note(target, result);
    const bool good = result == TResult::kGood;
    any_failed = any_failed || !good;
    if (!good || FireVerifyEventOnAllFiles) Report(target.file->Index, !good);
    if (!good && StopOnMismatch) {
      stopped_early = true;
      break;
    }
  }
  if (!Session && !stopped_early && !CDFiles.Aborted) tree_failed = !WrittenSessionFound();
  tree_failed = tree_failed || tree_disagrees_;
  if (CDFiles.Aborted) {
    CDFiles.ComponentStatus = kStatusAborting;
    CDFiles.ErrorNumber = kErrorAborted;
  } else if (unreadable_) {
    CDFiles.FailedCommand.Set(read_failure_);
    CDFiles.ErrorNumber = kErrorReadingDisc;
  } else if (tree_failed) {
    CDFiles.ErrorNumber = kErrorWrongSession;
  }
  // What the drive refused on the side (a speed or write parameters asked
  // for while reading) is not the run's outcome; only the sense of a read
  // that failed for good stays pending after error 19.
  if (!unreadable_) Device.DeviceError.exchange(0);
  CDFiles.ComponentStatus = kStatusIdle;
}

std::vector<TTarget> TVerifyDiscThread::LayoutTargets() {
  std::vector<TTarget> targets;
  const uint64_t data = uint64_t{CDFiles.FirstDataSector} + CDFiles.FirstWritableSector;
  for (int32_t i = 0; i < count_; ++i) {
    TFileEntry& entry = *CDFiles.Files[static_cast<size_t>(i)];
    if (ToVerify(entry)) targets.push_back({TTarget::kCompare, &entry, &entry, data + entry.Address, {}});
  }
  return targets;
}

TDiscTree TVerifyDiscThread::ReadSession(uint8_t session) {
  TDiscTree disc = ReadDiscTree(Device, session, CDFiles.Aborted);
  CDFiles.VerifyFindings.Change([&](TVerifyReport& r) {
    r.session = disc.session;
    r.tree_found = disc.report.found;
    r.tree_whole = disc.report.Complete();
  });
  return disc;
}

void TVerifyDiscThread::NoteExtra(const TDiscTree& disc, const std::set<std::u16string>& matched) {
  CDFiles.VerifyFindings.Change([&](TVerifyReport& r) {
    for (const auto& [path, file] : disc.files) {
      if (matched.count(path) != 0) continue;
      r.extra.push_back(path);
      tree_disagrees_ = true;
    }
  });
}

bool TVerifyDiscThread::SessionTargets(std::vector<TTarget>& targets) {
  const TDiscTree disc = ReadSession(*Session);
  if (!disc.report.found) return false;
  std::set<std::u16string> matched;
  uint64_t blocks = 0;
  ForEachDiscPath(CDFiles, disc.report, [&](TFileEntry& e, const std::u16string& path) {
    const auto found = disc.files.find(path);
    TFileEntry* source = ContentSource(e);
    if (found != disc.files.end()) matched.insert(path);
    // An imported file is where the disc had it, or the session is not
    // the one that carried it.
    if (found == disc.files.end() || (e.Imported && e.FileSize != 0 && found->second.extent != e.Address)) {
      targets.push_back({TTarget::kMissing, &e, nullptr, 0, path});
    } else if (found->second.size != e.FileSize) {
      targets.push_back({TTarget::kOtherSize, &e, nullptr, 0, path});
    } else if (!e.Imported && source != nullptr) {
      targets.push_back({TTarget::kCompare, &e, source, found->second.extent, path});
      blocks += Sectors(static_cast<uint64_t>(e.FileSize));
    }
  });
  NoteExtra(disc, matched);
  CDFiles.VerifySize = static_cast<uint32_t>(std::min<uint64_t>(blocks, std::numeric_limits<uint32_t>::max()));
  return true;
}

bool TVerifyDiscThread::WrittenSessionFound() {
  const TDiscTree disc = ReadSession(0);
  if (!disc.report.found) return false;
  const uint32_t data = CDFiles.FirstDataSector + CDFiles.FirstWritableSector;
  std::set<std::u16string> matched;
  std::vector<std::u16string> missing;
  ForEachDiscPath(CDFiles, disc.report, [&](TFileEntry& e, const std::u16string& path) {
    const auto found = disc.files.find(path);
    if (found != disc.files.end()) matched.insert(path);
    const uint32_t extent = e.FileSize == 0 ? 0 : e.Imported ? e.Address : data + e.Address;
    if (found == disc.files.end() || found->second.size != e.FileSize || found->second.extent != extent) {
      missing.push_back(path);
    }
  });
  NoteExtra(disc, matched);
  CDFiles.VerifyFindings.Change([&](TVerifyReport& r) { r.missing = missing; });
  return missing.empty() && matched.size() == disc.files.size();
}

TResult TVerifyDiscThread::Check(const TTarget& target) {
  if (target.kind == TTarget::kMissing) return TResult::kMissing;
  if (target.kind == TTarget::kOtherSize) return TResult::kDiffers;
  TFileEntry& entry = *target.file;
  if (entry.FileSize == 0) {
    entry.Hash.assign(1, kNoDigest);
    return TResult::kGood;
  }
  // The source's bytes and the disc's go through MD5 at the same time, on
  // two threads, where the file is big enough to be worth it.
  std::string source = target.source->Hash;
  std::atomic<bool> source_failed{false};
  std::future<std::string> source_digest;
  if (source.empty() && entry.FileSize >= kParallelBytes) {
    source_digest = std::async(std::launch::async, [&] {
      return SourceDigest(*target.source, source_buffer_.get(), source_failed);
    });
  } else if (source.empty()) {
    source = SourceDigest(*target.source, source_buffer_.get(), source_failed);
  }
  // The disc is not read for a source that could not be read.
  TDiscRead disc;
  if (!source_failed) disc = DiscDigest(target.block, entry.FileSize, source_failed);
  if (source_digest.valid()) source = source_digest.get();
  if (source.empty()) {
    if (CDFiles.Aborted) return TResult::kStopped;
    // A source that cannot be read: its blocks count as done all the same.
    CDFiles.VerifyProgress += Blocks(static_cast<uint64_t>(entry.FileSize)) - disc.counted;
    return TResult::kNoSource;
  }
  if (disc.digest.empty()) return TResult::kStopped;
  if (disc.digest.size() == 1 && disc.digest[0] == kNoDigest) {
    if (!read_failure_.failed) read_failure_ = disc.failure;
    return TResult::kUnreadable;
  }
  return disc.digest == source ? TResult::kGood : TResult::kDiffers;
}

std::string TVerifyDiscThread::SourceDigest(TFileEntry& source, uint8_t* buffer, std::atomic<bool>& failed) {
  std::string digest = DigestContent(source, this, buffer, [this](uint32_t) { return !CDFiles.Aborted; });
  if (digest.empty()) failed = true;
  return digest;
}

TDiscRead TVerifyDiscThread::DiscDigest(uint64_t block, int64_t size, const std::atomic<bool>& source_failed) {
  TMD5Stream md5;
  TDiscRead read;
  uint64_t remaining = static_cast<uint64_t>(size);
  while (remaining > 0) {
    const auto chunk = static_cast<uint32_t>(std::min<uint64_t>(remaining, uint64_t{kReadBlocks} * kSectorSize));
    const auto count = static_cast<uint16_t>(Blocks(chunk));
    // An extent that would run past the last block address cannot be read.
    const bool addressable = block + count - 1 <= std::numeric_limits<uint32_t>::max();
    if (!addressable ||
        !ReadSectorsRetrying(Device, static_cast<uint32_t>(block), count, buffer_.get(), CDFiles.Aborted)) {
      // A read given up because of the abort is no read error.
      if (CDFiles.Aborted) return read;
      if (addressable) read.failure = Device.LastFailure;
      CDFiles.VerifyProgress += Blocks(remaining);
      read.counted += Blocks(remaining);
      read.digest.assign(1, kNoDigest);
      return read;
    }
    block += count;
    md5.Write(buffer_.get(), static_cast<int32_t>(chunk));  // the filler after the file's end is not its data
    CDFiles.VerifyProgress += count;
    read.counted += count;
    remaining -= chunk;
    if (remaining > 0 && (CDFiles.Aborted || source_failed)) return read;
  }
  read.digest = md5.DigestString();
  return read;
}

void TVerifyDiscThread::Note(const TTarget& target, TResult result) {
  const int32_t id = target.file->Index;
  if (result == TResult::kUnreadable) unreadable_ = true;
  CDFiles.VerifyFindings.Change([&](TVerifyReport& r) {
    switch (result) {
      case TResult::kDiffers:
        r.differing.push_back(id);
        break;
      case TResult::kUnreadable:
        r.unreadable.push_back(id);
        break;
      case TResult::kNoSource:
        r.unreadable_sources.push_back(id);
        break;
      case TResult::kMissing:
        r.missing.push_back(target.path);
        tree_disagrees_ = true;
        break;
      default:
        break;
    }
  });
}

void TVerifyDiscThread::Report(int32_t file_id, bool failed) {
  ReportCompletion(CDFiles.hWNDFE, OnDone, kMessageVerifyDone, file_id, failed ? kFailedFileParameter : 0,
                   [&] { OnDone(Sender, Device.SelectedDevice, file_id, failed); });
}

bool Start(TCDFiles& CDFiles, TSCSIDevice& Device, std::optional<uint8_t> Session, bool StopOnMismatch,
           bool FireVerifyEventOnAllFiles, TVerifyDoneEvent OnDone, TObject* Sender) {
  // Begun before the thread starts, so that an abort right after the start
  // is not lost.
  if (!CDFiles.Job.Begin()) return false;
  ResumeCommands(Device);
  CDFiles.ComponentStatus = kStatusVerifying;
  CDFiles.VerifyFindings.Reset();
  ResetSpeedSamples(Device);
  // The total is what this run reads, whether or not a burn ran before; a
  // session's is known once its tree has been read.
  uint64_t blocks = 0;
  for (size_t i = 0; i < CDFiles.Files.size() && !Session; ++i) {
    if (ToVerify(*CDFiles.Files[i])) blocks += Sectors(static_cast<uint64_t>(CDFiles.Files[i]->FileSize));
  }
  CDFiles.VerifySize = static_cast<uint32_t>(std::min<uint64_t>(blocks, std::numeric_limits<uint32_t>::max()));
  CDFiles.VerifyProgress = 0;
  auto thread = std::make_shared<TVerifyDiscThread>(CDFiles, Device, Session, StopOnMismatch,
                                                    FireVerifyEventOnAllFiles, std::move(OnDone), Sender);
  CDFiles.Job.Start([thread] { thread->Execute(); });
  return true;
}

}  // namespace

bool StartVerifyJob(TCDFiles& CDFiles, TSCSIDevice& Device, bool StopOnMismatch,
                    bool FireVerifyEventOnAllFiles, TVerifyDoneEvent OnDone, TObject* Sender) {
  return Start(CDFiles, Device, std::nullopt, StopOnMismatch, FireVerifyEventOnAllFiles, std::move(OnDone), Sender);
}

bool StartSessionVerifyJob(TCDFiles& CDFiles, TSCSIDevice& Device, uint8_t SessionNo, bool StopOnMismatch,
                           bool FireVerifyEventOnAllFiles, TVerifyDoneEvent OnDone, TObject* Sender) {
  return Start(CDFiles, Device, SessionNo, StopOnMismatch, FireVerifyEventOnAllFiles, std::move(OnDone), Sender);
}

}  // namespace orvex
