// SPDX-License-Identifier: Apache-2.0
#include "drive/debug_log.h"

namespace orvex {

TDebugLog& TDebugLog::operator=(TDebugLog&& other) noexcept {
  if (this != &other) {
    Close();
    file_ = other.file_;
    written_ = other.written_;
    max_bytes_ = other.max_bytes_;
    other.file_ = nullptr;
  }
  return *this;
}

namespace {

constexpr std::string_view kFullNote = "(log full: later lines left out)";

}  // namespace

bool TDebugLog::Open(const std::string& path, uint64_t max_bytes) {
  Close();
  file_ = std::fopen(path.c_str(), "wbe");
  if (file_ == nullptr) return false;
  written_ = 0;
  // Room is kept for the note that ends a full log.
  max_bytes_ = max_bytes > kFullNote.size() + 2 ? max_bytes - kFullNote.size() - 2 : 0;
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
  if (file_ == nullptr || written_ > max_bytes_) return;
  if (written_ + text.size() + 2 > max_bytes_) {
    text = kFullNote;
    written_ = max_bytes_ + 1;
  } else {
    written_ += text.size() + 2;
  }
  std::fwrite(text.data(), 1, text.size(), file_);
  std::fputs("\r\n", file_);
  // Each line reaches the file at once: a log read after a crash or a hung
  // drive shows the last command sent.
  std::fflush(file_);
}

}  // namespace orvex
