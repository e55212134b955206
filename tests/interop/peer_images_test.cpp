// SPDX-License-Identifier: Apache-2.0
// Both directions between our tools and the peers': images that `orvex
// mkiso --smart-refs` makes, with duplicates stored once, read by every
// reader; and images the peers make, listed by `orvex ls`.
#include <gtest/gtest.h>

#include <regex>
#include <sstream>

#include "peer_tools.h"
#include "platform/text_conversion.h"
#include "source_tree.h"
#include "support/temp_dir.h"

namespace orvex::test {
namespace {

TToolResult Orvex(std::vector<std::string> args) {
  args.insert(args.begin(), ORVEX_CLI_PATH);
  return RunTool(args);
}

// What `orvex ls` shows, as facts (fingerprints zero: it lists, it does not read).
TTreeFacts ListedFacts(const std::string& image, std::string* error) {
  const TToolResult r = Orvex({"ls", image});
  if (r.status != 0) *error = r.err;
  TTreeFacts facts;
  std::istringstream lines(r.out);
  for (std::string line; std::getline(lines, line);) {
    std::istringstream fields(line);
    std::string kind, size, address, path;
    fields >> kind >> size >> address;
    std::getline(fields, path);
    facts.emplace(path.substr(2), TEntryFacts{kind == "d", kind == "d" ? 0 : std::stoull(size), 0});
  }
  return facts;
}

TTreeFacts LongNamesHidden(const TTreeFacts& facts) {
  TTreeFacts out;
  for (const auto& [path, f] : facts) {
    const size_t slash = path.rfind('/');
    const std::string name = path.substr(slash == std::string::npos ? 0 : slash + 1);
    out.emplace(Utf8ToUtf16(name).size() >= 99 ? path.substr(0, slash + 1) + "<long name>" : path, f);
  }
  return out;
}

TTreeFacts WithoutContent(TTreeFacts facts) {
  for (auto& [path, f] : facts) f.fingerprint = 0;
  return facts;
}

TEST(SmartReferenceImages, DuplicatesAreStoredOnceAndReadBackWhole) {
  TempDir dir;
  const std::string copy = PatternBytes(300'000, 42);
  dir.Write("src/original.bin", copy);
  dir.Write("src/Copies/first copy.bin", copy);
  dir.Write("src/Copies/Deeper/second copy.bin", copy);
  dir.Write("src/tiny a.txt", "x");
  dir.Write("src/tiny b.txt", "x");
  dir.Write("src/same size other.bin", PatternBytes(300'000, 43));
  dir.Write("src/unique.txt", "only one");
  const std::string src = dir / "src";
  const TTreeFacts source = DiskTreeFacts(src);

  const std::string plain = dir / "plain.iso", shared = dir / "shared.iso";
  ASSERT_EQ(Orvex({"mkiso", "-q", "--udf", "-o", plain, src}).status, 0);
  const TToolResult made = Orvex({"mkiso", "-q", "--udf", "--smart-refs", "-o", shared, src});
  ASSERT_EQ(made.status, 0) << made.err;
  std::smatch m;
  ASSERT_TRUE(std::regex_search(made.out, m, std::regex(R"(, (\d+) bytes saved by smart references)"))) << made.out;
  const uint64_t saved = std::stoull(m[1]);
  EXPECT_EQ(saved, 2 * 2048 * ((300'000 + 2047) / 2048) + 2048);
  // The image is smaller by the bytes saved, give or take the padding to a
  // whole packet.
  const int64_t smaller = static_cast<int64_t>(std::filesystem::file_size(plain)) -
                          static_cast<int64_t>(std::filesystem::file_size(shared));
  EXPECT_LT(std::abs(smaller - static_cast<int64_t>(saved)), 65536) << smaller;

  for (const std::vector<std::string>& extract :
       {std::vector<std::string>{"bsdtar", "-xf", shared, "-C"}, std::vector<std::string>{"7z", "x", "-y", "-tiso", shared, "-o"},
        std::vector<std::string>{"7z", "x", "-y", "-tudf", shared, "-o"},
        std::vector<std::string>{"xorriso", "-osirrox", "on", "-indev", shared, "-extract", "/"}}) {
    const std::string out = dir.Mkdir("out-" + extract[0] + extract[3]);
    std::vector<std::string> argv = extract;
    if (argv.back() == "-o") argv.back() += out; else argv.push_back(out);
    const TToolResult r = RunTool(argv);
    EXPECT_EQ(r.status, 0) << r.err;
    const TTreeFacts seen = DiskTreeFacts(out);
    EXPECT_TRUE(seen == source) << extract[0] << " " << extract[3] << ":\n" << DescribeDifferences(source, seen);
  }
  std::string complaint;
  const TTreeFacts iso = IsoinfoFacts(shared, true, &complaint);
  EXPECT_EQ(complaint, "");
  EXPECT_TRUE(iso == source) << DescribeDifferences(source, iso);
  EXPECT_EQ(RunTool({"udfinfo", shared}).status, 0);
}

class PeerImages : public ::testing::TestWithParam<std::vector<std::string>> {};

// `orvex ls` lists what a peer tool was given: with Joliet the names as
// they are; without, a tree of upper-case 8.3 names that plain ISO 9660
// keeps as they are too.
TEST_P(PeerImages, OrvexListsTheTreeThePeerWasGiven) {
  const std::vector<std::string>& maker = GetParam();
  const bool joliet = std::find(maker.begin(), maker.end(), "-J") != maker.end();
  TempDir dir;
  const std::string src = dir / "src";
  if (joliet) {
    MakeAwkwardTree(src);
    // Without Rock Ridge a peer leaves out directories beyond eight levels.
    std::filesystem::remove_all(src + "/level 1/level 2/level 3/level 4/level 5/level 6/level 7/level 8");
  } else {
    dir.Write("src/README.TXT", "read me");
    dir.Write("src/DATA/PART1.BIN", PatternBytes(70'000, 1));
    dir.Write("src/DATA/DEEP/LEVEL3/LEAF.DAT", PatternBytes(10, 2));
    dir.Write("src/EMPTY.TXT", "");
    dir.Mkdir("src/NOTHING");
  }
  const std::string image = dir / "peer.iso";
  std::vector<std::string> argv = maker;
  argv.insert(argv.end(), {"-o", image, src});
  const TToolResult made = RunTool(argv);
  ASSERT_EQ(made.status, 0) << made.err;
  std::string error;
  const TTreeFacts listed = ListedFacts(image, &error);
  EXPECT_EQ(error, "");
  // Names beyond 103 characters each peer cuts its own way: they stand as
  // one placeholder on both sides.
  const TTreeFacts expected = LongNamesHidden(WithoutContent(DiskTreeFacts(src)));
  const TTreeFacts shown = LongNamesHidden(listed);
  EXPECT_TRUE(shown == expected) << DescribeDifferences(expected, shown);
}

INSTANTIATE_TEST_SUITE_P(
    Makers, PeerImages,
    ::testing::Values(std::vector<std::string>{"genisoimage", "-quiet", "-J", "-joliet-long"},
                      std::vector<std::string>{"genisoimage", "-quiet"},
                      std::vector<std::string>{"xorriso", "-as", "mkisofs", "-quiet", "-J", "-joliet-long"},
                      std::vector<std::string>{"xorriso", "-as", "mkisofs", "-quiet"}));

}  // namespace
}  // namespace orvex::test
