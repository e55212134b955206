// SPDX-License-Identifier: Apache-2.0
#include "services/disc_tree.h"

#include <string_view>
#include <utility>
#include <vector>

#include "drive/medium_inspection.h"
#include "drive/read_retry.h"
#include "image/image_layout.h"
#include "image/iso_records.h"
#include "platform/text_conversion.h"
#include "services/disc_session.h"
#include "services/session_import.h"
#include "services/volume_records.h"
#include "tree/tree_walk.h"

namespace orvex {
namespace {

// The name a component gets when a volume's tree is read back: the
// identifier as written, decoded as an import decodes it; where the import
// took the primary tree's Rock Ridge names, the exact name its NM carries
// (unless the import could not take it: one holding a separator).
std::u16string ReadBackName(const TFileEntry& e, const TImportReport& read) {
  if (read.rock_ridge && read.names == TNameEncoding::Primary) {
    std::u16string exact = e.Posix && !e.Posix->Name.empty() ? Utf8ToUtf16(e.Posix->Name) : e.LongName;
    if (exact.find_first_of(std::u16string_view(u"\\/", 2)) == std::u16string::npos) return exact;
  }
  const TIsoTree tree =
      read.names == TNameEncoding::Ucs2 ? JolietTree() : PrimaryTree(read.names == TNameEncoding::EightBit);
  const std::string identifier = e.DirRecord != nullptr ? tree.Identifier(*e.DirRecord) : tree.Identifier(e);
  return DecodeIdentifier({reinterpret_cast<const uint8_t*>(identifier.data()), identifier.size()}, read.names);
}

// Every file below the root, each with its path.
void WalkFiles(TContentTree& tree, const std::function<std::u16string(const TFileEntry&)>& name,
               const std::function<void(TFileEntry&, const std::u16string&)>& visit) {
  WalkPaths(tree.RootDir, name, [&](TFileEntry& e, const std::u16string& path) {
    if (e.DirRecord == nullptr) visit(e, path);
  });
}

}  // namespace

TDiscTree ReadDiscTree(TSCSIDevice& Device, uint8_t SessionNo, const std::atomic<bool>& stop) {
  TDiscTree read;
  // Finding the session asks the drive several things: it must answer.
  WaitUntilAnswering(Device, stop);
  read.session = SessionNumberOf(Device, SessionNo);
  const std::optional<TDiscSession> located = LocateSession(Device, read.session);
  if (!located) return read;
  // The session's entries are imported into a tree of their own: the
  // reader's bounds checks and name rules apply as for any import.
  TImageLayout scratch;
  scratch.ClearAll();
  TDiscSectorReader disc(Device, located->end, stop);
  read.report = ImportVolume(scratch, disc, located->start, scratch.RootDir);
  WalkFiles(scratch, [](const TFileEntry& e) { return e.LongName; },
       [&](TFileEntry& e, const std::u16string& path) {
         read.files[path] = {e.FileSize == 0 ? 0 : e.Address, e.FileSize};
       });
  return read;
}

void ForEachDiscPath(TContentTree& tree, const TImportReport& read,
                     const std::function<void(TFileEntry& file, const std::u16string& path)>& visit) {
  WalkFiles(tree, [&read](const TFileEntry& e) { return ReadBackName(e, read); }, visit);
}

}  // namespace orvex
