// SPDX-License-Identifier: Apache-2.0
#include "component/error_text.h"

#include <cstdio>
#include <cstring>

#include "drive/command_names.h"
#include "platform/text_conversion.h"

namespace orvex {
namespace {

// The text of error 22, naming the device when it is known.
std::string DriveBusyText(std::u16string_view device) {
  return device.empty() ? "Drive is in use by another program"
                        : "Drive " + Utf16ToUtf8(device) + " is in use by another program";
}

// The text of error 23, naming the device when it is known.
std::string NoWriteAccessText(std::u16string_view device) {
  return device.empty() ? "No permission to write to the drive"
                        : "No permission to write to the drive " + Utf16ToUtf8(device);
}

// The opening text of the errors that name a file, or null for the others.
const char* FileErrorText(uint32_t number) {
  switch (number) {
    case kErrorOpening:
      return "Error opening file";
    case kErrorCreating:
      return "Error creating file";
    case kErrorReading:
      return "Error reading file";
    case kErrorWriting:
      return "Error writing file";
    default:
      return nullptr;
  }
}

// The texts of the drive jobs' failures that name no file, alike in both forms.
const char* BurnErrorText(uint32_t number) {
  switch (number) {
    case kErrorNotAnImage:
      return "Not an ISO 9660 image";
    case kErrorNoRoom:
      return "Not enough space on the disc";
    case kErrorNotWritable:
      return "Disc cannot be written";
    case kErrorNotBlank:
      return "Disc is not blank";
    case kErrorDriveFailed:
      return "Drive did not answer";
    case kErrorNoTestWrite:
      return "Test write not possible with this medium or drive";
    case kErrorNothingToBurn:
      return "Nothing to burn";
    case kErrorMediumNotSupported:
      return "Medium not supported for writing";
    case kErrorIncompleteSession:
      return "Disc holds an incomplete session";
    case kErrorClosingFailed:
      return "Drive could not close the session";
    case kErrorSessionUnreadable:
      return "Earlier session could not be read whole";
    case kErrorReadingDisc:
      return "Error reading the disc";
    case kErrorWrongSession:
      return "The disc's session does not hold these files";
    case kErrorClosingHalted:
      return "Aborted while closing: the disc is left as the drive has it";
    default:
      return nullptr;
  }
}

// What a failed command was doing, as the opening of its text.
std::string FailedAction(const TCommandFailure& failure) {
  switch (failure.opcode) {
    case 0x28:  // READ (10)
    case 0xA8:  // READ (12)
    case 0xBE:  // READ CD
      return "read error";
    case 0x2A:  // WRITE (10)
    case 0xAA:  // WRITE (12)
    case 0x2E:  // WRITE AND VERIFY (10)
      return "write error";
    default:
      return CommandTitle(failure.opcode) + " failed";
  }
}

}  // namespace

std::string SenseKeyName(uint8_t key) {
  static constexpr const char* kNames[16] = {
      "no sense",        "recovered error", "not ready",     "medium error",   "hardware error", "illegal request",
      "unit attention",  "data protect",    "blank check",   "vendor specific", "copy aborted",  "aborted command",
      nullptr,           "volume overflow", "miscompare",    nullptr};
  if (key < 16 && kNames[key] != nullptr) return kNames[key];
  char text[24];
  std::snprintf(text, sizeof text, "sense key %Xh", key);
  return text;
}

std::string CommandFailureText(const TCommandFailure& failure) {
  if (!failure.failed) return "";
  std::string text = FailedAction(failure);
  if (failure.has_block) text += " at block " + std::to_string(failure.block);
  if (failure.system_error != 0) return text + ": " + std::strerror(failure.system_error);
  char codes[16];
  std::snprintf(codes, sizeof codes, "%02X/%02X/%02X", failure.sense_key, failure.asc, failure.ascq);
  return text + ": " + SenseKeyName(failure.sense_key) + ", " + codes;
}

std::string ErrorText(uint32_t number, std::u16string_view file_name) {
  switch (number) {
    case kErrorNone:
      return "Unknown/No Error!";
    case kErrorNotPrepared:
      return "Data not prepared ";
    case kErrorAborted:
      return "Aborted by user";
    case kErrorDriveBusy:
      return DriveBusyText(file_name);
    case kErrorNoWriteAccess:
      return NoWriteAccessText(file_name);
    default:
      break;
  }
  if (const char* text = BurnErrorText(number)) return text;
  if (const char* text = FileErrorText(number)) {
    if (file_name.empty()) return text;
    return std::string(text) + " \\" + Utf16ToUtf8(file_name) + "\\";
  }
  return "Hardware Error " + std::to_string(number);
}

std::u16string ErrorTextW(uint32_t number, std::u16string_view file_name) {
  switch (number) {
    case kErrorNone:
      return u"Unknown/No Error!";
    case kErrorNotPrepared:
      return u"Data not prepared";
    case kErrorAborted:
      return u"Aborted by user";
    case kErrorDriveBusy:
      return Utf8ToUtf16(DriveBusyText(file_name));
    case kErrorNoWriteAccess:
      return Utf8ToUtf16(NoWriteAccessText(file_name));
    default:
      break;
  }
  if (const char* text = BurnErrorText(number)) return Utf8ToUtf16(text);
  if (const char* text = FileErrorText(number)) {
    const std::u16string wide = Utf8ToUtf16(text);
    // "Error opening file" names its file in quotes even when none is known.
    if (file_name.empty() && number != kErrorOpening) return wide;
    return wide + u" \\'" + std::u16string(file_name) + u"\\'";
  }
  return u"Hardware Error \\'" + Utf8ToUtf16(std::to_string(number));
}

}  // namespace orvex
