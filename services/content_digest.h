// SPDX-License-Identifier: Apache-2.0
// The MD5 digest of an entry's content, as verification and the
// smart-reference search both take it: read from the start through the one
// content reader, in pieces of at most kDigestPieceBytes.
#ifndef ORVEX_SERVICES_CONTENT_DIGEST_H_
#define ORVEX_SERVICES_CONTENT_DIGEST_H_

#include <cstdint>
#include <functional>
#include <string>

#include "tree/entries.h"

namespace orvex {

class TObject;

constexpr uint32_t kDigestPieceBytes = 65536;

// The digest text of the whole content of `entry` (FileSize bytes), read
// into `buffer` (kDigestPieceBytes long); `sender` is what a data callback
// is told.  After every piece `piece(bytes)` is told how many bytes it held
// and returns whether to go on.  Empty when the content cannot be opened or
// read whole, or `piece` stopped the reading.  A digest of content that
// matches what was recorded when the entry was added is kept in Hash; one
// of a source that changed since is returned only.
std::string DigestContent(TFileEntry& entry, TObject* sender, uint8_t* buffer,
                          const std::function<bool(uint32_t bytes)>& piece);

}  // namespace orvex

#endif  // ORVEX_SERVICES_CONTENT_DIGEST_H_
