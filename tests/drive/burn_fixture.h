// SPDX-License-Identifier: Apache-2.0
// Burning through the component against the virtual burner: a small source
// tree, a job started and its one event waited for, the disc's recorded
// area exported as an image for the peer tools to judge.
#ifndef ORVEX_TESTS_DRIVE_BURN_FIXTURE_H_
#define ORVEX_TESTS_DRIVE_BURN_FIXTURE_H_

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>

#include "drive/drive_fixture.h"
#include "interop/peer_tools.h"

namespace orvex::test {

class BurnTest : public DriveTest {
 protected:
  // How a job ended: whether the call started it, its events, the failure
  // flag of the (first) event, and the error taken afterwards (its number,
  // the system's reason and the drive command it comes from).
  struct TOutcome {
    bool started = false;
    int events = 0;
    bool failed = false;
    uint32_t error = 0;
    int system_error = 0;
    TOrvex::TDriveFailure drive;
  };

  BurnTest();

  // A source folder under the scratch folder with a text file, a file in a
  // subfolder, an empty file and a 300 KB file, the bytes depending on
  // `seed`; returns its path.
  std::string Source(const std::string& name, uint32_t seed = 1);

  // Writes `bytes` as the file `name` under the scratch folder, making its
  // folders; returns its path.
  std::string PutScratch(const std::string& name, const std::string& bytes);

  // Empties the tree and lays out `folder` as the root, with Joliet.
  void Lay(const std::string& folder);

  // Adds /stream.bin, `size` bytes of a memory file whose data callback
  // runs `at(position)` before it delivers each piece: a hook into the
  // moment the producer reaches that part of the image.  Call Prepare after.
  void AddHookedFile(uint64_t size, std::function<void(uint64_t position)> at);

  // Starts a job with `start` and waits (a bounded real time, a hang fails
  // the test) for its event when it started.  `during`, when given, runs
  // once the job runs.
  TOutcome Run(const std::function<bool()>& start, const std::function<void()>& during = {});
  TOutcome Burn(const std::function<void()>& during = {}) {
    return Run([this] { return disc.Burn(); }, during);
  }

  // Verifies the job just burned (VerifyDisc): `failed` is the final
  // event's, `events` counts the files that failed.
  TOutcome VerifyBurn();

  // The commands of a whole job, as Traced gives them.
  std::vector<vb_trace_entry> TracedBurn(TOutcome& outcome) {
    return Traced([&] { outcome = Burn(); });
  }

  // The medium's recorded area (session 0) or one session, as an image file.
  std::string Export(uint32_t session = 0);

  // Judges the image against the tree of `folder`.
  std::string Judge(const std::string& image, const std::string& folder);

  // The commands from the first WRITE(10) on, in a compact form: opcodes
  // in hex, a WRITE as "2a@LBA", a CLOSE TRACK/SESSION as "5b:F/T" with an
  // "i" when immediate, a run of the same poll as "51*N", a failed command
  // with "!".
  static std::string Writing(const std::vector<vb_trace_entry>& trace);
  // The same from the command after the last WRITE(10) on.
  static std::string Closing(const std::vector<vb_trace_entry>& trace);
  // In the same form, only the commands that record on the disc or change
  // it (Records).
  static std::string Recording(const std::vector<vb_trace_entry>& trace);
  // How many commands of `opcode` the trace holds.
  static size_t Sent(const std::vector<vb_trace_entry>& trace, uint8_t opcode);

  vb_address drive_{0, 0, 0};

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  int events_ = 0;
  bool failed_ = false;
  int exports_ = 0;
};

}  // namespace orvex::test

#endif  // ORVEX_TESTS_DRIVE_BURN_FIXTURE_H_
