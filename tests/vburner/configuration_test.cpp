// SPDX-License-Identifier: Apache-2.0
// GET CONFIGURATION of each drive class with the media it models, empty
// and loaded: which features it lists in which order, which of them are
// current, the descriptor fields readers rely on, and the three request
// types with a starting feature in the middle of the list.
#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "vburner/vburner_support.h"

namespace vbtest {
namespace {

struct Descriptor {
  uint16_t code;
  uint8_t version;
  bool persistent;
  bool current;
  Bytes data;
};

struct Answer {
  uint32_t length;   // the header's data length
  uint16_t profile;  // the current profile
  std::vector<Descriptor> features;
};

// Splits an answer into descriptors; a descriptor that runs past the data
// length fails the test.
Answer Parse(const Bytes& b) {
  Answer a{Be32(b, 0), Be16(b, 6), {}};
  const size_t end = std::min<size_t>(a.length + 4, b.size());
  size_t at = 8;
  while (at + 4 <= end) {
    const uint8_t flags = b[at + 2];
    Descriptor d{Be16(b, at), static_cast<uint8_t>(flags >> 2), (flags & 0x02) != 0, (flags & 0x01) != 0,
                 Slice(b, at + 4, b[at + 3])};
    at += 4 + d.data.size();
    a.features.push_back(std::move(d));
  }
  EXPECT_EQ(at, end) << "a descriptor runs past the data length";
  return a;
}

// "0000* 0001* 0010 ...": the codes in answer order, current ones starred.
std::string Listing(const Answer& a) {
  std::string text;
  for (const Descriptor& d : a.features) {
    char code[8];
    std::snprintf(code, sizeof code, "%s%04X%s", text.empty() ? "" : " ", d.code, d.current ? "*" : "");
    text += code;
  }
  return text;
}

class Configuration : public MediumTest {
 protected:
  // A drive of `drive_class` holding `medium` (a profile name; none when empty).
  void Set(const std::string& drive_class, const std::string& medium, bool formatted = false) {
    if (medium.empty())
      Configure("0:0:0,class=" + drive_class);
    else
      Load(medium, formatted, ",class=" + drive_class);
  }
  Result Get(uint8_t request_type, uint16_t starting, uint16_t allocation = 4096) {
    return drive_.Run({0x46, request_type, static_cast<uint8_t>(starting >> 8), static_cast<uint8_t>(starting), 0, 0, 0,
                       static_cast<uint8_t>(allocation >> 8), static_cast<uint8_t>(allocation), 0},
                      4096);
  }
};

constexpr const char* kWriterFeatures =
    "001E 001F 0020 0021 0023 0024 0026 002A 002B 002D 002F 003B 0040 0041 0050";

struct ListingRow {
  const char* drive_class;
  const char* medium;  // "" for an empty drive
  bool formatted;
  uint8_t request_type;
  uint16_t starting;
  uint16_t profile;  // the current profile the header names
  std::string listing;
};

const ListingRow kListings[] = {
    {"bd-writer", "", false, 0, 0, 0x0000, std::string("0000* 0001* 0002* 0003* 0010 ") + kWriterFeatures + " 0107*"},
    {"bd-writer", "", false, 1, 0, 0x0000, "0000* 0001* 0002* 0003* 0107*"},
    {"bd-writer", "cd-r", false, 1, 0, 0x0009, "0000* 0001* 0002* 0003* 0010* 001E* 0021* 002D* 0107*"},
    {"bd-writer", "cd-rw", false, 1, 0, 0x000A, "0000* 0001* 0002* 0003* 0010* 001E* 0021* 002D* 0107*"},
    {"bd-writer", "cd-rom", false, 1, 0, 0x0008, "0000* 0001* 0002* 0003* 0010* 001E* 0107*"},
    {"bd-writer", "dvd-r", false, 1, 0, 0x0011, "0000* 0001* 0002* 0003* 0010* 001F* 0021* 002F* 0107*"},
    {"bd-writer", "dvd-ram", true, 1, 0, 0x0012, "0000* 0001* 0002* 0003* 0010* 001F* 0020* 0023* 0024* 0107*"},
    {"bd-writer", "dvd-rw-ro", false, 1, 0, 0x0013, "0000* 0001* 0002* 0003* 0010* 001F* 0023* 0026* 0107*"},
    {"bd-writer", "dvd-rw", false, 1, 0, 0x0014, "0000* 0001* 0002* 0003* 0010* 001F* 0021* 0023* 002F* 0107*"},
    {"bd-writer", "dvd+rw", true, 1, 0, 0x001A, "0000* 0001* 0002* 0003* 0010* 001F* 0020* 0023* 002A* 0107*"},
    {"bd-writer", "dvd+r", false, 1, 0, 0x001B, "0000* 0001* 0002* 0003* 0010* 001F* 002B* 0107*"},
    {"bd-writer", "dvd+r-dl", false, 1, 0, 0x002B, "0000* 0001* 0002* 0003* 0010* 001F* 003B* 0107*"},
    {"bd-writer", "bd-r", false, 1, 0, 0x0041, "0000* 0001* 0002* 0003* 0010* 0023* 0040* 0041* 0107*"},
    {"bd-writer", "bd-re", true, 1, 0, 0x0043, "0000* 0001* 0002* 0003* 0010* 0020* 0023* 0024* 0040* 0041* 0107*"},
    {"bd-writer", "bd-r-rrm", false, 1, 0, 0x0042, "0000* 0001* 0002* 0003* 0010* 0040* 0107*"},
    {"bd-writer", "hd-dvd-ram", false, 1, 0, 0x0052, "0000* 0001* 0002* 0003* 0010* 0050* 0107*"},
    {"bd-writer", "bd-re", true, 0, 0, 0x0043,
     "0000* 0001* 0002* 0003* 0010* 001E 001F 0020* 0021 0023* 0024* 0026 002A 002B 002D 002F 003B 0040* 0041* 0050 0107*"},
    // A starting feature in the middle: the listing begins at the first code not below it.
    {"bd-writer", "dvd-rw", false, 0, 0x0021, 0x0014,
     "0021* 0023* 0024 0026 002A 002B 002D 002F* 003B 0040 0041 0050 0107*"},
    {"bd-writer", "dvd-rw", false, 1, 0x0022, 0x0014, "0023* 002F* 0107*"},
    {"bd-writer", "dvd-rw", false, 2, 0x002F, 0x0014, "002F*"},
    {"bd-writer", "dvd-rw", false, 2, 0x0040, 0x0014, "0040"},  // one that is not current
    {"bd-writer", "dvd-rw", false, 2, 0x0051, 0x0014, ""},      // one the drive lacks
    {"bd-writer", "dvd-rw", false, 2, 0x0022, 0x0014, ""},      // no feature has this code
    {"dvd-writer", "", false, 0, 0, 0x0000,
     "0000* 0001* 0002* 0003* 0010 001E 001F 0020 0021 0023 0024 0026 002A 002B 002D 002F 003B 0107*"},
    {"dvd-writer", "dvd-rw-ro", false, 0, 0, 0x0013,
     "0000* 0001* 0002* 0003* 0010* 001E 001F* 0020 0021 0023* 0024 0026* 002A 002B 002D 002F 003B 0107*"},
    {"cd-writer", "cd-rw", false, 0, 0, 0x000A, "0000* 0001* 0002* 0003* 0010* 001E* 0021* 002D* 0107*"},
    {"cd-writer", "dvd+r", false, 0, 0, 0x0000, "0000* 0001* 0002* 0003* 0010 001E 0021 002D 0107*"},  // cannot read it
    {"cd-rom", "cd-rom", false, 0, 0, 0x0008, "0000* 0001* 0002* 0003* 0010* 001E* 0107*"},
    {"dvd-rom", "dvd+rw", true, 0, 0, 0x001A, "0000* 0001* 0002* 0003* 0010* 001E 001F* 002A* 002B 003B 0107*"},
    {"bd-rom", "bd-rom", false, 0, 0, 0x0040, "0000* 0001* 0002* 0003* 0010* 001E 001F 002A 002B 003B 0040* 0107*"},
};

// The fixed fields of each descriptor as the answers carry them (length
// -1: it depends on the drive).
struct Shape {
  uint16_t code;
  uint8_t version;
  bool persistent;
  int length;
};

constexpr Shape kShapes[] = {
    {0x0000, 0, true, -1}, {0x0001, 2, true, 8},   {0x0002, 1, true, 4},   {0x0003, 2, true, 4},   {0x0010, 0, false, 8},
    {0x001E, 2, false, 4}, {0x001F, 2, false, 4},  {0x0020, 1, false, 12}, {0x0021, 1, false, 8},
    {0x0023, 0, false, 8}, {0x0024, 1, false, 4},  {0x0026, 0, false, 0},  {0x002A, 1, false, 4},
    {0x002B, 1, false, 4}, {0x002D, 2, false, 4},  {0x002F, 2, false, 4},  {0x003B, 0, false, 4},
    {0x0040, 0, false, 28}, {0x0041, 0, false, 20}, {0x0050, 0, false, 4},  {0x0051, 0, false, 4},
    {0x0107, 4, false, 4},
};

void ExpectShape(const Descriptor& d) {
  for (const Shape& s : kShapes) {
    if (s.code != d.code) continue;
    EXPECT_EQ(d.version, s.version) << "feature " << d.code;
    EXPECT_EQ(d.persistent, s.persistent) << "feature " << d.code;
    if (s.length >= 0) {
      EXPECT_EQ(d.data.size(), size_t(s.length)) << "feature " << d.code;
    }
    EXPECT_EQ(d.data.size() % 4, 0u) << "feature " << d.code;
    return;
  }
  ADD_FAILURE() << "unexpected feature " << d.code;
}

TEST_F(Configuration, EachClassAndMediumListsItsFeaturesInOrderWithTheCurrentOnes) {
  for (const ListingRow& row : kListings) {
    SCOPED_TRACE(std::string(row.drive_class) + " holding \"" + row.medium + "\", RT " +
                 std::to_string(row.request_type) + " from " + std::to_string(row.starting));
    Set(row.drive_class, row.medium, row.formatted);
    const Result r = Get(row.request_type, row.starting);
    ASSERT_TRUE(r.ok());
    const Answer a = Parse(r.data);
    EXPECT_EQ(a.profile, row.profile);
    EXPECT_EQ(Listing(a), row.listing);
    for (size_t i = 0; i < a.features.size(); ++i) {
      const Descriptor& d = a.features[i];
      ExpectShape(d);
      EXPECT_GE(d.code, row.starting);
      if (i > 0) {
        EXPECT_GT(d.code, a.features[i - 1].code);
      }
      if (d.code == 0x0000) {  // the profile list marks the current profile, and only that one
        for (size_t at = 0; at + 4 <= d.data.size(); at += 4) {
          EXPECT_EQ(d.data[at + 2] & 0x01, Be16(d.data, at) == row.profile ? 1 : 0) << "profile " << Be16(d.data, at);
        }
      }
    }
    // The allocation length cuts the answer, not its data length; even the
    // header alone may be asked for.
    for (const uint16_t allocation : {uint16_t{4}, uint16_t{14}}) {
      const Result cut = Get(row.request_type, row.starting, allocation);
      ASSERT_TRUE(cut.ok());
      EXPECT_EQ(Slice(cut.data, 0, allocation), Slice(r.data, 0, allocation));
      EXPECT_EQ(cut.data[allocation], 0);
    }
  }
}

struct PayloadRow {
  const char* drive_class;
  const char* medium;
  bool formatted;
  uint16_t feature;
  Bytes data;
};

const PayloadRow kPayloads[] = {
    {"bd-writer", "cd-r", false, 0x0001, {0, 0, 0, 1, 0x03, 0, 0, 0}},    // SCSI family, DBE and INQ2
    {"bd-writer", "cd-r", false, 0x0002, {0x02, 0, 0, 0}},               // operational change events, polled
    {"bd-writer", "cd-r", false, 0x0003, {0x39, 0, 0, 0}},               // tray: load, eject, lock
    {"bd-writer", "cd-r", false, 0x0010, {0, 0, 0x08, 0, 0, 1, 0x01, 0}},  // 2048 bytes, 1 block, PP
    {"bd-writer", "bd-re", true, 0x0010, {0, 0, 0x08, 0, 0, 32, 0x01, 0}},
    // Random Writable: last LBA, block size, blocking, PP.
    {"bd-writer", "bd-re", true, 0x0020, {0x00, 0xB4, 0x73, 0xFF, 0, 0, 0x08, 0, 0, 32, 0x01, 0}},
    // Incremental Streaming Writable: data block types, BUF and TRIO, one link size.
    {"cd-writer", "cd-r", false, 0x0021, {0x05, 0x00, 0x05, 1, 7, 0, 0, 0}},
    {"dvd-writer", "dvd-r", false, 0x0021, {0x05, 0x00, 0x05, 1, 16, 0, 0, 0}},
    {"bd-writer", "bd-re", true, 0x0023, {0x01, 0, 0, 0, 0, 0, 0, 0}},  // certification
    {"dvd-writer", "dvd+rw", true, 0x0023, {0x00, 0, 0, 0, 0, 0, 0, 0}},
    {"bd-writer", "bd-re", true, 0x0024, {0x80, 0, 0, 0}},  // SSA
    {"dvd-writer", "dvd+rw", true, 0x002A, {0x01, 0, 0, 0}},
    {"dvd-rom", "dvd+rw", true, 0x002A, {0x00, 0, 0, 0}},  // a reader does not write
    {"dvd-writer", "dvd+r", false, 0x002B, {0x01, 0, 0, 0}},
    {"cd-writer", "cd-rw", false, 0x002D, {0x46, 0, 0x05, 0x00}},  // BUF, test write, CD-RW
    {"dvd-writer", "dvd-rw", false, 0x002F, {0x46, 0, 0, 0}},      // BUF, test write, DVD-RW
    {"dvd-writer", "dvd+r-dl", false, 0x003B, {0x01, 0, 0, 0}},
    // BD Read: classes 0 to 3 of BD-RE, BD-R and BD-ROM; class 0 version 1 discs of each.
    {"bd-writer", "bd-r", false, 0x0040, {0, 0, 0, 0, 0, 0x02, 0, 0, 0, 0, 0, 0, 0, 0x02, 0, 0,
                                          0, 0, 0, 0, 0, 0x02, 0, 0, 0, 0, 0, 0}},
    {"bd-writer", "bd-r", false, 0x0023, {0x01, 0, 0, 0, 0, 0, 0, 0}},  // spare areas before the first write
    {"bd-writer", "bd-r", false, 0x0041, {0, 0, 0, 0, 0, 0x02, 0, 0, 0, 0, 0, 0, 0, 0x02, 0, 0, 0, 0, 0, 0}},
    {"bd-writer", "hd-dvd-r", false, 0x0050, {0x01, 0, 0x01, 0}},
    {"bd-writer", "cd-r", false, 0x0107, {0x1F, 0, 0, 0}},
    {"cd-rom", "cd-rom", false, 0x0107, {0x1E, 0, 0, 0}},  // no stream writing
};

TEST_F(Configuration, FeatureDescriptorsCarryWhatTheDriveAndMediumOffer) {
  for (const PayloadRow& row : kPayloads) {
    SCOPED_TRACE(std::string(row.drive_class) + " holding " + row.medium + ", feature " + std::to_string(row.feature));
    Set(row.drive_class, row.medium, row.formatted);
    const Answer a = Parse(Get(2, row.feature).data);
    ASSERT_EQ(a.features.size(), 1u);
    EXPECT_EQ(a.features[0].data, row.data);
  }
}

}  // namespace
}  // namespace vbtest
