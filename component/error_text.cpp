#include "component/error_text.h"

#include "platform/text_conversion.h"

namespace orvex {
namespace {

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

}  // namespace

std::string ErrorText(uint32_t number, std::u16string_view file_name) {
  switch (number) {
    case kErrorNone:
      return "Unknown/No Error!";
    case kErrorNotPrepared:
      return "Data not prepared ";
    case kErrorAborted:
      return "Aborted by user";
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
