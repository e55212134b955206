// SPDX-License-Identifier: Apache-2.0
// What the command line says: paths made safe to print, and the messages for
// a job's failure and for source entries left out.  Messages name the path
// plainly and give the system's reason ("cannot read /a/b.txt: Permission
// denied").
#ifndef ORVEX_CLI_MESSAGES_H_
#define ORVEX_CLI_MESSAGES_H_

#include <string>
#include <string_view>

#include "component/orvex.h"

namespace orvex::cli {

// `text` (UTF-8, or bytes that are not) with control characters, bytes that
// are not UTF-8 and the backslash written as escapes ("\n", "\x1b", "\\"),
// so that a name can neither forge lines nor drive the terminal.
std::string Printable(std::string_view text);
std::string Printable(std::u16string_view text);

// The message for a failed job's error.
std::string FailureMessage(const TOrvex::TErrorInfo& error);

// Says the failure's message, and keeps the error for the JSON report.
void SayFailure(const TOrvex::TErrorInfo& error);

// Whether an issue is worth a warning only: the entry could not be on a disc
// anyway, or is there already, or (a case variant) nothing is left out.
bool IsWarning(TInsertIssueKind kind);

// The message for an issue of the sources.
std::string IssueMessage(const TInsertIssue& issue);

// Warns of everything an import of `source` (an image, a session) left out
// or could not read; true when it lacks nothing.
bool WarnOfImportGaps(const std::string& source, const TImportReport& report);

// Prints "orvex: MESSAGE" (or "orvex: warning: MESSAGE") on standard error,
// and keeps it for the JSON report (json_report.h).
void Say(const std::string& message);
void Warn(const std::string& message);

}  // namespace orvex::cli

#endif  // ORVEX_CLI_MESSAGES_H_
