// SPDX-License-Identifier: Apache-2.0
#include "cli/write_refusal.h"

#include <cstdio>
#include <string_view>

#include "cli/drive_access.h"
#include "cli/json_report.h"
#include "cli/messages.h"

namespace orvex::cli {
namespace {

// The additional sense code of a drive that holds no medium; its
// qualifier 02h says the tray is open.
constexpr uint32_t kNoMediumAsc = 0x3A;
constexpr uint32_t kTrayOpenAscq = 0x02;
// DiscStatus: a complete disc takes no more sessions.
constexpr int kDiscComplete = 2;

std::string MiB(uint32_t blocks) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f MiB", blocks * 2048.0 / 1048576.0);
  return text;
}

}  // namespace

const char* ObstacleKey(TWriteObstacle obstacle) {
  switch (obstacle) {
    case TWriteObstacle::kTrayOpen:
      return "tray_open";
    case TWriteObstacle::kNoDisc:
      return "no_disc";
    case TWriteObstacle::kFinalized:
      return "finalized";
    case TWriteObstacle::kMediumNotWritable:
      break;
  }
  return "medium_not_writable";
}

TWriteObstacle FindWriteObstacle(TOrvex& disc) {
  disc.ErrorNumber();  // what the refusal left pending is not the answer to come
  if (!disc.TestUnitReady()) {
    // A drive error's number is the sense's code and qualifier.
    const uint32_t code = disc.ErrorNumber();
    if ((code >> 8) == kNoMediumAsc) {
      return (code & 0xFF) == kTrayOpenAscq ? TWriteObstacle::kTrayOpen : TWriteObstacle::kNoDisc;
    }
  }
  // A pressed disc is complete too, but was never written by anyone.
  if (std::string_view(MediumName(disc.DiscIs())).ends_with("ROM")) return TWriteObstacle::kMediumNotWritable;
  if (disc.DiscStatus() == kDiscComplete) return TWriteObstacle::kFinalized;
  return TWriteObstacle::kMediumNotWritable;
}

std::string ObstacleText(TWriteObstacle obstacle, const std::string& medium, const std::string& drive) {
  switch (obstacle) {
    case TWriteObstacle::kTrayOpen:
      return "the tray of " + drive + " is open";
    case TWriteObstacle::kNoDisc:
      return "there is no disc in " + drive;
    case TWriteObstacle::kFinalized:
      return "the " + medium + " in " + drive + " is finalized: it takes no more sessions";
    case TWriteObstacle::kMediumNotWritable:
      break;
  }
  if (medium.empty()) return drive + " cannot write the medium in it: it does not recognise it";
  // A pressed disc is written by no drive; a recordable one that is neither
  // finalized nor unrecognised is one of a kind this drive does not write.
  if (medium.ends_with("ROM")) return drive + " cannot write the " + medium + " in it";
  return drive + " cannot write " + medium + " media";
}

std::string SpaceText(uint32_t needed, uint32_t free) {
  return std::to_string(needed) + " blocks (" + MiB(needed) + ") are needed, " + std::to_string(free) + " blocks (" +
         MiB(free) + ") are free";
}

TJson SpaceFields(uint32_t needed, uint32_t free) {
  TJson space = TJson::Object();
  space.Number("needed_blocks", needed)
      .Number("free_blocks", free)
      .Number("needed_bytes", uint64_t{needed} * 2048)
      .Number("free_bytes", uint64_t{free} * 2048);
  return space;
}

std::string WriteRefusalMessage(TOrvex& disc, const TOrvex::TErrorInfo& error, uint32_t needed) {
  if (error.Number == kErrorNotWritable) {
    const TWriteObstacle obstacle = FindWriteObstacle(disc);
    TReport::Current().ErrorFields().Text("cause", ObstacleKey(obstacle));
    const TMedium medium = disc.DiscIs();
    const std::string name = medium == TMedium::mtUNKNOWN ? "" : MediumName(medium);
    return error.Text + ": " + ObstacleText(obstacle, name, DriveLabel(disc));
  }
  if (error.Number == kErrorNoRoom) {
    const uint32_t free = disc.FreeBlocksOnDisc();
    TReport::Current().ErrorFields().Nested("space", SpaceFields(needed, free));
    return error.Text + ": " + SpaceText(needed, free);
  }
  return FailureMessage(error);
}

}  // namespace orvex::cli
