#include "drive/burn_fixture.h"

#include <filesystem>
#include <fstream>

#include "interop/source_tree.h"

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

std::string BurnTest::Source(const std::string& name, uint32_t seed) {
  const std::string root = scratch.Path(name);
  Put(root + "/hello.txt", "Hello from session " + std::to_string(seed) + "\n");
  Put(root + "/docs/notes.txt", PatternBytes(5000, seed));
  Put(root + "/empty.txt", "");
  Put(root + "/data/blob.bin", PatternBytes(300 * 1000, seed + 100));
  return root;
}

void BurnTest::Lay(const std::string& folder) {
  disc.ClearAll();
  disc.SetJolietFileSystem(true);
  ASSERT_NE(disc.InsertDir("\\", folder, "*", true, false), nullptr);
  ASSERT_GT(disc.Prepare(), 0u);
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
  outcome.error = disc.ErrorNumber();
  return outcome;
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
