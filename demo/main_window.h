// SPDX-License-Identifier: Apache-2.0
// The main window of orvex-demo: it owns one burner component for its
// whole life and turns clicks into calls on it.  It shows the drives and
// the image-file entry, a list of paths to burn (dragged in from its file
// browsers or from other programs) with their size against the target's
// room, a log, the status, progress, the
// software cache's and the drive buffer's fill and the current speed.
//
// The component has the window as its owner, so its completion events
// come through its queue; a socket notifier on NotificationHandle() runs
// them on the GUI thread.  The window never waits for a job: timers poll
// the component's counters (50 ms while writing, verifying or finding
// identical files, 200 ms for the erase indicator) and, every two seconds
// while no job runs, what the chosen drive holds.
//
// Controls carry the object names of their roles (cbDrives, btnBurn,
// Memo1 ...), by which tests and accessibility tools find them.
#ifndef ORVEX_DEMO_MAIN_WINDOW_H_
#define ORVEX_DEMO_MAIN_WINDOW_H_

#include <QMainWindow>
#include <QString>

#include <cstdint>

#include "component/orvex.h"
#include "demo/startup_options.h"

class QCheckBox;
class QComboBox;
class QFileSystemModel;
class QLabel;
class QListView;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QSocketNotifier;
class QSystemTrayIcon;
class QTimer;
class QTreeView;

namespace orvex::demo {

class TClickPanel;
class TDialogs;
class TDropDownList;
class TPathList;
class TfrmOptions;

class TfrmMain final : public QMainWindow, public TComponent {
  Q_OBJECT
 public:
  // Builds the window and runs its start-up: the drive list from
  // `startup`, the image-file entry selected.  `options` is the options
  // dialog, `dialogs` asks the user for names; both outlive the window.
  TfrmMain(const TStartupOptions& startup, TfrmOptions& options, TDialogs& dialogs);
  ~TfrmMain() override;

  // Enables or disables the drive, speed and job controls together.
  void UpdateControls(bool Enabled);
  // Builds an image (image-file entry) or burns the disc in the chosen
  // drive from the tree InsertLayout made.
  void Burn(QObject* Sender);

  TOrvex& Component() { return orvex; }

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  // Construction (main_window.cpp).
  void CreateControls();
  QWidget* BrowserPane();
  QWidget* LayoutPane();
  QWidget* ProgressPane();
  QWidget* ActionPanel();
  void WireComponent();
  void Log(const QString& line);
  void LogStamped(const QString& message);

  // Drive and speed (main_window_drive.cpp).
  void FormCreate(const TStartupOptions& startup);
  bool ImageFileChosen() const;
  double MediumSpeedUnit();
  void ApplySelectedSpeed();
  void cbDrivesChange(int index);
  void cbSpeedDropDown();
  void btnLoadClick();
  void btnEjectClick();
  void btnQuickInfoClick();
  void Panel5Click();
  void PollMedium();
  void DescribeMedium();
  void ShowMedium();

  // Jobs (main_window_jobs.cpp).
  void InsertLayout();
  void UpdateDiscRoom();
  void ShowDiscRoom();
  void StartErase(bool Quick);
  void ShowSpeedScale(uint16_t kilobytes);
  void JobStarted(const char* message, const QString& job);
  void JobEnded(bool failed, const QString& outcome);
  void Refused(const QString& log_prefix, const QString& title, const QString& reason);
  void btnBurnClick();
  void btnBurnISOClick();
  void btnVerifyClick();
  void btnAbortBurnClick();
  void btnOtherOptionsClick();
  void SetDriveLog(bool on);
  void orvexWriteDone(bool WriteFailed);
  void orvexEraseDone(bool EraseFailed);
  void orvexVerifyDone(int32_t FileId, bool Failed);
  void orvexGenerateSmartReferencesDone(bool Failed, int32_t CanSaveBytes);

  // Progress (main_window_progress.cpp).
  void tmrWriteTimer();
  void tmrEraseTimer();
  void ShowProgress(uint16_t status);

  TOrvex orvex{this};
  TfrmOptions& options_;
  TDialogs& dialogs_;
  QSocketNotifier* notifier_ = nullptr;
  bool starting_ = true;   // FormCreate runs: list changes are not choices
  int erase_step_ = 2;     // the erase indicator's step
  bool measuring_ = false;  // UpdateDiscRoom fills the tree: nothing is logged
  uint32_t content_blocks_ = 0;  // the path list's size as last measured
  bool drive_log_ = false;  // the drive layer's command log is written
  bool medium_settled_ = false;  // the drive's line says what it holds, not "drive not ready"
  QString job_;            // what the running job does, as the status bar names it

  TDropDownList* cbDrives = nullptr;
  TDropDownList* cbSpeed = nullptr;
  TPathList* files = nullptr;
  QProgressBar* pbDiscRoom = nullptr;
  QCheckBox* chkSavePath = nullptr;
  QCheckBox* bGSR = nullptr;
  QPushButton* btnClearLayout = nullptr;
  QComboBox* DriveComboBox1 = nullptr;
  QTreeView* lbDir = nullptr;
  QListView* lbFiles = nullptr;
  QFileSystemModel* dirModel_ = nullptr;
  QFileSystemModel* fileModel_ = nullptr;
  QPlainTextEdit* Memo1 = nullptr;
  QLabel* lMaxSpeed = nullptr;
  QProgressBar* pbWriteSpeed = nullptr;
  QLabel* lblStatus = nullptr;
  QLabel* lblSize = nullptr;
  QProgressBar* pb = nullptr;
  QProgressBar* scs = nullptr;
  QProgressBar* dbs = nullptr;
  QPushButton* btnLoad = nullptr;
  QPushButton* btnEject = nullptr;
  QPushButton* btnQuickErase = nullptr;
  QPushButton* btnFullErase = nullptr;
  QPushButton* btnQuickInfo = nullptr;
  QPushButton* btnBurn = nullptr;
  QPushButton* btnBurnISO = nullptr;
  QPushButton* btnVerify = nullptr;
  QPushButton* btnOtherOptions = nullptr;
  QPushButton* btnAbortBurn = nullptr;
  QLabel* Label2 = nullptr;
  TClickPanel* Panel5 = nullptr;
  QTimer* tmrWrite = nullptr;
  QTimer* tmrErase = nullptr;
  QLabel* lblMedium = nullptr;
  QSystemTrayIcon* tray_ = nullptr;  // made for the first notification
  QTimer* tmrMedium = nullptr;
};

}  // namespace orvex::demo

#endif  // ORVEX_DEMO_MAIN_WINDOW_H_
