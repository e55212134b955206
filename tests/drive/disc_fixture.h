// SPDX-License-Identifier: Apache-2.0
// Discs with data for the disc-service tests, made without a burn job: the
// component builds the image file of its tree, and the image becomes a
// recorded medium (vb_medium_from_image) or is written as a session with
// the burner's own commands.  Jobs run on the component's worker threads
// (the fixture's component has no owner), so their events are collected
// under a lock and waited for.
#ifndef ORVEX_TESTS_DRIVE_DISC_FIXTURE_H_
#define ORVEX_TESTS_DRIVE_DISC_FIXTURE_H_

#include <chrono>
#include <fstream>
#include <iterator>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "drive_fixture.h"
#include "services/verify_job.h"

namespace orvex::test {

using TVerifyEvent = std::pair<int32_t, bool>;  // FileId, Failed

class DiscTest : public DriveTest {
 protected:
  // Returns once `done()` holds (it is asked under the events' lock), or
  // fails after 60 s.
  template <class Done>
  void WaitFor(Done done) {
    const auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    for (;;) {
      {
        std::lock_guard<std::mutex> lock(mutex_);
        if (done()) return;
      }
      ASSERT_LT(std::chrono::steady_clock::now(), give_up) << "timed out";
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
  }

  // A source file of `size` bytes, byte i = i * 7 + seed.
  std::string Source(const std::string& name, size_t size, uint8_t seed = 0) {
    std::string bytes(size, '\0');
    for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>(i * 7 + seed);
    const std::string path = scratch.Path(name);
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
  }

  pFileEntry Insert(const std::string& name, size_t size, uint8_t seed = 0, const std::string& dest = "\\") {
    return disc.InsertFile(dest, Source(name, size, seed));
  }

  // Prepares the tree and builds its image file `name` (starting at
  // FirstWritableSector as the tree's addresses say); the image's path.
  std::string BuildImage(const std::string& name) {
    const std::string path = scratch.Path(name);
    int done = 0;
    bool failed = true;
    disc.SetOnWriteDone([&](TObject*, uint8_t, bool write_failed) {
      std::lock_guard<std::mutex> lock(mutex_);
      failed = write_failed;
      ++done;
    });
    EXPECT_GT(disc.Prepare(), 0u);
    EXPECT_TRUE(disc.BuildISOImage(path));
    WaitFor([&] { return done == 1; });
    EXPECT_FALSE(failed);
    disc.SetOnWriteDone(nullptr);
    return path;
  }

  // Drive 0:0:0 holding `image` as one closed session of a `profile` disc.
  void LoadImage(const std::string& image, const std::string& profile = "dvd+r") {
    medium = scratch.Path("from-image-" + std::to_string(++images_) + ".vmed");
    ASSERT_EQ(vbtest::Lib().vb_medium_from_image(medium.c_str(), profile.c_str(), image.c_str()), 0)
        << vbtest::Lib().vb_last_error();
    Start("0:0:0,class=bd-writer,medium=" + medium);
    ASSERT_TRUE(disc.SelectDevice(0));
  }

  // Writes `image` as track `track` from the disc's next writable address
  // and, when `close`, closes the track and the session (the disc stays
  // appendable); else the session stays incomplete, as an interrupted burn
  // leaves it.
  void RecordSession(const std::string& image, uint8_t track, bool close = true) {
    std::ifstream in(image, std::ios::binary);
    const vbtest::Bytes bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    ASSERT_EQ(bytes.size() % (32 * 2048), 0u);
    vbtest::Drive drive;
    const uint32_t start = drive.NextWritable(track);
    for (size_t at = 0; at < bytes.size(); at += 32 * 2048) {
      const vbtest::Result r = drive.Write(start + static_cast<uint32_t>(at / 2048), vbtest::Slice(bytes, at, 32 * 2048));
      ASSERT_TRUE(r.ok()) << vbtest::SenseText(r);
    }
    if (!close) return;
    ASSERT_TRUE(drive.Close(1, track).ok());
    ASSERT_TRUE(drive.Close(2, 0).ok());
  }

  // Writes the image of the tree as track `track`, where the tree's
  // FirstWritableSector says the disc's next writable address is.
  void Record(const std::string& image_name, uint8_t track, bool close = true) {
    const std::string image = BuildImage(image_name);
    ASSERT_EQ(vbtest::Drive().NextWritable(track), disc.CDFiles.FirstWritableSector);
    RecordSession(image, track, close);
  }

  // The entry of the tree whose long name is `name`; null when none is.
  pFileEntry Named(const std::u16string& name) {
    for (size_t i = 0; i < disc.CDFiles.Files.size(); ++i) {
      if (disc.CDFiles.Files[i]->LongName == name) return disc.CDFiles.Files[i];
    }
    return nullptr;
  }

  // The first block of an inserted file's data on the disc.
  uint32_t DiscBlock(const TFileEntry& e) const {
    return e.Address + disc.CDFiles.FirstDataSector + disc.CDFiles.FirstWritableSector;
  }

  struct TVerifyRun {
    std::vector<TVerifyEvent> events;  // the final one (FileId -1) last
    bool ended = false;
  };

  // Starts verification with a handler that collects its events into `run`
  // (which must outlive the job), checking that each comes from the
  // component's drive and none after the final one.
  bool StartVerify(bool stop_on_mismatch, bool all_files, TVerifyRun& run,
                   std::optional<uint8_t> session = std::nullopt) {
    TVerifyDoneEvent collect = [this, &run](TObject* sender, uint8_t device, int32_t file, bool failed) {
      std::lock_guard<std::mutex> lock(mutex_);
      EXPECT_EQ(sender, &disc);
      EXPECT_EQ(device, 0);
      EXPECT_FALSE(run.ended) << "an event after the final one";
      run.events.emplace_back(file, failed);
      run.ended = file == -1;
    };
    if (session) {
      return StartSessionVerifyJob(disc.CDFiles, disc.Device, *session, stop_on_mismatch, all_files,
                                   std::move(collect), &disc);
    }
    return StartVerifyJob(disc.CDFiles, disc.Device, stop_on_mismatch, all_files, std::move(collect), &disc);
  }

  // Runs verification to its end (of session `session` when given, else
  // of the layout just written); the events it fired.
  std::vector<TVerifyEvent> Verify(bool stop_on_mismatch = false, bool all_files = true,
                                   std::optional<uint8_t> session = std::nullopt) {
    TVerifyRun run;
    const bool started = StartVerify(stop_on_mismatch, all_files, run, session);
    EXPECT_TRUE(started);
    if (started) WaitFor([&] { return run.ended; });
    EXPECT_EQ(disc.ComponentStatus(), 0);
    return run.events;
  }

  std::mutex mutex_;  // guards what the workers' events write

 private:
  int images_ = 0;
};

// The READ(10) commands of a trace: (first block, blocks).
inline std::vector<std::pair<uint32_t, uint16_t>> Reads(const std::vector<vb_trace_entry>& trace) {
  std::vector<std::pair<uint32_t, uint16_t>> reads;
  for (const vb_trace_entry& e : trace) {
    if (e.cdb[0] != 0x28) continue;
    reads.emplace_back(uint32_t{e.cdb[2]} << 24 | uint32_t{e.cdb[3]} << 16 | uint32_t{e.cdb[4]} << 8 | e.cdb[5],
                       static_cast<uint16_t>(e.cdb[7] << 8 | e.cdb[8]));
  }
  return reads;
}

}  // namespace orvex::test

#endif  // ORVEX_TESTS_DRIVE_DISC_FIXTURE_H_
