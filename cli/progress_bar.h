// SPDX-License-Identifier: Apache-2.0
// The progress a long job shows on standard error.  On a terminal it is
// one line redrawn in place: percentage, MiB done of the total, MiB/s, the
// elapsed time and the job's own figures, cut to the terminal's width (read
// again at every redraw, so a resized window is followed) by leaving out the
// least important fields first; it never wraps, so it never scrolls.  With
// --json --progress it is one JSON object a line instead, for front ends.
#ifndef ORVEX_CLI_PROGRESS_BAR_H_
#define ORVEX_CLI_PROGRESS_BAR_H_

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "cli/command_line.h"
#include "cli/json.h"

namespace orvex::cli {

// A figure of a job's own after the common ones: `text` on a terminal,
// the member `name`: `value` in a JSON line.
struct TProgressFigure {
  std::string text;
  std::string name;
  uint64_t value = 0;
};

// Whether a command shows its progress: never with --quiet; with --json
// only when --progress asks for it (as JSON lines); otherwise when standard
// error is a terminal.
bool ShowProgress(const TCommandLine& args);

class TProgressBar {
 public:
  // Shows nothing when `enabled` is false; JSON lines when the command
  // prints JSON, else the terminal line.
  TProgressBar(std::string label, bool enabled);
  ~TProgressBar() { Finish(); }

  // Redraws, at most ten times a second (a JSON line at most once a
  // second); `figures` follow the common ones, the most important first.
  void Update(uint64_t done_bytes, uint64_t total_bytes, const std::vector<TProgressFigure>& figures = {});
  // Redraws a job whose progress is unknown: a turning bar and the time.
  void UpdateBusy();
  // Redraws a phase without a measure of its own ("closing the session"),
  // with the time since it began and `hint` (what a Ctrl-C does) when room.
  void UpdateState(const std::string& state, const std::string& hint);
  // Ends the line.
  void Finish();

  // The lines for the given state, at most `width` characters (for tests
  // and for the updates).
  static std::string Line(const std::string& label, uint64_t done, uint64_t total, double seconds,
                          const std::vector<TProgressFigure>& figures, size_t width);
  static std::string BusyLine(const std::string& label, double seconds, size_t width);
  static std::string StateLine(const std::string& state, double seconds, const std::string& hint, size_t width);

 private:
  // Draws the line `terminal` makes, or writes the object `json` makes,
  // unless the last one is too recent.
  void Draw(const std::function<std::string(double seconds, size_t width)>& terminal,
            const std::function<TJson(double seconds)>& json);

  std::string label_;
  bool enabled_;
  bool json_;
  bool drawn_ = false;
  std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
  std::chrono::steady_clock::time_point last_{};
  std::string state_;
  std::chrono::steady_clock::time_point state_start_{};
};

}  // namespace orvex::cli

#endif  // ORVEX_CLI_PROGRESS_BAR_H_
