// SPDX-License-Identifier: Apache-2.0
// make_corpus OUT_DIR [IMAGE...]: writes the seed images of the import's
// corpus (tests/services/corpus): hand-made volumes with one kind of bad
// input each, and for every IMAGE given (small tool-made images) copies cut
// short and copies with bytes of the descriptor and directory area
// corrupted.  Run by hand when the corpus changes; the files are committed.
#include <cstdio>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "services/test_volume.h"

namespace {

using orvex::test::BothEndian;
using orvex::test::SystemUseEntry;
using orvex::test::TRecordSpec;
using orvex::test::TTestVolume;
using orvex::test::Ucs2;

constexpr uint8_t kDir = 0x02;
constexpr uint8_t kMore = 0x80;

void Save(const std::string& dir, const std::string& name, const std::string& bytes) {
  std::ofstream(dir + "/" + name, std::ios::binary) << bytes;
}

// A primary and a Joliet tree over the same files, one directory of several
// sectors and one file in three sections.
TTestVolume Valid() {
  TTestVolume v(30);
  v.Descriptor(16, 1, 19, 2048);
  v.Descriptor(17, 2, 21, 2048, "%/E");
  v.Terminator(18);
  v.Directory(19, 19, {{"A.TXT;1", 28, 5}, {"SUB", 20, 2048, kDir}});
  v.Directory(20, 19, {{"B.TXT;1", 29, 3}});
  std::vector<TRecordSpec> many;
  for (int i = 0; i < 40; ++i) many.push_back({Ucs2(u"file number " + std::u16string(1, u'a' + i % 26) + u".txt"), 28, 1});
  many.push_back({Ucs2(u"split.bin"), 25, 4096, kMore});
  many.push_back({Ucs2(u"split.bin"), 27, 100});
  v.Directory(21, 21, many);
  return v;
}

TTestVolume Loops() {
  TTestVolume v(24);
  v.Descriptor(16, 2, 19, 2048, "%/@");
  v.Terminator(17);
  v.Directory(19, 19, {{Ucs2(u"loop"), 19, 2048, kDir}, {Ucs2(u"sub"), 20, 4096, kDir}});
  v.Directory(20, 19, {{Ucs2(u"up"), 19, 2048, kDir}, {Ucs2(u"self"), 20, 2048, kDir},
                       {Ucs2(u"inside"), 21, 2048, kDir}, {Ucs2(u"x"), 22, 1}});
  return v;
}

TTestVolume HugeLengths() {
  TTestVolume v(24);
  v.Descriptor(16, 1, 19, 0xFFFFFFFF);
  v.Terminator(17);
  v.Directory(19, 19, {{"BEYOND", 0xFFFFFFF0, 0xFFFFFFFF}, {"LONG", 20, 0xFFFFFFFF},
                       {"DIR", 0xFFFFFFFE, 0xFFFFFFFF, kDir}, {"SUB", 21, 0xFFFFFFFF, kDir}});
  v.Directory(21, 19, {{"F", 23, 10}});
  return v;
}

TTestVolume BadRecords() {
  TTestVolume v(24);
  v.Descriptor(16, 1, 19, 3 * 2048);
  v.Terminator(17);
  v.Directory(19, 19, {{"A", 22, 1}});
  size_t next = v.Record(20, 0, {"ID_TOO_LONG", 22, 1});
  v.Sector(20)[32] = 250;
  for (uint8_t length = 1; length < 34; ++length) v.Sector(20)[next++] = length;
  v.Record(20, 2000, {std::string(100, 'C'), 22, 1});  // runs past the sector
  v.Record(21, 2014, {"L", 22, 1});
  return v;
}

TTestVolume BrokenSections() {
  TTestVolume v(24);
  v.Descriptor(16, 1, 19, 2048);
  v.Terminator(17);
  v.Directory(19, 19, {{"GAP", 20, 2048, kMore}, {"GAP", 22, 1},
                       {"SHORT", 20, 10, kMore}, {"SHORT", 21, 1},
                       {"RENAMED", 20, 2048, kMore}, {"OTHER", 21, 1},
                       {"CUT", 20, 2048, kMore}});
  return v;
}

TTestVolume Descriptors() {
  TTestVolume v(24);
  v.Descriptor(16, 2, 500, 2048, "%/C");  // Joliet, root beyond the volume
  v.Descriptor(17, 2, 19, 2048);          // not Joliet: 8-bit names
  v.Descriptor(18, 7, 19, 2048);          // no such type
  v.Descriptor(20, 1, 19, 2048);
  v.Directory(19, 19, {{"Name with spaces;1", 22, 1}});
  return v;
}

TTestVolume Deep() {
  TTestVolume v(31);
  v.Descriptor(16, 1, 18, 2048);
  v.Terminator(17);
  for (uint32_t i = 0; i < 12; ++i) {
    std::vector<TRecordSpec> entries = {{"F" + std::to_string(i), 30, 1}};
    if (i < 11) entries.push_back({"D", 19 + i, 2048, kDir});
    v.Directory(18 + i, i == 0 ? 18 : 17 + i, entries);
  }
  return v;
}

// Rock Ridge records of every kind of fault, beside sound ones: continuation
// areas in a loop of one and of two, or beyond the image; an NM longer than
// its record; SL components past their entry; an entry of length 0.  With
// `bad_check_byte` the SP entry that announces them is unsound.
TTestVolume RockRidge(bool bad_check_byte) {
  TTestVolume v(26);
  v.Descriptor(16, 1, 19, 2048);
  v.Terminator(17);
  const std::string px = SystemUseEntry("PX", BothEndian(0100644) + BothEndian(1) + BothEndian(0) + BothEndian(0) +
                                                  BothEndian(5));
  const auto ce = [](uint32_t block, uint32_t offset, uint32_t length) {
    return SystemUseEntry("CE", BothEndian(block) + BothEndian(offset) + BothEndian(length));
  };
  const auto with = [](TRecordSpec record, const std::string& system_use) {
    record.system_use = system_use;
    return record;
  };
  // The root's area continues at offset 100 of sector 22, with an SP
  // where none belongs.
  const std::string sp = SystemUseEntry("SP", std::string(bad_check_byte ? "\xBE\xEE\0" : "\xBE\xEF\0", 3));
  const std::string root = sp + SystemUseEntry("ER", std::string("\x0A\0\0\x01", 4) + "RRIP_1991A") + ce(22, 100, 7);
  v.Directory(
      19, 19,
      {with({"GOOD;1", 24, 3}, px + SystemUseEntry("NM", std::string(1, '\0') + "Good name") +
                                   SystemUseEntry("TF", std::string("\x06\x7E\x0C\x08\x0A\x1E\0\0\x7E\x0C\x08\x0A\x1E\0\0", 15)) +
                                   SystemUseEntry("SL", std::string("\0\x08\0\0\x03usr", 8))),
       with({"LOOP1;1", 24, 3}, px + SystemUseEntry("NM", std::string(1, '\1') + "Half") + ce(22, 0, 28)),
       with({"LOOP2;1", 24, 3}, px + ce(22, 28, 28)),
       with({"FAR;1", 24, 3}, px + ce(0xFFFFFFF0, 0, 100)),
       with({"NMLONG;1", 24, 3}, px + std::string("NM\xFA\x01\0Long", 9)),
       with({"SLPAST;1", 24, 3}, px + SystemUseEntry("SL", std::string("\0\0\x40usr", 6))),
       with({"ZERO;1", 24, 3}, px + std::string("NM\0\x01", 4) + SystemUseEntry("NM", std::string(1, '\0') + "Lost")),
       {"SUB", 20, 2048, kDir}},
      root);
  v.Directory(20, 19, {with({"DEEP;1", 24, 3}, px + ce(23, 0, 28))}, SystemUseEntry("PX", std::string(40, '\0')));
  // At 22: a loop of one (offset 0), a loop of two with sector 23
  // (offset 28), and the root's continuation (offset 100).
  const std::string self = ce(22, 0, 28), to_next = ce(23, 0, 28), back = ce(22, 28, 28);
  std::copy(self.begin(), self.end(), v.Sector(22));
  std::copy(to_next.begin(), to_next.end(), v.Sector(22) + 28);
  std::copy(back.begin(), back.end(), v.Sector(23));
  std::copy(sp.begin(), sp.end(), v.Sector(22) + 100);
  return v;
}

void Variants(const std::string& dir, const std::string& image, const std::string& name) {
  for (size_t cut : {size_t{16 * 2048}, size_t{16 * 2048 + 100}, size_t{18 * 2048 + 7},
                     image.size() / 2, image.size() - 1000}) {
    if (cut < image.size()) Save(dir, name + ".cut" + std::to_string(cut), image.substr(0, cut));
  }
  std::mt19937 random(1);
  for (int round = 0; round < 3; ++round) {
    std::string bad = image;
    for (size_t i = 16 * 2048; i < bad.size(); i += 61 + random() % 64) {
      bad[i] = static_cast<char>(random());
    }
    Save(dir, name + ".flip" + std::to_string(round), bad);
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: make_corpus OUT_DIR [IMAGE...]\n");
    return 2;
  }
  const std::string dir = argv[1];
  Save(dir, "valid.iso", Valid().Bytes());
  Save(dir, "loops.iso", Loops().Bytes());
  Save(dir, "huge_lengths.iso", HugeLengths().Bytes());
  Save(dir, "bad_records.iso", BadRecords().Bytes());
  Save(dir, "broken_sections.iso", BrokenSections().Bytes());
  Save(dir, "descriptors.iso", Descriptors().Bytes());
  Save(dir, "deep.iso", Deep().Bytes());
  Save(dir, "rock_ridge.iso", RockRidge(false).Bytes());
  Save(dir, "rock_ridge_bad_sp.iso", RockRidge(true).Bytes());
  Variants(dir, Valid().Bytes(), "valid.iso");
  for (int i = 2; i < argc; ++i) {
    std::ifstream in(argv[i], std::ios::binary);
    const std::string image((std::istreambuf_iterator<char>(in)), {});
    const std::string path = argv[i];
    Variants(dir, image, path.substr(path.find_last_of('/') + 1));
  }
  return 0;
}
