// SPDX-License-Identifier: Apache-2.0
#include "vburner/model.h"

namespace orvex::vburner {

const MediumModel& SequentialModelInstance();
const MediumModel& OverwriteModelInstance();
const MediumModel& ReadOnlyModelInstance();

const MediumModel& ModelFor(const MediumState& s) {
  switch (InfoOf(s).model) {
    case Model::kSequential: return SequentialModelInstance();
    case Model::kOverwrite: return OverwriteModelInstance();
    case Model::kReadOnly: break;
  }
  return ReadOnlyModelInstance();
}

uint64_t WholeDiscMicroseconds(const MediumState& s, uint32_t times) {
  const uint64_t bytes_per_second = uint64_t{OneX(InfoOf(s).family)} * 1000 * times;
  return uint64_t{s.capacity} * 2048 * 1000000 / bytes_per_second;
}

Operation BlankOperation(const MediumState& s, uint8_t type, uint16_t result) {
  if (type > 1) Fail(kInvalidFieldInCdb);
  Operation op;
  op.duration_us = type == 0 ? WholeDiscMicroseconds(s, 4) : 60 * uint64_t{1000000};
  op.erase = true;
  op.finish = [result](MediumState& m) { m = BlankState(*FindProfile(result), m.capacity, false); };
  return op;
}

// Media without reservations, close functions or blanking refuse them.
void MediumModel::Reserve(MediumState&, uint32_t) const { Fail(kIncompatibleMedium); }

Operation MediumModel::Close(const MediumState&, uint8_t, uint16_t, const WriteMode&) const {
  Fail(kInvalidFieldInCdb);
}

Operation MediumModel::Blank(const MediumState&, uint8_t) const { Fail(kIncompatibleMedium); }

}  // namespace orvex::vburner
