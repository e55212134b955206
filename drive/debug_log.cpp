// SPDX-License-Identifier: Apache-2.0
#include "drive/debug_log.h"

namespace orvex {

TDebugLog& TDebugLog::operator=(TDebugLog&& other) noexcept {
  if (this != &other) {
    Close();
    file_ = other.file_;
    other.file_ = nullptr;
  }
  return *this;
}

bool TDebugLog::Open(const std::string& path) {
  Close();
  file_ = std::fopen(path.c_str(), "wbe");
  if (file_ == nullptr) return false;
  Line("GetOrvexVersion");
  return true;
}

bool TDebugLog::Close() {
  if (file_ == nullptr) return false;
  std::fclose(file_);
  file_ = nullptr;
  return true;
}

void TDebugLog::Line(std::string_view text) {
  if (file_ == nullptr) return;
  std::fwrite(text.data(), 1, text.size(), file_);
  std::fputs("\r\n", file_);
  // Each line reaches the file at once: a log read after a crash or a hung
  // drive shows the last command sent.
  std::fflush(file_);
}

}  // namespace orvex
