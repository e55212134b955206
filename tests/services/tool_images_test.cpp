// SPDX-License-Identifier: Apache-2.0
// MountISOImage over images that genisoimage and xorriso made from a
// generated tree.  Where the image keeps the source's names (Joliet, the
// ISO 9660:1999 tree) the imported tree must be the source tree, and every
// file's data must lie at its imported address; where it holds only the
// primary tree, the import must list what isoinfo lists.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <regex>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "services/session_import.h"
#include "services/tree_listing.h"
#include "support/temp_dir.h"

namespace orvex {
namespace {

namespace fs = std::filesystem;

std::string Output(const std::string& command) {
  std::string out;
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return out;
  char buffer[4096];
  size_t got;
  while ((got = fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, got);
  pclose(pipe);
  return out;
}

bool Have(const std::string& tool) {
  return std::system(("command -v " + tool + " >/dev/null 2>&1").c_str()) == 0;
}

std::string Quote(const std::string& path) { return "'" + path + "'"; }

std::vector<std::string> Sorted(std::vector<std::string> lines) {
  std::sort(lines.begin(), lines.end());
  return lines;
}

// Drops the block address from "f PATH SIZE ADDRESS" lines.
std::vector<std::string> WithoutAddresses(const std::vector<std::string>& lines) {
  std::vector<std::string> out;
  for (const std::string& line : lines) {
    out.push_back(line[0] == 'f' ? line.substr(0, line.rfind(' ')) : line);
  }
  return out;
}

class ToolImages : public ::testing::Test {
 protected:
  void SetUp() override {
    std::mt19937 random(4);
    auto bytes = [&](size_t n) {
      std::string data(n, '\0');
      for (char& c : data) c = static_cast<char>(random());
      return data;
    };
    source_.Write("Read me.txt", "hello\n");
    source_.Write("README", "no extension");
    source_.Write("empty.txt", "");
    source_.Write("Café Überblick.txt", bytes(3000));
    source_.Write("Sub/Deeper/data.bin", bytes(70000));
    source_.Mkdir("Sub/Empty dir");
    // Enough long names that each tree's directory fills several sectors.
    for (int i = 0; i < 120; ++i) {
      source_.Write("Many/a fairly long file name, number " + std::to_string(100 + i) + ".txt",
                    bytes(static_cast<size_t>(i)));
    }
  }

  // The image `command` (given OUT and SRC) writes, mounted into `layout`.
  std::string Make(const std::string& tool, const std::string& options) {
    const std::string image = work_ / "image.iso";
    const std::string command = tool + " " + options + " -quiet -o " + Quote(image) + " " +
                                Quote(source_.path()) + " >/dev/null 2>&1";
    EXPECT_EQ(std::system(command.c_str()), 0) << command;
    layout.ClearAll();
    EXPECT_TRUE(MountISOImage(layout, image).found);
    return image;
  }

  // The source as listing lines without addresses.
  std::vector<std::string> SourceListing() const {
    std::vector<std::string> lines;
    for (const auto& entry : fs::recursive_directory_iterator(source_.path())) {
      const std::string path = fs::relative(entry.path(), source_.path()).string();
      lines.push_back(entry.is_directory()
                          ? "d " + path
                          : "f " + path + " " + std::to_string(entry.file_size()));
    }
    return Sorted(lines);
  }

  // Every imported file's data, read at its address, is its source's data.
  void ExpectDataAtAddresses(const std::string& image, const TDirEntry* dir = nullptr,
                             const std::string& prefix = "/") {
    std::ifstream in(image, std::ios::binary);
    for (const TFileEntry* e = (dir ? dir : layout.RootDir)->Files; e; e = e->NextFile) {
      const std::string path = prefix + Utf16ToUtf8(e->LongName);
      if (e->DirRecord != nullptr) {
        ExpectDataAtAddresses(image, e->DirRecord, path + "/");
        continue;
      }
      std::ifstream source(source_.path() + path, std::ios::binary);
      const std::string expected((std::istreambuf_iterator<char>(source)), {});
      std::string actual(static_cast<size_t>(e->FileSize), '\0');
      in.seekg(int64_t{e->Address} * 2048);
      in.read(actual.data(), e->FileSize);
      EXPECT_TRUE(actual == expected) << path;
    }
  }

  // isoinfo's listing of the primary tree as listing lines: names cut at
  // the version, the "." of a name without extension dropped.
  static std::vector<std::string> IsoinfoListing(const std::string& image) {
    std::istringstream out(Output("isoinfo -l -i " + Quote(image)));
    const std::regex entry(R"(^(\S)\S*\s+\d+\s+\d+\s+\d+\s+(\d+) .*\[\s*(\d+) \d+\]  (.*?) *$)");
    std::vector<std::string> lines;
    std::string dir, line;
    std::smatch m;
    while (std::getline(out, line)) {
      if (line.rfind("Directory listing of /", 0) == 0) {
        dir = line.substr(22);
      } else if (std::regex_match(line, m, entry) && m[4] != "." && m[4] != "..") {
        std::string name = m[4].str().substr(0, m[4].str().find(';'));
        if (!name.empty() && name.back() == '.') name.pop_back();
        lines.push_back(m[1] == "d" ? "d " + dir + name
                                    : "f " + dir + name + " " + m[2].str() + " " + m[3].str());
      }
    }
    return Sorted(lines);
  }

  // Modes of every kind, links to a file, to a directory and to nowhere,
  // and a name differing from another only in case, for the Rock Ridge
  // images.
  void AddPosixEntries() {
    chmod((source_ / "Read me.txt").c_str(), 0600);
    chmod((source_ / "README").c_str(), 0444);
    chmod((source_ / "Sub").c_str(), 0750);
    source_.Write("readme", "lower case");
    symlink("Read me.txt", (source_ / "link to file").c_str());
    symlink("Sub/Deeper", (source_ / "link to dir").c_str());
    symlink("/nowhere/at/all", (source_ / "dangling").c_str());
  }

  // Every entry of the source, by lstat, against its imported entry: found
  // by its exact path, with the source's mode, owner, modification time
  // and link target.  Links are looked for only when `links`.
  void ExpectPosixOfSource(bool links) {
    for (const auto& item : fs::recursive_directory_iterator(source_.path())) {
      // Lexically: a link's path must not be resolved to its target's.
      const std::string path = item.path().lexically_relative(source_.path()).string();
      SCOPED_TRACE(path);
      struct stat st;
      ASSERT_EQ(lstat(item.path().c_str(), &st), 0);
      if (S_ISLNK(st.st_mode) && !links) continue;
      const fs::path image_path = fs::path(path);
      const pDirEntry dir = layout.FindDir(Utf8ToUtf16(image_path.parent_path().string()));
      ASSERT_NE(dir, nullptr);
      const int64_t index = layout.FindFile(Utf8ToUtf16(image_path.parent_path().string()),
                                            Utf8ToUtf16(image_path.filename().string()));
      ASSERT_GE(index, 0);
      const TFileEntry& entry = *layout.Files[static_cast<size_t>(index)];
      ASSERT_TRUE(entry.Posix.has_value());
      EXPECT_EQ(entry.Posix->Mode, st.st_mode);
      EXPECT_EQ(entry.Posix->Uid, st.st_uid);
      EXPECT_EQ(entry.Posix->Gid, st.st_gid);
      EXPECT_EQ(entry.Posix->Modified.tv_sec, st.st_mtime);
      EXPECT_EQ(entry.Posix->Name, image_path.filename().string());
      if (S_ISLNK(st.st_mode)) {
        EXPECT_EQ(entry.Posix->LinkTarget, fs::read_symlink(item.path()).string());
      } else {
        EXPECT_TRUE(entry.Posix->LinkTarget.empty());
      }
    }
  }

  TImageLayout layout;

 private:
  test::TempDir source_, work_;
};

TEST_F(ToolImages, JolietAndLongNameTreesImportAsTheSourceTree) {
  if (!Have("genisoimage") || !Have("xorriso")) GTEST_SKIP() << "genisoimage and xorriso needed";
  const struct {
    const char* tool;
    const char* options;
  } cases[] = {
      {"genisoimage", "-input-charset utf-8 -J -joliet-long"},
      {"xorriso -as mkisofs", "-J -joliet-long"},
      {"genisoimage", "-iso-level 4"},  // an ISO 9660:1999 tree, no Joliet
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.tool) + " " + c.options);
    const std::string image = Make(c.tool, c.options);
    EXPECT_EQ(Sorted(WithoutAddresses(test::Listing(layout))), SourceListing());
    ExpectDataAtAddresses(image);
  }
}

TEST_F(ToolImages, PrimaryTreesImportAsIsoinfoListsThem) {
  if (!Have("genisoimage") || !Have("xorriso")) GTEST_SKIP() << "genisoimage and xorriso needed";
  for (const char* tool : {"genisoimage", "xorriso -as mkisofs --norock"}) {
    SCOPED_TRACE(tool);
    const std::string image = Make(tool, "");
    const std::vector<std::string> imported = Sorted(test::Listing(layout));
    EXPECT_EQ(imported, IsoinfoListing(image));
    EXPECT_GT(imported.size(), 120u);
  }
}

}  // namespace
}  // namespace orvex

namespace orvex {
namespace {

// Rock Ridge read back, through the primary tree alone or beside Joliet:
// every entry keeps its exact name and gets its source's attributes.
// xorriso leaves symbolic links out of Joliet, so an import through Joliet
// has none of them.
TEST_F(ToolImages, RockRidgeAttributesAreReadBack) {
  if (!Have("genisoimage") || !Have("xorriso")) GTEST_SKIP() << "genisoimage and xorriso needed";
  AddPosixEntries();
  const struct {
    const char* tool;
    const char* options;
    bool links;
  } cases[] = {
      {"genisoimage", "-input-charset utf-8 -R", true},
      {"xorriso -as mkisofs", "-R", true},
      {"genisoimage", "-input-charset utf-8 -R -J -joliet-long", true},
      {"xorriso -as mkisofs", "-R -J -joliet-long", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.tool) + " " + c.options);
    const std::string image = Make(c.tool, c.options);
    layout.ClearAll();
    const TImportReport report = MountISOImage(layout, image);
    EXPECT_TRUE(report.rock_ridge);
    EXPECT_EQ(report.rock_damaged, 0u);
    EXPECT_TRUE(report.Complete());
    ExpectPosixOfSource(c.links);
  }
}

}  // namespace
}  // namespace orvex
