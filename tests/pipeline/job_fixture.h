// SPDX-License-Identifier: Apache-2.0
// Shared set-up of the job tests: a component with an owner, so that
// completion events arrive through its queue, and a wait for them.
#ifndef ORVEX_TESTS_PIPELINE_JOB_FIXTURE_H_
#define ORVEX_TESTS_PIPELINE_JOB_FIXTURE_H_

#include <gtest/gtest.h>
#include <poll.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include "component/orvex.h"
#include "support/temp_dir.h"

namespace orvex::test {

class Owner : public TComponent {
 public:
  Owner() : TComponent(nullptr) {}
};

struct WriteOutcome {
  int events = 0;
  bool failed = false;
  TObject* sender = nullptr;
};

class JobTest : public ::testing::Test {
 protected:
  JobTest() : disc(&owner) {
    disc.ClearAll();
    disc.SetOnWriteDone([this](TObject* sender, uint8_t, bool failed) {
      ++write.events;
      write.failed = failed;
      write.sender = sender;
    });
    disc.SetOnGenerateSmartReferencesDone([this](TObject*, bool failed, int32_t saved) {
      ++refs_events;
      refs_failed = failed;
      refs_saved = saved;
    });
  }

  // Runs the owner's side until `done` holds (or 120 s pass).
  template <class Done>
  void WaitFor(Done done) {
    const auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(120);
    while (!done() && std::chrono::steady_clock::now() < give_up) {
      pollfd p{disc.NotificationHandle(), POLLIN, 0};
      poll(&p, 1, 50);
      disc.ProcessMessages();
    }
    ASSERT_TRUE(done()) << "timed out";
  }
  void WaitForWrite() { WaitFor([this] { return write.events > 0 && !disc.JobRunning(); }); }
  void WaitForRefs() { WaitFor([this] { return refs_events > 0 && !disc.JobRunning(); }); }

  pFileEntry AddMemory(const std::u16string& name, uint64_t size, TGetDataEvent data) {
    WIN32_FIND_DATAW fd;
    fd.dwFileAttributes = FILE_ATTRIBUTE_NORMAL;
    SetFindName(fd, name);
    SetFindFileSize(fd, size);
    return disc.InsertMemoryFileW(u"\\", fd, std::move(data));
  }

  Owner owner;
  TOrvex disc;
  TempDir dir;
  WriteOutcome write;
  int refs_events = 0;
  bool refs_failed = false;
  int32_t refs_saved = 0;
};

// The process's open file descriptors, counted.
inline int OpenDescriptors() {
  int count = 0;
  for ([[maybe_unused]] const auto& fd : std::filesystem::directory_iterator("/proc/self/fd")) ++count;
  return count;
}

// A data callback filling each byte with its position's low byte plus `seed`.
inline TGetDataEvent Counting(uint8_t seed) {
  return [seed](TObject*, pFileEntry, uint64_t position, void* buffer, uint32_t& size) {
    auto* out = static_cast<uint8_t*>(buffer);
    for (uint32_t i = 0; i < size; ++i) out[i] = static_cast<uint8_t>(position + i + seed);
  };
}

}  // namespace orvex::test

#endif  // ORVEX_TESTS_PIPELINE_JOB_FIXTURE_H_
