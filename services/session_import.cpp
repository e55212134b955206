#include "services/session_import.h"

#include "services/image_file_reader.h"
#include "services/import_directory.h"
#include "services/import_status.h"
#include "services/volume_search.h"

namespace orvex {

TImportReport ImportVolume(TImageLayout& layout, TSectorReader& source, uint32_t session_start,
                           pDirEntry dest) {
  TImportStatus status(layout);
  TImportReport report;
  report.source_sectors = source.SectorCount();
  const std::optional<TVolumeTree> tree = FindVolumeTree(source, session_start);
  if (!tree) return report;
  report.found = true;
  report.names = tree->encoding;
  // The volume's size counts from the session's start.
  report.volume_sectors = tree->volume_sectors == 0 ? 0 : session_start + tree->volume_sectors;
  ImportDirectory(layout, source, tree->extent, tree->data_length, dest, tree->encoding, report);
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
