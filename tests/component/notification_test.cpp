// SPDX-License-Identifier: Apache-2.0
#include <gtest/gtest.h>
#include <poll.h>

#include <thread>
#include <vector>

#include "component/orvex.h"

namespace orvex {
namespace {

class Owner : public TComponent {
 public:
  Owner() : TComponent(nullptr) {}
};

TEST(Notifications, RecordsFromWorkersArriveInOrderOnTheOwnersThread) {
  Owner owner;
  TOrvex disc(&owner);
  ASSERT_GE(disc.NotificationHandle(), 0);
  ASSERT_EQ(disc.CDFiles.hWNDFE, disc.Device.hWNDFE);

  const std::thread::id owner_thread = std::this_thread::get_id();
  std::vector<std::pair<int32_t, bool>> verified;
  disc.SetOnVerifyDone([&](TObject* sender, uint8_t device, int32_t file, bool failed) {
    EXPECT_EQ(sender, &disc);
    EXPECT_EQ(device, 0);
    EXPECT_EQ(std::this_thread::get_id(), owner_thread);
    verified.emplace_back(file, failed);
  });
  std::thread worker([&] {
    for (int i = 0; i < 500; ++i) disc.CDFiles.hWNDFE->Post(kMessageVerifyDone, i, i % 2);
    disc.CDFiles.hWNDFE->Post(kMessageVerifyDone, -1, -1);
  });
  worker.join();

  pollfd p{disc.NotificationHandle(), POLLIN, 0};
  ASSERT_EQ(poll(&p, 1, 1000), 1);
  EXPECT_EQ(disc.ProcessMessages(), 501u);
  ASSERT_EQ(verified.size(), 501u);
  for (int i = 0; i < 500; ++i) EXPECT_EQ(verified[i], std::make_pair(i, i % 2 == 1));
  EXPECT_EQ(verified.back(), std::make_pair(-1, true));  // -1 arrives as true
  EXPECT_EQ(poll(&p, 1, 0), 0);
}

TEST(Notifications, EveryMessageBecomesItsEvent) {
  Owner owner;
  TOrvex disc(&owner);
  std::vector<std::string> log;
  disc.SetOnEraseDone([&](TObject* s, uint8_t, bool failed) {
    log.push_back(std::string("erase ") + (failed ? "failed" : "ok") + (s == &disc ? "" : "?"));
  });
  disc.SetOnWriteDone([&](TObject*, uint8_t, bool failed) {
    log.push_back(std::string("write ") + (failed ? "failed" : "ok"));
  });
  disc.SetOnGenerateSmartReferencesDone([&](TObject*, bool failed, int32_t saved) {
    log.push_back("refs " + std::to_string(failed) + " " + std::to_string(saved));
  });
  TCompletionQueue& queue = *disc.CDFiles.hWNDFE;
  queue.Post(kMessageEraseDone, 0, 0);
  queue.Post(kMessageWriteDone, 0, 1);
  queue.Post(kMessageWriteDone, 0, 256);  // only the low byte carries the flag
  queue.Post(kMessageSmartReferencesDone, 4, 6144);
  queue.Post(kMessageSmartReferencesDone, 0, int64_t{0x1'0000'0800});  // 32-bit byte count
  queue.Post(999, 0, 0);  // not ours: ignored
  EXPECT_EQ(disc.ProcessMessages(), 6u);
  EXPECT_EQ(log, (std::vector<std::string>{"erase ok", "write failed", "write ok", "refs 1 6144",
                                           "refs 0 2048"}));
}

TEST(Notifications, HandlersPostingMoreWaitForTheNextCall) {
  Owner owner;
  TOrvex disc(&owner);
  int writes = 0;
  disc.SetOnWriteDone([&](TObject*, uint8_t, bool) {
    if (++writes == 1) disc.CDFiles.hWNDFE->Post(kMessageWriteDone, 0, 0);
  });
  disc.CDFiles.hWNDFE->Post(kMessageWriteDone, 0, 0);
  EXPECT_EQ(disc.ProcessMessages(), 1u);
  EXPECT_EQ(disc.ProcessMessages(), 1u);
  EXPECT_EQ(writes, 2);
}

TEST(Notifications, WithoutAnOwnerTheHandlerRunsOnTheWorker) {
  TOrvex disc(nullptr);
  EXPECT_EQ(disc.CDFiles.hWNDFE, nullptr);
  std::thread::id called_on;
  TWriteDoneEvent handler = [&](TObject*, uint8_t, bool failed) {
    EXPECT_TRUE(failed);
    called_on = std::this_thread::get_id();
  };
  std::thread::id worker_id;
  std::thread worker([&] {
    worker_id = std::this_thread::get_id();
    ReportCompletion(disc.CDFiles.hWNDFE, handler, kMessageWriteDone, 0, 1,
                     [&] { handler(&disc, 0, true); });
  });
  worker.join();
  EXPECT_EQ(called_on, worker_id);

  // An unassigned handler reports nothing on either route.
  Owner owner;
  TOrvex owned(&owner);
  ReportCompletion(owned.CDFiles.hWNDFE, TWriteDoneEvent(), kMessageWriteDone, 0, 0, [] { FAIL(); });
  EXPECT_EQ(owned.ProcessMessages(), 0u);
}

}  // namespace
}  // namespace orvex
