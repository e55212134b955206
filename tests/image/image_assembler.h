// SPDX-License-Identifier: Apache-2.0
// A test-only image builder: turns a prepared layout into a whole image file
// in the layout's order (header, boot image, UDF file structures, file data
// with zero filler, zeros up to TotalImageSize, the closing anchor), so that
// the layout and the structure writers can be judged by real readers.  The
// pipeline's images must equal this one's byte for byte.
#ifndef ORVEX_TESTS_IMAGE_IMAGE_ASSEMBLER_H_
#define ORVEX_TESTS_IMAGE_IMAGE_ASSEMBLER_H_

#include <string>

#include "image/image_layout.h"

namespace orvex::test {

// Generates the header and writes the image to `path`.  Returns an empty
// string on success, else what went wrong.
std::string AssembleImage(TImageLayout& layout, const std::string& path);

}  // namespace orvex::test

#endif  // ORVEX_TESTS_IMAGE_IMAGE_ASSEMBLER_H_
