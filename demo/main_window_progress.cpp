// SPDX-License-Identifier: Apache-2.0
// The main window's progress: the 50 ms poll of a running job's counters
// and the erase indicator.
#include <QLabel>
#include <QProgressBar>

#include "demo/captions.h"
#include "demo/main_window.h"
#include "demo/number_format.h"
#include "demo/widgets.h"

namespace orvex::demo {
namespace {

std::string Megabytes(uint32_t blocks) { return FormatNumber(blocks * 2048.0 / 1024 / 1024, 2, true); }

// "D/T MB" while nothing is done, else "D/T MB (P%" and what follows.
QString SizeText(uint32_t done, uint32_t total, const std::string& tail) {
  std::string text = Megabytes(done) + "/" + Megabytes(total) + " MB";
  if (done != 0) {
    const double percent = total == 0 ? 0.0 : done * 100.0 / total;
    text += " (" + FormatNumber(percent, 2, false) + "%" + tail;
  }
  return QString::fromStdString(text);
}

}  // namespace

void TfrmMain::tmrWriteTimer() { ShowProgress(orvex.ComponentStatus()); }

void TfrmMain::ShowProgress(uint16_t status) {
  if (status == 11) {
    const uint32_t total = orvex.SmartReferencesSize(), done = orvex.SmartReferencesProgress();
    ShowOf(pb, done, total);
    lblSize->setText(SizeText(done, total, ")"));
  } else if (status == 10) {
    const uint32_t total = orvex.VerifySize(), done = orvex.VerifyProgress();
    const uint16_t speed = orvex.BMReadSpeed();
    ShowOf(pb, done, total);
    lblSize->setText(SizeText(done, total, ") @ " + FormatNumber(speed, 2, false) + " KB/s"));
    pbWriteSpeed->setValue(speed < pbWriteSpeed->maximum() ? speed : pbWriteSpeed->maximum());
  } else if (status == 1 || status == 4) {
    const uint32_t total = orvex.ImageSize(), done = orvex.BlocksWritten();
    const uint16_t speed = orvex.BMWriteSpeed();
    ShowOf(pb, done, total);
    lblSize->setText(SizeText(done, total, ") @ " + FormatNumber(speed, 2, false) + " KB/s"));
    pbWriteSpeed->setValue(speed < pbWriteSpeed->maximum() ? speed : pbWriteSpeed->maximum());
    ShowOf(scs, orvex.CachePosition(), uint64_t{orvex.CacheSize()} * 1048576);
    ShowOf(dbs, orvex.DeviceBufferPosition(), orvex.DeviceBufferSize());
  }
  lblStatus->setText(StatusCaption(status));
}

// The busy indicator while a disc is erased: the bar runs up and down.
void TfrmMain::tmrEraseTimer() {
  pb->setValue(pb->value() + erase_step_);
  if (pb->value() >= 100) erase_step_ = -1;
  if (pb->value() <= 0) erase_step_ = 1;
  lblStatus->setText(StatusCaption(orvex.ComponentStatus()));
}

}  // namespace orvex::demo
