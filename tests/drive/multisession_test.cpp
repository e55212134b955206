// SPDX-License-Identifier: Apache-2.0
// Discs written in two and three sessions: each new session imports the
// last one, so that it shows every file, the earlier ones where they lie.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <map>
#include <sstream>

#include "drive/burn_fixture.h"
#include "platform/short_alias.h"
#include "platform/text_conversion.h"

namespace orvex::test {
namespace {

// `orvex ls --sector S IMAGE`: path -> block address of each file.
std::map<std::string, uint32_t> ListedAddresses(const std::string& image, uint32_t sector) {
  const TToolResult r = RunTool({ORVEX_CLI_PATH, "ls", "--sector", std::to_string(sector), image});
  EXPECT_EQ(r.status, 0) << r.err;
  std::map<std::string, uint32_t> addresses;
  std::istringstream lines(r.out);
  for (std::string kind, path; lines >> kind;) {
    uint64_t size = 0;
    uint32_t address = 0;
    lines >> size >> address >> std::ws;
    std::getline(lines, path);  // names may hold spaces
    if (kind == "f") addresses[path] = address;
  }
  return addresses;
}

// The volume space size in the primary descriptor of the session at `start`.
uint32_t VolumeSpaceSize(const std::string& image, uint32_t start) {
  std::ifstream in(image, std::ios::binary);
  in.seekg(std::streamoff{start + 16} * 2048 + 80);
  uint8_t bytes[4] = {};
  in.read(reinterpret_cast<char*>(bytes), 4);
  return bytes[0] | bytes[1] << 8 | bytes[2] << 16 | uint32_t{bytes[3]} << 24;
}

// Whether every component of `path` is a sound 8.3 name ("NAME.", as a
// file without extension is recorded, counts as "NAME").
bool All83(const std::string& path) {
  std::istringstream parts(path);
  for (std::string part; std::getline(parts, part, '/');) {
    if (!part.empty() && part.back() == '.') part.pop_back();
    if (!IsValid83Name(Utf8ToUtf16(part))) return false;
  }
  return true;
}

// The sizes and fingerprints of a view, whatever its names.
std::vector<std::pair<uint64_t, uint64_t>> Contents(const TTreeFacts& facts) {
  std::vector<std::pair<uint64_t, uint64_t>> contents;
  for (const auto& [path, f] : facts) contents.emplace_back(f.size, f.fingerprint);
  std::sort(contents.begin(), contents.end());
  return contents;
}

class Multisession : public BurnTest, public ::testing::WithParamInterface<const char*> {
 protected:
  // Session n adds the folder partN (a Source tree) beside what the last
  // session holds, and to the root a file whose alias, made in its own
  // folder, is the one each earlier such file got too; tree/ on disk
  // gathers what the disc should show.
  void BurnSession(int n) {
    const std::string part = "part" + std::to_string(n);
    Source("tree/" + part, static_cast<uint32_t>(n));
    const std::string holiday = "Holiday pictures " + std::to_string(n) + ".txt";
    PutScratch("tree/" + holiday, "pictures of session " + std::to_string(n));
    disc.ClearAll();
    disc.SetJolietFileSystem(true);
    if (n > 1) {
      ASSERT_EQ(disc.ImportSession(0, "\\"), n - 1);
      ASSERT_TRUE(disc.LastImport().Complete());
    }
    ASSERT_NE(disc.CreateDir("\\", part), nullptr);
    ASSERT_NE(disc.InsertDir("\\" + part, scratch.Path("tree/" + part), "*", true, false), nullptr);
    const std::string extra = PutScratch("extra/" + part + "/" + holiday, "pictures of session " + std::to_string(n));
    ASSERT_NE(disc.InsertFile("\\", extra), nullptr);
    ASSERT_GT(disc.Prepare(), 0u);
    const TOutcome outcome = Burn();
    ASSERT_TRUE(outcome.started) << outcome.error;
    ASSERT_FALSE(outcome.failed) << outcome.error;
    starts_.push_back(disc.CDFiles.FirstWritableSector);
    // Read back, the disc's last session is the one just written.
    const TOutcome verified = VerifyBurn();
    EXPECT_FALSE(verified.failed) << verified.error << ", " << disc.LastVerify().missing.size() << " missing";
  }

  std::vector<uint32_t> starts_;
};

TEST_P(Multisession, EverySessionShowsEveryFileSoFar) {
  Load(GetParam());
  std::map<std::string, uint32_t> earlier;
  TTreeFacts earlier_primary;
  for (int n = 1; n <= 3; ++n) {
    BurnSession(n);
    if (HasFatalFailure()) return;
    const std::string image = Export();
    std::string complaint;
    const TTreeFacts seen = XorrisoSessionFacts(image, starts_.back(), scratch.Path("x" + std::to_string(n)), &complaint);
    EXPECT_EQ(complaint, "");
    const TTreeFacts expected = DiskTreeFacts(scratch.Path("tree"));
    EXPECT_TRUE(seen == expected) << "session " << n << ":\n" << DescribeDifferences(expected, seen);
    // Its addresses count from block 0: so does its volume.
    EXPECT_EQ(VolumeSpaceSize(image, starts_.back()), starts_.back() + disc.ImageSize()) << "session " << n;
    // Readers of 8.3 names reach every file, each by a name of its own, and
    // what an earlier session called a file, this one calls it too.
    const TTreeFacts primary = IsoinfoFacts(image, false, &complaint, starts_.back());
    EXPECT_EQ(complaint, "");
    EXPECT_EQ(Contents(primary), Contents(expected)) << "session " << n;
    for (const auto& [path, f] : primary) {
      EXPECT_EQ(primary.count(path), 1u) << path;
      EXPECT_TRUE(All83(path)) << path;
    }
    for (const auto& [path, f] : earlier_primary) {
      EXPECT_EQ(primary.count(path), 1u) << path << " renamed in session " << n;
    }
    earlier_primary = primary;
    const std::map<std::string, uint32_t> listed = ListedAddresses(image, starts_.back());
    EXPECT_EQ(listed.size(), 5u * n);
    for (const auto& [path, address] : earlier) {
      const auto it = listed.find(path);
      EXPECT_TRUE(it != listed.end() && it->second == address) << path << " moved or vanished";
    }
    earlier = listed;
  }
  EXPECT_LT(starts_[0], starts_[1]);
  EXPECT_LT(starts_[1], starts_[2]);
}

INSTANTIATE_TEST_SUITE_P(Media, Multisession, ::testing::Values("dvd+r", "cd-r", "dvd-r", "bd-r"),
                         [](const ::testing::TestParamInfo<const char*>& param) {
                           std::string name = param.param;
                           for (char& c : name) c = c == '+' ? 'p' : c == '-' ? '_' : c;
                           return name;
                         });

// A second session that imports the disc's last one and adds the notes of
// another source tree.
class NotesBeside : public BurnTest {
 protected:
  // Burns it; the commands sent, empty when it could not be laid out.
  std::vector<vb_trace_entry> BurnNotes() {
    disc.ClearAll();
    disc.SetJolietFileSystem(true);
    if (disc.ImportSession(0, "\\") != 1 || disc.InsertFile("\\", Source("second", 2) + "/docs/notes.txt") == nullptr ||
        disc.Prepare() == 0) {
      ADD_FAILURE() << "the second session cannot be laid out";
      return {};
    }
    TOutcome outcome;
    const auto trace = TracedBurn(outcome);
    EXPECT_FALSE(outcome.failed) << outcome.error;
    return trace;
  }

  // What it shows: the tree of `first` and the notes beside them.
  TTreeFacts Expected(const std::string& first) {
    TTreeFacts expected = DiskTreeFacts(first);
    expected.emplace("notes.txt", DiskTreeFacts(scratch.Path("second")).find("docs/notes.txt")->second);
    return expected;
  }
};

// A sequential DVD-RW that holds a session takes the next beside it:
// nothing formats it, so the files the new session imports from the first
// still read back as they were.
TEST_F(NotesBeside, ASequentialDvdRwTakesAnotherSession) {
  Load("dvd-rw");
  const std::string first = Source("first", 1);
  Lay(first);
  const std::string image = scratch.Path("first.iso");
  ASSERT_FALSE(Run([&] { return disc.BuildISOImage(image); }).failed);
  ASSERT_FALSE(Run([&] { return disc.BurnISOImage(image); }).failed);
  const auto trace = BurnNotes();
  EXPECT_EQ(Sent(trace, 0x04), 0u) << "formatted";
  EXPECT_GT(disc.CDFiles.FirstWritableSector, 0u);
  std::string complaint;
  const TTreeFacts seen =
      XorrisoSessionFacts(Export(), disc.CDFiles.FirstWritableSector, scratch.Path("x"), &complaint);
  EXPECT_EQ(complaint, "");
  const TTreeFacts expected = Expected(first);
  EXPECT_TRUE(seen == expected) << DescribeDifferences(expected, seen);
}

// DVD+RW and BD-RE have no sessions: a new image goes after the volume
// found on the disc, and a copy of its start at block 0 makes the disc show
// the newest one.
class Overwrite : public NotesBeside, public ::testing::WithParamInterface<const char*> {};

TEST_P(Overwrite, TheStartOfTheDiscDescribesTheNewestImage) {
  Load(GetParam(), "class=bd-writer", true);
  Lay(Source("first", 1));
  ASSERT_FALSE(Burn().failed);
  const uint32_t first_size = disc.ImageSize();

  const auto trace = BurnNotes();
  ASSERT_FALSE(HasFailure());
  EXPECT_EQ(disc.CDFiles.FirstWritableSector, first_size);
  // Its file system, read from block 0, shows the new image where it lies.
  EXPECT_FALSE(VerifyBurn().failed) << disc.LastVerify().missing.size() << " missing";
  // The session's packets, then its first packet again at block 0.
  const std::string writing = Writing(trace);
  EXPECT_EQ(writing.rfind("2a@" + std::to_string(first_size) + " ", 0), 0u) << writing;
  EXPECT_EQ(writing.substr(writing.rfind("2a@"), 9), "2a@0 35 3") << writing;
  // Read from block 0 as any reader would, the disc shows the first tree's
  // files and the notes beside them.
  const TTreeFacts expected = Expected(scratch.Path("first"));
  std::string complaint;
  const TTreeFacts seen = IsoinfoFacts(Export(), true, &complaint);
  EXPECT_EQ(complaint, "");
  EXPECT_TRUE(seen == expected) << DescribeDifferences(expected, seen);
}

INSTANTIATE_TEST_SUITE_P(Media, Overwrite, ::testing::Values("dvd+rw", "bd-re"),
                         [](const ::testing::TestParamInfo<const char*>& param) {
                           std::string name = param.param;
                           for (char& c : name) c = c == '+' ? 'p' : c == '-' ? '_' : c;
                           return name;
                         });

}  // namespace
}  // namespace orvex::test
