// SPDX-License-Identifier: Apache-2.0
#include "peer_tools.h"

#include "platform/text_conversion.h"

#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>

namespace orvex::test {
namespace {

std::string ReadRange(const std::string& image, uint64_t offset, uint64_t size) {
  std::ifstream in(image, std::ios::binary);
  in.seekg(static_cast<std::streamoff>(offset));
  std::string bytes(size, '\0');
  in.read(bytes.data(), static_cast<std::streamsize>(size));
  bytes.resize(static_cast<size_t>(in.gcount()));
  return bytes;
}

}  // namespace

std::string ToolComplaints(const TToolResult& r, const std::string& tool, bool eight_bit_primary) {
  static const std::regex kComplaint(R"(WARNING|FAILURE|SORRY|ERROR|Error|Warning|error)");
  static const std::regex kHiddenBoot(R"(libisofs: WARNING : Found hidden El-Torito image\. Its size could not be figured out, so image modify or boot image patching may lead to bad results\.\n)");
  static const std::regex kCharset(R"(libisofs: WARNING : Cannot convert from charset ASCII to UTF-8\n(libisofs: NOTE :  > Caused by: Charset conversion error\n)?)");
  std::string err = std::regex_replace(r.err, kHiddenBoot, "");
  if (eight_bit_primary) err = std::regex_replace(err, kCharset, "");
  if (r.status != 0 || std::regex_search(err, kComplaint) || std::regex_search(r.out, std::regex("Warnings:|Errors:"))) {
    return tool + " complained (status " + std::to_string(r.status) + "):\n" + r.err + r.out.substr(0, 2000);
  }
  return "";
}

std::string JudgeImage(const std::string& image, const TTreeFacts& expected, const std::string& work) {
  std::string verdict;
  const auto judge = [&](const std::string& tool, const TTreeFacts& seen) {
    if (seen != expected) verdict += tool + " sees another tree:\n" + DescribeDifferences(expected, seen);
  };
  std::string complaint;
  judge("isoinfo -J", IsoinfoFacts(image, true, &complaint));
  verdict += complaint;
  for (const std::vector<std::string>& extract :
       {std::vector<std::string>{"bsdtar", "-xf", image, "-C"},
        std::vector<std::string>{"7z", "x", "-y", "-tiso", image, "-o"},
        std::vector<std::string>{"xorriso", "-osirrox", "on", "-indev", image, "-extract", "/"}}) {
    const std::string out = work + "/" + extract[0];
    std::filesystem::create_directories(out);
    std::vector<std::string> argv = extract;
    if (argv.back() == "-o") argv.back() += out; else argv.push_back(out);
    verdict += ToolComplaints(RunTool(argv), extract[0]);
    judge(extract[0], DiskTreeFacts(out));
  }
  return verdict;
}

TTreeFacts XorrisoSessionFacts(const std::string& image, uint32_t sector, const std::string& out,
                               std::string* complaint) {
  const TToolResult r = RunTool({"xorriso", "-load", "sbsector", std::to_string(sector), "-indev", image, "-osirrox",
                                 "on", "-extract", "/", out});
  *complaint += ToolComplaints(r, "xorriso -load sbsector " + std::to_string(sector));
  return DiskTreeFacts(out);
}

uint64_t Fingerprint(const std::string& bytes) {
  uint64_t h = 0xcbf29ce484222325ull;
  for (unsigned char c : bytes) h = (h ^ c) * 0x100000001b3ull;
  return h;
}

TTreeFacts DiskTreeFacts(const std::string& root) {
  TTreeFacts facts;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(root)) {
    const std::string path = std::filesystem::relative(entry.path(), root).string();
    TEntryFacts f;
    if (entry.is_directory()) {
      f.directory = true;
    } else {
      std::ifstream in(entry.path(), std::ios::binary);
      std::stringstream content;
      content << in.rdbuf();
      f.size = content.str().size();
      f.fingerprint = Fingerprint(content.str());
    }
    facts.emplace(path, f);
  }
  return facts;
}

TTreeFacts IsoinfoFacts(const std::string& image, bool joliet, std::string* complaint, uint32_t session_start) {
  std::vector<std::string> argv = {"isoinfo", "-l", "-i", image};
  if (joliet) argv.push_back("-J");
  if (session_start != 0) argv.insert(argv.end(), {"-T", std::to_string(session_start)});
  const TToolResult r = RunTool(argv);
  // Joliet names come out in ISO 8859-1; primary names as the bytes recorded.
  const auto decode = [joliet](const std::string& text) {
    if (!joliet) return text;
    std::u16string wide;
    for (unsigned char c : text) wide += static_cast<char16_t>(c);
    return Utf16ToUtf8(wide);
  };
  if (r.status != 0 || !r.err.empty()) *complaint = "isoinfo: status " + std::to_string(r.status) + ": " + r.err;
  // "Directory listing of /A/B/" then one line per record:
  // "d---------   0    0    0            2048 Dec  8 2026 [     20 02]  NAME "
  static const std::regex kDirectory(R"(^Directory listing of /(.*)$)");
  static const std::regex kRecord(
      R"(^(.)\S{9}\s+\d+\s+\d+\s+\d+\s+(\d+) \S+\s+\d+\s+\d+ \[\s*(\d+) ([0-9A-Fa-f]{2})\]  (.*) $)");
  TTreeFacts facts;
  std::string directory;
  std::istringstream lines(r.out);
  std::string pending_name;  // a multi-extent file still collecting extents
  TEntryFacts pending;
  std::string pending_bytes;
  for (std::string line; std::getline(lines, line);) {
    std::smatch m;
    if (std::regex_match(line, m, kDirectory)) {
      directory = decode(m[1]);
      continue;
    }
    if (!std::regex_match(line, m, kRecord)) continue;
    const std::string name = decode(m[5]);
    if (name == "." || name == "..") continue;
    const int flags = std::stoi(m[4], nullptr, 16);
    const std::string path = directory + name;
    if (m[1] == "d") {
      facts.emplace(path, TEntryFacts{true, 0, 0});
      continue;
    }
    const uint64_t size = std::stoull(m[2]);
    const uint64_t extent = std::stoull(m[3]);
    if (pending_name != path) pending_bytes.clear();
    pending_name = path;
    pending_bytes += size == 0 ? std::string() : ReadRange(image, extent * 2048, size);
    if ((flags & 0x80) != 0) continue;  // more extents follow
    pending.size = pending_bytes.size();
    pending.fingerprint = Fingerprint(pending_bytes);
    facts.emplace(path, pending);
    pending_name.clear();
  }
  return facts;
}

std::string DescribeDifferences(const TTreeFacts& expected, const TTreeFacts& actual) {
  std::ostringstream out;
  auto describe = [](const TEntryFacts& f) {
    return f.directory ? std::string("dir") : std::to_string(f.size) + " bytes #" + std::to_string(f.fingerprint % 100000);
  };
  int shown = 0;
  for (const auto& [path, facts] : expected) {
    bool found = false;
    auto range = actual.equal_range(path);
    for (auto it = range.first; it != range.second; ++it) found |= it->second == facts;
    if (!found && shown++ < 20) out << "  missing or different: " << path << " (" << describe(facts) << ")\n";
  }
  for (const auto& [path, facts] : actual) {
    bool found = false;
    auto range = expected.equal_range(path);
    for (auto it = range.first; it != range.second; ++it) found |= it->second == facts;
    if (!found && shown++ < 40) out << "  unexpected: " << path << " (" << describe(facts) << ")\n";
  }
  return out.str();
}

TPosixTree DiskPosixTree(const std::string& root, bool owners_and_time) {
  TPosixTree tree;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(root)) {
    struct stat st {};
    if (lstat(entry.path().c_str(), &st) != 0) continue;
    // Lexically: relative() would resolve a link to what it points at.
    TPosixEntry& e = tree[entry.path().lexically_relative(root).string()];
    e.mode = st.st_mode;
    if (S_ISLNK(st.st_mode)) e.target = std::filesystem::read_symlink(entry.path()).string();
    if (owners_and_time) {
      e.owners_and_time = true;
      e.uid = st.st_uid;
      e.gid = st.st_gid;
      e.mtime = st.st_mtim.tv_sec;
    }
  }
  return tree;
}

std::string DescribePosixDifferences(const TPosixTree& expected, const TPosixTree& actual) {
  const auto describe = [](const TPosixEntry& e) {
    std::ostringstream out;
    out << "mode " << std::oct << e.mode << std::dec;
    if (e.owners_and_time) out << " uid " << e.uid << " gid " << e.gid << " mtime " << e.mtime;
    if (!e.target.empty()) out << " -> " << e.target;
    return out.str();
  };
  std::ostringstream out;
  int shown = 0;
  for (const auto& [path, entry] : expected) {
    const auto seen = actual.find(path);
    if (seen == actual.end()) {
      if (shown++ < 30) out << "  missing: " << path << " (" << describe(entry) << ")\n";
    } else if (!(seen->second == entry) && shown++ < 30) {
      out << "  " << path << ": " << describe(seen->second) << " instead of " << describe(entry) << "\n";
    }
  }
  for (const auto& [path, entry] : actual) {
    if (!expected.contains(path) && shown++ < 30) out << "  unexpected: " << path << " (" << describe(entry) << ")\n";
  }
  return out.str();
}

}  // namespace orvex::test
