// SPDX-License-Identifier: Apache-2.0
#include "demo/main_window.h"

#include <QAction>
#include <QCheckBox>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QListView>
#include <QMenu>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSocketNotifier>
#include <QSplitter>
#include <QStatusBar>
#include <QStorageInfo>
#include <QTimer>
#include <QTreeView>
#include <QUrl>
#include <QVBoxLayout>

#include "demo/captions.h"
#include "demo/options_dialog.h"
#include "demo/path_list.h"
#include "demo/widgets.h"

namespace orvex::demo {
namespace {

// The README of the installation the program belongs to, else the one of
// the source tree it was built from.
QString ReadmePath() {
  const QString installed = QCoreApplication::applicationDirPath() + "/" ORVEX_README_FROM_BIN;
  return QFileInfo::exists(installed) ? installed : ORVEX_README;
}

QPushButton* Button(const char* name, const char* caption) { return Named<QPushButton>(name, caption); }

// The roots the drive browser offers: the home folder, the root, and every
// mounted file system that is ready.
QStringList BrowserRoots() {
  QStringList roots{QDir::homePath(), QDir::rootPath()};
  for (const QStorageInfo& volume : QStorageInfo::mountedVolumes()) {
    if (volume.isValid() && volume.isReady() && !roots.contains(volume.rootPath())) roots << volume.rootPath();
  }
  return roots;
}

}  // namespace

TfrmMain::TfrmMain(const TStartupOptions& startup, TfrmOptions& options, TDialogs& dialogs)
    : QMainWindow(nullptr), TComponent(nullptr), options_(options), dialogs_(dialogs) {
  setObjectName("frmMain");
  CreateControls();
  WireComponent();
  FormCreate(startup);
}

// The path list's model tells its end to the window, which is half gone
// by then.
TfrmMain::~TfrmMain() { QObject::disconnect(files->model(), nullptr, this, nullptr); }

void TfrmMain::CreateControls() {
  tmrWrite = Named<QTimer>("tmrWrite", this);
  tmrWrite->setInterval(50);
  connect(tmrWrite, &QTimer::timeout, this, &TfrmMain::tmrWriteTimer);
  tmrErase = Named<QTimer>("tmrErase", this);
  tmrErase->setInterval(200);
  connect(tmrErase, &QTimer::timeout, this, &TfrmMain::tmrEraseTimer);
  // A disc put in or taken out shows beside the target within that time.
  tmrMedium = Named<QTimer>("tmrMedium", this);
  tmrMedium->setInterval(2000);
  connect(tmrMedium, &QTimer::timeout, this, &TfrmMain::PollMedium);
  tmrMedium->start();

  auto* splitter = new QSplitter(Qt::Horizontal);
  splitter->addWidget(BrowserPane());
  splitter->addWidget(LayoutPane());
  splitter->setStretchFactor(0, 2);
  splitter->setStretchFactor(1, 5);
  setCentralWidget(splitter);
  // Where the end of every job is told until the next one starts.
  setStatusBar(Named<QStatusBar>("statusBar"));
  resize(1280, 800);
}

// The drive, folder and file browsers, the drag sources of the path list.
QWidget* TfrmMain::BrowserPane() {
  DriveComboBox1 = Named<QComboBox>("DriveComboBox1");
  DriveComboBox1->addItems(BrowserRoots());

  dirModel_ = new QFileSystemModel(this);
  dirModel_->setFilter(QDir::AllDirs | QDir::NoDotAndDotDot | QDir::Hidden);
  lbDir = Named<QTreeView>("lbDir");
  lbDir->setModel(dirModel_);
  for (int column = 1; column < dirModel_->columnCount(); ++column) lbDir->hideColumn(column);
  lbDir->header()->hide();
  lbDir->setDragEnabled(true);
  lbDir->setDragDropMode(QAbstractItemView::DragOnly);

  fileModel_ = new QFileSystemModel(this);
  fileModel_->setFilter(QDir::Files | QDir::NoDotAndDotDot | QDir::Hidden);
  lbFiles = Named<QListView>("lbFiles");
  lbFiles->setModel(fileModel_);
  lbFiles->setSelectionMode(QAbstractItemView::ExtendedSelection);
  lbFiles->setDragEnabled(true);
  lbFiles->setDragDropMode(QAbstractItemView::DragOnly);

  // The folder tree shows what lies below the chosen root (the user's home
  // at the start), the file list the folder last clicked.
  const auto show_folder = [this](const QString& path) { lbFiles->setRootIndex(fileModel_->setRootPath(path)); };
  const auto show_root = [this, show_folder](const QString& root) {
    lbDir->setRootIndex(dirModel_->setRootPath(root));
    show_folder(root);
  };
  connect(DriveComboBox1, &QComboBox::currentTextChanged, this, show_root);
  connect(lbDir, &QTreeView::clicked, this,
          [this, show_folder](const QModelIndex& index) { show_folder(dirModel_->filePath(index)); });
  show_root(DriveComboBox1->currentText());

  auto* files_split = new QSplitter(Qt::Vertical);
  files_split->addWidget(lbDir);
  files_split->addWidget(lbFiles);
  auto* pane = new QGroupBox("Folders and files (drag them to the list)");
  auto* layout = new QVBoxLayout(pane);
  layout->addWidget(DriveComboBox1);
  layout->addWidget(files_split, 1);
  return pane;
}

// The target, the speed, the paths to burn, the log, progress and actions.
QWidget* TfrmMain::LayoutPane() {
  cbDrives = Named<TDropDownList>("cbDrives");
  cbDrives->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
  connect(cbDrives, &QComboBox::currentIndexChanged, this, &TfrmMain::cbDrivesChange);
  cbSpeed = Named<TDropDownList>("cbSpeed");
  cbSpeed->setSizeAdjustPolicy(QComboBox::AdjustToContents);
  cbSpeed->OnDropDown = [this] { cbSpeedDropDown(); };
  auto* target = new QHBoxLayout;
  target->addWidget(new QLabel("Target:"));
  target->addWidget(cbDrives, 1);
  lblMedium = Named<QLabel>("lblMedium");
  lblMedium->setToolTip("What the chosen drive holds");
  target->addWidget(lblMedium);
  target->addWidget(new QLabel("Speed:"));
  target->addWidget(cbSpeed);

  files = Named<TPathList>("files");
  files->setToolTip("Folders and files to burn; a double click removes a line");
  chkSavePath = Named<QCheckBox>("chkSavePath", "Save Path");
  bGSR = Named<QCheckBox>("bGSR", "Generate Smart References");
  btnClearLayout = Button("btnClearLayout", "Clear");
  connect(btnClearLayout, &QPushButton::clicked, files, &QListWidget::clear);
  auto* layout_options = new QHBoxLayout;
  layout_options->addWidget(chkSavePath);
  layout_options->addWidget(bGSR);
  layout_options->addStretch(1);
  layout_options->addWidget(btnClearLayout);

  Memo1 = Named<QPlainTextEdit>("Memo1");
  Memo1->setReadOnly(true);
  Memo1->setContextMenuPolicy(Qt::CustomContextMenu);
  auto* ClearAll1 = Named<QAction>("ClearAll1", "Clear All", this);
  ClearAll1->setShortcut(Qt::Key_F8);
  connect(ClearAll1, &QAction::triggered, Memo1, &QPlainTextEdit::clear);
  addAction(ClearAll1);
  connect(Memo1, &QWidget::customContextMenuRequested, this, [this, ClearAll1](const QPoint& at) {
    QMenu* menu = Memo1->createStandardContextMenu();
    menu->addSeparator();
    menu->addAction(ClearAll1);
    menu->exec(Memo1->mapToGlobal(at));
    delete menu;
  });

  lMaxSpeed = Named<QLabel>("lMaxSpeed", "5125 KB/s");
  lMaxSpeed->setAlignment(Qt::AlignHCenter);
  pbWriteSpeed = Named<QProgressBar>("pbWriteSpeed");
  pbWriteSpeed->setOrientation(Qt::Vertical);
  pbWriteSpeed->setTextVisible(false);
  auto* gauge = new QVBoxLayout;
  gauge->addWidget(lMaxSpeed);
  gauge->addWidget(pbWriteSpeed, 1, Qt::AlignHCenter);
  gauge->addWidget(new QLabel("Speed"), 0, Qt::AlignHCenter);
  auto* log_and_gauge = new QHBoxLayout;
  log_and_gauge->addWidget(Memo1, 1);
  log_and_gauge->addLayout(gauge);

  auto* pane = new QWidget;
  auto* layout = new QVBoxLayout(pane);
  layout->addLayout(target);
  layout->addWidget(new QLabel("Paths to burn (drop folders and files here):"));
  layout->addWidget(files, 2);
  pbDiscRoom = Named<QProgressBar>("pbDiscRoom");
  pbDiscRoom->setToolTip("The size of the paths to burn against the room on the target");
  layout->addWidget(pbDiscRoom);
  for (const auto changed : {&QAbstractItemModel::rowsInserted, &QAbstractItemModel::rowsRemoved}) {
    connect(files->model(), changed, this, &TfrmMain::UpdateDiscRoom);
  }
  connect(files->model(), &QAbstractItemModel::modelReset, this, &TfrmMain::UpdateDiscRoom);
  layout->addLayout(layout_options);
  layout->addLayout(log_and_gauge, 3);
  layout->addWidget(ProgressPane());
  layout->addWidget(ActionPanel());
  return pane;
}

QWidget* TfrmMain::ProgressPane() {
  lblStatus = Named<QLabel>("lblStatus", " CD : ");
  lblSize = Named<QLabel>("lblSize");
  pb = Named<QProgressBar>("pb");
  scs = Named<QProgressBar>("scs");
  dbs = Named<QProgressBar>("dbs");
  auto* pane = new QWidget;
  auto* grid = new QGridLayout(pane);
  grid->setContentsMargins(0, 0, 0, 0);
  grid->addWidget(lblStatus, 0, 0);
  grid->addWidget(lblSize, 0, 1, Qt::AlignRight);
  grid->addWidget(pb, 1, 0, 1, 2);
  grid->addWidget(new QLabel("Cache:"), 2, 0);
  grid->addWidget(scs, 2, 1);
  grid->addWidget(new QLabel("Drive buffer:"), 3, 0);
  grid->addWidget(dbs, 3, 1);
  grid->setColumnStretch(1, 1);
  return pane;
}

// The action buttons on their panel; a click on the panel itself logs the
// disc's volume label.
QWidget* TfrmMain::ActionPanel() {
  btnLoad = Button("btnLoad", "Load");
  btnEject = Button("btnEject", "Eject");
  btnQuickErase = Button("btnQuickErase", "Quick Erase");
  btnFullErase = Button("btnFullErase", "Full Erase");
  btnQuickInfo = Button("btnQuickInfo", "Quick Info");
  btnBurn = Button("btnBurn", "Burn");
  btnBurnISO = Button("btnBurnISO", "Burn ISO");
  btnVerify = Button("btnVerify", "Verify");
  btnOtherOptions = Button("btnOtherOptions", "Other Options");
  btnAbortBurn = Button("btnAbortBurn", "Abort");
  btnAbortBurn->hide();
  // Keyboard shortcuts for the jobs, told in their tool tips.
  for (const auto& [button, keys] : std::initializer_list<std::pair<QPushButton*, QKeySequence>>{
           {btnBurn, QKeySequence(Qt::CTRL | Qt::Key_B)},       {btnBurnISO, QKeySequence(Qt::CTRL | Qt::Key_I)},
           {btnVerify, QKeySequence(Qt::CTRL | Qt::Key_R)},     {btnQuickInfo, QKeySequence(Qt::CTRL | Qt::Key_Q)},
           {btnOtherOptions, QKeySequence(Qt::CTRL | Qt::Key_O)}, {btnAbortBurn, QKeySequence(Qt::Key_Escape)}}) {
    button->setShortcut(keys);
    button->setToolTip(button->text() + " (" + keys.toString(QKeySequence::NativeText) + ")");
  }
  connect(btnLoad, &QPushButton::clicked, this, &TfrmMain::btnLoadClick);
  connect(btnEject, &QPushButton::clicked, this, &TfrmMain::btnEjectClick);
  connect(btnQuickErase, &QPushButton::clicked, this, [this] { StartErase(true); });
  connect(btnFullErase, &QPushButton::clicked, this, [this] { StartErase(false); });
  connect(btnQuickInfo, &QPushButton::clicked, this, &TfrmMain::btnQuickInfoClick);
  connect(btnBurn, &QPushButton::clicked, this, &TfrmMain::btnBurnClick);
  connect(btnBurnISO, &QPushButton::clicked, this, &TfrmMain::btnBurnISOClick);
  connect(btnVerify, &QPushButton::clicked, this, &TfrmMain::btnVerifyClick);
  connect(btnOtherOptions, &QPushButton::clicked, this, &TfrmMain::btnOtherOptionsClick);
  connect(btnAbortBurn, &QPushButton::clicked, this, &TfrmMain::btnAbortBurnClick);

  Label2 = Named<QLabel>("Label2", "<a href=\"readme\">About Orvex</a>");
  Label2->setToolTip("Opens Orvex's README");
  connect(Label2, &QLabel::linkActivated, this,
          [] { QDesktopServices::openUrl(QUrl::fromLocalFile(ReadmePath())); });

  Panel5 = Named<TClickPanel>("Panel5");
  Panel5->setFrameShape(QFrame::StyledPanel);
  Panel5->setToolTip("Click here (beside the buttons) for the disc's volume label");
  Panel5->OnClick = [this] { Panel5Click(); };
  auto* grid = new QGridLayout(Panel5);
  int column = 0;
  for (QPushButton* button : {btnLoad, btnEject, btnQuickErase, btnFullErase, btnQuickInfo}) {
    grid->addWidget(button, 0, column++);
  }
  column = 0;
  for (QPushButton* button : {btnBurn, btnBurnISO, btnVerify, btnOtherOptions, btnAbortBurn}) {
    grid->addWidget(button, 1, column++);
  }
  grid->addWidget(Label2, 0, column, 2, 1, Qt::AlignCenter);
  return Panel5;
}

// The component's settings and events; its queue is read whenever its
// handle turns readable.
void TfrmMain::WireComponent() {
  orvex.SetReplaceFile(true);
  orvex.SetVolumeID("Velmont");
  orvex.SetCacheSize(64);
  orvex.SetUDFBridge(false);
  // Nothing the insertions leave out goes without a word in the log.
  orvex.SetOnInsertIssue([this](const TInsertIssue& issue) {
    if (!measuring_) Log(">>> LEFT OUT: " + QString::fromStdU16String(issue.Path));
  });
  orvex.SetOnWriteDone([this](TObject*, uint8_t, bool failed) { orvexWriteDone(failed); });
  orvex.SetOnEraseDone([this](TObject*, uint8_t, bool failed) { orvexEraseDone(failed); });
  orvex.SetOnVerifyDone([this](TObject*, uint8_t, int32_t file, bool failed) { orvexVerifyDone(file, failed); });
  orvex.SetOnGenerateSmartReferencesDone(
      [this](TObject*, bool failed, int32_t saves) { orvexGenerateSmartReferencesDone(failed, saves); });
  notifier_ = new QSocketNotifier(orvex.NotificationHandle(), QSocketNotifier::Read, this);
  connect(notifier_, &QSocketNotifier::activated, this, [this] { orvex.ProcessMessages(); });
}

void TfrmMain::UpdateControls(bool Enabled) {
  for (QWidget* control : std::initializer_list<QWidget*>{cbDrives, cbSpeed, btnLoad, btnEject, btnQuickErase,
                                                           btnFullErase, btnQuickInfo, btnOtherOptions, btnBurnISO,
                                                           btnBurn, btnVerify}) {
    control->setEnabled(Enabled);
  }
}

void TfrmMain::Log(const QString& line) { Memo1->appendPlainText(line); }

void TfrmMain::LogStamped(const QString& message) { Log(QString::fromStdString(LogTimeStamp()) + message); }

// A job that still runs is stopped; the component's end waits for its
// threads.
void TfrmMain::closeEvent(QCloseEvent* event) {
  if (orvex.JobRunning()) orvex.AbortOperation();
  event->accept();
}

}  // namespace orvex::demo
