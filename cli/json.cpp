// SPDX-License-Identifier: Apache-2.0
#include "cli/json.h"

#include <cstdio>

#include "component/orvex.h"

namespace orvex::cli {
namespace {

// The escape of a unit JSON wants escaped (or that could drive a terminal);
// empty for one written as it is.
std::string Escape(char16_t unit) {
  switch (unit) {
    case u'"': return "\\\"";
    case u'\\': return "\\\\";
    case u'\n': return "\\n";
    case u'\r': return "\\r";
    case u'\t': return "\\t";
    case u'\b': return "\\b";
    case u'\f': return "\\f";
    default: break;
  }
  if (unit >= 0x20 && unit != 0x7F && (unit < 0x80 || unit > 0x9F)) return "";
  char escape[8];
  std::snprintf(escape, sizeof escape, "\\u%04x", static_cast<unsigned>(unit));
  return escape;
}

}  // namespace

std::string JsonString(std::u16string_view text) {
  const std::u16string clean = ReplaceLoneSurrogates(text, u'\uFFFD');
  std::string out = "\"";
  size_t run = 0;  // where the units to be written as they are begin
  for (size_t i = 0; i < clean.size(); ++i) {
    const std::string escape = Escape(clean[i]);
    if (escape.empty()) continue;
    out += Utf16ToUtf8(std::u16string_view(clean).substr(run, i - run)) + escape;
    run = i + 1;
  }
  return out + Utf16ToUtf8(std::u16string_view(clean).substr(run)) + "\"";
}

// Bytes that are not UTF-8 turn into lone surrogates, and so into U+FFFD.
std::string JsonString(std::string_view text) { return JsonString(Utf8ToUtf16(text)); }

TJson& TJson::Raw(std::string_view key, const std::string& value) {
  if (!body_.empty()) body_ += ',';
  if (open_ == '{') body_ += JsonString(key) + ':';
  body_ += value;
  return *this;
}

TJson& TJson::Merge(const TJson& other) {
  if (!body_.empty() && !other.body_.empty()) body_ += ',';
  body_ += other.body_;
  return *this;
}

}  // namespace orvex::cli
