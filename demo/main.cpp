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

int main(int argc, char** argv) {
  // Before any thread starts: SIGTERM, SIGINT and SIGHUP close the window
  // as a click on its close button would, so a running job is stopped and
  // the drive left as it should be.
  orvex::TSignalWatch stop_signals;
  QApplication application(argc, argv);
  QApplication::setApplicationName("orvex-demo");
  std::string error;
  const std::optional<orvex::demo::TStartupOptions> startup =
      orvex::demo::ParseStartupOptions(QApplication::arguments(), error);
  if (!startup) {
    if (error == "help") return std::fputs(orvex::demo::kStartupUsage, stdout), 0;
    if (error == "version") return std::puts("orvex-demo " ORVEX_VERSION), 0;
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
