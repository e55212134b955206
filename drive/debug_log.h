// SPDX-License-Identifier: Apache-2.0
// The drive layer's debug log: one text line per command (see
// execute_command.h for its form) and the drive scan's lines, each ending
// in CR LF.  Off unless a caller opens it.  A log is capped in size: a
// drive that is polled for hours must not fill the disc the log lies on.
#ifndef ORVEX_DRIVE_DEBUG_LOG_H_
#define ORVEX_DRIVE_DEBUG_LOG_H_

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

namespace orvex {

class TDebugLog {
 public:
  TDebugLog() = default;
  ~TDebugLog() { Close(); }
  TDebugLog(TDebugLog&& other) noexcept
      : file_(other.file_), written_(other.written_), max_bytes_(other.max_bytes_) {
    other.file_ = nullptr;
  }
  TDebugLog& operator=(TDebugLog&& other) noexcept;
  TDebugLog(const TDebugLog&) = delete;
  TDebugLog& operator=(const TDebugLog&) = delete;

  static constexpr uint64_t kDefaultMaxBytes = uint64_t{16} << 20;

  // Creates (or truncates) `path`, closing any log open before, and writes
  // the first line "GetOrvexVersion"; false when the file cannot be created.
  // Lines that would take the file beyond `max_bytes` are left out, the
  // first of them replaced by a line saying so.
  bool Open(const std::string& path, uint64_t max_bytes = kDefaultMaxBytes);
  // Closes the log; true when one was open.
  bool Close();
  bool IsOpen() const { return file_ != nullptr; }

  // Appends `text` and CR LF (nothing when the log is closed).
  void Line(std::string_view text);

 private:
  std::FILE* file_ = nullptr;
  uint64_t written_ = 0;     // bytes in the file
  uint64_t max_bytes_ = 0;   // the cap; written_ beyond it once full
};

}  // namespace orvex

#endif  // ORVEX_DRIVE_DEBUG_LOG_H_
