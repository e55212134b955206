// SPDX-License-Identifier: Apache-2.0
#include "demo/window_fixture.h"

#include <QDropEvent>
#include <QListWidget>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QComboBox>
#include <QTest>
#include <QUrl>

#include <filesystem>
#include <fstream>

#include "support/run_tool.h"

namespace orvex::test {

std::optional<QString> TScriptedDialogs::Next() {
  if (Answers.empty()) return ++Unexpected, std::nullopt;
  const QString answer = Answers.front();
  Answers.pop_front();
  if (answer.isNull()) return std::nullopt;
  return answer;
}

std::optional<QString> TScriptedDialogs::AskText(QWidget*, const QString& title, const QString& prompt,
                                                 const QString& text) {
  Asked << title + "|" + prompt + "|" + text;
  return Next();
}

std::optional<QString> TScriptedDialogs::AskOpenFile(QWidget*, const QString& filter, const QString& initial) {
  Asked << filter + "|" + initial;
  return Next();
}

void TScriptedDialogs::Warn(QWidget*, const QString& title, const QString& text) { Warnings << title + "|" + text; }

TWindowFixture::TWindowFixture(const std::string& profile, const std::string& writer, bool formatted) {
  previous_ = SetClock(&clock_);
  medium_ = vbtest::Create(scratch_, "disc.vmed", profile, 0, formatted);
  vbtest::Configure("0:0:0,class=" + writer + ",medium=" + medium_);
  demo::TStartupOptions startup;
  startup.Driver = VBURNER_LIBRARY;
  startup.NoPassThrough = true;
  options_ = std::make_unique<demo::TfrmOptions>(dialogs_);
  window_ = std::make_unique<demo::TfrmMain>(startup, *options_, dialogs_);
  window_->show();
}

TWindowFixture::~TWindowFixture() {
  window_.reset();
  options_.reset();
  SetClock(previous_);
}

void TWindowFixture::Click(const char* name) {
  QPushButton* button = Find<QPushButton>(name);
  QVERIFY2(button != nullptr, name);
  QVERIFY2(button->isVisible() && button->isEnabled(), name);
  QTest::mouseClick(button, Qt::LeftButton);
}

void TWindowFixture::ChooseTarget(int index) { Find<QComboBox>("cbDrives")->setCurrentIndex(index); }

void TWindowFixture::DropPaths(const QStringList& paths) {
  QListWidget* list = Find<QListWidget>("files");
  QMimeData data;
  QList<QUrl> urls;
  for (const QString& path : paths) urls << QUrl::fromLocalFile(path);
  data.setUrls(urls);
  const QPoint at = list->viewport()->rect().center();
  QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(list->viewport(), &enter);
  QVERIFY(enter.isAccepted());
  QDropEvent drop(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(list->viewport(), &drop);
}

QStringList TWindowFixture::LogLines() { return Find<QPlainTextEdit>("Memo1")->toPlainText().split('\n'); }

bool TWindowFixture::WaitForLog(const QString& text, int seconds) {
  return QTest::qWaitFor([&] { return Find<QPlainTextEdit>("Memo1")->toPlainText().contains(text); },
                         seconds * 1000);
}

std::string TWindowFixture::Source(const std::string& name) {
  const std::filesystem::path root = scratch_.Path(name);
  std::filesystem::create_directories(root / "docs");
  std::ofstream(root / "readme.txt") << "Burned from the desktop program.\n";
  std::ofstream(root / "docs" / "notes.txt") << "A file in a folder.\n";
  std::ofstream big(root / "big.bin", std::ios::binary);
  for (int i = 0; i < 300 * 1024; ++i) big.put(static_cast<char>(i * 7));
  return root.string();
}

std::string TWindowFixture::Export() {
  const std::string image = scratch_.Path("export-" + std::to_string(++exports_) + ".iso");
  if (vbtest::Lib().vb_medium_export(medium_.c_str(), 0, image.c_str()) != 0) return "";
  return image;
}

std::string TWindowFixture::List(const std::string& image) {
  const TToolResult listed = RunTool({ORVEX_CLI_PATH, "ls", image});
  return listed.status == 0 ? listed.out : "";
}

}  // namespace orvex::test
