// SPDX-License-Identifier: Apache-2.0
// What the tool does with media files outside a drive: make one from an
// image, copy sessions back out as image files, describe the state.
#ifndef ORVEX_VBURNER_MEDIA_FILES_H_
#define ORVEX_VBURNER_MEDIA_FILES_H_

#include <cstdint>
#include <string>

#include "vburner/medium.h"
#include "vburner/profiles.h"

namespace orvex::vburner {

// A read-only profile refers to the image in place; a recordable one gets
// a copy of the image as one track of one closed session, finalized.  A
// medium already at `medium_path` is replaced, unless a drive holds it.
bool ImportImage(const std::string& medium_path, const ProfileInfo& profile, const std::string& image,
                 std::string& error);

// Session 0: the whole recorded area from block 0 on.  Refused while a
// drive holds the medium, whose file may not show all it has recorded.
bool ExportImage(const std::string& medium_path, uint32_t session, const std::string& image, std::string& error);
// The same from a medium already open (the one a drive holds, say).
bool ExportImage(const Medium& medium, uint32_t session, const std::string& image, std::string& error);

// Empty with `error` set when the medium cannot be read.
std::string DescribeMedium(const std::string& medium_path, std::string& error);

}  // namespace orvex::vburner

#endif  // ORVEX_VBURNER_MEDIA_FILES_H_
