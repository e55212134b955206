// SPDX-License-Identifier: Apache-2.0
// libFuzzer target for the image import: the input is a whole image, read
// as untrusted sectors into a fresh tree.  Besides every crash, leak and
// undefined behaviour the sanitizers catch, an entry that breaks the
// import's rules (see FirstFault) stops the run.
#include <cstdio>
#include <cstdlib>

#include "image/image_layout.h"
#include "services/import_checks.h"
#include "services/session_import.h"
#include "services/test_volume.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static orvex::TImageLayout layout;
  orvex::test::TTestVolume volume = orvex::test::TTestVolume::FromBytes(data, size);
  layout.ClearAll();
  orvex::ImportVolume(layout, volume, 0, layout.RootDir);
  const std::string fault = orvex::test::FirstFault(layout, volume.SectorCount());
  if (!fault.empty()) {
    std::fprintf(stderr, "import_fuzzer: %s\n", fault.c_str());
    std::abort();
  }
  return 0;
}
