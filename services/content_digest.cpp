// SPDX-License-Identifier: Apache-2.0
#include "services/content_digest.h"

#include <algorithm>

#include "pipeline/content_reader.h"
#include "services/md5_stream.h"

namespace orvex {

std::string DigestContent(TFileEntry& entry, TObject* sender, uint8_t* buffer,
                          const std::function<bool(uint32_t bytes)>& piece) {
  TContentReader reader;
  if (!reader.Open(entry, sender)) return {};
  TMD5Stream md5;
  const uint64_t size = static_cast<uint64_t>(entry.FileSize);
  while (reader.Position() < size) {
    const auto want = static_cast<uint32_t>(std::min<uint64_t>(size - reader.Position(), kDigestPieceBytes));
    if (!reader.Read(buffer, want)) return {};
    md5.Write(buffer, static_cast<int32_t>(want));
    if (!piece(want)) return {};
  }
  std::string digest = md5.DigestString();
  // Content that changed since it was added is not the content laid out.
  if (!reader.Changed()) entry.Hash = digest;
  return digest;
}

}  // namespace orvex
