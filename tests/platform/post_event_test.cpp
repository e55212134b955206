// SPDX-License-Identifier: Apache-2.0
// The post event a driver library signals, and the wait on it beside a
// second event (the abort of a job).
#include <gtest/gtest.h>

#include <chrono>

#include "platform/post_event.h"

namespace orvex {
namespace {

using std::chrono::milliseconds;
using TWait = TPostEvent::TWait;

TEST(PostEvent, WaitTellsWhichEventCameAndResetsOnlyItsOwn) {
  TPostEvent event, other;
  event.Signal();
  other.Signal();
  EXPECT_EQ(event.Wait(milliseconds(0), &other), TWait::kSignalled) << "its own first";
  EXPECT_EQ(event.Wait(milliseconds(0), &other), TWait::kOther);
  EXPECT_EQ(event.Wait(milliseconds(0), &other), TWait::kOther) << "the other one stays signalled";
  other.Reset();
  EXPECT_EQ(event.Wait(milliseconds(0), &other), TWait::kTimedOut);
  EXPECT_EQ(event.Wait(milliseconds(0)), TWait::kTimedOut);
}

// A short wait really waits: the drive's overdue steps rely on it.
TEST(PostEvent, AShortWaitLastsItsTime) {
  TPostEvent event;
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(event.Wait(milliseconds(1)), TWait::kTimedOut);
  EXPECT_GE(std::chrono::steady_clock::now() - start, milliseconds(1));
}

}  // namespace
}  // namespace orvex
