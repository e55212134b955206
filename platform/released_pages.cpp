// SPDX-License-Identifier: Apache-2.0
#include "platform/released_pages.h"

#include <sys/mman.h>
#include <unistd.h>

namespace orvex {

void ReleasePages(uint8_t* begin, size_t size) {
  static const uintptr_t page = static_cast<uintptr_t>(sysconf(_SC_PAGESIZE));
  const uintptr_t start = (reinterpret_cast<uintptr_t>(begin) + page - 1) & ~(page - 1);
  const uintptr_t end = (reinterpret_cast<uintptr_t>(begin) + size) & ~(page - 1);
  // Advice only: where the system declines, the memory simply stays.
  if (start < end) madvise(reinterpret_cast<void*>(start), end - start, MADV_DONTNEED);
}

}  // namespace orvex
