#include "services/verify_job.h"

#include <algorithm>
#include <limits>
#include <memory>
#include <utility>

#include "drive/execute_command.h"
#include "drive/transfer_rate.h"
#include "image/component_status.h"
#include "services/content_digest.h"
#include "services/md5_stream.h"

namespace orvex {
namespace {

constexpr uint32_t kReadBlocks = 32;                  // one READ(10) reads 64 KiB at most
constexpr char kNoDigest = '-';                       // the digest text of an empty file or an unread extent
constexpr int64_t kAllFilesParameter = 0xFFFFFFFF;    // wParam of the final message
constexpr int64_t kFailedFileParameter = 0xFFFFFFFF;  // lParam of a failed file's message

bool ToVerify(const TFileEntry& e) { return !e.Path.empty() && !e.Imported && e.DirRecord == nullptr; }

uint32_t Blocks(uint64_t bytes) { return static_cast<uint32_t>(Sectors(bytes)); }

class TVerifyDiscThread : public TObject {
 public:
  TVerifyDiscThread(TCDFiles& CDFiles_, TSCSIDevice& Device_, bool StopOnMismatch_,
                    bool FireVerifyEventOnAllFiles_, TVerifyDoneEvent OnDone_, TObject* Sender_)
      : CDFiles(CDFiles_),
        Device(Device_),
        StopOnMismatch(StopOnMismatch_),
        FireVerifyEventOnAllFiles(FireVerifyEventOnAllFiles_),
        OnDone(std::move(OnDone_)),
        Sender(Sender_),
        count_(CDFiles_.FileCounter()) {}

  void Execute();

 private:
  // Whether the file is good; false too when the run stopped before it was
  // checked whole.
  bool VerifyFile(TFileEntry& entry);
  // The digest of the file's extent on the disc: "-" when a block cannot be
  // read, empty when the run stopped first.
  std::string DiscDigest(const TFileEntry& entry);
  void Report(int32_t file_id, bool failed);

  TCDFiles& CDFiles;
  TSCSIDevice& Device;
  const bool StopOnMismatch;
  const bool FireVerifyEventOnAllFiles;
  const TVerifyDoneEvent OnDone;
  TObject* const Sender;
  const int32_t count_;  // the entries when the run began
  std::unique_ptr<uint8_t[]> buffer_ = std::make_unique<uint8_t[]>(kDigestPieceBytes);
};

void TVerifyDiscThread::Execute() {
  SetCurrentThreadPriority(TThreadPriority::tpLower);
  bool any_failed = false;
  const TJobControl::TEndGuard end(CDFiles.Job, [&] {
    // A run that was stopped did not check every file: it did not succeed.
    const bool failed = any_failed || CDFiles.Job.Failed();
    ReportCompletion(CDFiles.hWNDFE, OnDone, kMessageVerifyDone, kAllFilesParameter, failed ? 1 : 0,
                     [&] { OnDone(Sender, Device.SelectedDevice, -1, failed); });
  });
  for (int32_t i = 0; i < count_ && !CDFiles.Aborted; ++i) {
    TFileEntry& entry = *CDFiles.Files[static_cast<size_t>(i)];
    if (!ToVerify(entry)) continue;
    const bool good = VerifyFile(entry);
    any_failed = any_failed || !good;
    if (!good || FireVerifyEventOnAllFiles) Report(i, !good);
    if (!good && StopOnMismatch) break;
  }
  if (CDFiles.Aborted) {
    CDFiles.ComponentStatus = kStatusAborting;
    CDFiles.ErrorNumber = kErrorAborted;
  }
  CDFiles.ComponentStatus = kStatusIdle;
}

bool TVerifyDiscThread::VerifyFile(TFileEntry& entry) {
  if (entry.FileSize == 0) {
    entry.Hash.assign(1, kNoDigest);
    return true;
  }
  std::string source = entry.Hash;
  if (source.empty()) {
    source = DigestContent(entry, this, buffer_.get(), [this](uint32_t) { return !CDFiles.Aborted; });
  }
  if (source.empty()) {
    // A source that cannot be read: its blocks count as done all the same.
    if (!CDFiles.Aborted) CDFiles.VerifyProgress += Blocks(static_cast<uint64_t>(entry.FileSize));
    return false;
  }
  const std::string disc = DiscDigest(entry);
  return !disc.empty() && disc == source;
}

std::string TVerifyDiscThread::DiscDigest(const TFileEntry& entry) {
  TMD5Stream md5;
  uint64_t block = uint64_t{entry.Address} + CDFiles.FirstDataSector + CDFiles.FirstWritableSector;
  uint64_t remaining = static_cast<uint64_t>(entry.FileSize);
  while (remaining > 0) {
    const auto chunk = static_cast<uint32_t>(std::min<uint64_t>(remaining, uint64_t{kReadBlocks} * kSectorSize));
    const auto count = static_cast<uint16_t>(Blocks(chunk));
    // An extent that would run past the last block address cannot be read.
    const bool addressable = block + count - 1 <= std::numeric_limits<uint32_t>::max();
    if (!addressable || !ReadSectors(Device, static_cast<uint32_t>(block), count, buffer_.get())) {
      CDFiles.VerifyProgress += Blocks(remaining);
      return std::string(1, kNoDigest);
    }
    block += count;
    md5.Write(buffer_.get(), static_cast<int32_t>(chunk));  // the filler after the file's end is not its data
    CDFiles.VerifyProgress += count;
    remaining -= chunk;
    if (remaining > 0 && CDFiles.Aborted) return {};
  }
  return md5.DigestString();
}

void TVerifyDiscThread::Report(int32_t file_id, bool failed) {
  ReportCompletion(CDFiles.hWNDFE, OnDone, kMessageVerifyDone, file_id, failed ? kFailedFileParameter : 0,
                   [&] { OnDone(Sender, Device.SelectedDevice, file_id, failed); });
}

}  // namespace

bool StartVerifyJob(TCDFiles& CDFiles, TSCSIDevice& Device, bool StopOnMismatch,
                    bool FireVerifyEventOnAllFiles, TVerifyDoneEvent OnDone, TObject* Sender) {
  // Begun before the thread starts, so that an abort right after the start
  // is not lost.
  if (!CDFiles.Job.Begin()) return false;
  ResumeCommands(Device);
  CDFiles.ComponentStatus = kStatusVerifying;
  ResetSpeedSamples(Device);
  // The total is what this run reads, whether or not a burn ran before.
  uint64_t blocks = 0;
  for (size_t i = 0; i < CDFiles.Files.size(); ++i) {
    if (ToVerify(*CDFiles.Files[i])) blocks += Sectors(static_cast<uint64_t>(CDFiles.Files[i]->FileSize));
  }
  CDFiles.VerifySize = static_cast<uint32_t>(std::min<uint64_t>(blocks, std::numeric_limits<uint32_t>::max()));
  CDFiles.VerifyProgress = 0;
  auto thread = std::make_shared<TVerifyDiscThread>(CDFiles, Device, StopOnMismatch, FireVerifyEventOnAllFiles,
                                                    std::move(OnDone), Sender);
  CDFiles.Job.Start([thread] { thread->Execute(); });
  return true;
}

}  // namespace orvex
