// The faults a test injects (vburner.h): failing, busy and stalled
// commands, write errors and a pulled medium at a block.
#include "vburner/drive.h"

namespace orvex::vburner {

void Drive::FailNext(uint8_t opcode, uint32_t count, Sense sense) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (count == 0)
    failures_.erase(opcode);
  else
    failures_[opcode] = Failure{count, sense};
}

void Drive::ReportBusy(uint32_t count) {
  std::lock_guard<std::mutex> lock(mutex_);
  busy_count_ = count;
}

void Drive::WriteErrorAt(uint32_t lba, Sense sense) {
  std::lock_guard<std::mutex> lock(mutex_);
  write_error_ = std::make_pair(lba, sense);
}

void Drive::RemoveMediumAt(uint32_t lba) {
  std::lock_guard<std::mutex> lock(mutex_);
  remove_at_ = lba;
}

void Drive::Stall(bool stalled) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stalled_ = stalled;
  }
  wake_.notify_all();
  done_.notify_all();
}

void Drive::ClearFaults() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    failures_.clear();
    busy_count_ = 0;
    write_error_.reset();
    remove_at_.reset();
    stalled_ = false;
  }
  wake_.notify_all();
}

}  // namespace orvex::vburner
