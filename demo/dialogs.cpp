// SPDX-License-Identifier: Apache-2.0
#include "demo/dialogs.h"

#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>

namespace orvex::demo {

std::optional<QString> TDialogs::AskText(QWidget* parent, const QString& title, const QString& prompt,
                                         const QString& text) {
  bool ok = false;
  const QString answer = QInputDialog::getText(parent, title, prompt, QLineEdit::Normal, text, &ok);
  if (!ok) return std::nullopt;
  return answer;
}

std::optional<QString> TDialogs::AskOpenFile(QWidget* parent, const QString& filter, const QString& initial) {
  const QString chosen = QFileDialog::getOpenFileName(parent, QString(), initial, filter);
  if (chosen.isEmpty()) return std::nullopt;
  return chosen;
}

void TDialogs::Warn(QWidget* parent, const QString& title, const QString& text) {
  QMessageBox::warning(parent, title, text);
}

}  // namespace orvex::demo
