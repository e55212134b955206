// SPDX-License-Identifier: Apache-2.0
// The main window's drive side: the drive list, the speed list and the
// drive actions.
#include <QCheckBox>
#include <QLabel>
#include <QPushButton>

#include <cmath>

#include "demo/captions.h"
#include "demo/main_window.h"
#include "demo/number_format.h"
#include "demo/path_list.h"
#include "demo/widgets.h"

namespace orvex::demo {
namespace {

constexpr const char* kImageFileEntry = "ISOFile: Don't Burn, Save as ISO Image ...";

uint16_t RoundedSpeed(double kilobytes) { return static_cast<uint16_t>(std::lround(kilobytes)); }

}  // namespace

// The drive list: every drive, then the image-file entry, which is chosen;
// the component is left with no drive selected.
void TfrmMain::FormCreate(const TStartupOptions& startup) {
  cbSpeed->addItem("Max");
  cbSpeed->setCurrentIndex(0);
  orvex.InitializeASPI(startup.NoPassThrough, startup.Driver, startup.DebugLog);
  drive_log_ = !startup.DebugLog.empty();
  for (uint16_t index = 0; index < orvex.DeviceCount(); ++index) {
    cbDrives->addItem(QString::fromStdString(orvex.GetDeviceName(static_cast<uint8_t>(index))));
  }
  cbDrives->addItem(kImageFileEntry);
  cbDrives->setCurrentIndex(0);
  orvex.SelectDevice(static_cast<uint8_t>(cbDrives->count() - 1));
  cbDrives->setCurrentIndex(cbDrives->count() - 1);
  orvex.UnlockDrive();
  setWindowTitle(QString::fromStdString("Orvex Demo - Version " + orvex.Version()));
  files->AddPaths(startup.Paths);
  cbDrives->setFocus();
  if (orvex.DeviceCount() == 0 && !orvex.DriverLibraryProblem().empty()) {
    Log(QString::fromStdString(">>> NO DRIVE FOUND: " + orvex.DriverLibraryProblem()));
  }
  starting_ = false;
  UpdateDiscRoom();
}

bool TfrmMain::ImageFileChosen() const { return cbDrives->currentIndex() == cbDrives->count() - 1; }

double TfrmMain::MediumSpeedUnit() { return SpeedUnit(orvex.DiscIs()); }

void TfrmMain::cbDrivesChange(int index) {
  if (starting_ || index < 0) return;
  if (ImageFileChosen()) {
    btnBurn->setEnabled(true);
  } else {
    orvex.SelectDevice(static_cast<uint8_t>(index));
    btnBurn->setEnabled(orvex.DeviceIsBurner());
  }
  DescribeMedium();
}

// Rebuilt each time the list opens: "Max", then every multiple of the
// medium's 1x the drive takes, as the drive reports it back, each once.
void TfrmMain::cbSpeedDropDown() {
  const int selected = cbSpeed->currentIndex();
  cbSpeed->clear();
  cbSpeed->addItem("Max");
  const double unit = MediumSpeedUnit();
  const long top = std::lround(orvex.MaxWriteSpeed() / unit);
  for (long k = top; k >= 1; --k) {
    orvex.SetDeviceSpeed(0, RoundedSpeed(static_cast<double>(k) * unit));
    const uint16_t w = orvex.WriteSpeed();
    const QString entry = QString::fromStdString(FormatNumber(std::round(w / unit), 0, false) + "x (" +
                                                 FormatNumber(w, 0, true) + " KB/s)");
    if (cbSpeed->findText(entry) < 0) cbSpeed->addItem(entry);
  }
  cbSpeed->setCurrentIndex(selected < 0 || selected >= cbSpeed->count() ? 0 : selected);
}

// "Max" asks for the drive's maximum (0); "16x (...)" for 16 times the
// medium's 1x.
void TfrmMain::ApplySelectedSpeed() {
  const QString text = cbSpeed->currentText();
  const int k = text == "Max" ? 0 : text.left(text.indexOf('x')).toInt();
  const uint16_t speed = RoundedSpeed(k * MediumSpeedUnit());
  orvex.SetDeviceSpeed(speed, speed);
}

void TfrmMain::btnLoadClick() { orvex.LoadMedium(true); }

void TfrmMain::btnEjectClick() {
  orvex.FlushCache();
  orvex.EjectMedium(true);
}

void TfrmMain::btnQuickInfoClick() {
  const auto line = [this](const char* prefix, const std::string& answer) { Log(QString(prefix) + answer.c_str()); };
  const auto megabytes = [](uint32_t blocks) { return FormatNumber(blocks / 512.0, 2, true) + " MB"; };
  const auto speed = [](uint16_t kilobytes) { return " " + FormatNumber(kilobytes, 0, true) + " KB/s"; };
  line(">>> IS TestUnitReady? ", BoolWord(orvex.TestUnitReady()));
  Log("");
  line(">>> DISC IN DRIVE IS ", MediumIdentifier(orvex.DiscIs()));
  line(">>> IS DISC Erasable? ", BoolWord(orvex.Erasable()));
  line(">>> IS DISC Writable? ", BoolWord(orvex.Writable()));
  line(">>> SessionsOnDisc: ", std::to_string(orvex.SessionsOnDisc()));
  line(">>> GetTotalBlocksOnDisc: ", megabytes(orvex.TotalBlocksOnDisc()));
  line(">>> GetFreeBlocksOnDisc: ", megabytes(orvex.FreeBlocksOnDisc()));
  line(">>> GetMaxWriteSpeed: ", speed(orvex.MaxWriteSpeed()));
  line(">>> GetReadSpeed: ", speed(orvex.ReadSpeed()));
  line(">>> GetWriteSpeed: ", speed(orvex.WriteSpeed()));
  Log("");
  line(">>> GetDeviceMaxReadSpeed: ", speed(orvex.DeviceMaxReadSpeed()));
  line(">>> GetDeviceMaxWriteSpeed: ", speed(orvex.DeviceMaxWriteSpeed()));
  for (const TCapability& capability : QuickInfoCapabilities()) {
    Log(QString(">>> DEVICE CAPABLE OF ") + capability.name + "? " + BoolWord(orvex.DeviceCan(capability.id)));
  }
}

// Each tick of the medium timer asks the drive only for its media events
// while nothing happens.  The disc is described afresh (its line and the
// size bar) when an event says the medium changed, when the drive keeps no
// events, and while the last description found the drive becoming ready: a
// disc that finishes spinning up sends no event of its own.
void TfrmMain::PollMedium() {
  if (starting_ || orvex.JobRunning() || ImageFileChosen()) return;
  if (orvex.MediumChanged() == false && medium_settled_) return;
  ShowMedium();
  ShowDiscRoom();
}

// The description after a job and on a change of target.  The events
// waiting in the drive tell of what is described now, so they are taken
// first, and the next tick does not describe the same disc again.
void TfrmMain::DescribeMedium() {
  if (!starting_ && !orvex.JobRunning() && !ImageFileChosen()) orvex.MediumChanged();
  ShowMedium();
  ShowDiscRoom();
}

// What the chosen drive holds, beside the target: "DVD+R, appendable, 2
// sessions, 4.2 GiB free", "no disc", "tray open"; nothing for the image
// file.  The drive is asked only while no job uses it.
void TfrmMain::ShowMedium() {
  if (starting_ || orvex.JobRunning()) return;
  if (ImageFileChosen()) return lblMedium->clear();
  // A disc put in or changed may answer the first question after with a
  // unit attention.  The error of a drive that is not ready carries its
  // additional sense code and qualifier: 3A/02 tray open, 3A/xx no disc.
  const bool at_once = orvex.TestUnitReady();
  const bool ready = at_once || orvex.TestUnitReady();
  medium_settled_ = true;
  if (!at_once) {
    const uint32_t sense = orvex.TakeError().Number & 0xFFFF;  // the poll's own error, not the user's
    if (!ready) {
      medium_settled_ = (sense >> 8) == 0x3A;
      lblMedium->setText(sense == 0x3A02 ? "tray open" : (sense >> 8) == 0x3A ? "no disc" : "drive not ready");
      return;
    }
  }
  QStringList parts{MediumName(orvex.DiscIs())};
  switch (orvex.DiscStatus()) {
    case 0: parts << "blank"; break;
    case 1: parts << "appendable"; break;
    case 2: parts << "closed"; break;
    default: break;
  }
  if (const int32_t sessions = orvex.SessionsOnDisc(); sessions > 0) {
    parts << QString::number(sessions) + (sessions == 1 ? " session" : " sessions");
  }
  if (const uint32_t free = orvex.FreeBlocksOnDisc(); free > 0) {
    parts << QString::fromStdString(FormatNumber(free * 2048.0 / 1073741824, 1, false)) + " GiB free";
  }
  lblMedium->setText(parts.join(", "));
}

void TfrmMain::Panel5Click() { Log(QString::fromStdU16String(orvex.ReadVolumeLabelOfDisc(0))); }

}  // namespace orvex::demo
