// Discs written in two and three sessions: each new session imports the
// last one, so that it shows every file, the earlier ones where they lie.
#include <gtest/gtest.h>

#include <map>
#include <sstream>

#include "drive/burn_fixture.h"

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
    lines >> size >> address >> path;
    if (kind == "f") addresses[path] = address;
  }
  return addresses;
}

class Multisession : public BurnTest, public ::testing::WithParamInterface<const char*> {
 protected:
  // Session n adds the folder partN (a Source tree) beside what the last
  // session holds; tree/ on disk gathers what the disc should show.
  void BurnSession(int n) {
    const std::string part = "part" + std::to_string(n);
    Source("tree/" + part, static_cast<uint32_t>(n));
    disc.ClearAll();
    disc.SetJolietFileSystem(true);
    if (n > 1) {
      ASSERT_EQ(disc.ImportSession(0, "\\"), n - 1);
      ASSERT_TRUE(disc.LastImport().Complete());
    }
    ASSERT_NE(disc.CreateDir("\\", part), nullptr);
    ASSERT_NE(disc.InsertDir("\\" + part, scratch.Path("tree/" + part), "*", true, false), nullptr);
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
  for (int n = 1; n <= 3; ++n) {
    BurnSession(n);
    if (HasFatalFailure()) return;
    const std::string image = Export();
    std::string complaint;
    const TTreeFacts seen = XorrisoSessionFacts(image, starts_.back(), scratch.Path("x" + std::to_string(n)), &complaint);
    EXPECT_EQ(complaint, "");
    const TTreeFacts expected = DiskTreeFacts(scratch.Path("tree"));
    EXPECT_TRUE(seen == expected) << "session " << n << ":\n" << DescribeDifferences(expected, seen);
    const std::map<std::string, uint32_t> listed = ListedAddresses(image, starts_.back());
    EXPECT_EQ(listed.size(), 4u * n);
    for (const auto& [path, address] : earlier) {
      const auto it = listed.find(path);
      EXPECT_TRUE(it != listed.end() && it->second == address) << path << " moved or vanished";
    }
    earlier = listed;
  }
  EXPECT_LT(starts_[0], starts_[1]);
  EXPECT_LT(starts_[1], starts_[2]);
}

INSTANTIATE_TEST_SUITE_P(Media, Multisession, ::testing::Values("dvd+r", "cd-r", "dvd-r"),
                         [](const ::testing::TestParamInfo<const char*>& param) {
                           std::string name = param.param;
                           for (char& c : name) c = c == '+' ? 'p' : c == '-' ? '_' : c;
                           return name;
                         });

// DVD+RW and BD-RE have no sessions: a new image goes after the volume
// found on the disc, and a copy of its start at block 0 makes the disc show
// the newest one.
class Overwrite : public BurnTest, public ::testing::WithParamInterface<const char*> {};

TEST_P(Overwrite, TheStartOfTheDiscDescribesTheNewestImage) {
  Load(GetParam(), "class=bd-writer", true);
  Lay(Source("first", 1));
  ASSERT_FALSE(Burn().failed);
  const uint32_t first_size = disc.ImageSize();

  disc.ClearAll();
  disc.SetJolietFileSystem(true);
  ASSERT_EQ(disc.ImportSession(0, "\\"), 1);
  ASSERT_NE(disc.InsertFile("\\", Source("second", 2) + "/docs/notes.txt"), nullptr);
  ASSERT_GT(disc.Prepare(), 0u);
  TOutcome outcome;
  const auto trace = TracedBurn(outcome);
  ASSERT_FALSE(outcome.failed) << outcome.error;
  EXPECT_EQ(disc.CDFiles.FirstWritableSector, first_size);
  // Its file system, read from block 0, shows the new image where it lies.
  EXPECT_FALSE(VerifyBurn().failed) << disc.LastVerify().missing.size() << " missing";
  // The session's packets, then its first packet again at block 0.
  const std::string writing = Writing(trace);
  EXPECT_EQ(writing.rfind("2a@" + std::to_string(first_size) + " ", 0), 0u) << writing;
  EXPECT_EQ(writing.substr(writing.rfind("2a@"), 9), "2a@0 35 3") << writing;
  // Read from block 0 as any reader would, the disc shows the first tree's
  // files and the notes beside them.
  TTreeFacts expected = DiskTreeFacts(scratch.Path("first"));
  expected.emplace("notes.txt", DiskTreeFacts(scratch.Path("second")).find("docs/notes.txt")->second);
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
