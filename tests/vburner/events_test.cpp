// SPDX-License-Identifier: Apache-2.0
// GET EVENT STATUS NOTIFICATION, polled: the media events of a medium
// arriving and leaving (inserted, removed, the tray opened and closed,
// ejected and loaded) and of a background format ending, and which class
// answers which request.
#include <functional>

#include <gtest/gtest.h>

#include "vburner/vburner_support.h"

namespace vbtest {
namespace {

class Events : public MediumTest {
 protected:
  Bytes Poll(uint8_t classes, uint16_t allocation = 8) {
    const Result r = drive_.Run({0x4A, 0x01, 0, 0, classes, 0, 0, static_cast<uint8_t>(allocation >> 8),
                                 static_cast<uint8_t>(allocation), 0},
                                allocation);
    EXPECT_TRUE(r.ok()) << SenseText(r);
    return r.data;
  }
};

constexpr uint8_t kMedia = 0x10, kOperational = 0x02;

TEST_F(Events, MediaEventsArriveInOrderAndAreReportedOnce) {
  Load("cd-r");
  EXPECT_EQ(Poll(kMedia, 4), (Bytes{0, 6, 0x04, 0x12}));  // the header alone leaves the event waiting
  EXPECT_EQ(Poll(kMedia), (Bytes{0, 6, 0x04, 0x12, 0x02, 0x02, 0, 0}));  // new media, present
  EXPECT_EQ(Poll(kMedia), (Bytes{0, 6, 0x04, 0x12, 0x00, 0x02, 0, 0}));  // no change

  const struct {
    const char* step;
    std::function<void()> act;
    Bytes events;  // the media event and status bytes of each poll until "no change"
  } kSteps[] = {
      {"tray opened", [&] { ASSERT_EQ(Lib().vb_tray(drive_.address(), 1), 0); }, {0x03, 0x01, 0x00, 0x01}},
      {"tray closed", [&] { ASSERT_EQ(Lib().vb_tray(drive_.address(), 0), 0); }, {0x02, 0x02, 0x00, 0x02}},
      {"ejected", [&] { ASSERT_TRUE(drive_.Run({0x1B, 0, 0, 0, 0x02, 0}).ok()); }, {0x03, 0x01, 0x00, 0x01}},
      {"loaded", [&] { ASSERT_TRUE(drive_.Run({0x1B, 0, 0, 0, 0x03, 0}).ok()); }, {0x02, 0x02, 0x00, 0x02}},
      {"removed", [&] { ASSERT_EQ(Lib().vb_remove(drive_.address()), 0); }, {0x03, 0x00, 0x00, 0x00}},
      {"inserted", [&] { ASSERT_EQ(Lib().vb_insert(drive_.address(), disc_.c_str()), 0); }, {0x02, 0x02, 0x00, 0x02}},
      {"inserted over a medium",
       [&] { ASSERT_EQ(Lib().vb_insert(drive_.address(), Create(scratch_, "b.vmed", "cd-r").c_str()), 0); },
       {0x03, 0x02, 0x02, 0x02, 0x00, 0x02}},  // the status is the drive's now
  };
  for (const auto& step : kSteps) {
    SCOPED_TRACE(step.step);
    step.act();
    Bytes seen;
    for (size_t i = 0; i < step.events.size(); i += 2) {
      const Bytes event = Poll(kMedia);
      seen.insert(seen.end(), event.begin() + 4, event.begin() + 6);
    }
    EXPECT_EQ(seen, step.events);
  }
}

TEST_F(Events, TheClassAnsweredIsTheFirstRequestedThatHasAnEvent) {
  Load("dvd+rw", false, ",ua=1");
  EXPECT_EQ(Poll(kOperational), (Bytes{0, 6, 0x01, 0x12, 0, 0, 0, 0}));  // the new medium waits for the media class
  EXPECT_EQ(Poll(0x40), (Bytes{0, 2, 0x80, 0x12, 0, 0, 0, 0}));         // device busy: not supported
  EXPECT_EQ(Poll(kMedia | kOperational)[4], 0x02);
  EXPECT_EQ(Poll(kMedia | kOperational), (Bytes{0, 6, 0x01, 0x12, 0, 0, 0, 0}));  // nothing: the first class asked
  EXPECT_SENSE(drive_.Run({0x4A, 0x00, 0, 0, kMedia, 0, 0, 0, 8, 0}, 8), 0x05, 0x24, 0x00);  // not polled
  EXPECT_SENSE(drive_.TestUnitReady(), 0x06, 0x29, 0x00);  // polling left the unit attention in place

  ASSERT_TRUE(drive_.Format({0, 0x82, 0, 8, 0, 0x23, 0x05, 0x40, 0x98, 0, 0, 0}).ok());
  Lib().vb_advance_time(2000 * kSecond);
  EXPECT_TRUE(drive_.TestUnitReady().ok());
  EXPECT_EQ(Poll(kMedia), (Bytes{0, 6, 0x04, 0x12, 0x05, 0x02, 0, 0}));  // background format completed
}

}  // namespace
}  // namespace vbtest
