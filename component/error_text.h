// SPDX-License-Identifier: Apache-2.0
// The texts of the error numbers.
#ifndef ORVEX_COMPONENT_ERROR_TEXT_H_
#define ORVEX_COMPONENT_ERROR_TEXT_H_

#include <cstdint>
#include <string>
#include <string_view>

#include "image/component_status.h"
#include "pipeline/job_errors.h"

namespace orvex {

// Room of the buffers the texts are built in (terminator not counted).
constexpr size_t kErrorTextBytes = 256;
constexpr size_t kErrorTextUnits = 258;

// The texts of an error number; `file_name` is the file named by errors 2,
// 3, 5 and 6 (empty when none is known).  Not yet cut to the buffers.
std::string ErrorText(uint32_t number, std::u16string_view file_name);
std::u16string ErrorTextW(uint32_t number, std::u16string_view file_name);

// The name of a sense key in lower case ("medium error"); "sense key Xh"
// for the reserved ones.
std::string SenseKeyName(uint8_t key);

// How a failed drive command reads: "write error at block 123456: medium
// error, 03/0C/00" for the commands that read or write blocks ("read
// error ..."), "BLANK failed: ..." for the others, with " at block N" when
// the drive named one; the system's reason (strerror) stands in for the
// sense of a command that failed without any.  Empty when none failed.
std::string CommandFailureText(const TCommandFailure& failure);

}  // namespace orvex

#endif  // ORVEX_COMPONENT_ERROR_TEXT_H_
