// SPDX-License-Identifier: Apache-2.0
// The one JSON writer of the command line: an object or an array built
// member by member and written on one line.  Strings are valid UTF-8 JSON
// strings whatever they held: control characters (C0, DEL and C1) become
// \uXXXX escapes (or \n, \t ...), bytes that are not UTF-8 and lone
// surrogates become U+FFFD.
#ifndef ORVEX_CLI_JSON_H_
#define ORVEX_CLI_JSON_H_

#include <concepts>
#include <string>
#include <string_view>

namespace orvex::cli {

// `text` as a quoted JSON string (UTF-8 or bytes that are not, or UTF-16).
std::string JsonString(std::string_view text);
std::string JsonString(std::u16string_view text);

class TJson {
 public:
  static TJson Object() { return TJson('{', '}'); }
  static TJson Array() { return TJson('[', ']'); }

  // Members of an object (the key is a plain ASCII name).
  TJson& Text(std::string_view key, std::string_view value) { return Raw(key, JsonString(value)); }
  TJson& Text(std::string_view key, std::u16string_view value) { return Raw(key, JsonString(value)); }
  TJson& Flag(std::string_view key, bool value) { return Raw(key, value ? "true" : "false"); }
  template <std::integral T>
  TJson& Number(std::string_view key, T value) {
    return Raw(key, std::to_string(value));
  }
  TJson& Nested(std::string_view key, const TJson& value) { return Raw(key, value.Written()); }
  // The members (or elements) of `other` added to these.
  TJson& Merge(const TJson& other);

  // Elements of an array.
  TJson& Append(const TJson& value) { return Raw({}, value.Written()); }
  TJson& AppendText(std::string_view value) { return Raw({}, JsonString(value)); }
  TJson& AppendText(std::u16string_view value) { return Raw({}, JsonString(value)); }

  std::string Written() const { return open_ + body_ + close_; }

 private:
  TJson(char open, char close) : open_(open), close_(close) {}
  TJson& Raw(std::string_view key, const std::string& value);

  char open_, close_;
  std::string body_;
};

}  // namespace orvex::cli

#endif  // ORVEX_CLI_JSON_H_
