// SPDX-License-Identifier: Apache-2.0
// orvex-demo: the desktop program.  See demo/startup_options.h for its
// command line.
#include <QApplication>
#include <QSocketNotifier>

#include <cstdio>
#include <string>

#include "component/orvex.h"
#include "demo/dialogs.h"
#include "demo/main_window.h"
#include "demo/options_dialog.h"
#include "demo/startup_options.h"

namespace {

// The exit status once `error` of ParseStartupOptions, "help" or
// "version", is answered on standard output; -1 for any other.
int AnswerHelpOrVersion(const std::string& error) {
  if (error == "help") return std::fputs(orvex::demo::kStartupUsage, stdout), 0;
  if (error == "version") return std::puts("orvex-demo " ORVEX_VERSION), 0;
  return -1;
}

}  // namespace

int main(int argc, char** argv) {
  // Before any thread starts: SIGTERM, SIGINT and SIGHUP close the window
  // as a click on its close button would, so a running job is stopped and
  // the drive left as it should be.
  orvex::TSignalWatch stop_signals;
  // --help and --version are answered before Qt looks for a display, so
  // that they work over ssh or on a console too.  The full parse waits for
  // QApplication, which takes its own options (-platform, -display) out.
  std::string error;
  QStringList raw_arguments;
  for (int i = 0; i < argc; ++i) raw_arguments << QString::fromLocal8Bit(argv[i]);
  if (!orvex::demo::ParseStartupOptions(raw_arguments, error)) {
    if (const int status = AnswerHelpOrVersion(error); status >= 0) return status;
  }
  QApplication application(argc, argv);
  QApplication::setApplicationName("orvex-demo");
  const std::optional<orvex::demo::TStartupOptions> startup =
      orvex::demo::ParseStartupOptions(QApplication::arguments(), error);
  if (!startup) {
    if (const int status = AnswerHelpOrVersion(error); status >= 0) return status;
    std::fprintf(stderr, "orvex-demo: %s\n%s", error.c_str(), orvex::demo::kStartupUsage);
    return 2;
  }
  orvex::demo::TDialogs dialogs;
  orvex::demo::TfrmOptions options(dialogs);
  orvex::demo::TfrmMain window(*startup, options, dialogs);
  QSocketNotifier watch(stop_signals.Fd(), QSocketNotifier::Read);
  QObject::connect(&watch, &QSocketNotifier::activated, &window, [&] {
    if (stop_signals.Poll()) window.close();
  });
  window.show();
  return QApplication::exec();
}
