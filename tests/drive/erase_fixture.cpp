// SPDX-License-Identifier: Apache-2.0
#include "erase_fixture.h"

#include <algorithm>
#include <chrono>
#include <sstream>
#include <utility>

namespace orvex::test {

void THookedClock::At(uint64_t milliseconds, std::function<void()> hook) {
  slept_ = 0;
  at_ = milliseconds;
  hook_ = std::move(hook);
}

void THookedClock::Sleep(uint32_t milliseconds) {
  modelled_.Sleep(milliseconds);
  slept_ += milliseconds;
  if (hook_ && slept_ >= at_) std::exchange(hook_, nullptr)();
}

EraseTest::~EraseTest() {
  // A job that a failed check left running stops before its clock goes.
  if (disc.JobRunning()) disc.AbortOperation();
  disc.CDFiles.Job.JoinAll();
  SetClock(modelled_);
}

std::string EraseTest::Recorded(const std::string& profile) {
  const std::string image = scratch.Path("volume.iso");
  vbtest::WriteFile(image, vbtest::MinimalIso("erase me"));
  const std::string path = scratch.Path(std::to_string(++media_) + "-" + profile + ".vmed");
  EXPECT_EQ(vbtest::Lib().vb_medium_from_image(path.c_str(), profile.c_str(), image.c_str()), 0)
      << vbtest::Lib().vb_last_error();
  return path;
}

void EraseTest::LoadRecorded(const std::string& profile, const std::string& options) {
  Start("0:0:0," + options + ",medium=" + Recorded(profile));
  ASSERT_TRUE(disc.SelectDevice(0));
}

void EraseTest::InsertRecorded(const std::string& profile) {
  ASSERT_EQ(vbtest::Lib().vb_insert(vb_address{0, 0, 0}, Recorded(profile).c_str()), 0)
      << vbtest::Lib().vb_last_error();
}

TEraseDoneEvent EraseTest::Noting() {
  return [this](TObject* sender, uint8_t device_id, bool failed) {
    ++outcome.events;
    outcome.failed = failed;
    outcome.sender = sender;
    outcome.device_id = device_id;
    outcome.thread = std::this_thread::get_id();
  };
}

void EraseTest::Erase(bool quick, TEraseDoneEvent done) {
  ASSERT_TRUE(StartEraseJob(disc.CDFiles, disc.Device, quick, std::move(done)));
  WaitForEnd(disc);
}

void EraseTest::WaitForEnd(TOrvex& component) {
  const auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(300);
  while (component.JobRunning() && std::chrono::steady_clock::now() < give_up) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  ASSERT_FALSE(component.JobRunning()) << "the erase did not end";
  component.CDFiles.Job.Idle();  // joins the job's thread, which reports before it ends
}

std::string Compact(const std::vector<vb_trace_entry>& trace) {
  std::istringstream tokens(vbtest::Opcodes(trace));
  std::string text, token, last;
  size_t count = 0;
  const auto flush = [&] {
    if (count == 0) return;
    text += (text.empty() ? "" : " ") + last + (count > 1 ? "*" + std::to_string(count) : "");
  };
  while (tokens >> token) {
    if (token != last) {
      flush();
      last = token;
      count = 0;
    }
    ++count;
  }
  flush();
  return text;
}

std::vector<vb_trace_entry> Erasing(const std::vector<vb_trace_entry>& trace) {
  std::vector<vb_trace_entry> erasing;
  const auto page = std::find_if(trace.begin(), trace.end(), [](const vb_trace_entry& e) { return e.cdb[0] == 0x55; });
  for (size_t i = page == trace.end() ? trace.size() : static_cast<size_t>(page - trace.begin()) + 1; i < trace.size(); ++i) {
    const uint8_t op = trace[i].cdb[0];
    if (op != 0x46 && op != 0x5A && op != 0x1E) erasing.push_back(trace[i]);
  }
  return erasing;
}

std::vector<vb_trace_entry> Only(const std::vector<vb_trace_entry>& trace, uint8_t opcode) {
  std::vector<vb_trace_entry> found;
  for (const vb_trace_entry& e : trace) {
    if (e.cdb[0] == opcode) found.push_back(e);
  }
  return found;
}

}  // namespace orvex::test
