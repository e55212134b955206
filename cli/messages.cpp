// SPDX-License-Identifier: Apache-2.0
#include "cli/messages.h"

#include <unistd.h>

#include <cstdio>
#include <cstring>

#include "cli/json_report.h"

namespace orvex::cli {
namespace {

// The length of the UTF-8 sequence at text[i], or 0 when none starts there.
size_t SequenceLength(std::string_view text, size_t i) {
  const auto byte = [&](size_t k) { return static_cast<unsigned char>(text[k]); };
  const unsigned char lead = byte(i);
  const size_t n = lead < 0x80 ? 1 : (lead >> 5) == 0x6 ? 2 : (lead >> 4) == 0xE ? 3 : (lead >> 3) == 0x1E ? 4 : 0;
  if (n == 0 || i + n > text.size()) return 0;
  for (size_t k = 1; k < n; ++k) {
    if ((byte(i + k) & 0xC0) != 0x80) return 0;
  }
  return n;
}

std::string Hex(unsigned char c) {
  char escape[5];
  std::snprintf(escape, sizeof escape, "\\x%02x", c);
  return escape;
}

std::string Reason(int error) { return error != 0 ? ": " + std::string(std::strerror(error)) : ""; }

// What begins a message on standard error: on a terminal, where a progress
// line may stand unfinished, a return to the start of the line and its
// clearing, so that the message replaces the progress rather than trailing
// it (and wrapping); the progress is drawn again on the next line.
const char* MessageStart() {
  static const bool terminal = isatty(STDERR_FILENO) != 0;
  return terminal ? "\r\033[Korvex: " : "orvex: ";
}

}  // namespace

std::string Printable(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size();) {
    const auto c = static_cast<unsigned char>(text[i]);
    const size_t n = SequenceLength(text, i);
    // C1 controls (U+0080 to U+009F) are two bytes, C2 80 to C2 9F.
    const bool control = c < 0x20 || c == 0x7F ||
                         (n == 2 && c == 0xC2 && static_cast<unsigned char>(text[i + 1]) < 0xA0);
    if (c == '\\') {
      out += "\\\\";
    } else if (c == '\n') {
      out += "\\n";
    } else if (c == '\t') {
      out += "\\t";
    } else if (n == 0 || control) {
      for (size_t k = 0; k < std::max<size_t>(n, 1); ++k) out += Hex(static_cast<unsigned char>(text[i + k]));
    } else {
      out.append(text.substr(i, n));
    }
    i += std::max<size_t>(n, 1);
  }
  return out;
}

std::string Printable(std::u16string_view text) { return Printable(Utf16ToUtf8(text)); }

std::string FailureMessage(const TOrvex::TErrorInfo& error) {
  const std::string path = Printable(error.FileName);
  switch (error.Number) {
    case kErrorOpening:
      return "cannot read " + path + Reason(error.SystemError);
    case kErrorCreating:
      return "cannot create " + path + Reason(error.SystemError);
    case kErrorReading:
      if (error.SystemError == 0) return path + " ended before the size it had when it was added";
      return "cannot read " + path + Reason(error.SystemError);
    case kErrorWriting:
      return "cannot write " + path + Reason(error.SystemError);
    default:
      // What the drive said, in words, beside the component's text.
      if (error.Drive.Failed) return error.Drive.Text + " (" + error.Text + ")";
      return error.Text;
  }
}

void SayFailure(const TOrvex::TErrorInfo& error) {
  Say(FailureMessage(error));
  TReport::Current().Failed(error);
}

bool WarnOfImportGaps(const std::string& source, const TImportReport& report) {
  if (report.Truncated()) {
    Warn(source + " ends at sector " + std::to_string(report.source_sectors) + " but its volume has " +
         std::to_string(report.volume_sectors) + " sectors");
  }
  if (report.damaged > 0) {
    Warn(std::to_string(report.damaged) + " parts of the tree of " + source +
         " could not be read (unreadable or malformed directory records, or data beyond its end)");
  }
  if (report.bad_names > 0) {
    Warn(std::to_string(report.bad_names) +
         " entries are left out: their names (\".\", \"..\", empty, or holding \"/\", \"\\\" or NUL) name no path");
  }
  if (report.tables_full) Warn("the tree stops at 200,000 files or 65,000 directories");
  if (report.rock_damaged > 0) {
    Warn(std::to_string(report.rock_damaged) + " Rock Ridge records of " + source +
         " could not be read whole (malformed, looping or beyond the image): those entries keep their plain "
         "ISO 9660 names and lack what was left out");
  }
  if (report.not_added > 0) {
    Warn(std::to_string(report.not_added) + " entries are left out: their names are taken or the tree is full");
  }
  return report.Complete();
}

bool IsWarning(TInsertIssueKind kind) {
  return kind == TInsertIssueKind::kSpecialFile || kind == TInsertIssueKind::kDanglingLink ||
         kind == TInsertIssueKind::kLoop || kind == TInsertIssueKind::kCaseVariant;
}

std::string IssueMessage(const TInsertIssue& issue) {
  const std::string path = Printable(issue.Path);
  switch (issue.Kind) {
    case TInsertIssueKind::kUnreadableDirectory:
      return "cannot read directory " + path + Reason(issue.Error);
    case TInsertIssueKind::kUnreadableEntry:
      return "cannot read " + path + Reason(issue.Error);
    case TInsertIssueKind::kSpecialFile:
      return path + " is not a regular file or directory; left out";
    case TInsertIssueKind::kDanglingLink:
      return path + " is a symbolic link that leads nowhere; left out";
    case TInsertIssueKind::kLoop:
      return path + " links back to a directory it is in; not entered again";
    case TInsertIssueKind::kNameTooLong:
      return "cannot add " + path + ": its name is too long";
    case TInsertIssueKind::kNameClash:
      return "cannot add " + path + ": the image holds that name already";
    case TInsertIssueKind::kCaseVariant:
      return path + " differs only in case from " + Printable(issue.Other) +
             " beside it: both are kept, one under a numbered name (~N) in the Joliet and ISO 9660 trees";
    case TInsertIssueKind::kKindClash:
      return "cannot add " + path + ": the image holds that name already for a " +
             "file where this is a directory, or the other way round";
    case TInsertIssueKind::kFilesFull:
      return "cannot add " + path + ": the image holds at most 200,000 files";
    case TInsertIssueKind::kDirectoriesFull:
      return "cannot add " + path + ": the image holds at most 65,000 directories";
  }
  return "cannot add " + path;
}

void Say(const std::string& message) {
  std::fprintf(stderr, "%s%s\n", MessageStart(), message.c_str());
  TReport::Current().Said(message);
}

void Warn(const std::string& message) {
  std::fprintf(stderr, "%swarning: %s\n", MessageStart(), message.c_str());
  TReport::Current().Warned(message);
}

}  // namespace orvex::cli
