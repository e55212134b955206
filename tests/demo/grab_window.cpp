// SPDX-License-Identifier: Apache-2.0
// grab_window WINDOW_ID OUT.png: saves what the X server shows of a window
// (its id as xdotool prints it) as a PNG, for the desktop program's
// screenshots.
#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>

#include <cstdio>

int main(int argc, char** argv) {
  QGuiApplication application(argc, argv);
  if (argc != 3) return std::fputs("usage: grab_window WINDOW_ID OUT.png\n", stderr), 2;
  bool ok = false;
  const WId window = QString(argv[1]).toULongLong(&ok, 0);
  QScreen* screen = QGuiApplication::primaryScreen();
  if (!ok || screen == nullptr) return std::fputs("grab_window: no such window or no screen\n", stderr), 1;
  const QPixmap shot = screen->grabWindow(window);
  if (shot.isNull() || !shot.save(argv[2], "PNG")) return std::fprintf(stderr, "grab_window: cannot save %s\n", argv[2]), 1;
  return 0;
}
