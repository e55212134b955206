// SPDX-License-Identifier: Apache-2.0
// Images judged by readers nobody here wrote: isoinfo, xorriso, bsdtar, 7z
// and udfinfo must open every image without complaint and see exactly the
// source tree in every view the image carries.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <set>
#include <thread>

#include "component/orvex.h"
#include "image/disc_identifiers.h"
#include "image/iso_records.h"
#include "peer_tools.h"
#include "platform/text_conversion.h"
#include "source_tree.h"
#include "support/temp_dir.h"

namespace orvex::test {
namespace {

struct TOptions {
  const char* name;
  bool joliet, udf, iso1999;
};

// The plain ISO 9660 view as we wrote it: short names, upper-cased.
TTreeFacts PrimaryFacts(const TImageLayout& layout, const TTreeFacts& source, const std::string& prefix) {
  TTreeFacts facts;
  const TIsoTree tree = PrimaryTree(layout.ISO9660v1999FS);
  std::vector<std::pair<const TDirEntry*, std::string>> pending = {{layout.RootDir, ""}};
  while (!pending.empty()) {
    auto [dir, path] = pending.back();
    pending.pop_back();
    for (const TFileEntry* e = dir->Files; e != nullptr; e = e->NextFile) {
      const std::string name = path + tree.Identifier(*e);
      if (e->DirRecord != nullptr) {
        facts.emplace(name, TEntryFacts{true, 0, 0});
        pending.emplace_back(e->DirRecord, name + "/");
      } else {
        const std::string source_path = Utf16ToUtf8(e->Path).substr(prefix.size() + 1);
        facts.emplace(name, source.find(source_path)->second);
      }
    }
  }
  return facts;
}

// The source as a long-name view shows it, with names cut to what the view holds.
TTreeFacts LongNameFacts(const TTreeFacts& source, bool joliet) {
  TTreeFacts facts;
  for (const auto& [path, f] : source) {
    std::string cut;
    for (const auto& part : std::filesystem::path(path)) {
      const std::u16string name = Utf8ToUtf16(part.string());
      if (!cut.empty()) cut += "/";
      cut += joliet ? Utf16ToUtf8(CutUtf16(name, kMaxJolietUnits))
                    : std::string(CutUtf8(part.string(), kMaxIso1999Bytes));
    }
    facts.emplace(cut, f);
  }
  return facts;
}

// What a tool said that is a complaint.  One note is not: the boot image is
// in no directory, and xorriso's library then cannot tell its size for
// modifying the image (it says the same of images genisoimage makes with a
// hidden boot image).
bool IsAscii(const std::string& text) {
  return std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

// Names as a reader that shows ISO 8859-1 prints them: each UTF-16 unit
// beyond it as "_", read back as UTF-8.
TTreeFacts Latin1Names(const TTreeFacts& facts) {
  TTreeFacts out;
  for (const auto& [path, f] : facts) {
    std::u16string name = Utf8ToUtf16(path);
    for (char16_t& unit : name) unit = unit > 0xFF ? u'_' : unit;
    out.emplace(Utf16ToUtf8(name), f);
  }
  return out;
}

// xorriso also reads primary-tree names as ASCII: when they are 8-bit text
// (ISO 9660:1999 names without a Joliet tree) it warns about every non-ASCII
// one, and mangles it.
class InteropTest : public ::testing::TestWithParam<std::tuple<TOptions, int>> {
 protected:
  static void SetUpTestSuite() {
    for (const char* tool : {"isoinfo", "xorriso", "bsdtar", "7z", "udfinfo"}) {
      if (!ToolAvailable(tool)) GTEST_FAIL() << tool << " is missing; scripts/test.sh installs it";
    }
    source_ = new TempDir();
    MakeAwkwardTree(source_->path() + "/src");
    facts_ = new TTreeFacts(DiskTreeFacts(source_->path() + "/src"));
    source_->Write("boot/sector.bin", std::string(2048, 'S'));
    std::string floppy(1'474'560, '\0');
    for (size_t i = 0; i < floppy.size(); ++i) floppy[i] = static_cast<char>(i * 7 / 512);
    source_->Write("boot/floppy.img", floppy);
  }
  static void TearDownTestSuite() {
    delete facts_;
    delete source_;
  }

  static TempDir* source_;
  static TTreeFacts* facts_;
  TempDir work_;
};

TempDir* InteropTest::source_ = nullptr;
TTreeFacts* InteropTest::facts_ = nullptr;

// Images are made by `orvex mkiso`, as users make them; the same tree laid
// out in-process tells what the primary tree's 8.3 names and the boot
// image's sector are.
TEST_P(InteropTest, ReadersSeeTheSourceTree) {
  const auto [options, boot] = GetParam();
  const std::string boot_file = boot == 0 ? "" : source_->path() + (boot == 1 ? "/boot/sector.bin" : "/boot/floppy.img");
  const std::string src = source_->path() + "/src";
  const std::string image = work_ / "test.iso";
  std::vector<std::string> mkiso = {ORVEX_CLI_PATH, "mkiso", "-q", "--no-rock", "-o", image, "-V", "Interop Test"};
  if (!options.joliet) mkiso.push_back("--no-joliet");
  if (options.udf) mkiso.push_back("--udf");
  if (options.iso1999) mkiso.push_back("--iso1999");
  if (!boot_file.empty()) mkiso.insert(mkiso.end(), {"--boot", boot_file});
  mkiso.push_back(src);
  const TToolResult made = RunTool(mkiso);
  ASSERT_EQ(made.status, 0) << made.err;

  TOrvex disc(nullptr);
  disc.ClearAll();
  disc.SetJolietFileSystem(options.joliet);
  disc.SetUDFBridge(options.udf);
  disc.SetISO9660v1999FS(options.iso1999);
  if (!boot_file.empty()) disc.SetBootImage(boot_file);
  ASSERT_NE(disc.InsertDir("\\", src, "*", true, false), nullptr);
  disc.Prepare();
  if (const char* keep = std::getenv("ORVEX_KEEP_IMAGES")) {
    std::filesystem::copy_file(image, std::string(keep) + "/" + options.name + "-" + std::to_string(boot) + ".iso",
                               std::filesystem::copy_options::overwrite_existing);
  }

  std::string complaint;
  // The plain ISO 9660 view: one record per entry, right sizes and contents.
  const TTreeFacts primary = PrimaryFacts(disc.CDFiles, *facts_, src);
  const TTreeFacts plain = IsoinfoFacts(image, false, &complaint);
  EXPECT_EQ(complaint, "");
  EXPECT_TRUE(plain == primary) << DescribeDifferences(primary, plain);

  const TTreeFacts joliet_view = LongNameFacts(*facts_, true);
  if (options.joliet) {
    // isoinfo prints Joliet names in ISO 8859-1, other characters as "_".
    const TTreeFacts joliet = IsoinfoFacts(image, true, &complaint);
    EXPECT_EQ(complaint, "");
    const TTreeFacts latin1_view = Latin1Names(joliet_view);
    EXPECT_TRUE(joliet == latin1_view) << DescribeDifferences(latin1_view, joliet);
  }

  // The long-name view the archive readers extract: Joliet when present,
  // else the ISO 9660:1999 names of the primary tree.
  const bool long_names = options.joliet || options.iso1999;
  const TTreeFacts long_view = options.joliet ? joliet_view : LongNameFacts(*facts_, false);
  // 7z also shows the boot image, as a file of a [BOOT] folder.
  TTreeFacts with_boot = long_view;
  if (boot != 0) {
    with_boot.emplace("[BOOT]", TEntryFacts{true, 0, 0});
    with_boot.emplace(boot == 1 ? "[BOOT]/Boot-NoEmul.img" : "[BOOT]/Boot-1.44M.img",
                      DiskTreeFacts(source_->path() + "/boot").find(boot == 1 ? "sector.bin" : "floppy.img")->second);
  }
  for (const std::vector<std::string>& extract :
       {std::vector<std::string>{"bsdtar", "-xf", image, "-C"},
        std::vector<std::string>{"7z", "x", "-y", "-tiso", image, "-o"},
        std::vector<std::string>{"xorriso", "-osirrox", "on", "-indev", image, "-extract", "/"}}) {
    const std::string out = work_.Mkdir(extract[0]);
    std::vector<std::string> argv = extract;
    if (argv.back() == "-o") argv.back() += out; else argv.push_back(out);
    const TToolResult r = RunTool(argv);
    if (!long_names) {  // 8.3 names need not be unique: nothing to extract by name
      EXPECT_EQ(ToolComplaints(r, extract[0]), "");
      continue;
    }
    TTreeFacts seen = DiskTreeFacts(out);
    TTreeFacts expected = extract[0] == "7z" ? with_boot : long_view;
    const bool eight_bit_primary = extract[0] == "xorriso" && !options.joliet;
    if (eight_bit_primary) {
      // Names xorriso mangled aside, everything must be exact, and nothing lost.
      EXPECT_EQ(seen.size(), expected.size());
      std::erase_if(expected, [](const auto& e) { return !IsAscii(e.first); });
      std::erase_if(seen, [&](const auto& e) { return expected.count(e.first) == 0; });
    }
    EXPECT_EQ(ToolComplaints(r, extract[0], eight_bit_primary), "");
    EXPECT_TRUE(seen == expected) << extract[0] << ":\n" << DescribeDifferences(expected, seen);
  }

  if (options.udf) {
    const std::string out = work_.Mkdir("udf");
    EXPECT_EQ(ToolComplaints(RunTool({"7z", "x", "-y", "-tudf", image, "-o" + out}), "7z -tudf"), "");
    const TTreeFacts seen = DiskTreeFacts(out);
    EXPECT_TRUE(seen == *facts_) << DescribeDifferences(*facts_, seen);
    const TToolResult info = RunTool({"udfinfo", image});
    EXPECT_EQ(ToolComplaints(info, "udfinfo"), "");
    EXPECT_NE(info.out.find("label=Interop Test"), std::string::npos) << info.out;
  }

  if (boot != 0) {
    const TToolResult r = RunTool({"xorriso", "-indev", image, "-report_el_torito", "plain"});
    EXPECT_EQ(ToolComplaints(r, "xorriso", !options.joliet), "");
    std::smatch m;
    static const std::regex kBootLine(R"(El Torito boot img :\s+1\s+BIOS\s+y\s+(\S+)\s+\S+\s+\S+\s+(\d+)\s+(\d+))");
    ASSERT_TRUE(std::regex_search(r.out, m, kBootLine)) << r.out;
    EXPECT_EQ(m[1], boot == 1 ? "none" : "fd1.4");
    EXPECT_EQ(std::stoul(m[2]), boot == 1 ? 4u : 1u);
    EXPECT_EQ(std::stoul(m[3]), disc.CDFiles.BootImageLocation);
    std::ifstream in(image, std::ios::binary), want(boot_file, std::ios::binary);
    std::string expected((std::istreambuf_iterator<char>(want)), std::istreambuf_iterator<char>());
    std::string actual(expected.size(), '\0');
    in.seekg(std::streamoff{disc.CDFiles.BootImageLocation} * 2048);
    in.read(actual.data(), static_cast<std::streamsize>(actual.size()));
    EXPECT_TRUE(actual == expected) << "the boot image's bytes differ";
  }
}

const TOptions kOptionSets[] = {
    {"iso", false, false, false},
    {"joliet", true, false, false},
    {"joliet-udf", true, true, false},
    {"iso1999", false, false, true},
};

std::string CaseName(const ::testing::TestParamInfo<std::tuple<TOptions, int>>& param) {
  static const char* kBoot[] = {"", "_boot2048", "_boot144"};
  std::string name = std::get<0>(param.param).name;
  for (char& c : name) c = c == '-' ? '_' : c;
  return name + kBoot[std::get<1>(param.param)];
}

INSTANTIATE_TEST_SUITE_P(OptionSets, InteropTest,
                         ::testing::Combine(::testing::ValuesIn(kOptionSets), ::testing::Values(0, 1, 2)),
                         CaseName);

// Names the cut makes equal, names differing only in case, a byte that is
// not UTF-8, and a directory an add-file handler renamed: every reader, in
// every tree, extracts each file whole and under its own name.
TEST(InteropNames, EveryNameReadsBackDistinct) {
  TempDir dir;
  const std::string stem(110, 'n');
  dir.Write("src/" + stem + "-one.txt", "one");
  dir.Write("src/" + stem + "-two.txt", "two");
  dir.Write("src/" + stem + "-three.txt", "three");
  dir.Write("src/caf\xE9.txt", "latin-1");
  dir.Write("src/CAF_.TXT", "literal");
  dir.Write("src/README", "upper");
  dir.Write("src/readme", "lower");
  dir.Write("src/old/inner.txt", "inner");
  TOrvex disc(nullptr);
  disc.ClearAll();
  disc.SetUDFBridge(true);
  disc.SetOnAddFile([](TObject*, const char16_t*, WIN32_FIND_DATAW& fd, bool&) {
    if (FindName(fd) == u"old") SetFindName(fd, u"renamed dir");
  });
  ASSERT_NE(disc.InsertDir("\\", dir / "src", "*", true, false), nullptr);
  disc.Prepare();
  std::atomic<bool> done{false}, failed{false};
  disc.SetOnWriteDone([&](TObject*, uint8_t, bool f) { failed = f, done = true; });
  const std::string image = dir / "names.iso";
  ASSERT_TRUE(disc.BuildISOImage(image));
  while (!done || disc.JobRunning()) std::this_thread::sleep_for(std::chrono::milliseconds(5));
  ASSERT_FALSE(failed);

  std::multiset<uint64_t> contents;
  for (const char* text : {"one", "two", "three", "latin-1", "literal", "upper", "lower", "inner"}) {
    contents.insert(Fingerprint(text));
  }
  for (const bool joliet : {false, true}) {
    std::string complaint;
    std::multiset<uint64_t> seen;
    for (const auto& [path, facts] : IsoinfoFacts(image, joliet, &complaint)) {
      if (!facts.directory) seen.insert(facts.fingerprint);
    }
    EXPECT_EQ(complaint, "");
    EXPECT_EQ(seen, contents) << "isoinfo" << (joliet ? " -J" : "");
  }
  int run = 0;
  for (const std::vector<std::string>& extract :
       {std::vector<std::string>{"bsdtar", "-xf", image, "-C"}, std::vector<std::string>{"7z", "x", "-y", "-tiso", image, "-o"},
        std::vector<std::string>{"7z", "x", "-y", "-tudf", image, "-o"},
        std::vector<std::string>{"xorriso", "-osirrox", "on", "-indev", image, "-extract", "/"}}) {
    const std::string out = dir.Mkdir("out" + std::to_string(++run));
    std::vector<std::string> argv = extract;
    if (argv.back() == "-o") argv.back() += out; else argv.push_back(out);
    const std::string tool = extract[0] + " " + extract[3];
    EXPECT_EQ(ToolComplaints(RunTool(argv), tool), "");
    std::multiset<uint64_t> seen;
    for (const auto& [path, facts] : DiskTreeFacts(out)) {
      if (!facts.directory) seen.insert(facts.fingerprint);
    }
    EXPECT_EQ(seen, contents) << tool;
    EXPECT_TRUE(std::filesystem::exists(out + "/renamed dir/inner.txt")) << tool;
    if (tool == "7z -tudf") {  // UDF holds both names exactly
      EXPECT_TRUE(std::filesystem::exists(out + "/README") && std::filesystem::exists(out + "/readme")) << tool;
    }
  }
  EXPECT_EQ(ToolComplaints(RunTool({"udfinfo", image}), "udfinfo"), "");
}

}  // namespace
}  // namespace orvex::test
