// SPDX-License-Identifier: Apache-2.0
#include "cli/progress_bar.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>

#include "cli/json.h"
#include "cli/json_report.h"

namespace orvex::cli {
namespace {

constexpr double kMiB = 1024.0 * 1024.0;
// The bar's cells between its brackets: all of them when there is room,
// none when fewer than the least would fit.
constexpr size_t kMostCells = 30, kLeastCells = 10;

std::string Formatted(const char* format, auto... values) {
  char text[128];
  std::snprintf(text, sizeof text, format, values...);
  return text;
}

std::string Clock(double seconds) {
  const auto whole = static_cast<long>(seconds);
  return Formatted("%ld:%02ld", whole / 60, whole % 60);
}

// Standard error's width in columns, less one: a line that fills the last
// column makes some terminals wrap.  80 when the terminal does not say.
size_t DrawingWidth() {
  winsize size{};
  const size_t columns = ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0 ? size.ws_col : 80;
  return columns - 1;
}

std::string Cut(std::string line, size_t width) {
  if (line.size() > width) line.resize(width);
  return line;
}

}  // namespace

bool ShowProgress(const TCommandLine& args) {
  if (args.Has("--quiet")) return false;
  return JsonOutput() ? args.Has("--progress") : isatty(STDERR_FILENO) != 0;
}

TProgressBar::TProgressBar(std::string label, bool enabled)
    : label_(std::move(label)), enabled_(enabled), json_(JsonOutput()) {}

std::string TProgressBar::Line(const std::string& label, uint64_t done, uint64_t total, double seconds,
                               const std::vector<TProgressFigure>& figures, size_t width) {
  const double fraction = total == 0 ? 1.0 : static_cast<double>(std::min(done, total)) / static_cast<double>(total);
  const double rate = seconds > 0 ? static_cast<double>(done) / kMiB / seconds : 0.0;
  // The fields after the label and the percentage in the order they are
  // shown, and their rank: the lowest ranks are kept when not all fit.
  struct TField {
    std::string text;
    size_t rank;
    bool shown = false;
  };
  std::vector<TField> fields = {
      {Formatted("%.1f of %.1f MiB", static_cast<double>(done) / kMiB, static_cast<double>(total) / kMiB), 1},
      {Formatted("%.1f MiB/s", rate), 3},
      {Clock(seconds), 0},
  };
  for (size_t i = 0; i < figures.size(); ++i) fields.push_back({figures[i].text, 4 + i});
  const std::string percent = Formatted("%3d%%", static_cast<int>(fraction * 100));
  size_t used = label.size() + 1 + percent.size();
  // The bar ranks after the MiB done: " [" cells "]".
  constexpr size_t kBarRank = 2;
  bool bar = false;
  for (size_t rank = 0; rank < fields.size() + 1; ++rank) {
    if (rank == kBarRank) {
      if (used + kLeastCells + 3 <= width) bar = true, used += kLeastCells + 3;
      continue;
    }
    for (TField& field : fields) {
      if (field.rank == rank && used + 2 + field.text.size() <= width) field.shown = true, used += 2 + field.text.size();
    }
  }
  std::string line = label;
  if (bar) {
    const size_t cells = std::min(kMostCells, kLeastCells + (width - used));
    const auto filled = static_cast<size_t>(fraction * static_cast<double>(cells));
    line += " [" + std::string(filled, '#') + std::string(cells - filled, '.') + "]";
  }
  line += " " + percent;
  for (const TField& field : fields) {
    if (field.shown) line += "  " + field.text;
  }
  return Cut(line, width);
}

std::string TProgressBar::BusyLine(const std::string& label, double seconds, size_t width) {
  static const char kTurns[] = {'|', '/', '-', '\\'};
  return Cut(label + " " + kTurns[static_cast<long>(seconds * 4) % 4] + "  " + Clock(seconds), width);
}

std::string TProgressBar::StateLine(const std::string& state, double seconds, const std::string& hint, size_t width) {
  const std::string line = state + " ... " + Clock(seconds);
  const std::string hinted = line + "  (" + hint + ")";
  return Cut(hint.empty() || hinted.size() > width ? line : hinted, width);
}

void TProgressBar::Update(uint64_t done_bytes, uint64_t total_bytes, const std::vector<TProgressFigure>& figures) {
  state_.clear();
  Draw([&](double seconds, size_t width) { return Line(label_, done_bytes, total_bytes, seconds, figures, width); },
       [&](double) {
         TJson json = TJson::Object();
         json.Number("done_bytes", done_bytes).Number("total_bytes", total_bytes);
         for (const TProgressFigure& figure : figures) json.Number(figure.name, figure.value);
         return json;
       });
}

void TProgressBar::UpdateBusy() {
  state_.clear();
  Draw([&](double seconds, size_t width) { return BusyLine(label_, seconds, width); },
       [](double) { return TJson::Object(); });
}

void TProgressBar::UpdateState(const std::string& state, const std::string& hint) {
  const auto now = std::chrono::steady_clock::now();
  if (state != state_) {
    state_ = state;
    state_start_ = now;
    last_ = {};  // a new phase is shown at once
  }
  const double lasted = std::chrono::duration<double>(now - state_start_).count();
  Draw([&](double, size_t width) { return StateLine(state, lasted, hint, width); },
       [&](double) {
         TJson json = TJson::Object();
         json.Text("state", state).Number("state_seconds", static_cast<uint64_t>(lasted));
         return json;
       });
}

void TProgressBar::Draw(const std::function<std::string(double seconds, size_t width)>& terminal,
                        const std::function<TJson(double seconds)>& json) {
  if (!enabled_) return;
  const auto now = std::chrono::steady_clock::now();
  if (drawn_ && now - last_ < std::chrono::milliseconds(json_ ? 1000 : 100)) return;
  last_ = now;
  const double seconds = std::chrono::duration<double>(now - start_).count();
  if (json_) {
    TJson line = TJson::Object();
    line.Text("progress", label_).Number("elapsed_seconds", static_cast<uint64_t>(seconds)).Merge(json(seconds));
    std::fprintf(stderr, "%s\n", line.Written().c_str());
  } else {
    std::fprintf(stderr, "\r%s\033[K", terminal(seconds, DrawingWidth()).c_str());
  }
  std::fflush(stderr);
  drawn_ = true;
}

void TProgressBar::Finish() {
  if (drawn_ && !json_) std::fputc('\n', stderr);
  drawn_ = false;
}

}  // namespace orvex::cli
