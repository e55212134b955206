// SPDX-License-Identifier: Apache-2.0
// The desktop program's tests: the real main window and options dialog,
// with the virtual burner's library as their driver library and its
// modelled time behind the platform clock, run on Qt's offscreen platform.
// The component's events reach the window through its socket notifier
// while the tests wait in Qt's event loop; dialogs that would ask a person
// are answered by the fixture.
#ifndef ORVEX_TESTS_DEMO_WINDOW_FIXTURE_H_
#define ORVEX_TESTS_DEMO_WINDOW_FIXTURE_H_

#include <QString>
#include <QStringList>
#include <QWidget>

#include <deque>
#include <memory>
#include <optional>
#include <string>

#include "demo/dialogs.h"
#include "demo/main_window.h"
#include "demo/options_dialog.h"
#include "vburner/modelled_clock.h"
#include "vburner/vburner_support.h"

namespace orvex::test {

// Answers the windows' questions from a queue; an unexpected question is
// answered "cancel" and counted.
class TScriptedDialogs final : public demo::TDialogs {
 public:
  std::optional<QString> AskText(QWidget*, const QString& title, const QString& prompt, const QString& text) override;
  std::optional<QString> AskOpenFile(QWidget*, const QString& filter, const QString& initial) override;
  void Warn(QWidget*, const QString& title, const QString& text) override;

  std::deque<QString> Answers;  // a null QString answers "cancel"
  QStringList Asked;  // "title|prompt|text" or "filter|initial", in order
  int Unexpected = 0;
  QStringList Warnings;  // "title|text", in order

 private:
  std::optional<QString> Next();
};

class TWindowFixture {
 public:
  // Drive 0:0:0 of class `writer` holding a fresh medium of `profile`
  // (formatted when asked), and the window started on it with no kernel
  // drive.  The clock is the modelled one until the fixture ends.
  TWindowFixture(const std::string& profile, const std::string& writer = "dvd-writer", bool formatted = false);
  ~TWindowFixture();

  demo::TfrmMain& Window() { return *window_; }
  demo::TfrmOptions& Options() { return *options_; }
  TScriptedDialogs& Dialogs() { return dialogs_; }
  TModelledClock& Clock() { return clock_; }
  const std::string& Medium() const { return medium_; }
  vbtest::Scratch& Scratch() { return scratch_; }

  template <class Widget>
  Widget* Find(const char* name) {
    Widget* widget = window_->findChild<Widget*>(name);
    if (widget == nullptr) widget = options_->findChild<Widget*>(name);
    return widget;
  }
  // Clicks the button `name` with the mouse.
  void Click(const char* name);
  // Chooses entry `index` of the drive list.
  void ChooseTarget(int index);
  // Puts `paths` on the path list as a drop of text/uri-list would.
  void DropPaths(const QStringList& paths);

  QStringList LogLines();
  // Waits (at most `seconds` of real time, in Qt's event loop) until a log
  // line contains `text`; false on time-out.
  bool WaitForLog(const QString& text, int seconds = 60);

  // A source folder with a text file, a file in a subfolder and a 300 KB
  // file; returns its path.
  std::string Source(const std::string& name);
  // The recorded area of the medium as an image file, and `orvex ls` of it.
  std::string Export();
  std::string List(const std::string& image);

 private:
  vbtest::Scratch scratch_;
  std::string medium_;
  TModelledClock clock_;
  TClock* previous_ = nullptr;
  TScriptedDialogs dialogs_;
  std::unique_ptr<demo::TfrmOptions> options_;
  std::unique_ptr<demo::TfrmMain> window_;
  int exports_ = 0;
};

}  // namespace orvex::test

#endif  // ORVEX_TESTS_DEMO_WINDOW_FIXTURE_H_
