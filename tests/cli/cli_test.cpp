// SPDX-License-Identifier: Apache-2.0
// The orvex command line, run as users run it: what it builds and lists,
// and that it never loses or damages anything without saying so.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <grp.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <sstream>
#include <thread>

#include "cli/drive_access.h"
#include "cli/json.h"
#include "cli/progress_bar.h"
#include "drive/read_retry.h"
#include "platform/text_conversion.h"
#include "image/image_layout.h"
#include "services/session_import.h"
#include "services/test_volume.h"
#include "support/run_tool.h"
#include "support/temp_dir.h"
#include "support/terminal_tool.h"

namespace orvex::test {
namespace {

namespace fs = std::filesystem;

const std::string kOrvex = ORVEX_CLI_PATH;

TToolResult Orvex(std::vector<std::string> args) {
  args.insert(args.begin(), kOrvex);
  return RunTool(args);
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// The lines of `orvex ls` as "KIND SIZE PATH" (directories without a size).
std::vector<std::string> Listing(const std::string& out) {
  std::istringstream lines(out);
  std::vector<std::string> entries;
  for (std::string line; std::getline(lines, line);) {
    std::istringstream fields(line);
    std::string kind, size, address, path;
    fields >> kind >> size >> address;
    std::getline(fields, path);
    entries.push_back(kind + " " + (kind == "f" ? size : "") + path);
  }
  return entries;
}

// Files whose name starts with `prefix` in `dir`.
int CountNamed(const std::string& dir, const std::string& prefix) {
  int n = 0;
  for (const auto& entry : fs::directory_iterator(dir)) n += entry.path().filename().string().rfind(prefix, 0) == 0;
  return n;
}

TEST(Cli, UsageErrorsAndHelp) {
  EXPECT_EQ(Orvex({}).status, 2);
  EXPECT_EQ(Orvex({"burn-everything"}).status, 2);
  const TToolResult help = Orvex({"--help"});
  EXPECT_EQ(help.status, 0);
  EXPECT_NE(help.out.find("mkiso"), std::string::npos);
  for (const auto& args : std::vector<std::vector<std::string>>{
           {"mkiso"}, {"mkiso", "-o", "x.iso"}, {"mkiso", "src"}, {"mkiso", "-o"}, {"mkiso", "--nope", "-o", "x", "y"},
           {"mkiso", "-o", "x.iso", "--cache", "lots", "src"}, {"mkiso", "-o", "x.iso", "--cache", "1", "src"},
           {"mkiso", "--udf=yes", "-o", "x.iso", "src"}, {"ls"}, {"ls", "a", "b"}}) {
    const TToolResult r = Orvex(args);
    EXPECT_EQ(r.status, 2) << args[0] << " " << (args.size() > 1 ? args[1] : "");
    // The one thing that is wrong and where help is, not the whole help.
    EXPECT_EQ(r.err.rfind("orvex " + args[0] + ": ", 0), 0u) << r.err;
    EXPECT_EQ(r.err.substr(r.err.find('\n') + 1), "see 'orvex " + args[0] + " --help'\n") << r.err;
  }
  for (const char* command : {"mkiso", "ls"}) {
    const TToolResult r = Orvex({command, "--help"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out.rfind(std::string("usage: orvex ") + command, 0), 0u);
  }
}

TEST(Cli, BuildsAndListsAnImage) {
  TempDir dir;
  dir.Write("src/a.txt", "alpha");
  dir.Write("src/Sub Dir/b.bin", std::string(5000, 'b'));
  dir.Write("loose.txt", "loose");
  const std::string image = dir / "out.iso";
  const TToolResult made = Orvex({"mkiso", "-q", "-o", image, "--udf", "-V", "Test", "--dest", "/in/here",
                                  dir / "src", dir / "loose.txt"});
  ASSERT_EQ(made.status, 0) << made.err;
  EXPECT_EQ(made.err, "");
  EXPECT_NE(made.out.find(": 3 files, 3 directories, "), std::string::npos) << made.out;
  EXPECT_EQ(CountNamed(dir.path(), ".out.iso"), 0);  // no temporary file stays behind
  const TToolResult listed = Orvex({"ls", image});
  ASSERT_EQ(listed.status, 0) << listed.err;
  EXPECT_EQ(listed.err, "orvex: " + image + ": listing its Joliet tree\n");
  for (const std::string& line : Listing(listed.out)) EXPECT_EQ(line.find(" 0 "), std::string::npos) << line;
  // In the image's order: by 8.3 name (SUB DIR's is SUBDIR~1), depth first.
  EXPECT_EQ(Listing(listed.out), (std::vector<std::string>{"d  /in", "d  /in/here", "f 5 /in/here/a.txt",
                                                           "f 5 /in/here/loose.txt", "d  /in/here/Sub Dir",
                                                           "f 5000 /in/here/Sub Dir/b.bin"}));
}

TEST(Cli, SavePathKeepsTheSourcesPath) {
  TempDir dir;
  dir.Write("deep/er/file.txt", "x");
  const std::string cwd = fs::current_path();
  ASSERT_EQ(chdir(dir.path().c_str()), 0);
  const TToolResult made = Orvex({"mkiso", "-q", "-o", "out.iso", "--save-path", "deep/er/file.txt"});
  const TToolResult listed = Orvex({"ls", "out.iso"});
  ASSERT_EQ(chdir(cwd.c_str()), 0);
  ASSERT_EQ(made.status, 0) << made.err;
  EXPECT_NE(listed.out.find(" /deep/er/file.txt\n"), std::string::npos) << listed.out;
}

TEST(Cli, BadInputFailsClearly) {
  TempDir dir;
  dir.Write("src/a.txt", "a");
  TToolResult r = Orvex({"mkiso", "-o", dir / "out.iso", dir / "missing"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err.substr(0, r.err.find('\n')), "orvex: cannot read " + (dir / "missing") + ": No such file or directory");

  r = Orvex({"mkiso", "-o", dir / "no/such/dir/out.iso", dir / "src"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "orvex: cannot create " + (dir / "no/such/dir/out.iso") + ": No such file or directory\n");

  r = Orvex({"mkiso", "-o", dir / "src", dir / "src"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "orvex: cannot write " + (dir / "src") + ": it is a directory\n");

  dir.Write("odd.img", std::string(1000, 'x'));
  r = Orvex({"mkiso", "-o", dir / "out.iso", "--boot", dir / "odd.img", dir / "src"});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("cannot use"), std::string::npos);
  EXPECT_FALSE(fs::exists(dir / "out.iso"));

  r = Orvex({"mkiso", "-o", dir / "out.iso", "--no-rock", "-r", dir / "src"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "orvex: --no-rock and --rock-rational contradict each other\n");
  EXPECT_FALSE(fs::exists(dir / "out.iso"));

  r = Orvex({"ls", dir / "odd.img"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "orvex: cannot read " + (dir / "odd.img") + " as an ISO 9660 image: it holds no ISO 9660 volume\n");
}

// --- Nothing left out without a word --------------------------------------------

struct TLossCase {
  const char* name;
  std::function<void(const TempDir&)> make;  // fills dir/src
  std::string said;                          // on standard error, SRC standing for dir/src
  bool warning;                              // told, but the image is written all the same
  const char* option = nullptr;              // given to mkiso besides
};

const TLossCase kLosses[] = {
    {"unreadable directory",
     [](const TempDir& d) {
       d.Write("src/closed/b.txt", "b");
       chmod((d / "src/closed").c_str(), 0);
     },
     "orvex: cannot read directory SRC/closed: Permission denied\n", false},
    {"directory that cannot be entered",
     [](const TempDir& d) {
       d.Write("src/listed/b.txt", "b");
       chmod((d / "src/listed").c_str(), 0444);
     },
     "orvex: cannot read directory SRC/listed: Permission denied\n", false},
    {"unreadable file",
     [](const TempDir& d) {
       d.Write("src/secret.bin", "s");
       chmod((d / "src/secret.bin").c_str(), 0);
     },
     "orvex: cannot read SRC/secret.bin: Permission denied\n", false},
    {"pipe", [](const TempDir& d) { mkfifo((d / "src/pipe").c_str(), 0644); },
     "orvex: warning: SRC/pipe is not a regular file or directory; left out\n", true},
    // Kept as a link unless links are followed.
    {"link that leads nowhere", [](const TempDir& d) { symlink("/nowhere/at/all", (d / "src/link").c_str()); },
     "orvex: warning: SRC/link is a symbolic link that leads nowhere; left out\n", true, "--follow-links"},
};

void PrintTo(const TLossCase& c, std::ostream* os) { *os << c.name; }

class LossTest : public ::testing::TestWithParam<TLossCase> {};

// Run as an unprivileged user, so that permissions apply.  Without
// --ignore-unreadable nothing is written; with it the image holds the rest
// and the summary counts what was left out.
TEST_P(LossTest, IsToldAndCounted) {
  const TLossCase& c = GetParam();
  TempDir dir;
  dir.Write("src/kept.txt", "kept");
  c.make(dir);
  chmod(dir.Mkdir("out").c_str(), 0777);
  const std::string src = dir / "src", image = dir / "out/out.iso";
  std::string said = c.said;
  said.replace(said.find("SRC"), 3, src);
  EXPECT_TRUE(RunUnprivileged([&] {
    std::vector<std::string> args = {"mkiso", "-q", "-o", image, src};
    if (c.option != nullptr) args.insert(args.begin() + 1, c.option);
    const TToolResult strict = Orvex(args);
    const bool strict_ok = c.warning ? strict.status == 0 && strict.err == said
                                     : strict.status == 1 && strict.err.rfind(said, 0) == 0 &&
                                           strict.err.find("nothing was written") != std::string::npos &&
                                           !fs::exists(image);
    args.insert(args.begin() + 1, "--ignore-unreadable");
    const TToolResult lenient = Orvex(args);
    const bool lenient_ok = lenient.status == 0 && lenient.err == said &&
                            lenient.out.find(", 1 entry left out\n") != std::string::npos;
    const TToolResult listed = Orvex({"ls", image});
    const bool listed_ok = listed.out.find(" /kept.txt\n") != std::string::npos;
    if (!strict_ok || !lenient_ok || !listed_ok) {
      std::fprintf(stderr, "strict %d: %s\nlenient %d: %s%s\nlisted: %s\n", strict.status, strict.err.c_str(),
                   lenient.status, lenient.err.c_str(), lenient.out.c_str(), listed.out.c_str());
    }
    return strict_ok && lenient_ok && listed_ok;
  }));
}

// A case's name as a test name: its words joined by "_".
struct CaseName {
  template <class T>
  std::string operator()(const ::testing::TestParamInfo<T>& info) const {
    std::string name = info.param.name;
    for (char& c : name) c = std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
    return name;
  }
};

INSTANTIATE_TEST_SUITE_P(Cases, LossTest, ::testing::ValuesIn(kLosses), CaseName());

TEST(Cli, TwoSourcesOfOneNameIntoOneDirectory) {
  TempDir dir;
  dir.Write("a/readme.txt", "first");
  dir.Write("b/readme.txt", "second");
  const TToolResult r = Orvex({"mkiso", "-q", "-o", dir / "out.iso", dir / "a/readme.txt", dir / "b/readme.txt"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err.substr(0, r.err.find('\n')),
            "orvex: cannot add " + (dir / "b/readme.txt") + ": the image holds that name already");
}

// Both are written, told once, and nothing counts as left out.
TEST(Cli, NamesDifferingOnlyInCaseAreBothKept) {
  TempDir dir;
  dir.Write("src/README", "upper");
  dir.Write("src/readme", "lower");
  const std::string image = dir / "out.iso";
  const TToolResult r = Orvex({"mkiso", "-q", "-o", image, dir / "src"});
  EXPECT_EQ(r.status, 0) << r.err;
  // The sources are listed in the directory's order: either may come first.
  const std::string told = "orvex: warning: " + (dir / "src") + "/";
  EXPECT_EQ(r.err.rfind(told, 0), 0u) << r.err;
  EXPECT_NE(r.err.find(" differs only in case from "), std::string::npos) << r.err;
  EXPECT_NE(r.err.find(" beside it: both are kept, one under a numbered name (~N) in the Joliet and ISO 9660 trees\n"),
            std::string::npos)
      << r.err;
  EXPECT_EQ(r.out.find("left out"), std::string::npos) << r.out;
  const std::string listed = Orvex({"ls", image}).out;
  const bool upper_whole = listed.find(" /README\n") != std::string::npos;
  EXPECT_TRUE(upper_whole ? listed.find(" /readme~1\n") != std::string::npos
                          : listed.find(" /readme\n") != std::string::npos &&
                                listed.find(" /README~1\n") != std::string::npos)
      << listed;
}

TEST(Cli, LongSimilarAndForeignNamesAllArrive) {
  TempDir dir;
  const std::string common(105, 'n');
  dir.Write("src/" + std::string(240, 'L') + ".txt", "long");
  for (const char* end : {"-one.txt", "-two.txt", "-three.txt"}) dir.Write("src/" + common + end, end);
  dir.Write("src/caf\xE9.txt", "latin-1");
  const TToolResult made = Orvex({"mkiso", "-q", "-o", dir / "out.iso", dir / "src"});
  ASSERT_EQ(made.status, 0) << made.err;
  EXPECT_EQ(made.err, "");
  EXPECT_NE(made.out.find(": 5 files, 0 directories"), std::string::npos) << made.out;
  const TToolResult listed = Orvex({"ls", dir / "out.iso"});
  ASSERT_EQ(listed.status, 0) << listed.err;
  std::vector<std::string> lines = Listing(listed.out);
  std::sort(lines.begin(), lines.end());
  ASSERT_EQ(lines.size(), 5u) << listed.out;
  EXPECT_EQ(std::adjacent_find(lines.begin(), lines.end()), lines.end()) << listed.out;
  EXPECT_NE(listed.out.find(" /caf_.txt\n"), std::string::npos) << listed.out;
}

// --- The output: complete or not there ------------------------------------------

// Starts `orvex mkiso` over 6 GiB of holes and waits until its temporary
// image holds some of it.
class RunningBuild {
 public:
  explicit RunningBuild(const TempDir& dir) : tool_(Command(dir)) {
    for (int i = 0; i < 4000 && !Writing(dir.path()); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  TRunningTool& tool() { return tool_; }

 private:
  static std::vector<std::string> Command(const TempDir& dir) {
    fs::resize_file(dir.Write("src/huge.bin"), 6ull << 30);  // sparse: costs no disk
    return {kOrvex, "mkiso", "-q", "-o", dir / "out.iso", dir / "src"};
  }
  static bool Writing(const std::string& dir) {
    for (const auto& entry : fs::directory_iterator(dir)) {
      if (entry.path().filename().string().rfind(".out.iso.orvex-", 0) == 0 && entry.file_size() > (1 << 20)) return true;
    }
    return false;
  }
  TRunningTool tool_;
};

class SignalTest : public ::testing::TestWithParam<int> {};

TEST_P(SignalTest, AbortsAndLeavesNothingBehind) {
  TempDir dir;
  RunningBuild build(dir);
  build.tool().Signal(GetParam());
  const TToolResult r = build.tool().Finish();
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "orvex: Aborted by user\n");
  EXPECT_FALSE(fs::exists(dir / "out.iso"));
  EXPECT_EQ(CountNamed(dir.path(), ".out.iso"), 0);
}

INSTANTIATE_TEST_SUITE_P(Signals, SignalTest, ::testing::Values(SIGINT, SIGTERM, SIGHUP));

TEST(Cli, KilledBuildLeavesNoFileUnderTheName) {
  TempDir dir;
  RunningBuild build(dir);
  build.tool().Signal(SIGKILL);
  build.tool().Finish();
  EXPECT_FALSE(fs::exists(dir / "out.iso"));
}

TEST(Cli, FailedRebuildKeepsTheOldImage) {
  TempDir dir;
  dir.Write("src/small.txt", "small");
  const std::string image = dir / "out.iso";
  ASSERT_EQ(Orvex({"mkiso", "-q", "-o", image, dir / "src"}).status, 0);
  const std::string before = ReadFile(image);
  dir.Write("src/big.bin", std::string(4 << 20, 'b'));
  // A file-size limit makes the rebuild fail while it writes.
  const TToolResult r = RunTool({"sh", "-c", "trap '' XFSZ; ulimit -f 1024; exec \"$0\" mkiso -q -o \"$1\" \"$2\"",
                                 kOrvex, image, dir / "src"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "orvex: cannot write " + image + ": File too large\n");
  EXPECT_TRUE(ReadFile(image) == before);
  EXPECT_EQ(CountNamed(dir.path(), ".out.iso"), 0);
}

TEST(Cli, AnOutputThatIsASourceIsRefused) {
  TempDir dir;
  const std::string input = dir.Write("src/a.txt", "precious");
  TToolResult r = Orvex({"mkiso", "-o", input, input});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "orvex: " + input + " is the image being written; give another output\n");
  // An earlier image inside a source directory.
  ASSERT_EQ(Orvex({"mkiso", "-q", "-o", dir / "src/out.iso", input}).status, 0);
  const std::string old_image = ReadFile(dir / "src/out.iso");
  r = Orvex({"mkiso", "-o", dir / "src/out.iso", dir / "src"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "orvex: " + (dir / "src/out.iso") + " is the image being written; give another output\n");
  EXPECT_EQ(ReadFile(input), "precious");
  EXPECT_TRUE(ReadFile(dir / "src/out.iso") == old_image);
}

TEST(Cli, OutputsThatAreNoRegularFiles) {
  TempDir dir;
  dir.Write("src/a.txt", "a");
  // A symbolic link stays; what it leads to gets the image.
  const std::string target = dir.Write("target.iso", "old");
  ASSERT_EQ(symlink(target.c_str(), (dir / "link.iso").c_str()), 0);
  ASSERT_EQ(Orvex({"mkiso", "-q", "-o", dir / "link.iso", dir / "src"}).status, 0);
  EXPECT_TRUE(fs::is_symlink(dir / "link.iso"));
  EXPECT_EQ(fs::file_size(target) % (64 << 10), 0u);
  // A device is written as it is, and never removed.
  if (geteuid() != 0 || !fs::exists("/dev/full")) GTEST_SKIP() << "needs /dev/full and root";
  const TToolResult r = Orvex({"mkiso", "-q", "-o", "/dev/full", dir / "src"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "orvex: cannot write /dev/full: No space left on device\n");
  EXPECT_TRUE(fs::is_character_file("/dev/full"));
}

// --- Hostile images --------------------------------------------------------------

// A Joliet volume whose root holds `names`, each a file of 1 byte at sector 40.
std::string JolietVolume(const std::vector<std::u16string>& names, uint32_t sectors = 64) {
  TTestVolume volume(sectors);
  volume.Descriptor(16, 2, 20, 2048, "%/E");
  volume.Terminator(17);
  std::vector<TRecordSpec> records;
  for (const std::u16string& name : names) records.push_back({Ucs2(name), 40, 1});
  const uint32_t length = volume.Directory(20, 20, records);
  volume.Descriptor(16, 2, 20, length, "%/E");
  return volume.Bytes();
}

TEST(Cli, ListingEscapesNamesAndDropsThoseNoPathCanHold) {
  TempDir dir;
  const std::string image = dir / "hostile.iso";
  std::ofstream(image, std::ios::binary)
      << JolietVolume({u".", u"..", u"a/b", std::u16string(u"nul\0byte", 8), u"evil\nf 0 0 forged", u"\x1b[31mred",
                       u"back\\slash"});
  const TToolResult r = Orvex({"ls", image});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "f 1 40 /evil\\nf 0 0 forged\nf 1 40 /\\x1b[31mred\n");
  EXPECT_NE(r.err.find("warning: 5 entries are left out"), std::string::npos) << r.err;

  // A primary tree's "...;1" is "..", left out as well.
  TTestVolume primary(64);
  primary.Descriptor(16, 1, 20, 2048);
  primary.Terminator(17);
  primary.Directory(20, 20, {{"...;1", 40, 1}, {"OK.TXT;1", 40, 1}});
  std::ofstream(image, std::ios::binary) << primary.Bytes();
  const TToolResult p = Orvex({"ls", image});
  EXPECT_EQ(p.status, 1);
  EXPECT_EQ(p.out, "f 1 40 /OK.TXT\n");
  EXPECT_NE(p.err.find("listing its ISO 9660 tree (8.3 names)"), std::string::npos) << p.err;
}

// Rock Ridge names are listed, and a record that cannot be read whole is
// told while its entry keeps its plain name: the listing is complete.
TEST(Cli, ListingTellsRockRidgeRecordsItCouldNotRead) {
  TempDir dir;
  TTestVolume volume(64);
  volume.Descriptor(16, 1, 20, 2048);
  volume.Terminator(17);
  const std::string nm = SystemUseEntry("NM", std::string(1, '\0') + "exact name.txt");
  TRecordSpec sound{"EXACT.TXT;1", 40, 1}, broken{"BROKEN.TXT;1", 40, 1};
  sound.system_use = nm;
  broken.system_use = SystemUseEntry("NM", std::string(1, '\1') + "never ended");
  volume.Directory(20, 20, {sound, broken},
                   SystemUseEntry("SP", std::string("\xBE\xEF\0", 3)) + SystemUseEntry("RR", std::string(1, '\x89')));
  const std::string image = dir / "rock.iso";
  std::ofstream(image, std::ios::binary) << volume.Bytes();
  const TToolResult r = Orvex({"ls", image});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "f 1 40 /exact name.txt\nf 1 40 /BROKEN.TXT\n");
  EXPECT_NE(r.err.find("listing its Rock Ridge names"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("warning: 1 Rock Ridge records of " + image + " could not be read whole"), std::string::npos)
      << r.err;
}

// An image of a.txt and a 300,000-byte b.bin, cut short into b.bin: its
// volume says it is longer than it is.
std::string CutImage(const TempDir& dir) {
  dir.Write("src/a.txt", "a");
  dir.Write("src/b.bin", std::string(300000, 'b'));
  const std::string image = dir / "cut.iso";
  EXPECT_EQ(Orvex({"mkiso", "-q", "-o", image, dir / "src"}).status, 0);
  fs::resize_file(image, fs::file_size(image) - 100 * 2048);
  return image;
}

TEST(Cli, ListingOfAnIncompleteImageFails) {
  TempDir dir;
  const std::string image = CutImage(dir);
  TToolResult r = Orvex({"ls", image});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("but its volume has"), std::string::npos) << r.err;
  EXPECT_EQ(r.out.find("b.bin"), std::string::npos);

  // More entries than the tree holds: the first 200,000 are listed.
  std::vector<std::u16string> many;
  for (int i = 0; i < 200'001; ++i) many.push_back(Utf8ToUtf16("f" + std::to_string(i)));
  std::ofstream(image, std::ios::binary) << JolietVolume(many, 6000);
  r = Orvex({"ls", image});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("the tree stops at 200,000 files"), std::string::npos) << r.err;
  EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 200'000);
}

// --- Drives -------------------------------------------------------------------------

// Runs orvex with the virtual burner describing `drives`.
TToolResult OrvexWithDrives(const std::string& drives, std::vector<std::string> args) {
  args.insert(args.begin(), {"env", "ORVEX_VBURNER=" + drives + ";timescale=0", kOrvex});
  return RunTool(args);
}

TEST(Cli, DevicesAndInfoOfTheVirtualBurner) {
  TempDir dir;
  const std::string medium = dir / "disc.vmed";
  ASSERT_EQ(RunTool({VBURNER_TOOL, "new", "dvd+r", medium}).status, 0);
  const std::string drives = "0:1:0,class=dvd-writer,medium=" + medium + ";0:2:0,class=cd-rom";
  // The library is found beside the program without being named.
  TToolResult r = OrvexWithDrives(drives, {"devices", "--no-pass-through"});
  ASSERT_EQ(r.status, 0) << r.err;
  // A library's drive has no device path: no empty slot stands for it.
  EXPECT_EQ(r.out, "0: 0:1:0: ORVEX    VIRTUAL DVD-RW   1.00 \n1: 0:2:0: ORVEX    VIRTUAL CD-ROM   1.00 \n");

  const std::string log = dir / "drive.log";
  r = OrvexWithDrives(drives, {"info", "--no-pass-through", "--driver", VBURNER_LIBRARY, "--log", log});
  ASSERT_EQ(r.status, 0) << r.err;
  for (const char* line : {"medium:                DVD+R\n", "disc status:           empty\n",
                           "free blocks:           2295104 (4482.6 MiB)\n", "write speed:           16x (22,160 KB/s)\n",
                           "write DVD+R:           yes\n", "write BD-R:            no\n"}) {
    EXPECT_NE(r.out.find(line), std::string::npos) << line << r.out;
  }
  EXPECT_NE(ReadFile(log).find("GET CONFIGURATION"), std::string::npos);

  r = OrvexWithDrives(drives, {"info", "--no-pass-through", "-d", "1"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("medium:                no or unknown medium\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("burner:                no\n"), std::string::npos) << r.out;
}

// -d takes the number, the address or a device path; one that matches no
// drive lists the drives there are.
TEST(Cli, DriveChosenByNumberAddressOrPath) {
  const std::string drives = "0:1:0,class=dvd-writer;0:2:0,class=cd-rom";
  const std::string kList = " (2 found: 0 0:1:0: ORVEX VIRTUAL DVD-RW 1.00; 1 0:2:0: ORVEX VIRTUAL CD-ROM 1.00)\n";
  struct TRow {
    std::string device;
    int status;
    std::string said;  // the drive line of info, or the error
  };
  const std::vector<TRow> rows = {
      {"1", 0, "drive:                 0:2:0: ORVEX    VIRTUAL CD-ROM   1.00 \n"},
      {"0:2:0", 0, "drive:                 0:2:0: ORVEX    VIRTUAL CD-ROM   1.00 \n"},
      {"0:1:0", 0, "drive:                 0:1:0: ORVEX    VIRTUAL DVD-RW   1.00 \n"},
      {"0:3:0", 1, "orvex: there is no drive 0:3:0" + kList},
      {"3", 1, "orvex: there is no drive 3" + kList},
      {"/dev/null", 1, "orvex: there is no drive /dev/null" + kList},  // no drive's node
      {"0:1", 2, "orvex info: -d takes a drive number from 0 to 25, an address H:T:L or a device path\n"},
  };
  for (const TRow& row : rows) {
    const TToolResult r = OrvexWithDrives(drives, {"info", "--no-pass-through", "-d", row.device});
    EXPECT_EQ(r.status, row.status) << row.device << r.err;
    EXPECT_NE((r.status == 0 ? r.out : r.err).find(row.said), std::string::npos) << row.device << "\n" << r.out << r.err;
  }
}

// A burner without a medium tells the most it could write when asked for
// format capacities; that is no capacity of a disc.
TEST(Cli, InfoOnAnEmptyDriveShowsNoCapacity) {
  const TToolResult r = OrvexWithDrives("0:1:0,class=bd-writer", {"info", "--no-pass-through"});
  ASSERT_EQ(r.status, 0) << r.err;
  for (const char* line : {"medium:                no or unknown medium\n", "free blocks:           0 (0.0 MiB)\n",
                           "total blocks:          0 (0.0 MiB)\n", "writable:              no\n"}) {
    EXPECT_NE(r.out.find(line), std::string::npos) << line << r.out;
  }
}

TEST(Cli, DriveCommandsFailClearly) {
  const std::string drives = "0:1:0,class=dvd-writer";
  TToolResult r = OrvexWithDrives(drives, {"info", "--no-pass-through", "-d", "3"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "orvex: there is no drive 3 (1 found: 0 0:1:0: ORVEX VIRTUAL DVD-RW 1.00)\n");
  r = OrvexWithDrives(drives, {"devices", "--no-pass-through", "--driver", "/nonexistent/library.so"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err.rfind("orvex: no drive found: ", 0), 0u) << r.err;
  r = OrvexWithDrives("", {"devices", "--no-pass-through"});
  EXPECT_EQ(r.status, 1);
  for (const auto& args : std::vector<std::vector<std::string>>{
           {"info", "-d", "x"}, {"info", "-d", "26"}, {"info", "extra"}, {"devices", "-d", "0"}, {"devices", "--nope"}}) {
    EXPECT_EQ(Orvex(args).status, 2) << args[0] << " " << args[1];
  }
}

// The progress lines at the widths a terminal may have: the least
// important fields go first, and no line is wider than it may be.
TEST(Cli, ProgressLinesFitTheWidth) {
  using cli::TProgressBar;
  const std::vector<cli::TProgressFigure> burning = {{"buffer 97%", "buffer_percent", 97},
                                                     {"blocks 512/2048", "blocks_written", 512}};
  const struct {
    std::string line;
    size_t width;
    std::string expected;
  } rows[] = {
      {TProgressBar::Line("Writing", 50 << 20, 100 << 20, 125.0, {}, 200), 200,
       "Writing [###############...............]  50%  50.0 of 100.0 MiB  0.4 MiB/s  2:05"},
      {TProgressBar::Line("Comparing", 0, 0, 0.0, {}, 200), 200,
       "Comparing [##############################] 100%  0.0 of 0.0 MiB  0.0 MiB/s  0:00"},
      {TProgressBar::Line("Burning", 1 << 20, 4 << 20, 2.0, burning, 200), 200,
       "Burning [#######.......................]  25%  1.0 of 4.0 MiB  0.5 MiB/s  0:02  buffer 97%  blocks 512/2048"},
      // The blocks go first, then the bar narrows.
      {TProgressBar::Line("Burning", 1 << 20, 4 << 20, 2.0, burning, 79), 79,
       "Burning [####...............]  25%  1.0 of 4.0 MiB  0.5 MiB/s  0:02  buffer 97%"},
      // The bar, the rate and the buffer go before the MiB and the time.
      {TProgressBar::Line("Burning", 1 << 20, 4 << 20, 2.0, burning, 40), 40, "Burning  25%  1.0 of 4.0 MiB  0:02"},
      {TProgressBar::Line("Burning", 1 << 20, 4 << 20, 2.0, burning, 20), 20, "Burning  25%  0:02"},
      {TProgressBar::Line("Burning", 1 << 20, 4 << 20, 2.0, burning, 9), 9, "Burning  "},
      {TProgressBar::BusyLine("Erasing", 61.3, 79), 79, "Erasing /  1:01"},
      {TProgressBar::BusyLine("Erasing", 61.3, 5), 5, "Erasi"},
      {TProgressBar::StateLine("closing the session", 75.0, "Ctrl-C lets it finish", 79), 79,
       "closing the session ... 1:15  (Ctrl-C lets it finish)"},
      {TProgressBar::StateLine("closing the session", 75.0, "Ctrl-C lets it finish", 40), 40,
       "closing the session ... 1:15"},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(row.line, row.expected);
    EXPECT_LE(row.line.size(), row.width) << row.line;
  }
}

// --- Burning --------------------------------------------------------------------------

// A drive 0:0:0 holding a fresh `profile` medium in `dir`.
std::string DriveWith(const TempDir& dir, const std::string& profile, const std::string& name = "disc.vmed",
                      bool formatted = false) {
  const std::string medium = dir / name;
  std::vector<std::string> args = {VBURNER_TOOL, "new", profile, medium};
  if (formatted) args.push_back("--formatted");
  EXPECT_EQ(RunTool(args).status, 0);
  return "0:0:0,class=dvd-writer,medium=" + medium;
}

TEST(Cli, BurnsVerifiesAndAddsASession) {
  TempDir dir;
  dir.Write("src/a.txt", "first session\n");
  dir.Write("src/docs/b.txt", std::string(70000, 'b'));
  const std::string extra = dir.Write("extra.txt", "second session\n");
  const std::string drives = DriveWith(dir, "dvd+r");
  TToolResult r = OrvexWithDrives(drives, {"burn", "--verify", "-V", "FIRST", dir / "src"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out,
            "DVD+R in drive 0 (ORVEX VIRTUAL DVD-RW): burned 2 files, 1 directories, 192 blocks (0.4 MiB)\n"
            "DVD+R in drive 0 (ORVEX VIRTUAL DVD-RW): every file reads back as its source\n");
  r = OrvexWithDrives(drives, {"burn", "--import-session", "0", "-V", "SECOND", extra});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err, "orvex: importing session 1\n");
  // The burner's own account: two closed sessions and the empty one that waits.
  EXPECT_NE(RunTool({VBURNER_TOOL, "show", dir / "disc.vmed"}).out.find(", 2 sessions, then an open empty one\n"),
            std::string::npos);
  EXPECT_EQ(OrvexWithDrives(drives, {"label"}).out, "SECOND\n");
  EXPECT_EQ(OrvexWithDrives(drives, {"label", "--session", "1"}).out, "FIRST\n");
  // Verified as burned: the earlier session's files carried along.
  r = OrvexWithDrives(drives, {"verify", "--import-session", "1", extra});
  EXPECT_EQ(r.status, 0) << r.err;
  dir.Write("extra.txt", "changed since!\n");
  r = OrvexWithDrives(drives, {"verify", "--import-session", "1", extra});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find(extra + " does not read back as its source"), std::string::npos) << r.err;
  // A finalized disc takes no more.
  r = OrvexWithDrives(drives, {"burn", "--finalize", extra});
  ASSERT_EQ(r.status, 0) << r.err;
  r = OrvexWithDrives(drives, {"burn", extra});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err,
            "orvex: Disc cannot be written: the DVD+R in drive 0 (ORVEX VIRTUAL DVD-RW) is finalized: it takes no more "
            "sessions\n");
}

// "-rw-------" and the like, as ls -l shows `mode`.
std::string ModeString(mode_t mode) {
  std::string shown = S_ISDIR(mode) ? "d" : S_ISLNK(mode) ? "l" : "-";
  for (int shift = 6; shift >= 0; shift -= 3) {
    shown += (mode >> shift) & 4 ? 'r' : '-';
    shown += (mode >> shift) & 2 ? 'w' : '-';
    shown += (mode >> shift) & 1 ? 'x' : '-';
  }
  return shown;
}

// A Rock Ridge session carried into the next: the second session holds the
// entries imported from the first under their exact names (README beside
// readme, a name holding "\"), with their modes and link targets, read
// back through our own import and by xorriso at the session's start.
TEST(Cli, RockRidgeIsCarriedIntoTheNextSession) {
  TempDir dir;
  fs::permissions(dir.Write("src/private", "mine\n"), fs::perms::owner_read | fs::perms::owner_write);
  dir.Write("src/README", "upper\n");
  dir.Write("src/readme", "lower\n");
  dir.Write("src/back\\slash", "slanted\n");
  fs::create_symlink("private", dir / "src/link");
  fs::create_symlink("nowhere", dir / "src/dangling");
  const std::string added = dir.Write("more/added.txt", "second session\n");
  const std::string drives = DriveWith(dir, "dvd+r");
  TToolResult r = OrvexWithDrives(drives, {"burn", "-q", dir / "src"});
  ASSERT_EQ(r.status, 0) << r.err;
  r = OrvexWithDrives(drives, {"burn", "-q", "--import-session", "0", added});
  ASSERT_EQ(r.status, 0) << r.err;
  const std::string image = dir / "disc.iso";
  ASSERT_EQ(RunTool({VBURNER_TOOL, "export", dir / "disc.vmed", image}).status, 0);
  const std::string shown = RunTool({VBURNER_TOOL, "show", dir / "disc.vmed"}).out;
  const size_t at = shown.find("track 2 session 2 start ");
  ASSERT_NE(at, std::string::npos) << shown;
  const uint32_t start = static_cast<uint32_t>(std::stoul(shown.substr(at + 24)));

  // Exact name -> "MODE" or "MODE -> TARGET", as the sources have it.
  std::map<std::string, std::string> expected;
  for (const std::string& root : {dir / "src", dir / "more"}) {
    for (const auto& entry : fs::directory_iterator(root)) {
      struct stat st {};
      ASSERT_EQ(lstat(entry.path().c_str(), &st), 0);
      std::string facts = ModeString(st.st_mode);
      if (S_ISLNK(st.st_mode)) facts += " -> " + fs::read_symlink(entry.path()).string();
      expected[entry.path().filename().string()] = facts;
    }
  }

  TImageLayout layout;
  layout.ClearAll();
  const TImportReport report = MountISOImage(layout, image, start);
  EXPECT_TRUE(report.rock_ridge);
  EXPECT_TRUE(report.Complete());
  std::map<std::string, std::string> imported;
  for (const TFileEntry* e = layout.RootDir->Files; e != nullptr; e = e->NextFile) {
    if (!e->Posix) {
      ADD_FAILURE() << Utf16ToUtf8(e->LongName) << " has no POSIX attributes";
      continue;
    }
    std::string facts = ModeString(e->Posix->Mode);
    if (!e->Posix->LinkTarget.empty()) facts += " -> " + e->Posix->LinkTarget;
    imported[e->Posix->Name] = facts;
  }
  EXPECT_EQ(imported, expected);

  r = RunTool({"xorriso", "-load", "sbsector", std::to_string(start), "-indev", image, "-find", "/", "-exec", "lsdl"});
  ASSERT_EQ(r.status, 0) << r.err;
  std::map<std::string, std::string> peer;
  std::istringstream lines(r.out);
  for (std::string line; std::getline(lines, line);) {
    // "-rw-------    1 0        0     5 Dec 10 20:35 '/private'" or "... '/link' -> 'private'"
    const size_t path = line.find(" '/");
    if (path == std::string::npos || line.ends_with(" '/'")) continue;
    const size_t arrow = line.find("' -> '", path);
    const std::string name = line.substr(path + 3, (arrow == std::string::npos ? line.size() - 1 : arrow) - path - 3);
    std::string facts = line.substr(0, 10);
    if (arrow != std::string::npos) facts += " -> " + line.substr(arrow + 6, line.size() - arrow - 7);
    peer[name] = facts;
  }
  EXPECT_EQ(peer, expected) << r.out;
}

// A session whose tree cannot be read whole is neither carried into a new
// one nor verified against: both stop before the disc is written or read.
TEST(Cli, AnEarlierSessionReadInPartStopsBeforeWriting) {
  TempDir dir;
  const std::string medium = dir / "cut.vmed";
  ASSERT_EQ(RunTool({VBURNER_TOOL, "load", "dvd+r", medium, CutImage(dir)}).status, 0);
  const std::string extra = dir.Write("extra.txt", "x");
  for (const char* command : {"burn", "verify"}) {
    const TToolResult r =
        OrvexWithDrives("0:0:0,class=dvd-writer,medium=" + medium, {command, "--import-session", "0", "--json", extra});
    EXPECT_EQ(r.status, 1) << command;
    EXPECT_NE(r.err.find("session 1 could not be read whole: stopping before anything is written"), std::string::npos)
        << r.err;
    EXPECT_NE(r.out.find(R"("error":{"number":18,)"), std::string::npos)
        << r.out;
  }
}

TEST(Cli, BurnsAnImageAndErases) {
  TempDir dir;
  dir.Write("src/a.txt", "in an image\n");
  ASSERT_EQ(Orvex({"mkiso", "-q", "-o", dir / "a.iso", dir / "src"}).status, 0);
  const std::string drives = DriveWith(dir, "dvd+r");
  TToolResult r = OrvexWithDrives(drives, {"burn-image", dir / "a.iso"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("burned " + dir / "a.iso"), std::string::npos) << r.out;
  r = OrvexWithDrives(drives, {"burn-image", dir / "a.iso"});
  EXPECT_EQ(r.err, "orvex: Disc is not blank\n");
  dir.Write("not.iso", std::string(40000, 'x'));
  r = OrvexWithDrives(DriveWith(dir, "dvd+r", "other.vmed"), {"burn-image", dir / "not.iso"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "orvex: Not an ISO 9660 image\n");
  // The erase polls every five seconds of real time: the drive's time runs fast.
  const std::string medium = dir / "rw.vmed";
  ASSERT_EQ(RunTool({VBURNER_TOOL, "new", "dvd+rw", medium, "--formatted"}).status, 0);
  r = RunTool({"env", "ORVEX_VBURNER=0:0:0,class=dvd-writer,medium=" + medium + ";timescale=1000000", kOrvex, "erase",
               "--quick"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "DVD+RW in drive 0 (ORVEX VIRTUAL DVD-RW): erased\n");
  r = OrvexWithDrives(DriveWith(dir, "dvd+r", "once.vmed"), {"erase", "--full"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "orvex: the disc in the drive cannot be erased (DVD+R)\n");
}

// A burn that would spoil the disc is refused before anything is written,
// with a message that names the cause.
TEST(Cli, BurnRefusalsNameTheCauseAndLeaveTheDiscBlank) {
  TempDir dir;
  dir.Write("src/a.txt", "never burned\n");
  ASSERT_EQ(Orvex({"mkiso", "-q", "-o", dir / "a.iso", dir / "src"}).status, 0);
  const std::string no_test_write = "orvex: Test write not possible with this medium or drive\n";
  const std::string cannot_write = "orvex: Disc cannot be written: drive 0 (ORVEX VIRTUAL DVD-RW) cannot write ";
  std::string no_profile;  // every GET CONFIGURATION refused
  for (int i = 0; i < 40; ++i) no_profile += ",fail=46/05/20/00";
  const struct {
    const char* profile;
    std::string drive;  // more burner options
    std::vector<std::string> args;
    std::string said;  // the end of standard error
  } cases[] = {
      {"dvd+r", "", {"burn", "--test-write", dir / "src"}, no_test_write},
      {"dvd+r", "", {"burn-image", "--test-write", dir / "a.iso"}, no_test_write},
      {"cd-r", ",testwrite=0", {"burn", "--test-write", dir / "src"}, no_test_write},
      {"dvd+r", "", {"burn", "--ignore-unreadable", dir / "missing"}, "orvex: Nothing to burn\n"},
      // A medium the drive reads but says it cannot write: its features
      // (BD Write absent), or its capabilities page once it names no profile.
      {"bd-r", ",reads=bd-r", {"burn", dir / "src"}, cannot_write + "BD-R (sequential) media\n"},
      {"dvd-r", ",writes=cd-r/dvd+r", {"burn-image", dir / "a.iso"}, cannot_write + "DVD-R media\n"},
      {"dvd-r", ",writes=cd-r/dvd+r" + no_profile, {"burn", dir / "src"}, cannot_write + "DVD-R media\n"},
  };
  int n = 0;
  for (const auto& c : cases) {
    const std::string name = "disc" + std::to_string(++n) + ".vmed";
    const TToolResult r = OrvexWithDrives(DriveWith(dir, c.profile, name) + c.drive, c.args);
    SCOPED_TRACE(::testing::PrintToString(c.args));
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_TRUE(r.err.ends_with(c.said)) << r.err;
    const TToolResult show = RunTool({VBURNER_TOOL, "show", dir / name});
    EXPECT_NE(show.out.find("status blank,"), std::string::npos) << show.out;
  }
}

const std::string kClosingGoesOn =
    "orvex: closing the disc goes on so that it stays readable; stop again to end it at once\n";

// Runs orvex with a blank DVD+R in a DVD writer at ten times real time:
// 40 MiB at 1x take three seconds, and the closing some more.
std::vector<std::string> SlowBurner(const TempDir& dir, std::vector<std::string> args) {
  const std::string medium = dir / "slow.vmed";
  std::filesystem::remove(medium);
  std::filesystem::remove(medium + ".blocks");
  RunTool({VBURNER_TOOL, "new", "dvd+r", medium});
  args.insert(args.begin(), {"env", "ORVEX_VBURNER=0:0:0,class=dvd-writer,medium=" + medium + ";timescale=10", kOrvex});
  return args;
}

// On terminals of a few widths, every progress line fits (a wider one
// wraps, and then every redraw scrolls), each redraw goes back to the start
// of the same line, and the closing of the disc is said.
TEST(Cli, ProgressFitsTheTerminal) {
  TempDir dir;
  const std::string source = dir.Write("src/big.bin", std::string(40 << 20, 'z'));
  const struct {
    std::vector<std::string> args;
    unsigned short columns;
    std::string said;
  } rows[] = {
      {{"burn", "--speed", "1", source}, 80, "closing the session ... 0:0"},
      {{"burn", "--speed", "1", "--finalize", source}, 50, "finalizing the disc ... 0:0"},
      {{"mkiso", "-o", dir / "out.iso", source}, 30, "Writing "},
  };
  for (const auto& row : rows) {
    const TToolResult r = RunToolInTerminal(SlowBurner(dir, row.args), row.columns);
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_NE(r.out.find(row.said), std::string::npos) << r.out;
    // The lines the progress draws are those begun with a carriage return.
    size_t redraws = 0;
    std::istringstream lines(r.out);
    for (std::string line; std::getline(lines, line);) {
      if (line.find('\r') == std::string::npos) continue;
      for (size_t at; (at = line.find("\033[K")) != std::string::npos;) line.erase(at, 3);
      std::istringstream pieces(line);
      for (std::string piece; std::getline(pieces, piece, '\r'); ++redraws) {
        EXPECT_LT(piece.size(), row.columns) << row.args[0] << ": " << piece;
      }
    }
    EXPECT_GT(redraws, 1u) << r.out;
    EXPECT_LE(std::count(r.out.begin(), r.out.end(), '\n'), 4) << r.out;
  }
}

// With --json --progress the progress is one JSON object a line on
// standard error, beside the one result object on standard output; with
// --json alone there is none.
TEST(Cli, ProgressAsJsonLines) {
  TempDir dir;
  const std::string source = dir.Write("src/big.bin", std::string(40 << 20, 'z'));
  const struct {
    std::vector<std::string> args;
    std::vector<std::string> said;  // on standard error, each in some line
  } rows[] = {
      {{"burn", "--json", "--progress", "--speed", "1", source},
       {"{\"progress\":\"Burning\",\"elapsed_seconds\":0,\"done_bytes\":", "\"buffer_percent\":", "\"blocks_written\":",
        "\"state\":\"closing the session\",\"state_seconds\":"}},
      {{"mkiso", "--json", "--progress", "-o", dir / "out.iso", source},
       {"{\"progress\":\"Writing\",\"elapsed_seconds\":0,\"done_bytes\":", ",\"total_bytes\":"}},
      {{"mkiso", "--json", "-o", dir / "out.iso", source}, {}},
  };
  for (const auto& row : rows) {
    const TToolResult r = RunTool(SlowBurner(dir, row.args));
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 1) << r.out;
    EXPECT_EQ(r.err.empty(), row.said.empty()) << r.err;
    std::istringstream lines(r.err);
    for (std::string line; std::getline(lines, line);) {
      EXPECT_TRUE(line.rfind("{\"progress\":", 0) == 0 && line.back() == '}') << line;
    }
    for (const std::string& said : row.said) EXPECT_NE(r.err.find(said), std::string::npos) << said << "\n" << r.err;
  }
}

// Waits, at most a minute, until the trace file `trace` holds a command of
// `opcode` that drive 0:0:0 answered.
bool Answered(const std::string& trace, const std::string& opcode) {
  for (int i = 0; i < 6000; ++i) {
    if (ReadFile(trace).find(" 0:0:0 " + opcode + " ") != std::string::npos) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return false;
}

TEST(Cli, CtrlCEndsABurnAndClosesTheDisc) {
  TempDir dir;
  dir.Write("src/big.bin", std::string(40 << 20, 'z'));
  const std::string medium = dir / "disc.vmed";
  const std::string trace = dir / "disc.trace";
  ASSERT_EQ(RunTool({VBURNER_TOOL, "new", "dvd+r", medium}).status, 0);
  // 1x of DVD at ten times real time: 40 MiB take three seconds.
  TRunningTool burn({"env", "ORVEX_VBURNER=0:0:0,class=dvd-writer,medium=" + medium + ";timescale=10;trace=" + trace,
                     kOrvex, "burn", "--speed", "1", dir / "src"});
  // Stopped once it writes: a stop before that records nothing at all.
  ASSERT_TRUE(Answered(trace, "2a"));
  burn.Signal(SIGINT);
  const TToolResult r = burn.Finish();
  EXPECT_EQ(r.status, 1);
  // The closing that follows may be said to go on, if it lasts.
  EXPECT_TRUE(r.err == "orvex: Aborted by user\n" || r.err == kClosingGoesOn + "orvex: Aborted by user\n") << r.err;
  const TToolResult show = RunTool({VBURNER_TOOL, "show", medium});
  EXPECT_NE(show.out.find("track 1 session 1 start 0"), std::string::npos) << show.out;
  EXPECT_NE(show.out.find(" closed\n"), std::string::npos) << show.out;
}

// A drive that stops answering does not hold the program: a stop signal
// ends it with exit 1 and a line that says what was interrupted, while it
// looks for the drive, asks it, reads the disc or writes.
TEST(Cli, AStopSignalEndsAWaitOnADriveThatDoesNotAnswer) {
  TempDir dir;
  dir.Write("src/a.txt", "a\n");
  const struct {
    std::vector<std::string> args;
    const char* profile;  // of the blank medium in the drive: "dvd+rw" formatted
    const char* stall;    // the burner's stall= option
    const char* after;   // the opcode answered before it, when it waits for one
    int signal;
    const char* said;
  } cases[] = {
      {{"label"}, "dvd+r", "start", nullptr, SIGINT, "orvex: interrupted while looking for the drive\n"},
      {{"burn", dir / "src"}, "dvd+r", "start", nullptr, SIGTERM, "orvex: interrupted while looking for the drive\n"},
      {{"verify", dir / "src"}, "dvd+r", "start", nullptr, SIGINT, "orvex: interrupted while looking for the drive\n"},
      {{"burn", dir / "src"}, "dvd+r", "2a", "2a", SIGINT, "orvex: interrupted while writing the disc\n"},
      {{"devices"}, "dvd+r", "start", nullptr, SIGINT, "orvex: interrupted while looking for the drives\n"},
      {{"info"}, "dvd+r", "start", nullptr, SIGTERM, "orvex: interrupted while looking for the drive\n"},
      // The buffer's fill is asked for only once the drive is chosen.
      {{"info"}, "dvd+r", "5c", "5c", SIGINT, "orvex: interrupted while asking the drive\n"},
      // The first block read is the import's: a formatted DVD+RW has a volume to look for.
      {{"verify", "--import-session", "0", dir / "src"}, "dvd+rw", "28", "28", SIGTERM,
       "orvex: interrupted while reading the disc\n"},
  };
  int n = 0;
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.args) + " stall=" + c.stall);
    const std::string name = "disc" + std::to_string(++n);
    const std::string trace = dir / (name + ".trace");
    const bool formatted = c.profile == std::string("dvd+rw");
    const std::string drives = DriveWith(dir, c.profile, name + ".vmed", formatted) + ",stall=" + c.stall;
    std::vector<std::string> argv = {"env", "ORVEX_VBURNER=" + drives + ";timescale=0;trace=" + trace, kOrvex};
    argv.insert(argv.end(), c.args.begin(), c.args.end());
    TRunningTool tool(argv);
    ASSERT_TRUE(tool.WaitUntilBlocking(c.signal, 60));
    if (c.after != nullptr) {
      ASSERT_TRUE(Answered(trace, c.after));
    }
    tool.Signal(c.signal);
    const TToolResult r = tool.FinishWithin(60);
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_TRUE(r.err.ends_with(c.said)) << r.err;
  }
}

// While the disc is closed, the first stop lets the closing go on and says
// so; the second ends it at once, and the burn is reported as aborted.
TEST(Cli, TwoStopsWhileClosing) {
  TempDir dir;
  dir.Write("src/a.txt", "a\n");
  const std::string trace = dir / "disc.trace";
  // The track is closed, the session's close is never answered.
  const std::string drives = DriveWith(dir, "dvd+r") + ",stall=5b;timescale=0;trace=" + trace;
  // --eject leaves the drive alone: it is still closing the disc.
  TRunningTool burn({"env", "ORVEX_VBURNER=" + drives, kOrvex, "burn", "--eject", dir / "src"});
  ASSERT_TRUE(Answered(trace, "5b"));
  burn.Signal(SIGINT);
  for (int i = 0; i < 6000 && burn.ErrorSoFar().find(kClosingGoesOn) == std::string::npos; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  EXPECT_EQ(burn.ErrorSoFar(), kClosingGoesOn);
  burn.Signal(SIGTERM);
  const TToolResult r = burn.FinishWithin(60);
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, kClosingGoesOn + "orvex: Aborted while closing: the disc is left as the drive has it\n");
  EXPECT_EQ(ReadFile(trace).find(" 0:0:0 1b "), std::string::npos);
}

TEST(Cli, DiscCommandUsageErrors) {
  const std::string drives = "0:0:0,class=dvd-writer";
  for (const auto& args : std::vector<std::vector<std::string>>{
           {"burn"}, {"burn", "--speed", "fast", "x"}, {"burn", "--import-session", "x", "y"},
           {"burn", "--cache", "1", "x"}, {"burn-image"}, {"burn-image", "a", "b"}, {"erase"},
           {"erase", "--quick", "--full"}, {"verify"}, {"label", "x"}, {"label", "--session", "300"}}) {
    const TToolResult r = OrvexWithDrives(drives, args);
    EXPECT_EQ(r.status, 2) << args[0] << " " << (args.size() > 1 ? args[1] : "") << ": " << r.err;
    EXPECT_EQ(r.err.rfind("orvex " + args[0] + ": ", 0), 0u) << r.err;
    EXPECT_EQ(r.err.substr(r.err.find('\n') + 1), "see 'orvex " + args[0] + " --help'\n") << r.err;
    // A wrong command line is told as such before any drive is looked for.
    EXPECT_EQ(OrvexWithDrives("", args).status, 2) << args[0] << ": " << r.err;
  }
  for (const char* command : {"burn", "burn-image", "erase", "verify", "label"}) {
    const TToolResult r = Orvex({command, "--help"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out.rfind(std::string("usage: orvex ") + command, 0), 0u) << r.out;
  }
}

// --- --json ---------------------------------------------------------------------------

// What `orvex ... --json` printed, judged by tests/cli/json_check.py against
// docs/json/orvex.schema.json (one object on one line and nothing else, of
// `command`, no field the schema lacks): its leaves as "PATH=VALUE" lines.
std::string CheckedJson(const TToolResult& r, const std::string& command) {
  TempDir dir;
  const TToolResult check = RunTool({"python3", JSON_CHECK, JSON_SCHEMA, command, dir.Write("out.json", r.out)});
  EXPECT_EQ(check.status, 0) << check.err << "\n" << r.out << r.err;
  return check.out;
}

// Leaves that must be among CheckedJson's lines.
void ExpectLeaves(const std::string& leaves, const std::vector<std::string>& expected) {
  for (const std::string& leaf : expected) EXPECT_NE(("\n" + leaves).find("\n" + leaf + "\n"), std::string::npos) << leaf << "\n" << leaves;
}

// The command bytes of the last command in a virtual burner's trace.
std::string LastCommand(const std::string& trace) {
  const std::string text = ReadFile(trace);
  const size_t start = text.rfind(" 0:0:0 ");
  if (start == std::string::npos) return "";
  return text.substr(start + 7, text.find(" out", start) - start - 7);
}

// eject and load move the tray; --eject ejects after a burn that succeeded
// or was refused, and not without it.
TEST(Cli, EjectAndLoad) {
  const std::string kEject = "1b 00 00 00 02 00", kLoad = "1b 00 00 00 03 00";
  struct TRow {
    std::vector<std::string> args;  // after the command (the sources and image are in the temporary directory)
    int status;
    std::string last;     // the last command sent, "" for none of the tray's
    std::string leaf;     // a leaf of the JSON report
  };
  const std::vector<TRow> rows = {
      {{"eject"}, 0, kEject, "ejected=true"},
      {{"load"}, 0, kLoad, "loaded=true"},
      {{"burn", "--eject", "src"}, 0, kEject, "ejected=true"},
      {{"burn", "src"}, 0, "", "test_write=false"},
      {{"burn-image", "--eject", "src/a.txt"}, 1, kEject, "ejected=true"},  // refused: not an image
      {{"burn-image", "--eject", "a.iso"}, 0, kEject, "ejected=true"},
  };
  for (const TRow& row : rows) {
    TempDir dir;
    dir.Write("src/a.txt", "a\n");
    ASSERT_EQ(Orvex({"mkiso", "-q", "-o", dir / "a.iso", dir / "src"}).status, 0);
    const std::string trace = dir / "disc.trace";
    std::vector<std::string> args = {row.args[0], "--json"};
    for (size_t i = 1; i < row.args.size(); ++i) args.push_back(row.args[i][0] == '-' ? row.args[i] : dir / row.args[i]);
    const TToolResult r = OrvexWithDrives(DriveWith(dir, "dvd+r") + ";trace=" + trace, args);
    EXPECT_EQ(r.status, row.status) << row.args[0] << r.err;
    const std::string last = LastCommand(trace);
    if (row.last.empty()) {
      EXPECT_EQ(last.rfind("1b ", 0), std::string::npos) << last;
    } else {
      EXPECT_EQ(last, row.last) << row.args[0];
    }
    ExpectLeaves(CheckedJson(r, row.args[0]), {row.leaf});
  }
  // A drive that keeps its disc in says so.
  TempDir dir;
  const TToolResult r = OrvexWithDrives(DriveWith(dir, "dvd+r") + ",fail=1b/05/53/02", {"eject"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err.rfind("orvex: the disc could not be ejected: ", 0), 0u) << r.err;
}

TEST(Cli, JsonStrings) {
  const std::pair<std::string, std::string> cases[] = {
      {"plain /a b.txt", "\"plain /a b.txt\""},
      {"q\"b\\n\nt\tr\r", "\"q\\\"b\\\\n\\nt\\tr\\r\""},
      {std::string("\x00\x01\x1f\x7f", 4), "\"\\u0000\\u0001\\u001f\\u007f\""},
      {"c1 \xC2\x85 \xC2\x9F kept \xC2\xA0", "\"c1 \\u0085 \\u009f kept \xC2\xA0\""},
      {"caf\xC3\xA9 \xF0\x9F\x98\x80", "\"caf\xC3\xA9 \xF0\x9F\x98\x80\""},
      // Latin-1, an overlong "/", an encoded surrogate, a cut sequence: U+FFFD per byte.
      {"caf\xE9", "\"caf\xEF\xBF\xBD\""},
      {"\xC0\xAF", "\"\xEF\xBF\xBD\xEF\xBF\xBD\""},
      {"\xED\xA0\x80", "\"\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\""},
      {"end \xE2\x82", "\"end \xEF\xBF\xBD\xEF\xBF\xBD\""},
  };
  for (const auto& [text, json] : cases) EXPECT_EQ(cli::JsonString(text), json) << text;
  EXPECT_EQ(cli::JsonString(std::u16string(u"lone \xD800 pair \xD83D\xDE00")), "\"lone \xEF\xBF\xBD pair \xF0\x9F\x98\x80\"");
  cli::TJson object = cli::TJson::Object();
  object.Text("a", "x").Number("n", uint64_t{1} << 40).Number("m", -3).Flag("f", false);
  object.Nested("list", cli::TJson::Array().AppendText("y").Append(cli::TJson::Object()));
  EXPECT_EQ(object.Merge(cli::TJson::Object()).Merge(cli::TJson::Object().Flag("g", true)).Written(),
            R"({"a":"x","n":1099511627776,"m":-3,"f":false,"list":["y",{}],"g":true})");
}

class CliJson : public ::testing::Test {
 protected:
  void SetUp() override {
    if (RunTool({"python3", "-c", "import jsonschema"}).status != 0) GTEST_SKIP() << "needs python3-jsonschema";
  }
};

// Names no terminal should see and no JSON reader can take as they are: a
// newline, an escape sequence, a C1 control, a quote, a byte that is not
// UTF-8 (a lone surrogate in Joliet) and one name that names no path.
TEST_F(CliJson, ListingOfAwkwardNames) {
  TempDir dir;
  const std::string image = dir / "awkward.iso";
  std::ofstream(image, std::ios::binary)
      << JolietVolume({u"evil\nf 0 0 forged", u"\x1b[31mred", u"c1\x85next", u"quo\"te", u"caf\xDCE9", u"a/b"});
  const TToolResult r = Orvex({"ls", "--json", image});
  EXPECT_EQ(r.status, 1);  // the name holding "/" is left out
  EXPECT_EQ(r.out.find('\x1b'), std::string::npos);
  EXPECT_EQ(r.out.find("\xC2\x85"), std::string::npos);
  EXPECT_NE(r.out.find(R"("path":"/\u001b[31mred")"), std::string::npos) << r.out;
  EXPECT_NE(r.err.find("listing its Joliet tree"), std::string::npos) << r.err;  // messages stay on standard error
  ExpectLeaves(CheckedJson(r, "ls"),
               {"outcome=\"failed\"", "error.text=\"the image could not be listed whole\"", "tree=\"joliet\"",
                "complete=false", "gaps.bad_names=1", "entries.0.path=\"/evil\\nf 0 0 forged\"",
                "entries.0.size=1", "entries.0.address=40", "entries.2.path=\"/c1\u0085next\"",
                "entries.3.path=\"/quo\\\"te\"", "entries.4.path=\"/caf\uFFFD\"",
                "warnings.0=\"1 entries are left out: their names (\\\".\\\", \\\"..\\\", empty, or holding \\\"/\\\", "
                "\\\"\\\\\\\" or NUL) name no path\""});
  const TToolResult missing = Orvex({"ls", "--json", dir / "none.iso"});
  EXPECT_EQ(missing.status, 1);
  ExpectLeaves(CheckedJson(missing, "ls"), {"error.text=\"cannot read " + (dir / "none.iso") + ": No such file or directory\""});
}

TEST_F(CliJson, ImageBuilds) {
  TempDir dir;
  dir.Write("src/a.txt", "alpha");
  dir.Write("src/sub/b.txt", "beta");
  TToolResult r = Orvex({"mkiso", "--json", "-o", dir / "a.iso", "--smart-refs", dir / "src"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err, "");
  ExpectLeaves(CheckedJson(r, "mkiso"), {"outcome=\"succeeded\"", "output=\"" + (dir / "a.iso") + "\"", "tree.files=2",
                                         "tree.directories=1", "tree.bytes=" + std::to_string(fs::file_size(dir / "a.iso")),
                                         "tree.smart_references_saved=0", "tree.left_out=0", "changed_sources=[]"});
  // Refused before writing: the last message is the error.
  r = Orvex({"mkiso", "--json", "-o", dir / "b.iso", dir / "src", dir / "missing"});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("cannot read " + (dir / "missing")), std::string::npos) << r.err;
  ExpectLeaves(CheckedJson(r, "mkiso"), {"outcome=\"failed\"", "error.number=0", "error.file=\"\""});
  // Failed while writing: the component's error, its file and the system's reason.
  // Failed while writing: the component's error, its file (not UTF-8 here)
  // and the system's reason.
  r = Orvex({"mkiso", "--json", "-o", dir / "no/caf\xE9.iso", dir / "src"});
  EXPECT_EQ(r.status, 1);
  ExpectLeaves(CheckedJson(r, "mkiso"),
               {"error.text=\"cannot create " + (dir / "no/caf\\\\xe9.iso") + ": No such file or directory\"",
                "error.file=\"" + (dir / "no/caf\uFFFD.iso") + "\"", "error.system_error=2"});
  EXPECT_EQ(CheckedJson(r, "mkiso").find("error.number=0\n"), std::string::npos);
  // A usage error prints no object.
  for (const auto& args : std::vector<std::vector<std::string>>{
           {"mkiso", "--json", dir / "src"}, {"ls", "--json"}, {"devices", "--json", "extra"}, {"burn", "--json"}}) {
    r = Orvex(args);
    EXPECT_EQ(r.status, 2) << args[0];
    EXPECT_EQ(r.out, "") << args[0];
  }
}

struct TJsonStep {
  std::vector<std::string> args;  // SRC stands for the source directory, IMAGE for an image of it
  int status;
  std::vector<std::string> leaves;
};

// One disc's life, each step's object judged: what the drive shows blank and
// written, each job's summary, and the refusals of a finalized disc.
TEST_F(CliJson, DriveCommandsOfOneDisc) {
  TempDir dir;
  dir.Write("src/a.txt", "first session\n");
  ASSERT_EQ(Orvex({"mkiso", "-q", "-o", dir / "a.iso", dir / "src"}).status, 0);
  const std::string drives = DriveWith(dir, "dvd+r");
  const std::vector<TJsonStep> steps = {
      {{"devices"}, 0, {"drives.0.index=0", "drives.0.name=\"0:0:0,?: ORVEX    VIRTUAL DVD-RW   1.00 \"", "drives.0.path=\"\"", "inaccessible=[]"}},
      {{"info"}, 0, {"drive.vendor=\"ORVEX\"", "drive.product=\"VIRTUAL DVD-RW\"", "medium.type=\"DVD+R\"",
                     "medium.status=\"empty\"", "medium.sessions=0", "medium.free_blocks=2295104", "medium.writable=true",
                     "buffer.fill=0", "speeds.write.kilobytes_per_second=22160", "speeds.write.times=16", "burner=true",
                     "capabilities.write.DVD+R=true", "capabilities.read.BD-ROM=false", "capabilities.test_write=true"}},
      {{"label"}, 1, {"outcome=\"failed\"", "error.text=\"the disc holds no volume label\""}},
      {{"burn", "--verify", "-V", "FIRST", "SRC"}, 0,
       {"medium.type=\"DVD+R\"", "drive.index=0", "tree.files=1", "tree.blocks=160", "test_write=false", "verify.differing=0"}},
      {{"info"}, 0, {"medium.status=\"appendable\"", "medium.sessions=1"}},
      {{"label"}, 0, {"label=\"FIRST\"", "session=0"}},
      {{"verify", "SRC"}, 0, {"verify.differing=0", "tree.files=1"}},
      {{"burn", "--test-write", "SRC"}, 1,
       {"error.number=12", "error.text=\"Test write not possible with this medium or drive\""}},
      {{"info"}, 0, {"medium.sessions=1"}},
      {{"burn", "--finalize", "SRC"}, 0, {"outcome=\"succeeded\""}},
      {{"info"}, 0, {"medium.status=\"complete\"", "medium.writable=false"}},
      {{"burn", "SRC"}, 1, {"error.text=\"Disc cannot be written: the DVD+R in drive 0 (ORVEX VIRTUAL DVD-RW) is finalized: it takes no more sessions\"", "error.cause=\"finalized\"", "medium.type=\"DVD+R\""}},
      {{"burn-image", "IMAGE"}, 1, {"error.text=\"Disc cannot be written: the DVD+R in drive 0 (ORVEX VIRTUAL DVD-RW) is finalized: it takes no more sessions\"", "error.cause=\"finalized\"", "image=\"" + (dir / "a.iso") + "\""}},
      {{"erase", "--quick"}, 1, {"error.text=\"the disc in the drive cannot be erased (DVD+R)\"", "mode=\"quick\""}},
      {{"info", "-d", "3"}, 1, {"error.text=\"there is no drive 3 (1 found: 0 0:0:0: ORVEX VIRTUAL DVD-RW 1.00)\"", "inaccessible=[]"}},
  };
  for (const TJsonStep& step : steps) {
    std::vector<std::string> args = step.args;
    for (std::string& arg : args) arg = arg == "SRC" ? dir / "src" : arg == "IMAGE" ? dir / "a.iso" : arg;
    args.insert(args.begin() + 1, "--json");
    const TToolResult r = OrvexWithDrives(drives, args);
    SCOPED_TRACE(::testing::PrintToString(step.args));
    EXPECT_EQ(r.status, step.status) << r.err;
    ExpectLeaves(CheckedJson(r, step.args[0]), step.leaves);
  }
  // A change since the burn: verify fails, and tells how many files differ.
  dir.Write("src/a.txt", "changed since!\n");
  const TToolResult r = OrvexWithDrives(drives, {"verify", "--json", dir / "src"});
  EXPECT_EQ(r.status, 1);
  ExpectLeaves(CheckedJson(r, "verify"), {"verify.differing=1", "error.text=\"1 file differs\""});
}

// A disc burned one way, verified against its sources another: the
// session's own tree is read, so only the files and their paths matter.
struct TVerifyStep {
  const char* name;
  std::vector<std::string> burn;    // the options of the burn of SRC
  std::vector<std::string> verify;  // the options of the verify of SRC, after `change` ran
  std::function<void(TempDir&)> change;
  int status;
  std::vector<std::string> leaves;
};

TEST_F(CliJson, VerifyReadsTheSessionsOwnTree) {
  const std::vector<TVerifyStep> steps = {
      {"SmartReferencesOnlyInTheVerify", {}, {"--smart-refs"}, {}, 0, {"verify.differing=0", "verify.session=1"}},
      {"UdfOnlyInTheVerify", {}, {"--udf"}, {}, 0, {"verify.differing=0"}},
      {"NoJolietOnTheDisc", {"--no-joliet"}, {}, {}, 0, {"verify.missing=[]", "verify.extra=[]"}},
      {"SmartReferencesOnlyInTheBurn", {"--smart-refs"}, {}, {}, 0, {"verify.differing=0"}},
      {"AddedAndRemoved", {}, {},
       [](TempDir& dir) {
         fs::remove(dir / "src/docs/twin.txt");
         dir.Write("src/new.txt", "not burned\n");
       },
       1,
       {"verify.missing.0=\"/new.txt\"", "verify.extra.0=\"/docs/twin.txt\"",
        "error.text=\"1 file missing from session 1, 1 file of session 1 not among the sources\"", "error.number=20"}},
      {"Changed", {}, {}, [](TempDir& dir) { dir.Write("src/a.txt", "changed since!\n"); }, 1,
       {"verify.differing=1", "error.text=\"1 file differs\"", "error.number=0"}},
      {"NoSuchSession", {}, {"--session", "2"}, {}, 1,
       {"error.text=\"the disc holds no session 2 with a readable volume\""}},
  };
  for (const TVerifyStep& step : steps) {
    SCOPED_TRACE(step.name);
    TempDir dir;
    dir.Write("src/a.txt", "first session\n");
    dir.Write("src/docs/b.txt", std::string(70000, 'b'));
    dir.Write("src/docs/twin.txt", std::string(70000, 'b'));
    const std::string drives = DriveWith(dir, "dvd+r");
    std::vector<std::string> burn = {"burn"};
    burn.insert(burn.end(), step.burn.begin(), step.burn.end());
    burn.push_back(dir / "src");
    ASSERT_EQ(OrvexWithDrives(drives, burn).status, 0);
    if (step.change) step.change(dir);
    std::vector<std::string> verify = {"verify", "--json"};
    verify.insert(verify.end(), step.verify.begin(), step.verify.end());
    verify.push_back(dir / "src");
    const TToolResult r = OrvexWithDrives(drives, verify);
    EXPECT_EQ(r.status, step.status) << r.err;
    ExpectLeaves(CheckedJson(r, "verify"), step.leaves);
  }
}

TEST_F(CliJson, ImageBurnAndErase) {
  TempDir dir;
  dir.Write("src/a.txt", "in an image\n");
  ASSERT_EQ(Orvex({"mkiso", "-q", "-o", dir / "a.iso", dir / "src"}).status, 0);
  TToolResult r = OrvexWithDrives(DriveWith(dir, "dvd+r"), {"burn-image", "--json", dir / "a.iso"});
  ASSERT_EQ(r.status, 0) << r.err;
  ExpectLeaves(CheckedJson(r, "burn-image"), {"blocks=" + std::to_string(fs::file_size(dir / "a.iso") / 2048),
                                              "test_write=false", "medium.type=\"DVD+R\""});
  const std::string medium = dir / "rw.vmed";
  ASSERT_EQ(RunTool({VBURNER_TOOL, "new", "dvd+rw", medium, "--formatted"}).status, 0);
  r = RunTool({"env", "ORVEX_VBURNER=0:0:0,class=dvd-writer,medium=" + medium + ";timescale=1000000", kOrvex, "erase",
               "--json", "--quick"});
  EXPECT_EQ(r.status, 0) << r.err;
  ExpectLeaves(CheckedJson(r, "erase"), {"mode=\"quick\"", "medium.type=\"DVD+RW\"", "outcome=\"succeeded\""});
}

// A command that a stop signal ends while the drive does not answer still
// prints its one object.
TEST_F(CliJson, AnInterruptedCommand) {
  TempDir dir;
  TRunningTool label({"env", "ORVEX_VBURNER=" + DriveWith(dir, "dvd+r") + ",stall=start;timescale=0", kOrvex, "label",
                      "--json"});
  ASSERT_TRUE(label.WaitUntilBlocking(SIGINT, 60));
  label.Signal(SIGINT);
  const TToolResult r = label.FinishWithin(60);
  EXPECT_EQ(r.status, 1);
  ExpectLeaves(CheckedJson(r, "label"),
               {"outcome=\"failed\"", "error.text=\"interrupted while looking for the drive\""});
}

// --- Drives the user may not open -----------------------------------------------------

// The group the tests give a device node: cdrom where there is one.
std::pair<gid_t, std::string> DeviceGroup() {
  if (const struct group* g = getgrnam("cdrom")) return {g->gr_gid, g->gr_name};
  return {0, getgrgid(0)->gr_name};
}

TEST(Cli, AccessNote) {
  EXPECT_EQ(cli::AccessNote({"/dev/sr1", EACCES, "cdrom"}),
            "/dev/sr1 exists but cannot be opened (Permission denied): add yourself to the group cdrom "
            "(sudo usermod -aG cdrom $USER) and log in again");
  EXPECT_EQ(cli::AccessNote({"/dev/sr0", EPERM, ""}),
            "/dev/sr0 exists but cannot be opened (Operation not permitted): ask for access to it");
}

// In a mount namespace of its own, /dev holds a CD-ROM node (block major 11)
// of mode 0660 owned by the group; `orvex` runs as nobody, without groups.
TToolResult OrvexAsNobodyBesideADrive(const std::string& drives, const std::vector<std::string>& args) {
  std::string command = "mount -t tmpfs orvex-test /dev && mknod -m 0660 /dev/sr0 b 11 0 && chgrp " +
                        std::to_string(DeviceGroup().first) +
                        " /dev/sr0 && exec setpriv --reuid=65534 --regid=65534 --clear-groups env ORVEX_VBURNER='" +
                        drives + "' \"$0\"";
  for (size_t i = 0; i < args.size(); ++i) command += " '" + args[i] + "'";
  return RunTool({"unshare", "--mount", "sh", "-c", command, kOrvex});
}

TEST(Cli, DevicesNameTheGroupOfADriveTheUserMayNotOpen) {
  if (geteuid() != 0 ||
      RunTool({"unshare", "--mount", "sh", "-c", "mount -t tmpfs probe /dev && mknod /dev/sr0 b 11 0"}).status != 0) {
    GTEST_SKIP() << "needs root, and a mount namespace where a device node can be made";
  }
  const std::string note = "orvex: /dev/sr0 exists but cannot be opened (Permission denied): add yourself to the group " +
                           DeviceGroup().second + " (sudo usermod -aG " + DeviceGroup().second + " $USER) and log in again\n";
  // No driver library to fall back on: the note, then no drive.
  TToolResult r = OrvexAsNobodyBesideADrive("", {"devices", "--driver", "none"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, note + "orvex: no drive found: no driver library was asked for\n");
  r = OrvexAsNobodyBesideADrive("", {"info", "--driver", "none"});
  EXPECT_EQ(r.err, note + "orvex: no drive found: no driver library was asked for\n");
  // The virtual burner's drive is listed, and the kernel's drive still told.
  r = OrvexAsNobodyBesideADrive("0:0:0,class=dvd-writer", {"devices"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err, note);
  EXPECT_EQ(r.out, "0: 0:0:0: ORVEX    VIRTUAL DVD-RW   1.00 \n");
  if (RunTool({"python3", "-c", "import jsonschema"}).status != 0) return;
  r = OrvexAsNobodyBesideADrive("0:0:0,class=dvd-writer", {"devices", "--json"});
  ExpectLeaves(CheckedJson(r, "devices"),
               {"inaccessible.0.path=\"/dev/sr0\"", "inaccessible.0.group=\"" + DeviceGroup().second + "\"",
                "inaccessible.0.system_error=13", "inaccessible.0.error=\"Permission denied\"", "drives.0.index=0"});
}

// A drive's refusal is told as a person reads it, beside the component's
// text: the command, the block, the sense key's name and the codes, also in
// the JSON object.  An erase names the command that failed, not a code an
// earlier command left (here SET CD SPEED's).
TEST_F(CliJson, DriveErrorsSayWhatFailed) {
  TempDir dir;
  dir.Write("src/a.txt", "in an image\n");
  ASSERT_EQ(Orvex({"mkiso", "-q", "-o", dir / "a.iso", dir / "src"}).status, 0);
  struct TCase {
    std::string drive;
    std::vector<std::string> args;
    std::string said;
    std::vector<std::string> leaves;
  };
  // A disc with a labelled session on it, and READ (10) refused as often
  // as `reads` reads are tried.
  const std::string burned = DriveWith(dir, "dvd+r", "burned.vmed");
  ASSERT_EQ(OrvexWithDrives(burned, {"burn", "-V", "LABEL", dir / "src"}).status, 0);
  const auto unreadable = [](uint32_t reads) {
    std::string options;
    for (uint32_t i = 0; i < reads * kFailedReadAttempts; ++i) options += ",fail=28/03/11/00";
    return options;
  };
  const TCase cases[] = {
      {DriveWith(dir, "dvd+r") + ",writeerror=40/03/0C/00",
       {"burn-image", "--json", dir / "a.iso"},
       "orvex: write error at block 40: medium error, 03/0C/00 (Hardware Error 3072)\n",
       {"error.number=3072", "error.command.name=\"WRITE (10)\"", "error.command.opcode=42", "error.command.block=40",
        "error.command.sense_key=3", "error.command.asc=12", "error.command.ascq=0"}},
      {DriveWith(dir, "cd-rw", "rw.vmed") + ",fail=BB/05/26/00,fail=A1/03/00/00",
       {"erase", "--json", "--full"},
       "orvex: erasing failed: BLANK failed: medium error, 03/00/00 (Drive did not answer)\n",
       {"error.number=11", "error.command.name=\"BLANK\"", "error.command.sense_key=3", "error.command.asc=0"}},
      // The file read back after the burn is the first block read.
      {DriveWith(dir, "dvd+r", "verified.vmed") + unreadable(1),
       {"burn", "--json", "--verify", dir / "src"},
       "orvex: 1 file could not be read from the disc (read error at block 150: medium error, 03/11/00)\n",
       {"error.number=19", "error.command.name=\"READ (10)\"", "error.command.sense_key=3", "error.command.asc=17"}},
      // Neither of the volume descriptors (nor their terminator) reads.
      {burned + unreadable(3),
       {"label", "--json"},
       "orvex: the disc's label could not be read: read error at block 16: medium error, 03/11/00\n",
       {}},
      {DriveWith(dir, "dvd+r", "unclosed.vmed") + ",fail=5B/03/0C/00",
       {"burn", "--json", dir / "src"},
       "orvex: CLOSE TRACK/SESSION failed: medium error, 03/0C/00 (Hardware Error 3072)\n",
       {"error.number=3072", "error.command.opcode=91", "error.command.sense_key=3", "error.command.asc=12"}},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.args[0]);
    const TToolResult r = OrvexWithDrives(c.drive, c.args);
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find(c.said), std::string::npos) << r.err;
    ExpectLeaves(CheckedJson(r, c.args[0]), c.leaves);
  }
}

// --- Messages that name the cause ---------------------------------------------------

// One message as users see it: `run` sets up what it needs in the
// directory and runs orvex; `said` is its whole standard error, DIR
// standing for the directory and LIB for the driver library's path.
struct TMessageCase {
  const char* name;
  std::function<TToolResult(const TempDir&)> run;
  int status;
  std::string said;
};

// A fresh DVD+R finalized by a first burn, in drive 0:0:0.
std::string FinalizedDrive(const TempDir& dir) {
  const std::string drives = DriveWith(dir, "dvd+r");
  EXPECT_EQ(OrvexWithDrives(drives, {"burn", "--finalize", dir.Write("first.txt", "x")}).status, 0);
  return drives;
}

// A CD-R in a CD writer, and a source (or an image) of 800 MiB that it
// cannot hold; the file's holes are never read, since the burn is refused.
std::string CdWriter(const TempDir& dir) {
  const std::string medium = dir / "cd.vmed";
  EXPECT_EQ(RunTool({VBURNER_TOOL, "new", "cd-r", medium}).status, 0);
  return "0:0:0,class=cd-writer,medium=" + medium;
}
std::string HugeSource(const TempDir& dir) {
  dir.Write("huge/big.bin");
  fs::resize_file(dir / "huge/big.bin", 800ull << 20);
  return dir / "huge";
}

const std::string kDvdWriter = "drive 0 (ORVEX VIRTUAL DVD-RW)";
const std::string kTooBig =
    "orvex: Not enough space on the disc: 409760 blocks (800.3 MiB) are needed, 359849 blocks (702.8 MiB) are free\n";

const TMessageCase kMessages[] = {
    {"finalized disc",
     [](const TempDir& d) { return OrvexWithDrives(FinalizedDrive(d), {"burn", d.Write("b.txt", "b")}); }, 1,
     "orvex: Disc cannot be written: the DVD+R in " + kDvdWriter + " is finalized: it takes no more sessions\n"},
    {"no disc", [](const TempDir& d) { return OrvexWithDrives("0:0:0,class=dvd-writer", {"burn", d.Write("b.txt")}); },
     1, "orvex: Disc cannot be written: there is no disc in " + kDvdWriter + "\n"},
    {"open tray",
     [](const TempDir& d) { return OrvexWithDrives("0:0:0,class=dvd-writer,tray=open", {"burn", d.Write("b.txt")}); },
     1, "orvex: Disc cannot be written: the tray of " + kDvdWriter + " is open\n"},
    {"medium the drive cannot write",
     [](const TempDir& d) { return OrvexWithDrives(DriveWith(d, "bd-r"), {"burn", d.Write("b.txt")}); }, 1,
     "orvex: Disc cannot be written: " + kDvdWriter + " cannot write the medium in it: it does not recognise it\n"},
    {"pressed disc",
     [](const TempDir& d) {
       EXPECT_EQ(Orvex({"mkiso", "-q", "-o", d / "p.iso", d.Write("p/a.txt", "a")}).status, 0);
       EXPECT_EQ(RunTool({VBURNER_TOOL, "load", "dvd-rom", d / "rom.vmed", d / "p.iso"}).status, 0);
       return OrvexWithDrives("0:0:0,class=dvd-writer,medium=" + (d / "rom.vmed"), {"burn", d.Write("b.txt")});
     },
     1, "orvex: Disc cannot be written: " + kDvdWriter + " cannot write the DVD-ROM in it\n"},
    {"no room for a tree", [](const TempDir& d) { return OrvexWithDrives(CdWriter(d), {"burn", HugeSource(d)}); }, 1,
     kTooBig},
    {"no room for an image",
     [](const TempDir& d) {
       EXPECT_EQ(Orvex({"mkiso", "-q", "-o", d / "small.iso", d.Write("s/a.txt", "a")}).status, 0);
       fs::resize_file(d / "small.iso", 409760ull * 2048);
       return OrvexWithDrives(CdWriter(d), {"burn-image", d / "small.iso"});
     },
     1, kTooBig},
    {"missing image", [](const TempDir& d) { return Orvex({"ls", d / "none.iso"}); }, 1,
     "orvex: cannot read DIR/none.iso: No such file or directory\n"},
    {"directory for an image", [](const TempDir& d) { return Orvex({"ls", d.Mkdir("folder")}); }, 1,
     "orvex: cannot read DIR/folder: Is a directory\n"},
    {"file that is no image", [](const TempDir& d) { return Orvex({"ls", d.Write("x.txt", std::string(40000, 'x'))}); },
     1, "orvex: cannot read DIR/x.txt as an ISO 9660 image: it holds no ISO 9660 volume\n"},
    {"typo in the drive description",
     [](const TempDir&) { return OrvexWithDrives("0:0:0,clas=dvd-writer", {"info"}); }, 1,
     "orvex-vburner: ORVEX_VBURNER: drive 0:0:0: unknown option \"clas\" (see DRIVE DESCRIPTION in man orvex-vburner)\n"
     "orvex: no drive found: LIB reports that it cannot be used\n"},
    {"session the disc lacks",
     [](const TempDir& d) { return OrvexWithDrives(FinalizedDrive(d), {"label", "--session", "5"}); }, 1,
     "orvex: the disc holds no session 5: it holds 1 session\n"},
    {"usage error", [](const TempDir& d) { return Orvex({"burn", "--speed", "fast", d / "src"}); }, 2,
     "orvex burn: --speed takes a multiple of 1x (such as 16 or 2.4) or max\nsee 'orvex burn --help'\n"},
    {"unknown command", [](const TempDir&) { return Orvex({"brun"}); }, 2,
     "orvex: unknown command brun\nsee 'orvex --help'\n"},
    {"label cut",
     [](const TempDir& d) {
       return Orvex({"mkiso", "-q", "-o", d / "l.iso", "-V", "Holiday photos from the summer 2026", d.Write("a.txt")});
     },
     0,
     "orvex: warning: the label \"Holiday photos from the summer 2026\" is longer than a volume identifier holds: it "
     "becomes \"HOLIDAY PHOTOS FROM THE SUMMER \" in ISO 9660 (which keeps 31 bytes) and \"Holiday photos f\" in "
     "Joliet (which keeps 16 UTF-16 units)\n"},
    {"label that fits", [](const TempDir& d) { return Orvex({"mkiso", "-q", "-o", d / "l.iso", "-V", "SHORT", d.Write("a.txt")}); },
     0, ""},
};

void PrintTo(const TMessageCase& c, std::ostream* os) { *os << c.name; }

class MessageTest : public ::testing::TestWithParam<TMessageCase> {};

TEST_P(MessageTest, NamesTheCause) {
  const TMessageCase& c = GetParam();
  TempDir dir;
  const TToolResult r = c.run(dir);
  std::string said = c.said;
  for (const auto& [mark, value] : {std::pair<std::string, std::string>{"DIR", dir.path()}, {"LIB", VBURNER_LIBRARY}}) {
    if (const size_t at = said.find(mark); at != std::string::npos) said.replace(at, mark.size(), value);
  }
  EXPECT_EQ(r.status, c.status) << r.err;
  EXPECT_EQ(r.err, said);
}

INSTANTIATE_TEST_SUITE_P(Cases, MessageTest, ::testing::ValuesIn(kMessages), CaseName());

// The same causes in --json: the error's "cause" and "space".
TEST_F(CliJson, RefusalsCarryTheirCause) {
  TempDir dir;
  const std::string source = dir.Write("b.txt", "b"), image = dir / "b.iso";
  ASSERT_EQ(Orvex({"mkiso", "-q", "-o", image, source}).status, 0);
  struct TRefusal {
    std::string drives;
    std::vector<std::string> args;
    std::vector<std::string> leaves;
  };
  const std::vector<TRefusal> refusals = {
      {"0:0:0,class=dvd-writer,tray=open", {"burn", "--json", source}, {"error.number=9", "error.cause=\"tray_open\""}},
      {"0:0:0,class=dvd-writer", {"burn-image", "--json", image}, {"error.number=9", "error.cause=\"no_disc\""}},
      {CdWriter(dir), {"burn", "--json", HugeSource(dir)},
       {"error.number=8", "error.space.needed_blocks=409760", "error.space.free_blocks=359849",
        "error.space.needed_bytes=839188480", "error.space.free_bytes=736970752"}},
  };
  for (const TRefusal& refusal : refusals) {
    const TToolResult r = OrvexWithDrives(refusal.drives, refusal.args);
    SCOPED_TRACE(::testing::PrintToString(refusal.args));
    EXPECT_EQ(r.status, 1) << r.err;
    ExpectLeaves(CheckedJson(r, refusal.args[0]), refusal.leaves);
  }
}

// --- toc -------------------------------------------------------------------------------

// The table of contents of discs in every state: the rows as printed, the
// fields of --json as the schema has them, and the multi-session numbers,
// whose first one lists the last session of an image of the whole disc.
TEST_F(CliJson, TocOfDiscsInEveryState) {
  struct TRow {
    const char* name;
    const char* profile;  // "" for an empty drive
    const char* drive;    // the burner's class
    bool formatted;
    std::vector<std::string> burns;  // the burns before, each of one small file
    int status;
    std::string said;                 // a line of standard output, or standard error when failed
    std::vector<std::string> leaves;  // of the JSON report
    bool multi_session;
  };
  const std::string kOpenThird = "    3       3      16704    2278400     4450.0          16704  invisible, session open\n";
  const std::vector<TRow> rows = {
      {"empty drive", "", "dvd-writer", false, {}, 1, "orvex: there is no disc in drive 0 (ORVEX VIRTUAL DVD-RW)\n",
       {"outcome=\"failed\""}, false},
      {"blank disc", "dvd+r", "dvd-writer", false, {}, 0,
       "    1       1          0    2295104     4482.6              0  invisible, session open\n",
       {"disc.status=\"blank\"", "disc.appendable=true", "disc.sessions=0", "disc.open_session=true",
        "tracks.0.next_writable=0", "tracks.0.state=\"invisible\""},
       false},
      {"closed disc", "dvd+r", "dvd-writer", false, {"--finalize"}, 0, "disc: finalized, takes no more sessions, 1 session\n",
       {"disc.status=\"finalized\"", "disc.appendable=false", "disc.sessions=1", "disc.open_session=false",
        "tracks.0.blocks=160", "tracks.0.state=\"complete\"", "tracks.0.session_closed=true"},
       false},
      {"two sessions and an open third", "dvd+r", "dvd-writer", false, {"", ""}, 0, kOpenThird,
       {"disc.status=\"appendable\"", "disc.sessions=2", "tracks.1.start=8352", "tracks.1.session_closed=true",
        "tracks.2.state=\"invisible\"", "tracks.2.session_closed=false", "multi_session.last_session_start=8352",
        "multi_session.next_writable=16704"},
       true},
      {"DVD+RW", "dvd+rw", "dvd-writer", true, {""}, 0,
       "    1       1          0    2295104     4482.6            160  overwritable, session closed\n",
       {"medium=\"DVD+RW\"", "disc.appendable=true", "tracks.0.state=\"overwritable\""}, false},
      {"BD-RE", "bd-re", "bd-writer", true, {}, 0, "medium: BD-RE\n",
       {"medium=\"BD-RE\"", "tracks.0.number=1", "tracks.0.state=\"overwritable\""}, false},
  };
  for (const TRow& row : rows) {
    SCOPED_TRACE(row.name);
    TempDir dir;
    std::string drives = std::string("0:0:0,class=") + row.drive;
    if (*row.profile != '\0') {
      const std::string medium = dir / "disc.vmed";
      std::vector<std::string> args = {VBURNER_TOOL, "new", row.profile, medium};
      if (row.formatted) args.push_back("--formatted");
      ASSERT_EQ(RunTool(args).status, 0);
      drives += ",medium=" + medium;
    }
    for (const std::string& option : row.burns) {
      std::vector<std::string> burn = {"burn", "-q", dir.Write("a.txt", "a\n")};
      if (!option.empty()) burn.insert(burn.begin() + 1, option);
      ASSERT_EQ(OrvexWithDrives(drives, burn).status, 0);
    }
    TToolResult r = OrvexWithDrives(drives, {"toc"});
    EXPECT_EQ(r.status, row.status) << r.err;
    EXPECT_NE((r.status == 0 ? r.out : r.err).find(row.said), std::string::npos) << r.out << r.err;
    EXPECT_EQ(r.out.find("multi-session: ") != std::string::npos, row.multi_session) << r.out;
    r = OrvexWithDrives(drives, {"toc", "--json"});
    const std::string leaves = CheckedJson(r, "toc");
    ExpectLeaves(leaves, row.leaves);
    EXPECT_EQ(leaves.find("multi_session.") != std::string::npos, row.multi_session) << leaves;
    if (!row.multi_session) continue;
    // The last session of the whole disc's image lists at the first number.
    ASSERT_EQ(RunTool({VBURNER_TOOL, "export", dir / "disc.vmed", dir / "disc.iso"}).status, 0);
    const TToolResult listed = Orvex({"ls", "--sector", "8352", dir / "disc.iso"});
    EXPECT_EQ(listed.status, 0) << listed.err;
    EXPECT_NE(listed.out.find("/a.txt"), std::string::npos) << listed.out;
  }
}

}  // namespace
}  // namespace orvex::test
