// SPDX-License-Identifier: Apache-2.0
#include "drive/burn_fixture.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "interop/source_tree.h"
#include "tree/tree_fixture.h"

namespace orvex::test {
namespace {

void Put(const std::string& path, const std::string& bytes) {
  std::filesystem::create_directories(std::filesystem::path(path).parent_path());
  std::ofstream(path, std::ios::binary) << bytes;
}

}  // namespace

BurnTest::BurnTest() {
  disc.SetOnWriteDone([this](TObject*, uint8_t, bool failed) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (events_++ == 0) failed_ = failed;
    changed_.notify_all();
  });
}

BurnTest::TOutcome BurnTest::VerifyBurn() {
  int failed_files = 0;
  disc.SetOnVerifyDone([&](TObject*, uint8_t, int32_t file, bool failed) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (file >= 0) {
      failed_files += failed ? 1 : 0;
      return;
    }
    if (events_++ == 0) failed_ = failed;
    changed_.notify_all();
  });
  TOutcome outcome = Run([this] { return disc.VerifyDisc(false, false); });
  disc.SetOnVerifyDone(nullptr);
  outcome.events = failed_files;
  return outcome;
}

std::string BurnTest::Source(const std::string& name, uint32_t seed) {
  const std::string root = scratch.Path(name);
  Put(root + "/hello.txt", "Hello from session " + std::to_string(seed) + "\n");
  Put(root + "/docs/notes.txt", PatternBytes(5000, seed));
  Put(root + "/empty.txt", "");
  Put(root + "/data/blob.bin", PatternBytes(300 * 1000, seed + 100));
  return root;
}

std::string BurnTest::PutScratch(const std::string& name, const std::string& bytes) {
  const std::string path = scratch.Path(name);
  Put(path, bytes);
  return path;
}

void BurnTest::Lay(const std::string& folder) {
  disc.ClearAll();
  disc.SetJolietFileSystem(true);
  ASSERT_NE(disc.InsertDir("\\", folder, "*", true, false), nullptr);
  ASSERT_GT(disc.Prepare(), 0u);
}

void BurnTest::AddHookedFile(uint64_t size, std::function<void(uint64_t position)> at) {
  const auto deliver = [at = std::move(at)](TObject*, pFileEntry, uint64_t position, void* buffer, uint32_t& count) {
    at(position);
    std::fill_n(static_cast<uint8_t*>(buffer), count, static_cast<uint8_t>(position / 2048));
  };
  ASSERT_NE(disc.InsertMemoryFileW(u"\\", MemoryFile(u"stream.bin", size), deliver), nullptr);
}

BurnTest::TOutcome BurnTest::Run(const std::function<bool()>& start, const std::function<void()>& during) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    events_ = 0;
  }
  TOutcome outcome;
  outcome.started = start();
  if (outcome.started && during) during();
  std::unique_lock<std::mutex> lock(mutex_);
  // A job that started reports; one that did not may have reported already.
  if (outcome.started) {
    EXPECT_TRUE(changed_.wait_for(lock, std::chrono::seconds(120), [this] { return events_ > 0; }))
        << "the job did not end";
  }
  lock.unlock();
  // Wait for the job's threads, then count: a second event would be here now.
  while (disc.JobRunning()) std::this_thread::yield();
  lock.lock();
  outcome.events = events_;
  outcome.failed = failed_;
  lock.unlock();
  const TOrvex::TErrorInfo error = disc.TakeError();
  outcome.error = error.Number;
  outcome.system_error = error.SystemError;
  outcome.drive = error.Drive;
  return outcome;
}

namespace {

std::string Compact(const std::vector<vb_trace_entry>& trace, size_t from) {
  std::string text, last;
  int repeats = 0;
  const auto flush = [&] {
    if (last.empty()) return;
    text += (text.empty() ? "" : " ") + last + (repeats > 1 ? "*" + std::to_string(repeats) : "");
  };
  for (size_t i = from; i < trace.size(); ++i) {
    const vb_trace_entry& e = trace[i];
    char item[48];
    if (e.cdb[0] == 0x2A) {
      std::snprintf(item, sizeof item, "2a@%u", unsigned{e.cdb[2]} << 24 | e.cdb[3] << 16 | e.cdb[4] << 8 | e.cdb[5]);
    } else if (e.cdb[0] == 0x5B) {
      std::snprintf(item, sizeof item, "5b:%u/%u%s", e.cdb[2] & 7u, unsigned{e.cdb[5]}, (e.cdb[1] & 1) ? "i" : "");
    } else {
      std::snprintf(item, sizeof item, "%02x", e.cdb[0]);
    }
    std::string piece = std::string(item) + (e.status == kSrbStatusDone ? "" : "!");
    if (piece == last && (e.cdb[0] == 0x51 || e.cdb[0] == 0x00)) {
      ++repeats;
      continue;
    }
    flush();
    last = piece;
    repeats = 1;
  }
  flush();
  return text;
}

}  // namespace

std::string BurnTest::Writing(const std::vector<vb_trace_entry>& trace) {
  size_t first = 0;
  while (first < trace.size() && trace[first].cdb[0] != 0x2A) ++first;
  return Compact(trace, first);
}

std::string BurnTest::Closing(const std::vector<vb_trace_entry>& trace) {
  size_t last = trace.size();
  while (last > 0 && trace[last - 1].cdb[0] != 0x2A) --last;
  return Compact(trace, last);
}

std::string BurnTest::Recording(const std::vector<vb_trace_entry>& trace) {
  std::vector<vb_trace_entry> recording;
  std::copy_if(trace.begin(), trace.end(), std::back_inserter(recording), Records);
  return Compact(recording, 0);
}

size_t BurnTest::Sent(const std::vector<vb_trace_entry>& trace, uint8_t opcode) {
  return std::count_if(trace.begin(), trace.end(), [opcode](const vb_trace_entry& e) { return e.cdb[0] == opcode; });
}

std::string BurnTest::Export(uint32_t session) {
  const std::string image = scratch.Path("export-" + std::to_string(++exports_) + ".iso");
  EXPECT_EQ(vbtest::Lib().vb_medium_export(medium.c_str(), session, image.c_str()), 0)
      << vbtest::Lib().vb_last_error();
  return image;
}

std::string BurnTest::Judge(const std::string& image, const std::string& folder) {
  const std::string work = scratch.Path("judge-" + std::to_string(++exports_));
  return JudgeImage(image, DiskTreeFacts(folder), work);
}

}  // namespace orvex::test
