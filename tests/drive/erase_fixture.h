// SPDX-License-Identifier: Apache-2.0
// The erase job's tests: a disc of any profile that holds a small volume
// from block 0, the job run on the component's records until it ends, a
// clock that can step in at a chosen moment of modelled time, and the
// burner's trace summed up.
#ifndef ORVEX_TESTS_DRIVE_ERASE_FIXTURE_H_
#define ORVEX_TESTS_DRIVE_ERASE_FIXTURE_H_

#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "drive_fixture.h"
#include "services/erase_job.h"

namespace orvex::test {

// The modelled clock, with a hook that runs once, on the sleeping thread,
// when the sleeps since At() add up to `milliseconds`.  Set it before the
// job starts.
class THookedClock final : public TClock {
 public:
  void At(uint64_t milliseconds, std::function<void()> hook);
  void Sleep(uint32_t milliseconds) override;
  uint64_t TickCount() override { return modelled_.TickCount(); }
  uint64_t PerformanceCounter() override { return modelled_.PerformanceCounter(); }
  uint64_t PerformanceFrequency() override { return modelled_.PerformanceFrequency(); }
  SYSTEMTIME UtcNow() override { return modelled_.UtcNow(); }

 private:
  TModelledClock modelled_;
  uint64_t slept_ = 0, at_ = 0;
  std::function<void()> hook_;
};

// What the erase-done events said.
struct TEraseOutcome {
  int events = 0;
  bool failed = false;
  TObject* sender = nullptr;
  uint8_t device_id = 0xFF;
  std::thread::id thread;
};

class EraseTest : public DriveTest {
 protected:
  EraseTest() { modelled_ = SetClock(&clock); }
  ~EraseTest() override;

  // Drive 0:0:0 of `options` holding a `profile` disc recorded with a small
  // ISO 9660 volume from block 0 (one closed session where the medium has
  // sessions), selected.
  void LoadRecorded(const std::string& profile, const std::string& options = "class=bd-writer");
  // Puts such a disc into drive 0:0:0 instead of the one it holds.
  void InsertRecorded(const std::string& profile);

  // A handler that notes each event in `outcome`.
  TEraseDoneEvent Noting();

  // Erases with the component's records and returns once the job has
  // ended; a direct event has then run.
  void Erase(bool quick, TEraseDoneEvent done);
  static void WaitForEnd(TOrvex& component);

  // The drive's answer to READ DISC INFORMATION, and one block.
  static vbtest::Result DiscInformation() { return vbtest::Drive().DiscInfo(); }
  static vbtest::Result Block(uint32_t lba) { return vbtest::Drive().Read(lba, 1); }

  THookedClock clock;
  TEraseOutcome outcome;

 private:
  // A new medium file of `profile` holding the volume.
  std::string Recorded(const std::string& profile);

  TClock* modelled_ = nullptr;
  int media_ = 0;
};

// The opcodes of a trace, a failed command marked "!", each run of the same
// token written once with its count: "46 bb a1 51!*11 51".
std::string Compact(const std::vector<vb_trace_entry>& trace);

// The commands after the preamble that ends with the write parameters (the
// profile checked against the disc information, the speed, the page: "46 51
// bb 5a 55"), less the capability queries (46, 5a) that
// WriteSectors makes while its transfer figures are still empty, and less
// the medium's lock and unlock (1e; UnguardedRecording judges those).
std::vector<vb_trace_entry> Erasing(const std::vector<vb_trace_entry>& trace);

// The commands of `trace` with this opcode.
std::vector<vb_trace_entry> Only(const std::vector<vb_trace_entry>& trace, uint8_t opcode);

}  // namespace orvex::test

#endif  // ORVEX_TESTS_DRIVE_ERASE_FIXTURE_H_
