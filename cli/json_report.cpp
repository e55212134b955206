#include "cli/json_report.h"

#include <cstdio>

#include "cli/commands.h"

namespace orvex::cli {

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
