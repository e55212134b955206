#include "services/session_import.h"

#include "image/component_status.h"
#include "services/image_file_reader.h"
#include "services/import_directory.h"
#include "services/volume_search.h"

namespace orvex {
namespace {

// Holds ComponentStatus at "importing" for the life of the guard.
class TImportStatus {
 public:
  explicit TImportStatus(TImageLayout& layout) : layout_(layout) {
    layout_.ComponentStatus = kStatusImporting;
  }
  ~TImportStatus() { layout_.ComponentStatus = kStatusIdle; }
  TImportStatus(const TImportStatus&) = delete;
  TImportStatus& operator=(const TImportStatus&) = delete;

 private:
  TImageLayout& layout_;
};

}  // namespace

bool ImportVolume(TImageLayout& layout, TSectorReader& source, uint32_t session_start,
                  pDirEntry dest) {
  TImportStatus status(layout);
  const std::optional<TVolumeTree> tree = FindVolumeTree(source, session_start);
  if (!tree) return false;
  ImportDirectory(layout, source, tree->extent, tree->data_length, dest, tree->encoding);
  return true;
}

bool MountISOImage(TImageLayout& layout, const std::string& ISOFileName) {
  const pDirEntry root = layout.FindDir(u"\\");
  if (root == nullptr) return false;
  TImageFileReader image;
  if (!image.Open(ISOFileName)) return false;
  return ImportVolume(layout, image, 0, root);
}

}  // namespace orvex
