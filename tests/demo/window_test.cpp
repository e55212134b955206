// SPDX-License-Identifier: Apache-2.0
// The desktop program against the virtual burner: start-up, building an
// image, burning, Quick Info, the speed list, erasing, verifying, smart
// references, aborting, the options dialog and dropping paths.
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileSystemModel>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QStatusBar>
#include <QTest>
#include <QTimer>
#include <QTreeView>

#include <algorithm>
#include <atomic>
#include <functional>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "demo/captions.h"
#include "demo/number_format.h"
#include "demo/startup_options.h"
#include "demo/window_fixture.h"

namespace orvex::test {
namespace {

constexpr const char* kImageFileEntry = "ISOFile: Don't Burn, Save as ISO Image ...";

// The index of the first line from `from` on that holds `text`; -1 when
// none does.
int LineIndex(const QStringList& lines, const QString& text, int from = 0) {
  for (int i = from; i < lines.size(); ++i) {
    if (lines[i].contains(text)) return i;
  }
  return -1;
}

// Burns the path list to the drive in the fixture and waits for the end.
void BurnToDrive(TWindowFixture& f) {
  f.ChooseTarget(0);
  f.Click("btnBurn");
  QVERIFY2(f.WaitForLog(" >>> WRITE DONE"), qPrintable(f.LogLines().join('\n')));
}

}  // namespace

class WindowTest : public QObject {
  Q_OBJECT
 private slots:
  void StartUpListsTheDrivesAndChoosesTheImageFile();
  void BurnWithTheImageFileEntryBuildsAnImage();
  void BurnToADvdPlusRWritesTheFiles();
  void QuickInfoReportsTheDriveAndDisc();
  void SpeedListFollowsTheMedium_data();
  void SpeedListFollowsTheMedium();
  void EraseShowsTheBusyIndicator_data();
  void EraseShowsTheBusyIndicator();
  void VerifyFindsAFileChangedAfterBurning_data();
  void VerifyFindsAFileChangedAfterBurning();
  void SmartReferencesThenBurn();
  void AbortStopsABurn();
  void OptionsAreCopiedInAndBack();
  void DroppedFoldersAndFilesAreListed();
  void EndOfAJobIsVisible_data();
  void EndOfAJobIsVisible();
  void SizeAgainstTheRoomOnTheTarget_data();
  void SizeAgainstTheRoomOnTheTarget();
  void WhatTheDriveHoldsFollowsTheDrive();
  void BurnIsOfferedAfterAPowerOnAttention_data();
  void BurnIsOfferedAfterAPowerOnAttention();
  void ThePollAsksOnlyForMediaEvents();
  void RefusedBurnsSayWhy_data();
  void RefusedBurnsSayWhy();
  void DriveLogOnlyWhenTurnedOn();
  void StartupOptions_data();
  void StartupOptions();
};

void WindowTest::StartUpListsTheDrivesAndChoosesTheImageFile() {
  TWindowFixture f("dvd+r");
  QComboBox* drives = f.Find<QComboBox>("cbDrives");
  QCOMPARE(drives->count(), 2);
  QVERIFY2(drives->itemText(0).startsWith("0:0:0,"), qPrintable(drives->itemText(0)));
  QCOMPARE(drives->itemText(1), QString(kImageFileEntry));
  QCOMPARE(drives->currentIndex(), 1);
  QCOMPARE(f.Find<QComboBox>("cbSpeed")->currentText(), QString("Max"));
  QVERIFY(f.Window().windowTitle().startsWith("Orvex Demo - Version Orvex "));
  QVERIFY(f.Find<QPushButton>("btnBurn")->isEnabled());
  QVERIFY(!f.Find<QPushButton>("btnAbortBurn")->isVisible());
  QCOMPARE(f.Find<QLabel>("lblStatus")->text(), QString(" CD : "));
  QCOMPARE(f.Find<QLabel>("lMaxSpeed")->text(), QString("5125 KB/s"));
  // The browsers open at the user's home, not at the machine's root.
  QCOMPARE(f.Find<QComboBox>("DriveComboBox1")->currentText(), QDir::homePath());
  for (const char* name : {"lbDir", "lbFiles"}) {
    auto* view = f.Find<QAbstractItemView>(name);
    QCOMPARE(qobject_cast<QFileSystemModel*>(view->model())->filePath(view->rootIndex()), QDir::homePath());
  }
}

void WindowTest::BurnWithTheImageFileEntryBuildsAnImage() {
  TWindowFixture f("dvd+r");
  const std::string source = f.Source("photos");
  f.DropPaths({QString::fromStdString(source)});
  const QString image = QString::fromStdString(f.Scratch().Path("built.iso"));
  f.Dialogs().Answers.push_back(image);
  f.Click("btnBurn");
  QCOMPARE(f.Dialogs().Asked.value(0),
           "Build ISO|Enter ISO File Name to be built|" + QString::fromStdString(HomeDirectory() + "/orvex.iso"));
  QVERIFY(f.WaitForLog(" >>> WRITE DONE"));
  const QStringList lines = f.LogLines();
  const int started = LineIndex(lines, " >>> BUILDING ISO FILE ...");
  QVERIFY2(started >= 0 && LineIndex(lines, " >>> WRITE DONE.", started) > started, qPrintable(lines.join('\n')));
  QVERIFY(QRegularExpression("^\\d\\d:\\d\\d:\\d\\d\\d >>> BUILDING ISO FILE ...$").match(lines[started]).hasMatch());
  const std::string listed = f.List(image.toStdString());
  QVERIFY2(listed.find("/readme.txt") != std::string::npos && listed.find("/docs/notes.txt") != std::string::npos,
           listed.c_str());
  QVERIFY(f.Find<QPushButton>("btnBurn")->isEnabled());
  QVERIFY(!f.Find<QPushButton>("btnAbortBurn")->isVisible());
}

void WindowTest::BurnToADvdPlusRWritesTheFiles() {
  TWindowFixture f("dvd+r");
  f.DropPaths({QString::fromStdString(f.Source("photos"))});
  BurnToDrive(f);
  const QStringList lines = f.LogLines();
  const int started = LineIndex(lines, " >>> WRITING DISC ... ");
  QVERIFY2(started >= 0 && LineIndex(lines, " >>> WRITE DONE.", started) > started, qPrintable(lines.join('\n')));
  QCOMPARE(f.Find<QLabel>("lMaxSpeed")->text().endsWith(" kB/s"), true);
  QCOMPARE(f.Find<QProgressBar>("pb")->value(), f.Find<QProgressBar>("pb")->maximum());
  const std::string listed = f.List(f.Export());
  QVERIFY2(listed.find("/photos") == std::string::npos && listed.find("/big.bin") != std::string::npos &&
               listed.find("/docs/notes.txt") != std::string::npos,
           listed.c_str());
  QVERIFY(f.Find<QComboBox>("cbDrives")->isEnabled());
}

void WindowTest::QuickInfoReportsTheDriveAndDisc() {
  TWindowFixture f("dvd+r");
  f.ChooseTarget(0);
  f.Click("btnQuickInfo");
  const QStringList lines = f.LogLines();
  QStringList expected{">>> IS TestUnitReady? True",
                       "",
                       ">>> DISC IN DRIVE IS mtDVDPLUSR",
                       ">>> IS DISC Erasable? False",
                       ">>> IS DISC Writable? True",
                       ">>> SessionsOnDisc: 0"};
  for (int i = 0; i < expected.size(); ++i) QCOMPARE(lines.value(i), expected[i]);
  const QRegularExpression megabytes("^[\\d,]+\\.\\d\\d MB$"), speed("^ [\\d,]+ KB/s$");
  const QStringList figures{">>> GetTotalBlocksOnDisc: ", ">>> GetFreeBlocksOnDisc: ", ">>> GetMaxWriteSpeed: ",
                            ">>> GetReadSpeed: ", ">>> GetWriteSpeed: ", "", ">>> GetDeviceMaxReadSpeed: ",
                            ">>> GetDeviceMaxWriteSpeed: "};
  for (int i = 0; i < figures.size(); ++i) {
    const QString& line = lines.value(6 + i);
    if (figures[i].isEmpty()) {
      QCOMPARE(line, QString());
      continue;
    }
    QVERIFY2(line.startsWith(figures[i]), qPrintable(line));
    const QString answer = line.mid(figures[i].size());
    QVERIFY2((i < 2 ? megabytes : speed).match(answer).hasMatch(), qPrintable(line));
  }
  int row = 6 + static_cast<int>(figures.size());
  for (const demo::TCapability& capability : demo::QuickInfoCapabilities()) {
    const QString prefix = QString(">>> DEVICE CAPABLE OF ") + capability.name + "? ";
    QVERIFY2(lines.value(row).startsWith(prefix), qPrintable(lines.value(row)));
    QVERIFY(lines.value(row).endsWith("True") || lines.value(row).endsWith("False"));
    ++row;
  }
  QCOMPARE(LineIndex(lines, ">>> DEVICE CAPABLE OF WRITE_DVDPLUSR? True"), LineIndex(lines, "WRITE_DVDPLUSR?"));
  QVERIFY(LineIndex(lines, ">>> DEVICE CAPABLE OF WRITE_BDR? False") > 0);
  QCOMPARE(lines.size(), row);
}

void WindowTest::SpeedListFollowsTheMedium_data() {
  QTest::addColumn<QString>("profile");
  QTest::addColumn<QString>("writer");
  QTest::addColumn<double>("unit");
  QTest::addColumn<QStringList>("fastest");  // the first two speed lines
  QTest::newRow("DVD+R") << "dvd+r" << "dvd-writer" << 1385.0 << QStringList{"16x (22,160 KB/s)", "8x (11,080 KB/s)"};
  QTest::newRow("BD-R") << "bd-r" << "bd-writer" << 4495.5 << QStringList{"12x (53,940 KB/s)", "6x (26,970 KB/s)"};
  QTest::newRow("CD-R") << "cd-r" << "cd-writer" << 176.46 << QStringList{"48x (8,448 KB/s)", "24x (4,224 KB/s)"};
}

// "Max", then one line per speed the drive takes, fastest first, each the
// drive's answer in multiples of the medium's 1x and in KB/s, none twice.
void WindowTest::SpeedListFollowsTheMedium() {
  QFETCH(QString, profile);
  QFETCH(QString, writer);
  QFETCH(double, unit);
  QFETCH(QStringList, fastest);
  TWindowFixture f(profile.toStdString(), writer.toStdString());
  f.ChooseTarget(0);
  QComboBox* speeds = f.Find<QComboBox>("cbSpeed");
  speeds->showPopup();
  speeds->hidePopup();
  QVERIFY2(speeds->count() >= 3, qPrintable(QString::number(speeds->count())));
  QCOMPARE(speeds->itemText(0), QString("Max"));
  QCOMPARE(speeds->currentIndex(), 0);
  QCOMPARE(speeds->itemText(1), fastest[0]);
  QCOMPARE(speeds->itemText(2), fastest[1]);
  const QRegularExpression form("^(\\d+)x \\(([\\d,]+) KB/s\\)$");
  QStringList seen;
  int previous = INT_MAX;
  for (int i = 1; i < speeds->count(); ++i) {
    const QString text = speeds->itemText(i);
    const QRegularExpressionMatch match = form.match(text);
    QVERIFY2(match.hasMatch(), qPrintable(text));
    QVERIFY2(!seen.contains(text), qPrintable(text));
    seen << text;
    const int times = match.captured(1).toInt();
    const int kilobytes = match.captured(2).remove(',').toInt();
    QCOMPARE(times, static_cast<int>(std::lround(kilobytes / unit)));
    QVERIFY(kilobytes < previous);
    previous = kilobytes;
  }
  // The last choice stays chosen when the list opens again.
  speeds->setCurrentIndex(1);
  speeds->showPopup();
  speeds->hidePopup();
  QCOMPARE(speeds->currentIndex(), 1);
  QCOMPARE(speeds->itemText(1), seen[0]);
}

void WindowTest::EraseShowsTheBusyIndicator_data() {
  QTest::addColumn<QString>("button");
  QTest::newRow("quick") << "btnQuickErase";
  QTest::newRow("full") << "btnFullErase";
}

// The erase's waits for the drive are held until the window has shown
// the busy indicator running and the status " ERASING ".
void WindowTest::EraseShowsTheBusyIndicator() {
  QFETCH(QString, button);
  TWindowFixture f("cd-rw", "cd-writer");
  f.ChooseTarget(0);
  std::atomic<bool> seen{false};
  f.Clock().OnSleep = [&](uint32_t) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!seen && std::chrono::steady_clock::now() < until) std::this_thread::sleep_for(std::chrono::milliseconds(5));
  };
  f.Click(button.toLatin1().constData());
  QVERIFY(!f.Find<QPushButton>("btnBurn")->isEnabled());
  QProgressBar* bar = f.Find<QProgressBar>("pb");
  QLabel* status = f.Find<QLabel>("lblStatus");
  QVERIFY(QTest::qWaitFor([&] { return bar->value() >= 4 && status->text() == " ERASING "; }, 10000));
  QCOMPARE(bar->maximum(), 100);
  seen = true;
  QVERIFY2(f.WaitForLog(">>> ERASE DONE"), qPrintable(f.LogLines().join('\n')));
  f.Clock().OnSleep = nullptr;
  const QStringList lines = f.LogLines();
  QVERIFY(LineIndex(lines, ">>> ERASING DISC ...") >= 0);
  QVERIFY2(LineIndex(lines, ">>> ERASE DONE.") > LineIndex(lines, ">>> ERASING DISC ..."), qPrintable(lines.join('\n')));
  QCOMPARE(bar->value(), 100);
  QVERIFY(f.Find<QPushButton>("btnBurn")->isEnabled());
  // A disc that cannot be erased is refused with a line.
  TWindowFixture r("dvd+r");
  r.ChooseTarget(0);
  r.Click(button.toLatin1().constData());
  QVERIFY(r.LogLines().contains(">>> DISC IS NOT ERASABLE."));
}

void WindowTest::VerifyFindsAFileChangedAfterBurning_data() {
  QTest::addColumn<bool>("changed");
  QTest::newRow("unchanged") << false;
  QTest::newRow("changed") << true;
}

void WindowTest::VerifyFindsAFileChangedAfterBurning() {
  QFETCH(bool, changed);
  TWindowFixture f("dvd+r");
  const std::string source = f.Source("photos");
  f.DropPaths({QString::fromStdString(source)});
  BurnToDrive(f);
  if (changed) std::ofstream(source + "/readme.txt") << "Changed after burning.\n";
  f.Find<QWidget>("Memo1")->setFocus();
  QTest::keyClick(&f.Window(), Qt::Key_F8);  // Clear All
  QCOMPARE(f.LogLines(), QStringList{""});
  f.Click("btnVerify");
  QVERIFY(f.Find<QPushButton>("btnAbortBurn")->isVisible());
  QVERIFY(f.WaitForLog("VERIFYING DONE, "));
  const QStringList lines = f.LogLines();
  if (changed) {
    QVERIFY2(lines.contains("VERIFY FAILED FOR readme.txt"), qPrintable(lines.join('\n')));
    QCOMPARE(lines.last(), QString("VERIFYING DONE, AT LEAST ONE FILE FAILED"));
  } else {
    QVERIFY2(lines.contains("VERIFYING DONE FOR readme.txt"), qPrintable(lines.join('\n')));
    QCOMPARE(lines.last(), QString("VERIFYING DONE, ALL FILES OKAY"));
  }
  QVERIFY(!f.Find<QPushButton>("btnAbortBurn")->isVisible());
}

void WindowTest::SmartReferencesThenBurn() {
  TWindowFixture f("dvd+r");
  const std::string source = f.Source("photos");
  std::filesystem::copy_file(source + "/big.bin", source + "/docs/copy.bin");
  f.DropPaths({QString::fromStdString(source)});
  f.Find<QCheckBox>("bGSR")->setChecked(true);
  BurnToDrive(f);
  const QStringList lines = f.LogLines();
  const int found = LineIndex(lines, " >>> SMART REFERENCE GENERATION DONE, SAVES 0 MB");
  QVERIFY2(found >= 0, qPrintable(lines.join('\n')));
  QVERIFY(LineIndex(lines, " >>> WRITING DISC ... ", found) > found);
  QVERIFY(LineIndex(lines, " >>> WRITE DONE.", found) > found);
  // Both names are on the disc; the copy lies where the original does.
  const std::string listed = f.List(f.Export());
  QVERIFY2(listed.find("/docs/copy.bin") != std::string::npos && listed.find("/big.bin") != std::string::npos,
           listed.c_str());
}

// Abort pressed while the burn waits for the drive: the burn ends failed,
// the controls come back.
void WindowTest::AbortStopsABurn() {
  TWindowFixture f("dvd+r");
  const std::string source = f.Source("photos");
  f.DropPaths({QString::fromStdString(source)});
  // Every WRITE(10) finds the drive becoming ready, so the burn waits and
  // tries again until it is stopped.
  QCOMPARE(vbtest::Lib().vb_fault_fail({0, 0, 0}, 0x2A, 100000, 0x02, 0x04, 0x01), 0);
  std::atomic<bool> aborted{false}, waiting{false};
  f.Clock().OnSleep = [&](uint32_t) {
    waiting = true;
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!aborted && std::chrono::steady_clock::now() < until) std::this_thread::sleep_for(std::chrono::milliseconds(5));
  };
  f.ChooseTarget(0);
  f.Click("btnBurn");
  QVERIFY(QTest::qWaitFor([&] { return waiting.load(); }, 20000));
  f.Click("btnAbortBurn");
  aborted = true;
  QVERIFY(f.WaitForLog(" >>> WRITE DONE"));
  f.Clock().OnSleep = nullptr;
  const QStringList lines = f.LogLines();
  QVERIFY2(LineIndex(lines, " >>> WRITE DONE WITH ERROR (") >= 0, qPrintable(lines.join('\n')));
  QVERIFY(LineIndex(lines, " >>> WRITE DONE.") < 0);
  QVERIFY(!f.Find<QPushButton>("btnAbortBurn")->isVisible());
  QVERIFY(f.Find<QPushButton>("btnBurn")->isEnabled());
}

void WindowTest::OptionsAreCopiedInAndBack() {
  TWindowFixture f("dvd+r");
  TOrvex& disc = f.Window().Component();
  const std::string boot = f.Scratch().Path("boot.img");
  std::ofstream(boot, std::ios::binary).seekp(2047).put('\0');
  disc.SetBootImage(boot);
  disc.SetTestWrite(true);
  QStringList shown;
  // The dialog runs modally; it is read and edited from inside its loop.
  QTimer::singleShot(0, [&] {
    for (const char* name : {"chkTestWrite", "chkUDFBridge", "chkFinalizeDisc", "chkJolietFS",
                             "chkUnderrunProtection", "chkBootImage"}) {
      shown << QString(name) + "=" + (f.Find<QCheckBox>(name)->isChecked() ? "1" : "0");
    }
    shown << f.Find<QLineEdit>("edtVolumeID")->text() << f.Find<QLineEdit>("edtCacheSize")->text()
          << f.Find<QLineEdit>("edtBootImage")->text();
    f.Find<QLineEdit>("edtCacheSize")->setText("abc");
    f.Find<QLineEdit>("edtVolumeID")->setText(QString::fromUtf8("Ferien 2026 ü"));
    f.Find<QCheckBox>("chkJolietFS")->setChecked(false);
    f.Find<QCheckBox>("chkTestWrite")->setChecked(false);
    f.Options().reject();  // Cancel copies back too
  });
  f.Click("btnOtherOptions");
  const QStringList expected{"chkTestWrite=1",
                             "chkUDFBridge=0",
                             "chkFinalizeDisc=" + QString(disc.FinalizeDisc() ? "1" : "0"),
                             "chkJolietFS=1",
                             "chkUnderrunProtection=" + QString(disc.BurnProof() ? "1" : "0"),
                             "chkBootImage=1",
                             "Velmont",
                             "64",
                             QString::fromStdString(boot)};
  QCOMPARE(shown, expected);
  QCOMPARE(disc.CacheSize(), 2u);
  QCOMPARE(disc.VolumeIDW(), std::u16string(u"Ferien 2026 ü"));
  QVERIFY(!disc.JolietFileSystem());
  QVERIFY(!disc.TestWrite());
  QCOMPARE(disc.BootImage(), boot);  // the boot image is not copied back
}

// Folders and files dropped from the window's browsers or another
// program; anything else is refused.
void WindowTest::DroppedFoldersAndFilesAreListed() {
  TWindowFixture f("dvd+r");
  const std::string source = f.Source("photos");
  QListWidget* list = f.Find<QListWidget>("files");
  f.DropPaths({QString::fromStdString(source), QString::fromStdString(source + "/readme.txt")});
  QCOMPARE(list->count(), 2);
  QCOMPARE(list->item(0)->text(), QString::fromStdString(source));
  QCOMPARE(list->item(1)->text(), QString::fromStdString(source + "/readme.txt"));

  // What the folder browser gives a drag is such a drop.
  QTreeView* folders = f.Find<QTreeView>("lbDir");
  auto* model = qobject_cast<QFileSystemModel*>(folders->model());
  QVERIFY(model != nullptr);
  const QModelIndex docs = model->index(QString::fromStdString(source + "/docs"));
  std::unique_ptr<QMimeData> dragged(model->mimeData({docs}));
  QVERIFY(dragged->hasUrls());
  f.DropPaths(QStringList{dragged->urls().value(0).toLocalFile()});
  QCOMPARE(list->item(2)->text(), QString::fromStdString(source + "/docs"));

  // A double click removes the chosen line; Clear empties the list.
  list->setCurrentRow(1);
  QTest::mouseDClick(list->viewport(), Qt::LeftButton, Qt::NoModifier, list->visualItemRect(list->item(1)).center());
  QCOMPARE(list->count(), 2);
  QCOMPARE(list->item(1)->text(), QString::fromStdString(source + "/docs"));
  f.Click("btnClearLayout");
  QCOMPARE(list->count(), 0);
}

void WindowTest::EndOfAJobIsVisible_data() {
  QTest::addColumn<QString>("job");
  QTest::addColumn<QString>("profile");
  QTest::addColumn<QString>("writer");
  QTest::addColumn<QString>("message");  // the status bar's, up to its end or to "("
  QTest::addColumn<bool>("full");        // the progress bar at its maximum
  QTest::newRow("burn") << "burn" << "dvd+r" << "dvd-writer" << "Writing the disc: done" << true;
  QTest::newRow("image") << "image" << "dvd+r" << "dvd-writer" << "Building the image %1: done" << true;
  QTest::newRow("quick erase") << "erase" << "cd-rw" << "cd-writer" << "Quick erasing the disc: done" << true;
  QTest::newRow("verify") << "verify" << "dvd+r" << "dvd-writer"
                          << "Verifying the disc: done, every file is as its source" << true;
  QTest::newRow("failed burn") << "write error" << "dvd+r" << "dvd-writer" << "Writing the disc: failed (" << false;
}

// When a job ends the status bar says how, the progress bar is full when
// it succeeded, and the speed gauge and the status caption are at rest.
void WindowTest::EndOfAJobIsVisible() {
  QFETCH(QString, job);
  QFETCH(QString, profile);
  QFETCH(QString, writer);
  QFETCH(QString, message);
  QFETCH(bool, full);
  TWindowFixture f(profile.toStdString(), writer.toStdString());
  f.DropPaths({QString::fromStdString(f.Source("photos"))});
  const QString image = QString::fromStdString(f.Scratch().Path("built.iso"));
  message = message.arg(image);
  if (job == "burn" || job == "verify") BurnToDrive(f);
  if (job == "verify") {
    f.Click("btnVerify");
    QVERIFY(f.WaitForLog("VERIFYING DONE, "));
  }
  if (job == "image") {
    f.Dialogs().Answers.push_back(image);
    f.Click("btnBurn");
    QVERIFY(f.WaitForLog(" >>> WRITE DONE"));
  }
  if (job == "erase") {
    f.ChooseTarget(0);
    f.Click("btnQuickErase");
    QVERIFY(f.WaitForLog(">>> ERASE DONE"));
  }
  if (job == "write error") {
    QCOMPARE(vbtest::Lib().vb_fault_fail({0, 0, 0}, 0x2A, 1, 0x03, 0x0C, 0x00), 0);
    BurnToDrive(f);
  }
  const QString shown = f.Find<QStatusBar>("statusBar")->currentMessage();
  QVERIFY2(message.endsWith('(') ? shown.startsWith(message) && shown.endsWith(')') : shown == message,
           qPrintable(shown));
  QProgressBar* bar = f.Find<QProgressBar>("pb");
  QCOMPARE(bar->value() == bar->maximum(), full);
  QCOMPARE(f.Find<QProgressBar>("pbWriteSpeed")->value(), 0);
  QCOMPARE(f.Find<QLabel>("lblStatus")->text(), QString(" IDLE "));
  QVERIFY(!f.Find<QPushButton>("btnAbortBurn")->isVisible());
}

void WindowTest::SizeAgainstTheRoomOnTheTarget_data() {
  QTest::addColumn<QString>("profile");
  QTest::addColumn<QString>("writer");
  QTest::addColumn<int>("target");
  QTest::addColumn<int>("room");         // blocks
  QTest::addColumn<QString>("text");      // the bar's, with %1 for the content's MB
  QTest::addColumn<bool>("huge");         // a 5 GiB file added
  QTest::newRow("DVD+R") << "dvd+r" << "dvd-writer" << 0 << 2295104 << "%1 MB of 4,482.62 MB free" << false;
  QTest::newRow("BD-R") << "bd-r" << "bd-writer" << 0 << 12219392 << "%1 MB of 23,866.00 MB free" << false;
  QTest::newRow("image file") << "dvd+r" << "dvd-writer" << 1 << 359847 << "%1 MB: fits a CD (702.83 MB)" << false;
  QTest::newRow("overfull DVD+R") << "dvd+r" << "dvd-writer" << 0 << 2295104
                                  << "%1 MB of 4,482.62 MB free: does not fit" << true;
  QTest::newRow("image file, DVD DL") << "dvd+r" << "dvd-writer" << 1 << 4173824
                                      << "%1 MB: fits a DVD DL (8,152.00 MB)" << true;
}

// The bar under the path list: the laid-out size of what is listed against
// the room on the target, following the list as lines come and go.
void WindowTest::SizeAgainstTheRoomOnTheTarget() {
  QFETCH(QString, profile);
  QFETCH(QString, writer);
  QFETCH(int, target);
  QFETCH(int, room);
  QFETCH(QString, text);
  QFETCH(bool, huge);
  TWindowFixture f(profile.toStdString(), writer.toStdString());
  const std::string source = f.Source("photos");
  if (huge) {
    std::ofstream(source + "/huge.bin").put('x');
    std::filesystem::resize_file(source + "/huge.bin", uint64_t{5} << 30);
  }
  f.ChooseTarget(target);
  QProgressBar* bar = f.Find<QProgressBar>("pbDiscRoom");
  QCOMPARE(bar->value(), 0);
  f.DropPaths({QString::fromStdString(source)});
  const uint32_t blocks = f.Window().Component().Prepare();  // the same tree laid out again
  // The tree: 300 KB and two small files, a 5 GiB one when huge.
  QVERIFY2(blocks > 150 && blocks < (huge ? 2621440u + 400 : 400u), qPrintable(QString::number(blocks)));
  QCOMPARE(bar->maximum(), room);
  QCOMPARE(bar->value(), std::min<int>(static_cast<int>(blocks), room));
  const QString megabytes = QString::fromStdString(demo::FormatNumber(blocks * 2048.0 / 1048576, 2, true));
  QCOMPARE(bar->format(), text.arg(megabytes));
  QCOMPARE(bar->property("fits").toBool(), !(huge && target == 0));
  // Removing the line empties the bar.
  f.Click("btnClearLayout");
  QCOMPARE(bar->value(), 0);
  QVERIFY(bar->property("fits").toBool());
}

// The line beside the target follows what happens in the drive: a burn,
// the tray opened and closed, the disc taken out and put back, without
// Quick Info being asked.
void WindowTest::WhatTheDriveHoldsFollowsTheDrive() {
  TWindowFixture f("dvd+r");
  f.DropPaths({QString::fromStdString(f.Source("photos"))});
  QLabel* medium = f.Find<QLabel>("lblMedium");
  QCOMPARE(medium->text(), QString());  // the image file is chosen
  const vb_address drive{0, 0, 0};
  struct Step {
    std::function<void()> act;
    QString shown;
  };
  const std::vector<Step> steps{
      {[&] { f.ChooseTarget(0); }, "DVD+R, blank, 4.4 GiB free"},
      {[&] { BurnToDrive(f); }, "DVD+R, appendable, 1 session, 4.4 GiB free"},
      {[&] { QCOMPARE(vbtest::Lib().vb_tray(drive, 1), 0); }, "tray open"},
      {[&] { QCOMPARE(vbtest::Lib().vb_tray(drive, 0), 0); }, "DVD+R, appendable, 1 session, 4.4 GiB free"},
      {[&] { QCOMPARE(vbtest::Lib().vb_remove(drive), 0); }, "no disc"},
      {[&] { QCOMPARE(vbtest::Lib().vb_insert(drive, f.Medium().c_str()), 0); },
       "DVD+R, appendable, 1 session, 4.4 GiB free"},
      // Another disc put in between two looks.
      {[&] { QCOMPARE(vbtest::Lib().vb_insert(drive, vbtest::Create(f.Scratch(), "other.vmed", "dvd+r").c_str()), 0); },
       "DVD+R, blank, 4.4 GiB free"},
      {[&] { f.ChooseTarget(1); }, ""},
  };
  for (const Step& step : steps) {
    step.act();
    QVERIFY2(QTest::qWaitFor([&] { return medium->text() == step.shown; }, 10000),
             qPrintable(medium->text() + " instead of " + step.shown));
  }
}

// A drive that reports a unit attention at power-on, as real drives do,
// is a burner from the first look at it.
void WindowTest::BurnIsOfferedAfterAPowerOnAttention_data() {
  QTest::addColumn<QString>("writer");
  QTest::addColumn<bool>("burner");
  QTest::newRow("writer") << "dvd-writer" << true;
  QTest::newRow("writer with attention") << "dvd-writer,ua=1" << true;
  QTest::newRow("BD writer with attention") << "bd-writer,ua=1" << true;
  QTest::newRow("reader with attention") << "dvd-rom,ua=1" << false;
}

void WindowTest::BurnIsOfferedAfterAPowerOnAttention() {
  QFETCH(QString, writer);
  QFETCH(bool, burner);
  TWindowFixture f("dvd+r", writer.toStdString());
  f.ChooseTarget(0);
  QCOMPARE(f.Find<QPushButton>("btnBurn")->isEnabled(), burner);
  QCOMPARE(f.Find<QLabel>("lblMedium")->text(), QString("DVD+R, blank, 4.4 GiB free"));
}

namespace {

// Whether a command describes the disc (rather than asking for events).
bool Describes(const vb_trace_entry& e) { return e.cdb[0] != 0x4A; }

// Lets the medium timer tick until the drive has received `commands`
// commands since the trace was started; false on time-out.
bool TraceGrows(const vb_address& drive, size_t commands) {
  return QTest::qWaitFor([&] { return vbtest::Trace(drive).size() >= commands; }, 10000);
}

}  // namespace

// While nothing happens in the drive the medium timer sends only GET EVENT
// STATUS NOTIFICATION; a media event (tray opened and closed, a disc
// swapped) has the disc described afresh, and the line follows it.  A
// drive that refuses the command is described at every tick instead.
void WindowTest::ThePollAsksOnlyForMediaEvents() {
  TWindowFixture f("dvd+r");
  QLabel* medium = f.Find<QLabel>("lblMedium");
  f.ChooseTarget(0);
  QCOMPARE(medium->text(), QString("DVD+R, blank, 4.4 GiB free"));
  f.Find<QTimer>("tmrMedium")->setInterval(20);
  const vb_address drive{0, 0, 0};
  const auto idle = [&] {
    QCOMPARE(vbtest::Lib().vb_trace(drive, 1), 0);
    QVERIFY(TraceGrows(drive, 5));
    const std::vector<vb_trace_entry> trace = vbtest::Trace(drive);
    QVERIFY2(std::none_of(trace.begin(), trace.end(), Describes), vbtest::Opcodes(trace).c_str());
  };
  idle();
  struct Step {
    const char* name;
    std::function<void()> act;
    QString shown;
  };
  const std::vector<Step> steps{
      {"tray opened", [&] { QCOMPARE(vbtest::Lib().vb_tray(drive, 1), 0); }, "tray open"},
      {"tray closed", [&] { QCOMPARE(vbtest::Lib().vb_tray(drive, 0), 0); }, "DVD+R, blank, 4.4 GiB free"},
      {"disc swapped",
       [&] { QCOMPARE(vbtest::Lib().vb_insert(drive, vbtest::Create(f.Scratch(), "cd.vmed", "cd-r").c_str()), 0); },
       "CD-R, blank, 0.7 GiB free"},
  };
  for (const Step& step : steps) {
    QCOMPARE(vbtest::Lib().vb_trace(drive, 1), 0);
    step.act();
    QVERIFY2(QTest::qWaitFor([&] { return medium->text() == step.shown; }, 10000),
             qPrintable(QString(step.name) + ": " + medium->text() + " instead of " + step.shown));
    const std::vector<vb_trace_entry> trace = vbtest::Trace(drive);
    // The event came first, the description after it.
    QVERIFY2(!trace.empty() && !Describes(trace[0]) && std::any_of(trace.begin(), trace.end(), Describes),
             qPrintable(QString(step.name) + ": " + vbtest::Opcodes(trace).c_str()));
    idle();
  }
  // A drive that keeps no media events is described at every tick.
  QCOMPARE(vbtest::Lib().vb_fault_fail(drive, 0x4A, 1000, 0x05, 0x20, 0x00), 0);
  QCOMPARE(vbtest::Lib().vb_trace(drive, 1), 0);
  QVERIFY(QTest::qWaitFor(
      [&] {
        const std::vector<vb_trace_entry> trace = vbtest::Trace(drive);
        return std::count_if(trace.begin(), trace.end(), [](const vb_trace_entry& e) { return e.cdb[0] == 0x00; }) >= 3;
      },
      10000));
  QCOMPARE(vbtest::Lib().vb_trace(drive, 0), 0);
}

void WindowTest::RefusedBurnsSayWhy_data() {
  QTest::addColumn<int>("target");
  QTest::addColumn<QString>("setup");
  QTest::addColumn<QString>("warning");  // title|text
  QTest::addColumn<QString>("logged");   // the log line; empty: none
  const QString empty = "Nothing to burn|The list of paths to burn is empty: drop folders and files on it first.";
  QTest::newRow("empty list, image file") << 1 << "empty" << empty << "";
  QTest::newRow("empty list, drive") << 0 << "empty" << empty << "";
  QTest::newRow("test write on a DVD+R") << 0 << "test write"
                                          << "Burn refused|Test write not possible with this medium or drive"
                                          << ">>> WRITE FAILED. Error: Test write not possible with this medium or drive";
  QTest::newRow("too big") << 0 << "too big" << "Burn refused|Not enough space on the disc"
                           << ">>> WRITE FAILED. Error: Not enough space on the disc";
  QTest::newRow("finalized disc") << 0 << "finalized" << "Burn refused|Disc cannot be written"
                                  << ">>> WRITE FAILED. Error: Disc cannot be written";
  QTest::newRow("bad session number") << 0 << "import" << "Burn refused|the session to import is no number from 0 to 255"
                                      << ">>> WRITE FAILED. Error: the session to import is no number from 0 to 255";
}

// A burn that cannot start tells why in a warning the user has to dismiss
// (and in the log), asks for nothing and writes nothing.
void WindowTest::RefusedBurnsSayWhy() {
  QFETCH(int, target);
  QFETCH(QString, setup);
  QFETCH(QString, warning);
  QFETCH(QString, logged);
  TWindowFixture f("dvd+r");
  TOrvex& disc = f.Window().Component();
  const std::string source = f.Source("photos");
  if (setup != "empty") f.DropPaths({QString::fromStdString(source)});
  int sessions = 0;
  if (setup == "test write") disc.SetTestWrite(true);
  if (setup == "too big") {
    // A sparse 5 GiB file: laid out and refused before any of it is read.
    std::ofstream(source + "/huge.bin").put('x');
    std::filesystem::resize_file(source + "/huge.bin", uint64_t{5} << 30);
  }
  if (setup == "finalized") {
    disc.SetFinalizeDisc(true);
    BurnToDrive(f);
    sessions = 1;
  }
  if (setup == "import") {
    QTimer::singleShot(0, [&] {
      f.Find<QCheckBox>("chkImportSession")->setChecked(true);
      f.Find<QLineEdit>("edtImportSession")->setText("x");
      f.Options().accept();
    });
    f.Click("btnOtherOptions");
  }
  f.ChooseTarget(target);
  f.Click("btnBurn");
  QCOMPARE(f.Dialogs().Warnings, QStringList{warning});
  QCOMPARE(f.Dialogs().Asked, QStringList{});
  if (logged.isEmpty()) {
    QVERIFY2(LineIndex(f.LogLines(), "WRITING") < 0, qPrintable(f.LogLines().join('\n')));
  } else {
    QVERIFY2(f.LogLines().contains(logged), qPrintable(f.LogLines().join('\n')));
  }
  QVERIFY(f.Find<QPushButton>("btnBurn")->isEnabled());
  if (target == 0) QCOMPARE(disc.SessionsOnDisc(), sessions);
}

// The window starts without the drive command log; Other Options turns it
// on (commands reach it) and off again (nothing more is written).
void WindowTest::DriveLogOnlyWhenTurnedOn() {
  const QByteArray state_before = qgetenv("XDG_STATE_HOME");
  TWindowFixture f("dvd+r");
  qputenv("XDG_STATE_HOME", QByteArray::fromStdString(f.Scratch().Path("state")));
  const std::string log = f.Scratch().Path("state") + "/orvex/orvexp.elg";
  const auto set_log = [&](bool on, bool* shown) {
    QTimer::singleShot(0, [&f, on, shown] {
      *shown = f.Find<QCheckBox>("chkDriveLog")->isChecked();
      f.Find<QCheckBox>("chkDriveLog")->setChecked(on);
      f.Options().accept();
    });
    f.Click("btnOtherOptions");
  };
  f.ChooseTarget(0);
  f.Click("btnQuickInfo");
  QVERIFY(!std::filesystem::exists(log));
  bool shown = true;
  set_log(true, &shown);
  QVERIFY(!shown);
  QCOMPARE(f.Find<QStatusBar>("statusBar")->currentMessage(), "Drive command log: " + QString::fromStdString(log));
  f.Click("btnQuickInfo");
  QVERIFY(std::filesystem::exists(log));
  const auto size = std::filesystem::file_size(log);
  QVERIFY2(size > 1000, qPrintable(QString::number(size)));
  set_log(false, &shown);
  QVERIFY(shown);
  f.Click("btnQuickInfo");
  QCOMPARE(std::filesystem::file_size(log), size);
  if (state_before.isNull()) {
    qunsetenv("XDG_STATE_HOME");
  } else {
    qputenv("XDG_STATE_HOME", state_before);
  }
}

void WindowTest::StartupOptions_data() {
  QTest::addColumn<QStringList>("arguments");
  QTest::addColumn<QString>("outcome");  // driver|no pass-through|paths, or the error
  QTest::newRow("none") << QStringList{} << "|0|";
  QTest::newRow("driver") << QStringList{"--driver", "/x/lib.so", "a", "b"} << "/x/lib.so|0|a,b";
  QTest::newRow("no virtual") << QStringList{"--no-virtual"} << QString(kNoDriverLibrary) + "|0|";
  QTest::newRow("no pass-through") << QStringList{"--no-pass-through"} << "|1|";
  QTest::newRow("log") << QStringList{"--log", "a"} << "|0|a";
  QTest::newRow("driver without path") << QStringList{"--driver"} << "--driver takes a library's path";
  QTest::newRow("both") << QStringList{"--no-virtual", "--driver", "l.so"} << "--no-virtual and --driver exclude each other";
  QTest::newRow("unknown") << QStringList{"--fast"} << "unknown option --fast";
  QTest::newRow("help") << QStringList{"-h"} << "help";
  QTest::newRow("version") << QStringList{"--version", "a"} << "version";
}

void WindowTest::StartupOptions() {
  QFETCH(QStringList, arguments);
  QFETCH(QString, outcome);
  std::string error;
  const std::optional<demo::TStartupOptions> options =
      demo::ParseStartupOptions(QStringList{"orvex-demo"} + arguments, error);
  const QString got = options ? QString::fromStdString(options->Driver) + "|" + (options->NoPassThrough ? "1" : "0") +
                                    "|" + options->Paths.join(',')
                              : QString::fromStdString(error);
  QCOMPARE(got, outcome);
  // The drive command log only when asked for.
  if (options && arguments.contains("--log")) {
    QVERIFY(QString::fromStdString(options->DebugLog).endsWith("/orvex/orvexp.log"));
  } else if (options) {
    QCOMPARE(options->DebugLog, std::string());
  }
}

}  // namespace orvex::test

QTEST_MAIN(orvex::test::WindowTest)
#include "window_test.moc"
