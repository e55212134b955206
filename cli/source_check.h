// SPDX-License-Identifier: Apache-2.0
// The watch kept over the sources while orvex mkiso fills the tree: every
// entry left out is told on standard error as it is met and counted, the
// image being written is never taken as one of its own sources, and a stop
// signal ends the filling early.
#ifndef ORVEX_CLI_SOURCE_CHECK_H_
#define ORVEX_CLI_SOURCE_CHECK_H_

#include <sys/stat.h>

#include <optional>
#include <string>

#include "component/orvex.h"

namespace orvex::cli {

class TSourceCheck {
 public:
  // Installs the component's add-file and insert-issue handlers for the
  // life of the check.  `output` is the image to be written.
  TSourceCheck(TOrvex& disc, TSignalWatch& signals, const std::string& output);
  ~TSourceCheck();
  TSourceCheck(const TSourceCheck&) = delete;
  TSourceCheck& operator=(const TSourceCheck&) = delete;

  // A source the component did not see at all (missing, or not a file or
  // directory), told like the component's issues.
  void Report(const TInsertIssue& issue);

  // Whether `path` is the image being written.
  bool IsOutput(const std::string& path) const;

  int Errors() const { return errors_; }      // entries that could not be taken
  int Warnings() const { return warnings_; }  // entries left out that no disc could hold
  bool OutputIsSource() const { return output_is_source_; }
  bool Interrupted() const { return interrupted_; }

 private:
  TOrvex& disc_;
  TSignalWatch& signals_;
  std::optional<struct stat> output_;  // the existing image, when there is one
  int errors_ = 0;
  int warnings_ = 0;
  bool output_is_source_ = false;
  bool interrupted_ = false;
  unsigned added_ = 0;
};

}  // namespace orvex::cli

#endif  // ORVEX_CLI_SOURCE_CHECK_H_
