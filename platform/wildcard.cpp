// SPDX-License-Identifier: Apache-2.0
#include "platform/wildcard.h"

#include <string>

#include "platform/name_compare.h"
#include "platform/text_conversion.h"

namespace orvex {
namespace {

std::u32string UpperCodePoints(std::u16string_view text) {
  std::u32string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size();) out += UpperCodePoint(NextCodePoint(text, i));
  return out;
}

}  // namespace

bool HasWildcards(std::u16string_view pattern) {
  return pattern.find_first_of(u"*?") != std::u16string_view::npos;
}

bool MatchesEveryName(std::u16string_view pattern) { return pattern == u"*" || pattern == u"*.*"; }

bool MatchesPattern(std::u16string_view pattern, std::u16string_view name) {
  if (MatchesEveryName(pattern)) return true;  // without comparing
  const std::u32string p = UpperCodePoints(pattern);
  const std::u32string n = UpperCodePoints(name);
  // Greedy matching with one backtrack point: the last '*' seen.
  size_t pi = 0, ni = 0, star = std::u32string::npos, resume = 0;
  while (ni < n.size()) {
    if (pi < p.size() && (p[pi] == U'?' || p[pi] == n[ni])) {
      ++pi, ++ni;
    } else if (pi < p.size() && p[pi] == U'*') {
      star = pi++;
      resume = ni;
    } else if (star != std::u32string::npos) {
      pi = star + 1;
      ni = ++resume;
    } else {
      return false;
    }
  }
  while (pi < p.size() && p[pi] == U'*') ++pi;
  return pi == p.size();
}

}  // namespace orvex
