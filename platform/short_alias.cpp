// SPDX-License-Identifier: Apache-2.0
#include "platform/short_alias.h"

#include <algorithm>

#include "platform/name_compare.h"
#include "platform/text_conversion.h"

namespace orvex {
namespace {

bool IsValid83Char(char32_t c) {
  if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9')) return true;
  return std::u32string_view(U"$%'-_@~`!(){}^#&").find(c) != std::u32string_view::npos;
}

// The alias form of one part: spaces (and, in the base, dots) dropped, letters
// upper-cased, other characters that an 8.3 name cannot hold turned into "_".
std::string AliasPart(std::u16string_view part, bool drop_dots) {
  std::string out;
  for (size_t i = 0; i < part.size();) {
    const char32_t c = NextCodePoint(part, i);
    if (c == ' ' || (drop_dots && c == '.')) continue;
    if (c >= 'a' && c <= 'z') {
      out += static_cast<char>(c - ('a' - 'A'));
    } else {
      out += IsValid83Char(c) ? static_cast<char>(c) : '_';
    }
  }
  return out;
}

struct TAliasStem {
  std::string base;  // at most six characters
  std::string ext;   // at most three characters
};

TAliasStem StemOf(std::u16string_view name) {
  const size_t first = name.find_first_not_of(u'.');
  name = first == std::u16string_view::npos ? std::u16string_view() : name.substr(first);
  const size_t dot = name.rfind(u'.');
  TAliasStem stem;
  if (dot == std::u16string_view::npos) {
    stem.base = AliasPart(name, true);
  } else {
    stem.base = AliasPart(name.substr(0, dot), true);
    stem.ext = AliasPart(name.substr(dot + 1), false);
    stem.ext.resize(std::min<size_t>(stem.ext.size(), 3));
  }
  if (stem.base.empty()) stem.base.push_back('_');
  stem.base.resize(std::min<size_t>(stem.base.size(), 6));
  return stem;
}

// The alias with number `number`: as many characters of the base as fit
// before "~N" in eight.
std::string Candidate(const TAliasStem& stem, const std::string& number) {
  std::string alias(stem.base, 0, std::min(stem.base.size(), 7 - number.size()));
  alias += '~';
  alias += number;
  if (!stem.ext.empty()) {
    alias += '.';
    alias += stem.ext;
  }
  return alias;
}

}  // namespace

bool IsValid83Name(std::u16string_view name) {
  const size_t dot = name.find(u'.');
  const std::u16string_view base = name.substr(0, dot);
  const std::u16string_view ext =
      dot == std::u16string_view::npos ? std::u16string_view() : name.substr(dot + 1);
  if (base.empty() || base.size() > 8 || ext.size() > 3) return false;
  if (dot != std::u16string_view::npos && ext.empty()) return false;
  for (std::u16string_view part : {base, ext}) {
    for (char16_t c : part) {
      if (!IsValid83Char(c)) return false;
    }
  }
  return true;
}

std::unordered_map<std::string, std::u16string> MakeDirectoryAliases(
    const std::vector<std::string>& names) {
  std::unordered_set<std::string> taken;
  return MakeDirectoryAliases(names, taken);
}

std::unordered_map<std::string, std::u16string> MakeDirectoryAliases(
    const std::vector<std::string>& names, std::unordered_set<std::string>& used) {
  // A listing hands its names over sorted already; only others are copied.
  std::vector<std::string> sorted_copy;
  const std::vector<std::string>* sorted = &names;
  if (!std::is_sorted(names.begin(), names.end())) {
    sorted_copy = names;
    std::sort(sorted_copy.begin(), sorted_copy.end());
    sorted = &sorted_copy;
  }

  // Names that are valid 8.3 names occupy their own upper-case form first, so
  // that no generated alias can take it whatever the order; one whose form
  // is taken already needs an alias like any other.
  std::vector<std::pair<const std::string*, std::u16string>> pending;
  for (const std::string& name : *sorted) {
    std::u16string wide = Utf8ToUtf16(name);
    // Valid 8.3 names are plain ASCII.
    if (!IsValid83Name(wide) || !used.insert(AsciiUpper(name)).second) {
      pending.emplace_back(&name, std::move(wide));
    }
  }

  // Directories of many similar names must stay linear instead of probing
  // ~1, ~2, ... for every name.  Each stem goes on from the number it used
  // last.  Stems also share numbers once the base is cut to make room for
  // more digits ("FILE12~9" and "FILE13~9" differ, "FILE1~10" is one alias
  // for both), so every such shape remembers the number after the last it
  // gave out: the numbers below it are all taken and need no probing.
  std::unordered_map<std::string, unsigned> next_number;  // per stem
  std::unordered_map<std::string, unsigned> shape_floor;  // per cut base, digit count and extension
  std::unordered_map<std::string, std::u16string> aliases;
  aliases.reserve(pending.size());
  for (const auto& [name, wide] : pending) {
    const TAliasStem stem = StemOf(wide);
    unsigned& n = next_number[stem.base + "." + stem.ext];
    std::string alias;
    for (;;) {
      ++n;
      const std::string number = std::to_string(n);
      unsigned& lowest_free = shape_floor[Candidate(stem, std::string(number.size(), '#'))];
      if (n < lowest_free) {  // numbers below it are taken; past the digit count is the next shape
        n = lowest_free - 1;
        continue;
      }
      alias = Candidate(stem, number);
      if (used.insert(alias).second) {
        lowest_free = n + 1;
        break;
      }
    }
    aliases.emplace(*name, Utf8ToUtf16(alias));
  }
  return aliases;
}

}  // namespace orvex
