// SPDX-License-Identifier: Apache-2.0
#include <gtest/gtest.h>
#include <poll.h>

#include <thread>
#include <vector>

#include "platform/completion_queue.h"

namespace orvex {
namespace {

bool Readable(int fd) {
  pollfd p{fd, POLLIN, 0};
  return poll(&p, 1, 0) == 1 && (p.revents & POLLIN) != 0;
}

TEST(CompletionQueue, DescriptorIsReadableExactlyWhileRecordsWait) {
  TCompletionQueue queue;
  EXPECT_FALSE(Readable(queue.Fd()));
  queue.Post(1126, 0, 1);
  queue.Post(1127, -1, 0);
  EXPECT_TRUE(Readable(queue.Fd()));
  TCompletionRecord record;
  ASSERT_TRUE(queue.Take(record));
  EXPECT_EQ(record.Message, 1126u);
  EXPECT_TRUE(Readable(queue.Fd()));
  ASSERT_TRUE(queue.Take(record));
  EXPECT_EQ(record.WParam, -1);
  EXPECT_FALSE(Readable(queue.Fd()));
  EXPECT_FALSE(queue.Take(record));
}

TEST(CompletionQueue, EachPostersRecordsKeepTheirOrder) {
  TCompletionQueue queue;
  constexpr int kThreads = 4, kEach = 2000;
  std::vector<std::thread> posters;
  for (int t = 0; t < kThreads; ++t) {
    posters.emplace_back([&queue, t] {
      for (int i = 0; i < kEach; ++i) queue.Post(1000 + t, i, 0);
    });
  }
  std::vector<int64_t> next(kThreads, 0);
  int taken = 0;
  while (taken < kThreads * kEach) {
    TCompletionRecord record;
    if (!queue.Take(record)) continue;
    const int t = static_cast<int>(record.Message) - 1000;
    EXPECT_EQ(record.WParam, next[t]);
    next[t] = record.WParam + 1;
    ++taken;
  }
  for (std::thread& poster : posters) poster.join();
  EXPECT_EQ(queue.Pending(), 0u);
}

}  // namespace
}  // namespace orvex
