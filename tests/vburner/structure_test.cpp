// SPDX-License-Identifier: Apache-2.0
// READ DISC STRUCTURE: the DVD physical format of every DVD kind, the
// copyright information, the DVD-R/-RW pre-recorded information and the
// DVD+R/+RW ADIP, the BD disc information, and a structure list that
// matches what each structure answers.
#include <gtest/gtest.h>

#include "vburner/vburner_support.h"

namespace vbtest {
namespace {

class Structures : public MediumTest {
 protected:
  Result Read(uint8_t media_type, uint8_t format, uint8_t layer = 0, uint16_t allocation = 4100) {
    return drive_.Run({0xAD, media_type, 0, 0, 0, 0, layer, format, static_cast<uint8_t>(allocation >> 8),
                       static_cast<uint8_t>(allocation), 0, 0},
                      allocation);
  }
  // The data after the 4-byte header, as long as the header says.
  Bytes Data(uint8_t media_type, uint8_t format, uint8_t layer = 0) {
    const Result r = Read(media_type, format, layer);
    EXPECT_TRUE(r.ok()) << SenseText(r);
    return Slice(r.data, 4, Be16(r.data, 0) - 2u);
  }
};

TEST_F(Structures, EveryDvdKindDescribesItsLayersAndEachListedStructureAnswers) {
  const struct {
    const char* profile;
    Bytes layer;  // the first 16 bytes of the physical format
    Bytes list;   // the format codes the structure list names
  } kCases[] = {
      {"dvd-r", {0x25, 0x02, 0x02, 0x00, 0, 0x03, 0, 0, 0, 0x26, 0x12, 0x7F, 0, 0, 0, 0}, {0x00, 0x01, 0x0E, 0x0F, 0xFF}},
      {"dvd-rw", {0x32, 0x02, 0x04, 0x00, 0, 0x03, 0, 0, 0, 0x26, 0x10, 0x1F, 0, 0, 0, 0}, {0x00, 0x01, 0x0E, 0x0F, 0xFF}},
      {"dvd-rw-ro", {0x32, 0x02, 0x04, 0x00, 0, 0x03, 0, 0, 0, 0x26, 0x10, 0x1F, 0, 0, 0, 0}, {0x00, 0x01, 0x0E, 0xFF}},
      {"dvd+r", {0xA1, 0x02, 0x02, 0x00, 0, 0x03, 0, 0, 0, 0x26, 0x05, 0x3F, 0, 0, 0, 0}, {0x00, 0x01, 0x11, 0xFF}},
      {"dvd+rw", {0x92, 0x02, 0x04, 0x00, 0, 0x03, 0, 0, 0, 0x26, 0x05, 0x3F, 0, 0, 0, 0}, {0x00, 0x01, 0x11, 0xFF}},
      {"dvd-ram", {0x16, 0x02, 0x04, 0x42, 0, 0x03, 0, 0, 0, 0x25, 0x21, 0x1F, 0, 0, 0, 0}, {0x00, 0x01, 0xFF}},
      // Two layers, opposite track paths: layer 1 ends at the complement of the data start.
      {"dvd+r-dl", {0xE1, 0x02, 0x32, 0x10, 0, 0x03, 0, 0, 0, 0xFC, 0xFF, 0xFF, 0, 0x22, 0xD7, 0xFF}, {0x00, 0x01, 0x11, 0xFF}},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.profile);
    Load(c.profile);
    const Bytes layer = Data(0, 0x00);
    ASSERT_EQ(layer.size(), 2048u);
    EXPECT_EQ(Slice(layer, 0, 16), c.layer);
    EXPECT_EQ(Data(0, 0x01), (Bytes{0, 0, 0, 0}));  // no copy protection
    const Bytes list = Data(0, 0xFF);
    Bytes formats;
    for (size_t at = 0; at + 4 <= list.size(); at += 4) {
      formats.push_back(list[at]);
      const bool sent = list[at + 1] == 0x80;  // the time stamp: sent only
      EXPECT_EQ(list[at + 1], sent ? 0x80 : 0x40) << int{list[at]};
      if (!sent) {
        EXPECT_EQ(Data(0, list[at]).size(), Be16(list, at + 2)) << int{list[at]};
      }
    }
    EXPECT_EQ(formats, c.list);
    if (c.layer[2] == 0x32)
      EXPECT_EQ(Slice(Data(0, 0x00, 1), 0, 16), c.layer);
    else
      EXPECT_SENSE(Read(0, 0x00, 1), 0x05, 0x24, 0x00);  // one layer only
  }
}

TEST_F(Structures, LeadInInformationOfRecordableDvdsAndBdDiscInformation) {
  Load("dvd-r");
  Bytes d = Data(0, 0x0E);
  EXPECT_EQ((Bytes{d[0], d[8], d[16], d[24], d[32]}), (Bytes{1, 2, 3, 4, 5}));  // the field numbers
  EXPECT_EQ(Slice(d, 3, 3), (Bytes{0x26, 0x12, 0x7F}));                      // the last recordable sector
  EXPECT_SENSE(Read(0, 0x0F), 0x05, 0x24, 0x00);  // the time stamp is sent, not read
  EXPECT_SENSE(Read(0, 0x11), 0x05, 0x24, 0x00);  // no ADIP on a DVD-R
  EXPECT_SENSE(Read(1, 0x00), 0x05, 0x30, 0x02);  // not a BD

  const std::string plus = Create(scratch_, "plus.vmed", "dvd+r");
  ASSERT_EQ(Lib().vb_insert(drive_.address(), plus.c_str()), 0);
  d = Data(0, 0x11);
  ASSERT_EQ(d.size(), 256u);
  EXPECT_EQ(Slice(d, 0, 17), Slice(Data(0, 0x00), 0, 17));  // the ADIP begins with the layer descriptor
  EXPECT_EQ(std::string(d.begin() + 19, d.begin() + 27), "ORVEX   ");
  EXPECT_EQ(Slice(Read(0, 0x00, 0, 8).data, 0, 8), (Bytes{0x08, 0x02, 0, 0, 0xA1, 0x02, 0x02, 0x00}));  // cut

  const std::string bd = Create(scratch_, "bd.vmed", "bd-r");
  ASSERT_EQ(Lib().vb_insert(drive_.address(), bd.c_str()), 0);
  d = Data(1, 0x00);
  ASSERT_EQ(d.size(), 4096u);
  EXPECT_EQ(Slice(d, 0, 13), (Bytes{'D', 'I', 0x01, 0x08, 112, 0, 0, 0, 'B', 'D', 'R', 0x01, 0x12}));
  EXPECT_EQ(Data(1, 0xFF), (Bytes{0x00, 0x40, 0x10, 0x00, 0xFF, 0x40, 0x00, 0x08}));
  EXPECT_SENSE(Read(0, 0x00), 0x05, 0x30, 0x02);  // not a DVD
  EXPECT_SENSE(Read(1, 0x0A), 0x05, 0x24, 0x00);

  const std::string re = Create(scratch_, "re.vmed", "bd-re");
  ASSERT_EQ(Lib().vb_insert(drive_.address(), re.c_str()), 0);
  EXPECT_EQ(Slice(Data(1, 0x00), 8, 5), (Bytes{'B', 'D', 'W', 0x01, 0x14}));
  const std::string cd = Create(scratch_, "cd.vmed", "cd-r");
  ASSERT_EQ(Lib().vb_insert(drive_.address(), cd.c_str()), 0);
  EXPECT_SENSE(Read(0, 0xFF), 0x05, 0x30, 0x02);
}

}  // namespace
}  // namespace vbtest
