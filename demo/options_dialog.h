// SPDX-License-Identifier: Apache-2.0
// The "Miscellaneous Options" dialog: the component's settings, copied in
// before it shows and back when it closes (whichever button closed it),
// and the two settings the main window reads only when it burns: the
// session to import and the boot image.
#ifndef ORVEX_DEMO_OPTIONS_DIALOG_H_
#define ORVEX_DEMO_OPTIONS_DIALOG_H_

#include <QDialog>

#include <optional>

#include "component/orvex.h"

class QCheckBox;
class QLineEdit;
class QToolButton;

namespace orvex::demo {

class TDialogs;

class TfrmOptions final : public QDialog {
  Q_OBJECT
 public:
  TfrmOptions(TDialogs& dialogs, QWidget* parent = nullptr);

  // Copies the component's settings in, shows the dialog modally, and
  // copies them back: the five check boxes, the volume label (wide form)
  // and the cache size (2 when the text is no decimal number).
  void Edit(TOrvex& disc);

  // Read by the main window's Burn.
  bool ImportSessionChecked() const;
  // The session number to import; nothing when the text is no number
  // from 0 to 255.
  std::optional<uint8_t> ImportSessionNumber() const;
  bool BootImageChecked() const;
  QString BootImagePath() const;
  // Whether the drive layer's command log is to be written; the main
  // window sets it before Edit and acts on it after.
  bool DriveLogChecked() const;
  void SetDriveLogChecked(bool checked);

 private:
  void CopyIn(TOrvex& disc);
  void CopyBack(TOrvex& disc) const;
  void SpeedButton1Click();

  TDialogs& dialogs_;
  QLineEdit* edtVolumeID;
  QLineEdit* edtCacheSize;
  QCheckBox* chkTestWrite;
  QCheckBox* chkUDFBridge;
  QCheckBox* chkFinalizeDisc;
  QCheckBox* chkJolietFS;
  QCheckBox* chkUnderrunProtection;
  QCheckBox* chkImportSession;
  QLineEdit* edtImportSession;
  QCheckBox* chkBootImage;
  QLineEdit* edtBootImage;
  QCheckBox* chkDriveLog;
  QToolButton* SpeedButton1;
};

}  // namespace orvex::demo

#endif  // ORVEX_DEMO_OPTIONS_DIALOG_H_
