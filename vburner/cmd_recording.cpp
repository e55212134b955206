// SPDX-License-Identifier: Apache-2.0
// Preparing and finishing media: FORMAT UNIT, RESERVE TRACK, CLOSE
// TRACK/SESSION, BLANK and SEND OPC INFORMATION.
// With the immediate bit the drive answers at once and stays not ready
// until the operation ends; without it the command itself takes that long.
#include "vburner/drive.h"
#include "vburner/formatting.h"

namespace orvex::vburner {

void Drive::FormatUnit(Command& c) {
  MediumState& s = RequireWritable();
  if ((c.cdb[1] & 0x10) == 0 || (c.cdb[1] & 0x07) != 1) Fail(kInvalidFieldInCdb);  // FmtData, format code 1
  const uint8_t* header = c.TakeDataOut(4);
  if (Get16(&header[2]) != 8) Fail(kInvalidFieldInParameterList);
  const uint8_t* list = c.TakeDataOut(12);
  // The header's options, Immed among them, count only with FOV set.
  const bool immediate = (list[1] & 0x80) != 0 && (list[1] & 0x02) != 0;
  const FormatRequest request{static_cast<uint8_t>(list[8] >> 2), static_cast<uint8_t>(list[8] & 0x03),
                              Get32(&list[4]), Get24(&list[9])};
  const Operation op = StartFormat(s, request);
  background_.reset();
  RunOperation(op, immediate);
}

void Drive::ReserveTrack(Command& c) {
  MediumState& s = RequireWritable();
  if ((c.cdb[1] & 0x01) != 0) Fail(kInvalidFieldInCdb);  // reservation by address is not offered
  ModelFor(s).Reserve(s, Get32(&c.cdb[5]));
  SaveOrFail();
}

void Drive::CloseTrackSession(Command& c) {
  MediumState& s = RequireWritable();
  const bool immediate = (c.cdb[1] & 0x01) != 0;
  Operation op = ModelFor(s).Close(s, c.cdb[2] & 0x07, static_cast<uint16_t>(Get16(&c.cdb[4])), CurrentWriteMode());
  // Closing writes out the buffer first.
  op.duration_us += BufferFlushTime();
  RunOperation(op, immediate);
}

void Drive::Blank(Command& c) {
  MediumState& s = RequireWritable();
  const bool immediate = (c.cdb[1] & 0x10) != 0;
  const Operation op = ModelFor(s).Blank(s, c.cdb[1] & 0x07);
  background_.reset();
  RunOperation(op, immediate);
}

// With DoOpc the drive calibrates its writing power for the current speed;
// without it the host hands back OPC table entries (a speed and its OPC
// value, 8 bytes each) that an earlier calibration reported.  The
// emulation has no laser to tune: both only succeed on a medium this drive
// writes, as a writer's would.
void Drive::SendOpcInformation(Command& c) {
  RequireWritable();
  const uint32_t length = Get16(&c.cdb[7]);
  if (length % 8 != 0) Fail(kParameterListLengthError);
  c.TakeDataOut(length);
}

}  // namespace orvex::vburner
