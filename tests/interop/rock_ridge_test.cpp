// SPDX-License-Identifier: Apache-2.0
// Rock Ridge as readers nobody here wrote see it: each row runs one reader on
// an image `orvex mkiso` made of a POSIX tree and names what its output must
// show, without a complaint from the reader.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "peer_tools.h"
#include "source_tree.h"
#include "support/temp_dir.h"

namespace orvex::test {
namespace {

const std::string kDeep = [] {
  std::string path;
  for (int level = 1; level <= 100; ++level) path += "d" + std::to_string(level) + "/";
  return path + "leaf";
}();
const std::string kLongName = std::string(251, 'n') + ".txt";

struct TReaderCase {
  const char* property;
  std::vector<std::string> mkiso;   // options besides the default ones
  std::vector<std::string> reader;  // IMAGE stands for the image
  std::vector<std::string> shown;   // each must be in its standard output
};

const TReaderCase kCases[] = {
    {"signatures", {}, {"isoinfo", "-d", "-i", "IMAGE"}, {"Rock Ridge signatures version 1 found"}},
    {"modes", {}, {"isoinfo", "-R", "-l", "-i", "IMAGE"}, {"-rw-------   1", "-rwxr-xr-x   1", "-r--r--r--   1"}},
    {"links", {}, {"isoinfo", "-R", "-l", "-i", "IMAGE"},
     {"to_file -> f600", "to_dir -> sub", "dangling -> nowhere/at all", "absolute -> /no such/../place/./here"}},
    {"links and names", {}, {"xorriso", "-indev", "IMAGE", "-find", "/", "-exec", "lsdl"},
     {"'/to_dir' -> 'sub'", "'/dangling' -> 'nowhere/at all'", "'/colon:back\\slash and space'", "'/" + kLongName + "'",
      "'/" + kDeep + "'"}},
    {"modes and links", {}, {"bsdtar", "-tvf", "IMAGE"},
     {"-rw-------", "-rwxr-xr-x", "lrwxrwxrwx", "to_file -> f600", "to_dir -> sub", " " + kLongName + "\n",
      " " + kDeep + "\n"}},
    {"deep path", {}, {"7z", "l", "IMAGE"}, {kDeep}},
    {"rational modes", {"-r"}, {"bsdtar", "-tvf", "IMAGE"},
     {"-r--r--r--  1 0      0         100 ", "-r-xr-xr-x  1 0      0         100 ", "to_file -> f600"}},
    {"followed links", {"--follow-links", "--ignore-unreadable"}, {"xorriso", "-indev", "IMAGE", "-find", "/", "-exec", "lsdl"},
     {"-rw-------    1 0        0             100 ", "'/to_file'\n", "'/to_dir/inside.txt'"}},
    {"1999 names", {"--iso1999", "--no-joliet"}, {"bsdtar", "-tvf", "IMAGE"}, {" " + kLongName + "\n", "to_dir -> sub"}},
};

void PrintTo(const TReaderCase& c, std::ostream* os) { *os << c.property; }

class RockRidgeReaderTest : public ::testing::TestWithParam<TReaderCase> {
 protected:
  static void SetUpTestSuite() {
    source_ = new TempDir();
    MakePosixTree(source_->path() + "/src");
  }
  static void TearDownTestSuite() { delete source_; }

  static TempDir* source_;
  TempDir work_;
};

TempDir* RockRidgeReaderTest::source_ = nullptr;

TEST_P(RockRidgeReaderTest, ReaderShowsIt) {
  const TReaderCase& c = GetParam();
  for (const char* tool : {"isoinfo", "xorriso", "bsdtar", "7z"}) {
    if (!ToolAvailable(tool)) GTEST_FAIL() << tool << " is missing; scripts/test.sh installs it";
  }
  const std::string image = work_ / "rr.iso";
  std::vector<std::string> mkiso = {ORVEX_CLI_PATH, "mkiso", "-q", "-o", image};
  mkiso.insert(mkiso.end(), c.mkiso.begin(), c.mkiso.end());
  mkiso.push_back(source_->path() + "/src");
  const TToolResult made = RunTool(mkiso);
  ASSERT_EQ(made.status, 0) << made.err;

  std::vector<std::string> reader = c.reader;
  for (std::string& arg : reader) arg = arg == "IMAGE" ? image : arg;
  const TToolResult r = RunTool(reader);
  EXPECT_EQ(ToolComplaints(r, reader[0]), "");
  for (const std::string& shown : c.shown) EXPECT_NE(r.out.find(shown), std::string::npos) << shown << "\n" << r.out;
}

INSTANTIATE_TEST_SUITE_P(Readers, RockRidgeReaderTest, ::testing::ValuesIn(kCases));

// An interpreter that has pycdlib: the Debian package installs it for the
// system's own python3, which a PATH shim of another interpreter may hide.
std::string PythonWithPycdlib() {
  for (const char* python : {"python3", "/usr/bin/python3"}) {
    if (RunTool({python, "-c", "import pycdlib"}).status == 0) return python;
  }
  return "";
}

// The entries rock_ridge_judge.py prints ("PATH\tMODE\tTARGET\tNAME"), each
// checked to end in its own name.
TPosixTree JudgedTree(const std::string& out, std::string* complaint) {
  TPosixTree tree;
  std::istringstream lines(out);
  for (std::string line; std::getline(lines, line);) {
    std::vector<std::string> fields;
    std::istringstream parts(line);
    for (std::string field; std::getline(parts, field, '\t');) fields.push_back(field);
    if (line.ends_with('\t')) fields.emplace_back();
    if (fields.size() != 4 || !(fields[0] == fields[3] || fields[0].ends_with("/" + fields[3]))) {
      *complaint += "a line not of the form PATH, MODE, TARGET, NAME: " + line + "\n";
      continue;
    }
    tree[fields[0]] = TPosixEntry{.mode = static_cast<uint32_t>(std::stoul(fields[1], nullptr, 8)), .target = fields[2]};
  }
  return tree;
}

// pycdlib's Rock Ridge reader finds every entry of the tree under its exact
// name, with its type and permission bits and a link's target.
TEST(RockRidgePycdlib, ReadsTheTreeAsTheSourceHasIt) {
  const std::string python = PythonWithPycdlib();
  if (python.empty()) GTEST_FAIL() << "pycdlib is missing; scripts/test.sh installs python3-pycdlib";
  TempDir dir;
  MakePosixTree(dir / "src");
  const std::string image = dir / "rr.iso";
  const TToolResult made = RunTool({ORVEX_CLI_PATH, "mkiso", "-q", "-o", image, dir / "src"});
  ASSERT_EQ(made.status, 0) << made.err;
  const TToolResult judged = RunTool({python, ROCK_RIDGE_JUDGE, image});
  ASSERT_EQ(judged.status, 0) << judged.err;
  EXPECT_EQ(judged.err, "");
  std::string complaint;
  const TPosixTree seen = JudgedTree(judged.out, &complaint);
  EXPECT_EQ(complaint, "");
  const TPosixTree expected = DiskPosixTree(dir / "src", false);
  EXPECT_TRUE(seen == expected) << DescribePosixDifferences(expected, seen);
}

}  // namespace
}  // namespace orvex::test
