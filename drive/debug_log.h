// SPDX-License-Identifier: Apache-2.0
// The drive layer's debug log: one text line per command (see
// execute_command.h for its form) and the drive scan's lines, each ending
// in CR LF.  Off unless a caller opens it.
#ifndef ORVEX_DRIVE_DEBUG_LOG_H_
#define ORVEX_DRIVE_DEBUG_LOG_H_

#include <cstdio>
#include <string>
#include <string_view>

namespace orvex {

class TDebugLog {
 public:
  TDebugLog() = default;
  ~TDebugLog() { Close(); }
  TDebugLog(TDebugLog&& other) noexcept : file_(other.file_) { other.file_ = nullptr; }
  TDebugLog& operator=(TDebugLog&& other) noexcept;
  TDebugLog(const TDebugLog&) = delete;
  TDebugLog& operator=(const TDebugLog&) = delete;

  // Creates (or truncates) `path`, closing any log open before, and writes
  // the first line "GetOrvexVersion"; false when the file cannot be created.
  bool Open(const std::string& path);
  // Closes the log; true when one was open.
  bool Close();
  bool IsOpen() const { return file_ != nullptr; }

  // Appends `text` and CR LF (nothing when the log is closed).
  void Line(std::string_view text);

 private:
  std::FILE* file_ = nullptr;
};

}  // namespace orvex

#endif  // ORVEX_DRIVE_DEBUG_LOG_H_
