// SPDX-License-Identifier: Apache-2.0
#include "cli/json_report.h"

#include <cstdio>

#include "cli/commands.h"

namespace orvex::cli {

namespace {

// The drive command a failure comes from.
TJson CommandObject(const TOrvex::TDriveFailure& drive) {
  TJson command = TJson::Object();
  command.Text("name", drive.Command).Number("opcode", drive.Opcode);
  if (drive.HasBlock) command.Number("block", drive.Block);
  command.Number("sense_key", drive.SenseKey).Number("asc", drive.Asc).Number("ascq", drive.Ascq);
  return command;
}

}  // namespace

TReport& TReport::Current() {
  static TReport report;
  return report;
}

std::string TReport::Written(const std::string& command, int status) const {
  TJson object = TJson::Object();
  object.Text("schema", kJsonSchema).Text("command", command);
  object.Text("outcome", status == kExitOk ? "succeeded" : "failed");
  if (status != kExitOk) {
    TJson error = TJson::Object();
    error.Number("number", error_.Number)
        .Text("text", said_.empty() ? error_.Text : said_)
        .Text("file", error_.FileName)
        .Number("system_error", error_.SystemError);
    if (error_.Drive.Failed) error.Nested("command", CommandObject(error_.Drive));
    error.Merge(error_fields_);
    object.Nested("error", error);
  }
  object.Nested("warnings", warnings_);
  return object.Merge(fields_).Written();
}

int TReport::Finish(int status) const {
  if (enabled_ && status != kExitUsage) std::printf("%s\n", Written(command_, status).c_str());
  return status;
}

}  // namespace orvex::cli
