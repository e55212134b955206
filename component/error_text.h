// Error numbers, their texts, and the status values of the component.
#ifndef ORVEX_COMPONENT_ERROR_TEXT_H_
#define ORVEX_COMPONENT_ERROR_TEXT_H_

#include <cstdint>
#include <string>
#include <string_view>

namespace orvex {

// Job errors.  Any other non-zero number is a drive error: additional sense
// code x 256 + qualifier (never below 256).
enum TErrorNumber : uint32_t {
  kErrorNone = 0,
  kErrorNotPrepared = 1,   // no current layout, or the producer stopped on an abort
  kErrorOpening = 2,       // a source file or the image to burn cannot be opened
  kErrorCreating = 3,      // the image file cannot be created
  kErrorAborted = 4,       // AbortOperation
  kErrorReading = 5,       // a source cannot be read, or reads short of its size
  kErrorWriting = 6,       // the image file cannot be written
};

// ComponentStatus values.
enum TComponentStatus : uint16_t {
  kStatusIdle = 0,
  kStatusWriting = 1,
  kStatusErasing = 2,
  kStatusBackgroundFormat = 3,
  kStatusClosingSession = 4,
  kStatusClosingDisc = 5,  // reserved: no job sets it
  kStatusPreparing = 6,
  kStatusAborting = 7,
  kStatusImporting = 8,
  kStatusBurnError = 9,
  kStatusVerifying = 10,
  kStatusSmartReferences = 11,
};

// Room of the buffers the texts are built in (terminator not counted).
constexpr size_t kErrorTextBytes = 256;
constexpr size_t kErrorTextUnits = 258;

// The texts of an error number; `file_name` is the file named by errors 2,
// 3, 5 and 6 (empty when none is known).  Not yet cut to the buffers.
std::string ErrorText(uint32_t number, std::u16string_view file_name);
std::u16string ErrorTextW(uint32_t number, std::u16string_view file_name);

}  // namespace orvex

#endif  // ORVEX_COMPONENT_ERROR_TEXT_H_
