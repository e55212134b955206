#include "cli/progress_bar.h"

#include <cstdio>

namespace orvex::cli {

TProgressBar::TProgressBar(std::string label, bool enabled) : label_(std::move(label)), enabled_(enabled) {}

std::string TProgressBar::Line(const std::string& label, uint64_t done, uint64_t total, double seconds,
                               const std::string& extra) {
  constexpr double kMiB = 1024.0 * 1024.0;
  const double fraction = total == 0 ? 1.0 : static_cast<double>(std::min(done, total)) / static_cast<double>(total);
  constexpr int kWidth = 30;
  const int filled = static_cast<int>(fraction * kWidth);
  const double rate = seconds > 0 ? static_cast<double>(done) / kMiB / seconds : 0.0;
  const auto whole = static_cast<long>(seconds);
  char line[256];
  std::snprintf(line, sizeof line, "%s [%s%s] %3d%%  %.1f of %.1f MiB  %.1f MiB/s  %ld:%02ld", label.c_str(),
                std::string(static_cast<size_t>(filled), '#').c_str(),
                std::string(static_cast<size_t>(kWidth - filled), '.').c_str(), static_cast<int>(fraction * 100),
                static_cast<double>(done) / kMiB, static_cast<double>(total) / kMiB, rate, whole / 60, whole % 60);
  return extra.empty() ? std::string(line) : line + ("  " + extra);
}

std::string TProgressBar::BusyLine(const std::string& label, double seconds) {
  static const char kTurns[] = {'|', '/', '-', '\\'};
  const auto whole = static_cast<long>(seconds);
  char line[128];
  std::snprintf(line, sizeof line, "%s %c  %ld:%02ld", label.c_str(), kTurns[static_cast<long>(seconds * 4) % 4],
                whole / 60, whole % 60);
  return line;
}

void TProgressBar::Update(uint64_t done_bytes, uint64_t total_bytes, const std::string& extra) {
  Draw([&](double seconds) { return Line(label_, done_bytes, total_bytes, seconds, extra); });
}

void TProgressBar::UpdateBusy() {
  Draw([&](double seconds) { return BusyLine(label_, seconds); });
}

void TProgressBar::Draw(const std::function<std::string(double seconds)>& line) {
  if (!enabled_) return;
  const auto now = std::chrono::steady_clock::now();
  if (drawn_ && now - last_ < std::chrono::milliseconds(100)) return;
  last_ = now;
  const double seconds = std::chrono::duration<double>(now - start_).count();
  std::fprintf(stderr, "\r%s\033[K", line(seconds).c_str());
  std::fflush(stderr);
  drawn_ = true;
}

void TProgressBar::Finish() {
  if (drawn_) std::fputc('\n', stderr);
  drawn_ = false;
}

}  // namespace orvex::cli
