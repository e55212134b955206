// SPDX-License-Identifier: Apache-2.0
// The main window's jobs: burning, building and burning images, erasing,
// verifying and finding identical files, and their end events.
#include <QCheckBox>
#include <QFileInfo>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QStatusBar>
#include <QStyle>
#include <QSystemTrayIcon>
#include <QTimer>

#include "demo/captions.h"
#include "demo/dialogs.h"
#include "demo/disc_room.h"
#include "demo/main_window.h"
#include "demo/number_format.h"
#include "demo/options_dialog.h"
#include "demo/path_list.h"
#include "demo/widgets.h"

namespace orvex::demo {
namespace {

constexpr const char* kImageFilter = "ISO9660 Image Files (*.iso *.ISO);;All Files (*)";

QString DefaultImageName() { return QString::fromStdString(HomeDirectory() + "/orvex.iso"); }

// A job's error as the log shows it: the component's text, and what the
// drive said when a command failed ("write error at block 40: medium
// error, 03/0C/00").
std::string Described(const TOrvex::TErrorInfo& error) {
  return error.Drive.Failed ? error.Text + ": " + error.Drive.Text : error.Text;
}

}  // namespace

// Every line of the path list into the root of the tree: a folder with
// everything below it, a file as it is.
void TfrmMain::InsertLayout() {
  for (const QString& line : files->Paths()) {
    const QFileInfo info(line);
    const std::string path = line.toStdString();
    if (info.isDir()) {
      if (orvex.InsertDir("\\", path, "*.*", true, chkSavePath->isChecked()) == nullptr && !measuring_) {
        Log("Failed or Skipped at ... " + line);
      }
    } else if (info.isFile()) {
      orvex.InsertFile("\\", path);
    }
  }
}

// The size bar: the tree the path list makes, laid out, against the room
// on the target.  Not while a job runs (the tree is the job's then).
void TfrmMain::UpdateDiscRoom() {
  if (starting_ || orvex.JobRunning()) return;
  content_blocks_ = 0;
  if (files->count() > 0) {
    orvex.ClearAll();
    measuring_ = true;
    InsertLayout();
    measuring_ = false;
    content_blocks_ = orvex.Prepare();
  }
  ShowDiscRoom();
}

// The last measured size against the free space of the disc in the chosen
// drive or, for an image file, against the common media; red when it does
// not fit.  The tree is left alone: after a job it is still the one a
// verify compares with.
void TfrmMain::ShowDiscRoom() {
  if (starting_ || orvex.JobRunning()) return;
  const std::optional<uint32_t> free = ImageFileChosen() ? std::nullopt : std::optional(orvex.FreeBlocksOnDisc());
  const TDiscRoom room = DiscRoom(content_blocks_, free);
  ShowOf(pbDiscRoom, content_blocks_, room.room);
  pbDiscRoom->setFormat(room.text);
  pbDiscRoom->setProperty("fits", room.fits);
  pbDiscRoom->setStyleSheet(room.fits ? "" : "QProgressBar::chunk { background-color: #c0392b; }");
}

// The speed gauge's top, the drive's speed for the job that starts.
void TfrmMain::ShowSpeedScale(uint16_t kilobytes) {
  lMaxSpeed->setText(QString::fromStdString(FormatNumber(kilobytes, 0, false) + " kB/s"));
  pbWriteSpeed->setMaximum(kilobytes);
}

// The start of a write job: progress polled, controls off, Abort shown;
// `job` names it in the status bar when it ends.
void TfrmMain::JobStarted(const char* message, const QString& job) {
  job_ = job;
  statusBar()->clearMessage();
  tmrWrite->start();
  UpdateControls(false);
  LogStamped(message);
  btnAbortBurn->show();
}

// A job that did not start: the log line, and a warning the user has to
// dismiss, both naming the reason.
void TfrmMain::Refused(const QString& log_prefix, const QString& title, const QString& reason) {
  Log(log_prefix + reason);
  dialogs_.Warn(this, title, reason);
}

void TfrmMain::btnBurnClick() {
  if (files->Paths().isEmpty()) {
    dialogs_.Warn(this, "Nothing to burn",
                  "The list of paths to burn is empty: drop folders and files on it first.");
    return;
  }
  orvex.ClearAll();
  InsertLayout();
  if (bGSR->isChecked()) {
    tmrWrite->start();
    btnAbortBurn->show();
    orvex.GenerateSmartReferences();
    return;
  }
  Burn(btnBurn);
}

void TfrmMain::Burn(QObject*) {
  if (ImageFileChosen()) {
    const std::optional<QString> name =
        dialogs_.AskText(this, "Build ISO", "Enter ISO File Name to be built", DefaultImageName());
    if (!name) return;
    orvex.Prepare();
    if (orvex.BuildISOImage(name->toStdString())) {
      JobStarted(" >>> BUILDING ISO FILE ...", "Building the image " + *name);
    } else {
      Refused(">>> BUILDING ISO FAILED. Error: ", "Image not built", QString::fromStdString(orvex.ErrorString()));
    }
    return;
  }
  if (options_.ImportSessionChecked()) {
    const std::optional<uint8_t> session = options_.ImportSessionNumber();
    if (!session) {
      Refused(">>> WRITE FAILED. Error: ", "Burn refused", "the session to import is no number from 0 to 255");
      return;
    }
    orvex.ImportSession(*session, "\\");
    // Burned without what could not be read, the new session would hide it.
    if (orvex.LastImport().found && !orvex.LastImport().Complete()) {
      Refused(">>> WRITE FAILED. Error: ", "Burn refused", QString::fromStdString(orvex.ErrorString()));
      return;
    }
  }
  ApplySelectedSpeed();
  if (options_.BootImageChecked()) orvex.SetBootImage(options_.BootImagePath().toStdString());
  ShowSpeedScale(orvex.WriteSpeed());
  orvex.Prepare();
  if (orvex.Burn()) {
    JobStarted(" >>> WRITING DISC ... ", "Writing the disc");
  } else {
    Refused(">>> WRITE FAILED. Error: ", "Burn refused", QString::fromStdString(orvex.ErrorString()));
  }
}

void TfrmMain::btnBurnISOClick() {
  const std::optional<QString> name = dialogs_.AskOpenFile(this, kImageFilter, DefaultImageName());
  if (!name) return;
  if (orvex.BurnISOImage(name->toStdString())) {
    JobStarted(" >>> WRITING ISO IMAGE TO DISC ... ", "Writing the image " + *name + " to the disc");
  } else {
    Refused(">>> WRITE ISO IMAGE START FAILED. Error: ", "Image not burned",
            QString::fromStdString(orvex.ErrorString()));
  }
}

void TfrmMain::StartErase(bool Quick) {
  if (!orvex.TestUnitReady()) return Log(">>> DRIVE NOT READY.");
  if (!orvex.Erasable()) return Log(">>> DISC IS NOT ERASABLE.");
  UpdateControls(false);
  ApplySelectedSpeed();
  pb->setMaximum(100);
  Log(">>> ERASING DISC ...");
  job_ = Quick ? "Quick erasing the disc" : "Erasing the whole disc";
  statusBar()->clearMessage();
  orvex.EraseDisc(Quick);
  erase_step_ = 2;
  tmrErase->start();
}

void TfrmMain::btnVerifyClick() {
  ShowSpeedScale(orvex.ReadSpeed());
  job_ = "Verifying the disc";
  statusBar()->clearMessage();
  tmrWrite->start();
  orvex.VerifyDisc(true, true);
  btnAbortBurn->show();
}

void TfrmMain::btnAbortBurnClick() { orvex.AbortOperation(); }

void TfrmMain::btnOtherOptionsClick() {
  options_.SetDriveLogChecked(drive_log_);
  options_.Edit(orvex);
  if (options_.DriveLogChecked() != drive_log_) SetDriveLog(options_.DriveLogChecked());
}

// The drive layer's command log on or off while the program runs; the
// status bar says where it goes or why it could not be created.
void TfrmMain::SetDriveLog(bool on) {
  const QString path = QString::fromStdString(UserStateDirectory() + "/orvexp.elg");
  if (!on) {
    orvex.DeviceCan(73);
    drive_log_ = false;
    statusBar()->showMessage("Drive command log off");
  } else if (orvex.DeviceCan(72)) {
    drive_log_ = true;
    statusBar()->showMessage("Drive command log: " + path);
  } else {
    statusBar()->showMessage("The drive command log could not be created as " + path);
  }
}

void TfrmMain::orvexGenerateSmartReferencesDone(bool Failed, int32_t CanSaveBytes) {
  if (Failed) {
    Log(" >>> SMART REFERENCE GENERATION FAILED, ABORTING");
    job_ = "Finding identical files";
    JobEnded(true, "failed, nothing was written");
    return;
  }
  tmrWriteTimer();
  LogStamped(" >>> SMART REFERENCE GENERATION DONE, SAVES " + QString::number(CanSaveBytes / 1048576) + " MB");
  tmrWrite->stop();
  Burn(this);
}

// The end of any job: the last counters shown, the progress bar full when
// it succeeded (where it stopped when not), the speed gauge and the status
// caption back at rest, the controls back, and the outcome in the status
// bar.
void TfrmMain::JobEnded(bool failed, const QString& outcome) {
  tmrWriteTimer();
  tmrWrite->stop();
  tmrErase->stop();
  if (!failed) pb->setValue(pb->maximum());
  pbWriteSpeed->setValue(0);
  lblStatus->setText(StatusCaption(orvex.ComponentStatus()));
  btnAbortBurn->hide();
  UpdateControls(true);
  const QString told = job_ + ": " + outcome;
  statusBar()->showMessage(told);
  // A user looking at another window learns it from the desktop's
  // notifications, where it has them.
  if (!isActiveWindow() && QSystemTrayIcon::isSystemTrayAvailable() && QSystemTrayIcon::supportsMessages()) {
    if (tray_ == nullptr) {
      tray_ = new QSystemTrayIcon(style()->standardIcon(QStyle::SP_DriveCDIcon), this);
      connect(tray_, &QSystemTrayIcon::messageClicked, tray_, &QSystemTrayIcon::hide);
    }
    tray_->show();
    tray_->showMessage(windowTitle(), told, failed ? QSystemTrayIcon::Warning : QSystemTrayIcon::Information);
  }
  DescribeMedium();
}

void TfrmMain::orvexWriteDone(bool WriteFailed) {
  if (WriteFailed) {
    const std::string error = Described(orvex.TakeError());
    LogStamped(QString::fromStdString(" >>> WRITE DONE WITH ERROR (" + error + ")."));
    JobEnded(true, QString::fromStdString("failed (" + error + ")"));
  } else {
    LogStamped(" >>> WRITE DONE.");
    JobEnded(false, "done");
  }
}

void TfrmMain::orvexEraseDone(bool EraseFailed) {
  if (EraseFailed) {
    const std::string error = Described(orvex.TakeError());
    Log(QString::fromStdString(">>> ERASE DONE WITH ERROR (" + error + ")."));
    pb->setValue(0);  // the busy indicator's position means nothing
    JobEnded(true, QString::fromStdString("failed (" + error + ")"));
  } else {
    Log(">>> ERASE DONE.");
    JobEnded(false, "done");
  }
}

void TfrmMain::orvexVerifyDone(int32_t FileId, bool Failed) {
  if (FileId == -1) {
    // A read error, an abort or a session the disc does not show is told
    // as such; files that only differ leave no error.
    const TOrvex::TErrorInfo error = Failed ? orvex.TakeError() : TOrvex::TErrorInfo{};
    if (error.Number != 0) {
      const std::string described = Described(error);
      Log(QString::fromStdString("VERIFYING DONE WITH ERROR (" + described + ")"));
      JobEnded(true, QString::fromStdString("failed (" + described + ")"));
    } else {
      Log(Failed ? "VERIFYING DONE, AT LEAST ONE FILE FAILED" : "VERIFYING DONE, ALL FILES OKAY");
      JobEnded(Failed, Failed ? "done, at least one file differs from its source" : "done, every file is as its source");
    }
    return;
  }
  Log(QString(Failed ? "VERIFY FAILED FOR " : "VERIFYING DONE FOR ") + QString::fromStdU16String(orvex.FileName(FileId)));
}

}  // namespace orvex::demo
