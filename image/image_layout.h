// The layout half of the content record: the options that choose the file
// systems, the volume label, the boot image and the image size, on top of
// the content tree.
#ifndef ORVEX_IMAGE_IMAGE_LAYOUT_H_
#define ORVEX_IMAGE_IMAGE_LAYOUT_H_

#include <atomic>
#include <cstdint>
#include <string>

#include "tree/content_tree.h"

namespace orvex {

// A volume label holds at most this many characters.
constexpr size_t kVolumeLabelChars = 31;

class TImageLayout : public TContentTree {
 public:
  std::u16string VolumeLabelW;  // at most 31 units
  std::string VolumeLabel;      // its 8-bit form, at most 31 bytes

  bool JolietFS = false;        // write the Joliet tree
  bool UDFBridge = false;       // write the UDF bridge
  bool ISO9660v1999FS = false;  // long names in the primary tree, plus the 1999 descriptor

  std::atomic<uint16_t> ComponentStatus{0};  // the phase, see component/error_text.h
  std::atomic<uint32_t> TotalImageSize{0};   // blocks of the whole image

  std::string BootImage;  // path of the El Torito boot image; empty: not bootable
  int32_t BootImageSize = 0;

  // Takes `path` as the boot image when it can be opened and its size is one
  // of the accepted ones (IsBootImageSize); otherwise clears the boot image
  // and returns false.  An empty path clears it and returns true.
  bool SetBootImage(const std::string& path);

  // The tree's ClearAll, and the boot image cleared.
  void ClearAll();
};

}  // namespace orvex

#endif  // ORVEX_IMAGE_IMAGE_LAYOUT_H_
