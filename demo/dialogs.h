// SPDX-License-Identifier: Apache-2.0
// The questions the windows ask the user in a dialog of their own: a line
// of text, a file to open; and the warnings they show until dismissed.  The windows ask through this interface so that
// their tests can answer without a person.
#ifndef ORVEX_DEMO_DIALOGS_H_
#define ORVEX_DEMO_DIALOGS_H_

#include <QString>

#include <optional>

class QWidget;

namespace orvex::demo {

class TDialogs {
 public:
  virtual ~TDialogs() = default;

  // An input box titled `title` with `prompt` and the editable `text`; the
  // confirmed text, nothing when cancelled.
  virtual std::optional<QString> AskText(QWidget* parent, const QString& title, const QString& prompt,
                                         const QString& text);

  // A file dialog with `filter` ("Name (*.a *.b);;All Files (*)") that
  // starts at `initial`; the chosen file's full path, nothing when cancelled.
  virtual std::optional<QString> AskOpenFile(QWidget* parent, const QString& filter, const QString& initial);

  // A warning box titled `title` saying `text`; returns once dismissed.
  virtual void Warn(QWidget* parent, const QString& title, const QString& text);
};

}  // namespace orvex::demo

#endif  // ORVEX_DEMO_DIALOGS_H_
