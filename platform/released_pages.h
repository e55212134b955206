// SPDX-License-Identifier: Apache-2.0
// Giving memory that is still allocated back to the system: a large buffer
// read from front to back (an image header streamed into packets) need not
// hold the part already read until the whole buffer is freed.
#ifndef ORVEX_PLATFORM_RELEASED_PAGES_H_
#define ORVEX_PLATFORM_RELEASED_PAGES_H_

#include <cstddef>
#include <cstdint>

namespace orvex {

// Gives the whole memory pages within the `size` bytes at `begin` back to
// the system; the bytes around them, in pages only partly inside, stay.
// The memory remains the owner's: what was in the released pages is lost
// and reads as zeros afterwards.  Only for memory of this process's own
// heap (not a mapped file).
void ReleasePages(uint8_t* begin, size_t size);

}  // namespace orvex

#endif  // ORVEX_PLATFORM_RELEASED_PAGES_H_
