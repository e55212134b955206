// SPDX-License-Identifier: Apache-2.0
#include "services/smart_references.h"

#include <algorithm>
#include <memory>
#include <utility>

#include "image/component_status.h"
#include "pipeline/job_errors.h"
#include "services/content_digest.h"

namespace orvex {
namespace {

bool IsCandidate(const TFileEntry& e) {
  return (!e.Path.empty() || e.mfcbFunction) && e.FileSize != 0 && e.DirRecord == nullptr;
}

uint32_t Blocks(int64_t size) { return static_cast<uint32_t>(Sectors(static_cast<uint64_t>(size))); }

// Quicksort on the middle element, by size.  Its exact partitioning fixes
// the order among equal sizes; taking the smaller part first only bounds the
// depth, since disjoint parts are sorted alike in any order.
void SortBySize(std::vector<pFileEntry>& a, int64_t left, int64_t right) {
  while (left < right) {
    int64_t i = left, j = right;
    const int64_t pivot = a[static_cast<size_t>((left + right) / 2)]->FileSize;
    do {
      while (a[static_cast<size_t>(i)]->FileSize < pivot) ++i;
      while (a[static_cast<size_t>(j)]->FileSize > pivot) --j;
      if (i <= j) std::swap(a[static_cast<size_t>(i++)], a[static_cast<size_t>(j--)]);
    } while (i <= j);
    if (j - left < right - i) {
      if (left < j) SortBySize(a, left, j);
      left = i;
    } else {
      if (i < right) SortBySize(a, i, right);
      right = j;
    }
  }
}

class TSmartReferenceThread : public TObject {
 public:
  explicit TSmartReferenceThread(TCDFiles& CDFiles_) : CDFiles(CDFiles_) {}

  void Execute();

 private:
  // Fills entry->Hash from the whole content; leaves it empty when the
  // content cannot be read whole, changed since it was added, or the search
  // is aborted.
  void HashCandidate(TFileEntry* entry);
  void Aborting();

  TCDFiles& CDFiles;
  std::unique_ptr<uint8_t[]> buffer_ = std::make_unique<uint8_t[]>(kDigestPieceBytes);
};

void TSmartReferenceThread::Execute() {
  uint64_t saved = 0;
  const TJobControl::TEndGuard end(CDFiles.Job, [&] {
    const TSmartRefGenDoneEvent done = CDFiles.cbGenSmRefEvent;
    // A search that was stopped failed, whether or not its error was read.
    uint32_t error = CDFiles.ErrorNumber;
    if (error == kErrorNone && CDFiles.Job.Failed()) error = kErrorAborted;
    const auto bytes = static_cast<int32_t>(static_cast<uint32_t>(saved));
    ReportCompletion(CDFiles.hWNDFE, done, kMessageSmartReferencesDone, error, bytes,
                     [&] { done(this, error != 0, bytes); });
  });
  const std::vector<pFileEntry> list = SmartReferenceCandidates(CDFiles);
  CDFiles.SmartReferencesProgress = 0;
  const size_t n = list.size();
  for (size_t i = 0; i < n && !CDFiles.Aborted; ++i) {
    TFileEntry* r = list[i];
    if (r->ReferenceEntry != nullptr) continue;
    for (size_t k = i + 1; k < n; ++k) {
      TFileEntry* s = list[k];
      if (s->ReferenceEntry != nullptr) continue;
      if (s->FileSize != r->FileSize) {
        if (k == i + 1) CDFiles.SmartReferencesProgress += Blocks(s->FileSize);
        break;
      }
      if (r->Hash.empty()) HashCandidate(r);
      if (s->Hash.empty()) HashCandidate(s);
      // An empty digest is a file that could not be read: never a match.
      if (!r->Hash.empty() && r->Hash == s->Hash) {
        saved += uint64_t{kSectorSize} * Blocks(s->FileSize);
        CDFiles.ShareData(s, r);
      }
      CDFiles.SmartReferencesProgress += Blocks(s->FileSize);
      if (CDFiles.Aborted) break;
    }
  }
  if (CDFiles.Aborted) Aborting();
  CDFiles.SmartReferencesProgress = CDFiles.SmartReferencesSize.load();
  CDFiles.ComponentStatus = kStatusIdle;
}

void TSmartReferenceThread::Aborting() {
  CDFiles.ComponentStatus = kStatusAborting;
  CDFiles.ErrorNumber = kErrorAborted;
}

void TSmartReferenceThread::HashCandidate(TFileEntry* entry) {
  DigestContent(*entry, this, buffer_.get(), [this](uint32_t bytes) {
    CDFiles.SmartReferencesProgress += Blocks(bytes);
    return !CDFiles.Aborted;
  });
}

}  // namespace

std::vector<pFileEntry> SmartReferenceCandidates(TContentTree& tree) {
  std::vector<pFileEntry> list;
  for (size_t i = 0; i < tree.Files.size(); ++i) {
    TFileEntry* e = tree.Files[i];
    if (IsCandidate(*e)) list.push_back(e);
  }
  if (list.size() > 1) SortBySize(list, 0, static_cast<int64_t>(list.size()) - 1);
  return list;
}

bool StartSmartReferenceJob(TCDFiles& CDFiles) {
  // Begun before the thread starts, so that an abort right after the start
  // is not lost.
  if (!CDFiles.Job.Begin()) return false;
  CDFiles.ComponentStatus = kStatusSmartReferences;
  uint64_t blocks = 0;
  for (size_t i = 0; i < CDFiles.Files.size(); ++i) {
    if (IsCandidate(*CDFiles.Files[i])) blocks += Blocks(CDFiles.Files[i]->FileSize);
  }
  CDFiles.SmartReferencesSize = static_cast<uint32_t>(blocks);
  auto thread = std::make_shared<TSmartReferenceThread>(CDFiles);
  CDFiles.Job.Start([thread] { thread->Execute(); });
  return true;
}

}  // namespace orvex
