// SPDX-License-Identifier: Apache-2.0
#include "demo/options_dialog.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QToolButton>
#include <QVBoxLayout>

#include "demo/dialogs.h"
#include "demo/widgets.h"

namespace orvex::demo {

TfrmOptions::TfrmOptions(TDialogs& dialogs, QWidget* parent)
    : QDialog(parent),
      dialogs_(dialogs),
      edtVolumeID(Named<QLineEdit>("edtVolumeID", "Velmont")),
      edtCacheSize(Named<QLineEdit>("edtCacheSize", "2")),
      chkTestWrite(Named<QCheckBox>("chkTestWrite", "Test Write")),
      chkUDFBridge(Named<QCheckBox>("chkUDFBridge", "UDF Bridge")),
      chkFinalizeDisc(Named<QCheckBox>("chkFinalizeDisc", "Finalize Disc")),
      chkJolietFS(Named<QCheckBox>("chkJolietFS", "Joliet File System")),
      chkUnderrunProtection(Named<QCheckBox>("chkUnderrunProtection", "Underrun Protection")),
      chkImportSession(Named<QCheckBox>("chkImportSession", "Import Session")),
      edtImportSession(Named<QLineEdit>("edtImportSession", "0")),
      chkBootImage(Named<QCheckBox>("chkBootImage", "Boot Image")),
      edtBootImage(Named<QLineEdit>("edtBootImage")),
      chkDriveLog(Named<QCheckBox>("chkDriveLog", "Drive Command Log")),
      SpeedButton1(Named<QToolButton>("SpeedButton1")) {
  setObjectName("frmOptions");
  setWindowTitle("Miscellaneous Options");
  setModal(true);
  chkUDFBridge->setChecked(true);
  chkFinalizeDisc->setChecked(true);
  chkJolietFS->setChecked(true);
  chkUnderrunProtection->setChecked(true);
  edtBootImage->setReadOnly(true);
  edtBootImage->setMinimumWidth(320);
  SpeedButton1->setText("...");
  SpeedButton1->setToolTip("Choose the boot image");
  connect(SpeedButton1, &QToolButton::clicked, this, &TfrmOptions::SpeedButton1Click);

  auto* form = new QFormLayout;
  form->addRow("Volume Label:", edtVolumeID);
  form->addRow("Cache Size (MB):", edtCacheSize);
  auto* checks = new QVBoxLayout;
  for (QCheckBox* box : {chkTestWrite, chkUDFBridge, chkFinalizeDisc, chkJolietFS, chkUnderrunProtection}) {
    checks->addWidget(box);
  }
  auto* session = new QHBoxLayout;
  session->addWidget(chkImportSession);
  session->addWidget(edtImportSession, 1);
  auto* boot = new QHBoxLayout;
  boot->addWidget(chkBootImage);
  boot->addWidget(edtBootImage, 1);
  boot->addWidget(SpeedButton1);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(form);
  layout->addLayout(checks);
  layout->addLayout(session);
  layout->addLayout(boot);
  chkDriveLog->setToolTip("Writes every command sent to the drive to orvexp.elg in the user's state directory");
  layout->addWidget(chkDriveLog);
  layout->addWidget(buttons);
}

void TfrmOptions::Edit(TOrvex& disc) {
  CopyIn(disc);
  exec();
  CopyBack(disc);
}

void TfrmOptions::CopyIn(TOrvex& disc) {
  chkTestWrite->setChecked(disc.TestWrite());
  chkUDFBridge->setChecked(disc.UDFBridge());
  chkFinalizeDisc->setChecked(disc.FinalizeDisc());
  chkJolietFS->setChecked(disc.JolietFileSystem());
  chkUnderrunProtection->setChecked(disc.BurnProof());
  edtVolumeID->setText(QString::fromStdString(disc.VolumeID()));
  edtCacheSize->setText(QString::number(disc.CacheSize()));
  edtBootImage->setText(QString::fromStdString(disc.BootImage()));
  if (!edtBootImage->text().isEmpty()) chkBootImage->setChecked(true);
}

void TfrmOptions::CopyBack(TOrvex& disc) const {
  disc.SetTestWrite(chkTestWrite->isChecked());
  disc.SetUDFBridge(chkUDFBridge->isChecked());
  disc.SetFinalizeDisc(chkFinalizeDisc->isChecked());
  disc.SetJolietFileSystem(chkJolietFS->isChecked());
  disc.SetBurnProof(chkUnderrunProtection->isChecked());
  disc.SetVolumeIDW(edtVolumeID->text().toStdU16String());
  bool ok = false;
  const uint32_t cache = edtCacheSize->text().trimmed().toUInt(&ok, 10);
  disc.SetCacheSize(ok ? cache : 2);
}

bool TfrmOptions::ImportSessionChecked() const { return chkImportSession->isChecked(); }

std::optional<uint8_t> TfrmOptions::ImportSessionNumber() const {
  bool ok = false;
  const int number = edtImportSession->text().trimmed().toInt(&ok, 10);
  if (!ok || number < 0 || number > 255) return std::nullopt;
  return static_cast<uint8_t>(number);
}

bool TfrmOptions::BootImageChecked() const { return chkBootImage->isChecked(); }

QString TfrmOptions::BootImagePath() const { return edtBootImage->text(); }

bool TfrmOptions::DriveLogChecked() const { return chkDriveLog->isChecked(); }

void TfrmOptions::SetDriveLogChecked(bool checked) { chkDriveLog->setChecked(checked); }

void TfrmOptions::SpeedButton1Click() {
  if (const std::optional<QString> chosen = dialogs_.AskOpenFile(this, "All Files (*)", edtBootImage->text())) {
    edtBootImage->setText(*chosen);
  }
}

}  // namespace orvex::demo
