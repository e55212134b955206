// SPDX-License-Identifier: Apache-2.0
#include "services/session_import.h"

#include <optional>
#include <vector>

#include "services/image_file_reader.h"
#include "services/import_directory.h"
#include "services/import_names.h"
#include "services/import_status.h"
#include "services/volume_search.h"

namespace orvex {
namespace {

// Where a volume whose primary descriptor states `stated` sectors ends.  A
// later session's addresses count from block 0, and so does its size as
// most writers state it; some state only the session's own size, which
// then counts from the session's start.  A size not above the start can
// only be such a size; one above it is read as counting from block 0, at
// worst ending the volume early, which no check here fails on.
uint32_t VolumeEnd(uint32_t stated, uint32_t session_start) {
  if (stated == 0 || stated > session_start) return stated;
  return session_start + stated;
}

}  // namespace

TImportReport ImportVolume(TImageLayout& layout, TSectorReader& source, uint32_t session_start,
                           pDirEntry dest) {
  TImportStatus status(layout);
  TImportReport report;
  report.source_sectors = source.SectorCount();
  const std::optional<TVolumeTree> tree = FindVolumeTree(source, session_start);
  if (!tree) return report;
  report.found = true;
  report.names = tree->encoding;
  if (tree->unreadable_descriptor) ++report.damaged;
  report.volume_sectors = VolumeEnd(tree->volume_sectors, session_start);
  // Rock Ridge lives in the primary tree.  Read through it, its NM names
  // are the entries' names; read through Joliet or ISO 9660:1999, the names
  // stay that tree's (as before Rock Ridge was read) and the attributes come
  // from the primary tree's records of the same files.
  std::optional<TRockRidgeReading> rock;
  if (tree->primary_extent != 0) {
    if (const auto volume = DetectRockRidge(source, tree->primary_extent)) {
      rock = TRockRidgeReading{*volume, tree->encoding == TNameEncoding::Primary};
    }
  }
  report.rock_ridge = rock.has_value();
  std::vector<TImportedDirectory> walked;
  ImportDirectory(layout, source, tree->extent, tree->data_length, dest, tree->encoding, report, &walked,
                  rock && rock->names ? &*rock : nullptr);
  // The primary tree's names are only read for the 8.3 names (and Rock
  // Ridge attributes) that go with the long ones: what it lacks does not
  // make the import incomplete.
  std::optional<TContentTree> primary;
  if ((tree->encoding != TNameEncoding::Primary || rock) && tree->primary_extent != 0) {
    primary.emplace();
    primary->ClearAll();
    TImportReport copy;
    std::optional<TRockRidgeReading> attributes = rock;
    if (attributes) attributes->names = false;
    ImportDirectory(*primary, source, tree->primary_extent, tree->primary_data_length, primary->RootDir,
                    TNameEncoding::Primary, copy, nullptr, attributes ? &*attributes : nullptr);
    if (!rock || !rock->names) report.rock_damaged += copy.rock_damaged;
  }
  NameImportedEntries(layout, walked, primary ? &*primary : nullptr);
  return report;
}

TImportReport MountISOImage(TImageLayout& layout, const std::string& ISOFileName, uint32_t session_start) {
  const pDirEntry root = layout.FindDir(u"\\");
  if (root == nullptr) return {};
  TImageFileReader image;
  if (!image.Open(ISOFileName)) return {};
  return ImportVolume(layout, image, session_start, root);
}

}  // namespace orvex
