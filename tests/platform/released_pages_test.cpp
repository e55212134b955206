// SPDX-License-Identifier: Apache-2.0
// Released pages read as zeros; every byte in a page only partly inside the
// range keeps its value.
#include <gtest/gtest.h>

#include <sys/mman.h>
#include <unistd.h>

#include <cstring>

#include "platform/released_pages.h"

namespace orvex {
namespace {

TEST(ReleasedPages, OnlyWholePagesInsideTheRangeAreLost) {
  const size_t page = static_cast<size_t>(sysconf(_SC_PAGESIZE));
  struct TCase {
    size_t offset, size;  // of the range, from the start of the first page
  };
  const TCase cases[] = {
      {0, 0},                        // nothing
      {1, page - 2},                 // inside one page
      {0, page},                     // exactly one page
      {1, 2 * page},                 // one whole page between two parts
      {page / 2, 3 * page},          // two whole pages
      {0, 4 * page},                 // the whole buffer
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(testing::Message() << c.offset << "+" << c.size);
    // Mapped by hand so that the pages are whole and nothing else lives there.
    void* mapped = mmap(nullptr, 4 * page, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    ASSERT_NE(mapped, MAP_FAILED);
    auto* buffer = static_cast<uint8_t*>(mapped);
    std::memset(buffer, 0xAB, 4 * page);
    ReleasePages(buffer + c.offset, c.size);
    const size_t first = (c.offset + page - 1) / page * page;
    const size_t end = (c.offset + c.size) / page * page;
    for (size_t i = 0; i < 4 * page; ++i) {
      const bool released = i >= first && i < end;
      if (buffer[i] != (released ? 0 : 0xAB)) {
        ADD_FAILURE() << "byte " << i << " is " << int{buffer[i]};
        break;
      }
    }
    munmap(mapped, 4 * page);
  }
}

}  // namespace
}  // namespace orvex
