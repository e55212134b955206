// SPDX-License-Identifier: Apache-2.0
// What a verification found besides its events: which files could not be
// read rather than differed, and how the disc's file tree and the content
// tree disagree.  Written by the verify thread, read by the component's
// thread once the run's final event has come.
#ifndef ORVEX_PIPELINE_VERIFY_REPORT_H_
#define ORVEX_PIPELINE_VERIFY_REPORT_H_

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

namespace orvex {

struct TVerifyReport {
  int32_t session = 0;       // the session whose file tree was read (0: none, or not yet)
  bool tree_found = false;   // a volume was found in it
  bool tree_whole = false;   // and every part of its tree could be read
  std::vector<int32_t> differing;           // FileIds whose data on the disc is not their source's
  std::vector<int32_t> unreadable;          // FileIds whose data could not be read from the disc
  std::vector<int32_t> unreadable_sources;  // FileIds whose source could not be read
  std::vector<std::u16string> missing;      // paths of the tree the session does not hold (there)
  std::vector<std::u16string> extra;        // paths of the session's files the tree does not hold
};

// The report shared between the verify thread and the component.
class TSharedVerifyReport {
 public:
  void Reset() { Change([](TVerifyReport& r) { r = TVerifyReport{}; }); }
  template <class Edit>
  void Change(Edit edit) {
    std::lock_guard<std::mutex> lock(mutex_);
    edit(report_);
  }
  TVerifyReport Get() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return report_;
  }

 private:
  mutable std::mutex mutex_;
  TVerifyReport report_;
};

}  // namespace orvex

#endif  // ORVEX_PIPELINE_VERIFY_REPORT_H_
