// The progress line a long job shows on standard error when it is a
// terminal: percentage, MiB done of the total, MiB/s and the elapsed time.
#ifndef ORVEX_CLI_PROGRESS_BAR_H_
#define ORVEX_CLI_PROGRESS_BAR_H_

#include <chrono>
#include <functional>
#include <cstdint>
#include <string>

namespace orvex::cli {

class TProgressBar {
 public:
  // Shows nothing when `enabled` is false (quiet, or not a terminal).
  TProgressBar(std::string label, bool enabled);
  ~TProgressBar() { Finish(); }

  // Redraws, at most ten times a second; `extra` follows the figures.
  void Update(uint64_t done_bytes, uint64_t total_bytes, const std::string& extra = "");
  // Redraws a job whose progress is unknown: a turning bar and the time.
  void UpdateBusy();
  // Ends the line.
  void Finish();

  // The lines for the given state (for tests and for the updates).
  static std::string Line(const std::string& label, uint64_t done, uint64_t total, double seconds,
                          const std::string& extra = "");
  static std::string BusyLine(const std::string& label, double seconds);

 private:
  // Draws `line` unless the last one is less than 0.1 s old.
  void Draw(const std::function<std::string(double seconds)>& line);

  std::string label_;
  bool enabled_;
  bool drawn_ = false;
  std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
  std::chrono::steady_clock::time_point last_{};
};

}  // namespace orvex::cli

#endif  // ORVEX_CLI_PROGRESS_BAR_H_
