// SPDX-License-Identifier: Apache-2.0
// The Rock Ridge records of the primary tree, read back the way a POSIX
// reader does: the system use area of each record, continuation areas
// followed, fields reassembled.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <ctime>
#include <map>
#include <string>
#include <vector>

#include "image/iso_records.h"
#include "layout_fixture.h"
#include "platform/text_conversion.h"

namespace orvex {
namespace {

using test::LayoutTest;

// One directory record with its system use fields, continuations followed.
struct TReadRecord {
  std::string identifier;
  uint32_t extent = 0;
  uint8_t length = 0;
  std::multimap<std::string, std::string> fields;  // signature -> data after the 4-byte header
  std::vector<std::string> order;                  // the signatures as met

  const std::string& One(const std::string& signature) const {
    static const std::string none;
    const auto it = fields.find(signature);
    return it == fields.end() ? none : it->second;
  }
  uint32_t Px(int i) const { return GetLE32(reinterpret_cast<const uint8_t*>(One("PX").data()) + 8 * i); }

  // NM fields joined.
  std::string Name() const {
    std::string name;
    for (auto [it, end] = fields.equal_range("NM"); it != end; ++it) name += it->second.substr(1);
    return name;
  }
  // SL components joined into a path.
  std::string Target() const {
    std::string target, component;
    bool continued = false;
    for (auto [it, end] = fields.equal_range("SL"); it != end; ++it) {
      const std::string& d = it->second;
      for (size_t at = 1; at + 2 <= d.size(); at += 2 + static_cast<uint8_t>(d[at + 1])) {
        const uint8_t flags = static_cast<uint8_t>(d[at]);
        if (!continued && !target.empty() && target.back() != '/') target += '/';
        if (flags & 0x08) target += '/';
        if (flags & 0x02) target += '.';
        if (flags & 0x04) target += "..";
        target += d.substr(at + 2, static_cast<uint8_t>(d[at + 1]));
        continued = (flags & 0x01) != 0;
      }
    }
    return target;
  }
};

class RockRidgeTest : public LayoutTest {
 protected:
  void SetUp() override {
    LayoutTest::SetUp();
    layout.RockRidge = true;
    layout.FirstWritableSector = 300;  // addresses are absolute
  }

  void ReadFields(const uint8_t* p, size_t n, TReadRecord& r, int depth = 0) {
    ASSERT_LT(depth, 16) << "continuation loop";
    size_t at = 0;
    while (at + 4 <= n) {
      const std::string signature(reinterpret_cast<const char*>(p + at), 2);
      const uint8_t length = p[at + 2];
      ASSERT_GE(length, 4) << signature;
      ASSERT_LE(at + length, n);
      EXPECT_EQ(p[at + 3], 1) << signature;
      r.order.push_back(signature);
      if (signature == "CE") {
        ASSERT_EQ(length, 28);
        const uint32_t block = GetLE32(p + at + 4) - layout.FirstWritableSector;
        const uint32_t offset = GetLE32(p + at + 12), size = GetLE32(p + at + 20);
        EXPECT_EQ(GetBE32(p + at + 8), block + layout.FirstWritableSector);
        ASSERT_GE(block, layout.RockRidgeContinuationExtent);
        ASSERT_LT(block, layout.RockRidgeContinuationExtent + layout.RockRidgeContinuationWidth);
        ASSERT_LE(offset + size, 2048u);
        ReadFields(header.data() + block * 2048 + offset, size, r, depth + 1);
      } else {
        r.fields.emplace(signature, std::string(reinterpret_cast<const char*>(p + at + 4), length - 4));
      }
      at += length;
    }
    // At most the zero byte that pads a record to an even length is left.
    ASSERT_LE(n - at, 1u);
    if (at < n) {
      EXPECT_EQ(p[at], 0);
    }
  }

  // Every record of a primary tree directory, "." and ".." first.
  std::vector<TReadRecord> Read(const TDirEntry& dir) {
    std::vector<TReadRecord> out;
    const uint8_t* extent = header.data() + (layout.FileDirDescriptorExtent + dir.Address) * 2048;
    for (uint32_t sector = 0; sector < dir.DirSize; sector += 2048) {
      for (uint32_t at = 0; at < 2048 && extent[sector + at] != 0;) {
        const uint8_t* p = extent + sector + at;
        TReadRecord r;
        r.length = p[0];
        r.extent = GetLE32(p + 2);
        r.identifier.assign(reinterpret_cast<const char*>(p + 33), p[32]);
        const size_t system_use = 33 + p[32] + (p[32] % 2 == 0);
        ReadFields(p + system_use, p[0] - system_use, r);
        out.push_back(std::move(r));
        at += p[0];
      }
    }
    return out;
  }

  const TReadRecord* Named(const std::vector<TReadRecord>& records, const std::string& name) {
    for (const TReadRecord& r : records) {
      if (r.Name() == name) return &r;
    }
    return nullptr;
  }
};

TPosixAttributes Attributes(uint32_t mode, uint32_t uid, const std::string& target = "") {
  TPosixAttributes a;
  a.Mode = mode;
  a.Uid = uid;
  a.Gid = uid + 1;
  a.Modified.tv_sec = 1'000'000'000;  // 2001-09-09 01:46:40 UTC
  a.LinkTarget = target;
  return a;
}

struct TEntryCase {
  const char* what;
  std::string name;
  std::optional<TPosixAttributes> posix;
  bool rational;
  uint32_t mode, uid;
  std::string target;
};

TEST_F(RockRidgeTest, EachEntrySaysWhatItIs) {
  std::string long_target;
  for (int i = 0; i < 15; ++i) long_target += std::string(200, static_cast<char>('a' + i)) + "/";
  long_target += std::string(300, 'z');  // one component longer than a record holds
  const TEntryCase cases[] = {
      {"memory file", "plain.txt", std::nullopt, false, S_IFREG | 0444, 0, ""},
      {"private file", "secret", Attributes(S_IFREG | 0600, 1000), false, S_IFREG | 0600, 1000, ""},
      {"rational private file", "secret", Attributes(S_IFREG | 04600, 1000), true, S_IFREG | 0444, 0, ""},
      {"rational program", "run", Attributes(S_IFREG | 0700, 1000), true, S_IFREG | 0555, 0, ""},
      {"odd characters", "a:b\\c d", Attributes(S_IFREG | 0640, 5), false, S_IFREG | 0640, 5, ""},
      {"255-byte name", std::string(255, 'n'), Attributes(S_IFREG | 0644, 0), false, S_IFREG | 0644, 0, ""},
      {"relative link", "link", Attributes(S_IFLNK | 0777, 7, "../x/./y"), false, S_IFLNK | 0777, 7, "../x/./y"},
      {"absolute link", "abs", Attributes(S_IFLNK | 0777, 0, "/etc/hosts"), true, S_IFLNK | 0777, 0, "/etc/hosts"},
      {"long link", "far", Attributes(S_IFLNK | 0777, 0, long_target), false, S_IFLNK | 0777, 0, long_target},
  };
  for (const TEntryCase& c : cases) {
    SCOPED_TRACE(c.what);
    layout.ClearAll();
    layout.RockRidgeRational = c.rational;
    const pFileEntry e = AddFile(u"\\", Utf8ToUtf16(c.name), c.target.empty() ? 10 : 0);
    ASSERT_NE(e, nullptr);
    if (c.posix) {
      e->Posix = c.posix;
      e->Posix->Name = c.name;
    }
    Header();
    const std::vector<TReadRecord> records = Read(*layout.RootDir);
    ASSERT_EQ(records.size(), 3u);
    const TReadRecord& r = records[2];
    EXPECT_EQ(r.Name(), c.name);
    EXPECT_EQ(r.Px(0), c.mode);
    EXPECT_EQ(r.Px(1), 1u);  // links
    EXPECT_EQ(r.Px(2), c.uid);
    EXPECT_EQ(r.Px(3), c.posix && !c.rational ? c.uid + 1 : 0u);
    EXPECT_EQ(r.Target(), c.target);
    ASSERT_EQ(r.One("TF").size(), 22u);
    EXPECT_EQ(r.One("TF")[0], 0x0E);
    if (c.posix) {
      EXPECT_EQ(r.One("TF").substr(1, 7), std::string("\x65\x09\x09\x01\x2E\x28\x00", 7));
    }
    EXPECT_EQ(r.length % 2, 0);
  }
}

// The recording form of a UTC time as the C library's calendar gives it,
// with the year held to what the form can say.
std::string GmtimeDate(time_t t) {
  std::tm tm{};
  gmtime_r(&t, &tm);
  const int year = std::clamp(tm.tm_year + 1900, 1900, 2155);
  return std::string{static_cast<char>(year - 1900), static_cast<char>(tm.tm_mon + 1),
                     static_cast<char>(tm.tm_mday),  static_cast<char>(tm.tm_hour),
                     static_cast<char>(tm.tm_min),   static_cast<char>(tm.tm_sec), '\0'};
}

TEST_F(RockRidgeTest, TimesAreUtcCalendarDates) {
  const time_t times[] = {
      0,              // the epoch
      -1,             // the second before it
      -86'400,        // a whole day before
      951'782'400,    // 2000-02-29, a leap day of a century year
      951'868'799,    // its last second
      4'107'542'400,  // 2100-03-01, after the non-leap 2100-02-28
      -2'208'988'801, // 1899-12-31 23:59:59: the year held at 1900
      -2'208'988'800, // 1900-01-01
      5'000'000'000,  // 2128
      8'000'000'000,  // 2223: the year held at 2155
      1'700'000'123,
  };
  for (const time_t t : times) {
    SCOPED_TRACE(t);
    layout.ClearAll();
    const pFileEntry e = AddFile(u"\\", u"f", 1);
    ASSERT_NE(e, nullptr);
    e->Posix = Attributes(S_IFREG | 0644, 0);
    e->Posix->Name = "f";
    // Three different times, so that each must land in its own place.
    e->Posix->Modified.tv_sec = t;
    e->Posix->Accessed.tv_sec = t + 3'601;
    e->Posix->Changed.tv_sec = t - 59;
    Header();
    const std::vector<TReadRecord> records = Read(*layout.RootDir);
    ASSERT_EQ(records.size(), 3u);
    const std::string tf = records[2].One("TF");
    ASSERT_EQ(tf.size(), 22u);
    EXPECT_EQ(tf.substr(1, 7), GmtimeDate(t));
    EXPECT_EQ(tf.substr(8, 7), GmtimeDate(t + 3'601));
    EXPECT_EQ(tf.substr(15, 7), GmtimeDate(t - 59));
  }
}

TEST_F(RockRidgeTest, DirectoriesRootAndContinuationsAreWhole) {
  layout.JolietFS = true;
  layout.CreateDirW(u"\\", u"A");
  layout.CreateDirW(u"\\A", u"B");
  layout.CreateDirW(u"\\A", u"C");
  // Enough long names that the continuation area takes more than a sector.
  for (int i = 0; i < 12; ++i) AddFile(u"\\A", Utf8ToUtf16(std::string(250, 'a' + i)), 1);
  const uint32_t sectors = layout.Prepare();
  EXPECT_GE(layout.RockRidgeContinuationWidth, 2u);
  EXPECT_EQ(layout.RockRidgeContinuationExtent, layout.FileDirDescriptorExtent + layout.FileDirDescriptorWidth);
  EXPECT_EQ(layout.file_and_dir_descriptor_extent_j,
            layout.RockRidgeContinuationExtent + layout.RockRidgeContinuationWidth);
  EXPECT_EQ(sectors, layout.FirstDataSector + layout.FilesSize);
  Header();

  const std::vector<TReadRecord> root = Read(*layout.RootDir);
  ASSERT_GE(root.size(), 3u);
  // The root's "." announces the protocol first, ".." leads to the root.
  EXPECT_EQ(root[0].order.front(), "SP");
  EXPECT_EQ(root[0].One("SP"), std::string("\xBE\xEF\0", 3));
  EXPECT_EQ(root[0].One("ER").substr(4, 9), "IEEE_1282");
  EXPECT_EQ(root[1].extent, root[0].extent);
  EXPECT_EQ(root[0].Px(0), S_IFDIR | 0555u);
  EXPECT_EQ(root[0].Px(1), 3u);  // ".", "..", and A's ".."

  const TDirEntry& a = *layout.FindDir(u"\\A");
  const std::vector<TReadRecord> in_a = Read(a);
  ASSERT_EQ(in_a.size(), 2u + 2 + 12);
  EXPECT_EQ(in_a[0].Px(1), 4u);         // A holds B and C
  EXPECT_EQ(in_a[1].Px(1), 3u);         // ".." is the root
  EXPECT_EQ(in_a[0].Px(4), Named(root, "A")->Px(4));  // one serial for A wherever it is seen
  for (const TReadRecord& r : in_a) {
    EXPECT_EQ(r.length % 2, 0);
    EXPECT_FALSE(r.One("PX").empty());
    EXPECT_FALSE(r.One("TF").empty());
  }
  for (int i = 0; i < 12; ++i) EXPECT_NE(Named(in_a, std::string(250, 'a' + i)), nullptr) << i;
}

TEST_F(RockRidgeTest, LongNamesOfTheLongNameTreeLeaveRoomForAContinuation) {
  layout.ISO9660v1999FS = true;
  const std::string name(221, 'x');
  AddFile(u"\\", Utf8ToUtf16(name), 1);
  Header();
  const std::vector<TReadRecord> records = Read(*layout.RootDir);
  ASSERT_EQ(records.size(), 3u);
  EXPECT_LE(records[2].identifier.size(), 193u);
  EXPECT_EQ(records[2].Name(), name);
  // Without Rock Ridge the identifier keeps its 221 bytes.
  layout.RockRidge = false;
  Header();
  const uint8_t* extent = header.data() + layout.FileDirDescriptorExtent * 2048;
  EXPECT_EQ(extent[68 + 32], 221);
}

}  // namespace
}  // namespace orvex
