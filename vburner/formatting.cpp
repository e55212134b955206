// SPDX-License-Identifier: Apache-2.0
// Formats: DVD+RW (26h, in the background), DVD-RAM (00h), BD-RE (00h,
// 30h, 31h), BD-R (00h and 32h, which set up spare areas) and DVD-RW (10h
// full and 15h quick, which turn a sequential disc into a restricted-
// overwrite one, and 13h, which grows the formatted area of a quick-
// formatted restricted-overwrite disc).
#include "vburner/formatting.h"

#include <algorithm>

namespace orvex::vburner {

namespace {

constexpr uint64_t kSecond = 1000000;

constexpr uint8_t kFullFormat = 0x00;
constexpr uint8_t kDvdRwFull = 0x10;
constexpr uint8_t kDvdRwQuickGrow = 0x13;
constexpr uint8_t kDvdRwQuick = 0x15;
constexpr uint8_t kDvdPlusRwBasic = 0x26;
constexpr uint8_t kBdReWithSpare = 0x30;
constexpr uint8_t kBdReWithoutSpare = 0x31;
constexpr uint8_t kBdRWithSpare = 0x32;
constexpr uint8_t kBdFullCertification = 2;  // sub-type of 30h
constexpr uint8_t kBdRRandomRecording = 2;   // sub-type of 32h; 0 and 1 keep sequential recording

// BD-R spare areas in clusters, as shares of the disc: a 25 GB disc of
// 12219392 blocks sets aside 12288 clusters by default, 4096 at the least
// and 200704 at the most.
constexpr uint32_t kBdCluster = 32;
constexpr uint64_t kBdRReferenceBlocks = 12219392;
constexpr uint32_t kBdRDefaultSpare = 12288, kBdRMinimumSpare = 4096, kBdRMaximumSpare = 200704;

// The descriptor offering `clusters` of spare area: the user blocks left
// beside them, and the spare clusters as the type-dependent parameter.
FormattableCapacity BdRSpare(const MediumState& s, uint8_t type, uint32_t reference_clusters) {
  const auto clusters = static_cast<uint32_t>(uint64_t{s.capacity} * reference_clusters / kBdRReferenceBlocks);
  return {s.capacity - clusters * kBdCluster, type, clusters};
}

bool IsBlank(const MediumState& s) {
  const DiscSummary d = ModelFor(s).Summarize(s);
  return d.status == 0;
}

Operation Formatting(uint64_t duration, bool erase) {
  Operation op;
  op.duration_us = duration;
  op.busy = kFormatInProgress;
  op.erase = erase;
  return op;
}

// The offered descriptor a request takes: of its type, the smallest that
// holds the blocks asked for (BD-R offers its types with several spare
// sizes), or any count for a DVD+RW basic format, which covers the whole disc.
const FormattableCapacity& Match(const FormatCapacities& offered, const FormatRequest& request) {
  const FormattableCapacity* match = nullptr;
  for (const FormattableCapacity& f : offered.formattable) {
    if (f.type != request.type || (request.type != kDvdPlusRwBasic && request.blocks > f.blocks)) continue;
    if (match == nullptr || f.blocks < match->blocks) match = &f;
  }
  if (match == nullptr) Fail(kInvalidFieldInParameterList);
  return *match;
}

// A BD-R formatted with spare areas keeps the user blocks the descriptor
// offered; only the disc management areas are written.
Operation FormatBdR(const FormattableCapacity& match, const FormatRequest& request) {
  if (request.type == kBdRWithSpare && request.subtype >= kBdRRandomRecording) Fail(kInvalidFieldInParameterList);
  Operation op = Formatting(10 * kSecond, false);
  op.finish = [user = match.blocks](MediumState& m) {
    m.capacity = m.formatted = user;
    m.format = FormatState::kFormatted;
  };
  return op;
}

}  // namespace

FormatCapacities ListFormatCapacities(const MediumState& s) {
  FormatCapacities c;
  c.current_blocks = InfoOf(s).model == Model::kReadOnly ? s.readable : s.capacity;
  const bool unformatted = s.format == FormatState::kUnformatted && (InfoOf(s).model == Model::kOverwrite || IsBlank(s));
  c.current_type = unformatted ? 1 : 2;
  switch (s.profile) {
    case profile::kDvdPlusRw:
      c.formattable = {{s.capacity, kDvdPlusRwBasic, 0}};
      break;
    case profile::kDvdRam:
      c.formattable = {{s.capacity, kFullFormat, 2048}};
      break;
    case profile::kBdRe:
      c.formattable = {{s.capacity, kFullFormat, 2048}, {s.capacity, kBdReWithSpare, 0}, {s.capacity, kBdReWithoutSpare, 0}};
      break;
    case profile::kBdRSequential:
      // Spare areas are set up before anything is written, or never.
      if (unformatted)
        c.formattable = {BdRSpare(s, kFullFormat, kBdRDefaultSpare), BdRSpare(s, kFullFormat, 0),
                         BdRSpare(s, kBdRWithSpare, kBdRDefaultSpare), BdRSpare(s, kBdRWithSpare, kBdRMaximumSpare),
                         BdRSpare(s, kBdRWithSpare, kBdRMinimumSpare)};
      break;
    case profile::kDvdRwSequential:
      // The full format is offered as the generic type too, which formatters ask for first.
      c.formattable = {{s.capacity, kFullFormat, kBlockSize},
                       {s.capacity, kDvdRwFull, 16},
                       {s.capacity, kDvdRwQuick, 16}};
      break;
    case profile::kDvdRwRestricted:
      // Quick growing is for a disc whose quick format left the rest of it unformatted.
      c.formattable = {{s.capacity, kDvdRwFull, 16}};
      if (s.formatted < s.capacity) c.formattable.push_back({s.capacity, kDvdRwQuickGrow, 16});
      c.formattable.push_back({s.capacity, kDvdRwQuick, 16});
      break;
    default:
      break;
  }
  return c;
}

Operation StartFormat(const MediumState& s, const FormatRequest& request) {
  const FormatCapacities offered = ListFormatCapacities(s);
  if (offered.formattable.empty()) Fail(kIncompatibleMedium);
  const FormattableCapacity& match = Match(offered, request);
  if (s.profile == profile::kBdRSequential) return FormatBdR(match, request);
  const bool unformatted = s.format == FormatState::kUnformatted;
  const bool dvd_rw = s.profile == profile::kDvdRwSequential || s.profile == profile::kDvdRwRestricted;
  const uint8_t type = dvd_rw && request.type == kFullFormat ? kDvdRwFull : request.type;
  const uint32_t blocks = std::min(request.blocks, s.capacity);

  switch (type) {
    case kDvdPlusRwBasic: {
      // The drive is ready again after the lead-in; the rest formats in
      // the background while the host may already write.
      Operation op = Formatting(2 * kSecond, false);
      if (s.format != FormatState::kFormatted) {
        op.background_us = WholeDiscMicroseconds(s, 4);
        op.finish = [](MediumState& m) {
          m.format = FormatState::kSuspended;
          m.formatted = m.capacity;
        };
      }
      return op;
    }
    case kFullFormat:
    case kBdReWithSpare:
    case kBdReWithoutSpare: {
      // DVD-RAM and a certifying BD-RE format pass over every block; a
      // quick BD-RE reformat rewrites only the disc management areas and
      // leaves the user data in place.
      const bool certify = request.type == kFullFormat || s.profile == profile::kDvdRam ||
                           (request.type == kBdReWithSpare && request.subtype == kBdFullCertification);
      const bool erase = certify || unformatted;
      Operation op = Formatting(certify ? WholeDiscMicroseconds(s, 2) : unformatted ? 60 * kSecond : 10 * kSecond, erase);
      op.finish = [erase](MediumState& m) {
        m.format = FormatState::kFormatted;
        m.formatted = m.capacity;
        if (erase) m.recorded_end = 0;
      };
      return op;
    }
    case kDvdRwFull: {
      Operation op = Formatting(WholeDiscMicroseconds(s, 1), true);
      op.finish = [](MediumState& m) {
        m = BlankState(*FindProfile(profile::kDvdRwRestricted), m.capacity, true);
      };
      return op;
    }
    case kDvdRwQuick: {
      // The quick-formatted area counts as recorded, so the next writable
      // address is its end.
      Operation op = Formatting(30 * kSecond, true);
      op.finish = [blocks](MediumState& m) {
        m = BlankState(*FindProfile(profile::kDvdRwRestricted), m.capacity, false);
        m.format = FormatState::kFormatted;
        m.formatted = m.recorded_end = blocks;
      };
      return op;
    }
    case kDvdRwQuickGrow: {
      Operation op = Formatting(10 * kSecond, false);
      op.finish = [blocks](MediumState& m) { m.formatted = blocks == 0 ? m.capacity : std::max(m.formatted, blocks); };
      return op;
    }
    default:
      break;
  }
  Fail(kInvalidFieldInParameterList);
}

}  // namespace orvex::vburner
