// GET CONFIGURATION: the profile list and the features the drive has, each
// marked current when the loaded medium uses it.
#include <algorithm>
#include <functional>

#include "vburner/drive.h"

namespace orvex::vburner {

namespace {

struct Feature {
  uint16_t code;
  uint8_t version;
  bool persistent;
  bool current;
  Bytes data;
};

bool AnyOf(const std::vector<uint16_t>& profiles, const std::function<bool(uint16_t)>& has) {
  return std::any_of(profiles.begin(), profiles.end(), has);
}

bool In(uint16_t profile, std::initializer_list<uint16_t> set) {
  return std::find(set.begin(), set.end(), profile) != set.end();
}

bool FamilyIs(uint16_t p, Family family) {
  const ProfileInfo* info = FindProfile(p);
  return info != nullptr && info->family == family;
}

// The Data Block Types Supported bitmap: mode 1 and mode 2 form 1, 2048 bytes.
constexpr uint16_t kDataBlockTypes = 0x0500;

}  // namespace

void Drive::GetConfiguration(Command& c) {
  using namespace profile;
  const uint8_t request_type = c.cdb[1] & 0x03;
  const uint16_t starting = static_cast<uint16_t>(Get16(&c.cdb[2]));
  if (request_type == 3) Fail(kInvalidFieldInCdb);

  const bool loaded = medium_ && !tray_open_ && config_.Reads(medium_->state().profile);
  const uint16_t current = loaded ? medium_->state().profile : kNone;
  const auto reads = [this](uint16_t p) { return config_.Reads(p); };
  const auto writes = [this](uint16_t p) { return config_.Writes(p); };
  const auto reads_any = [&](std::initializer_list<uint16_t> set) { return AnyOf(set, reads); };
  const auto writes_any = [&](std::initializer_list<uint16_t> set) { return AnyOf(set, writes); };
  const auto reads_family = [&](Family f) {
    return std::any_of(AllProfiles().begin(), AllProfiles().end(),
                       [&](const ProfileInfo& p) { return p.family == f && reads(p.number); });
  };
  // A write feature is current only when the drive writes the medium it
  // holds: a reader of that medium has the feature but cannot use it now.
  const auto writing = [&](std::initializer_list<uint16_t> set) { return In(current, set) && writes(current); };
  const uint8_t bit = 1;
  const auto flag = [](bool b, uint8_t value) { return static_cast<uint8_t>(b ? value : 0); };

  std::vector<Feature> features;
  {
    Bytes list;
    std::vector<uint16_t> profiles;
    for (const ProfileInfo& p : AllProfiles())
      if (reads(p.number)) profiles.push_back(p.number);
    std::sort(profiles.rbegin(), profiles.rend());
    for (uint16_t p : profiles) {
      uint8_t* d = Grow(list, 4);
      Put16(d, p);
      d[2] = flag(p == current, 0x01);
    }
    features.push_back({0x0000, 0, true, true, list});
  }
  features.push_back({0x0001, 2, true, true, {0, 0, 0, 1, 0x03, 0, 0, 0}});  // SCSI family; INQ2, DBE
  features.push_back({0x0003, 2, true, true, {0x39, 0, 0, 0}});  // tray, load, eject, lock
  {
    Bytes d(8, 0);
    Put32(&d[0], kBlockSize);
    Put16(&d[4], loaded ? BlockingFactor(InfoOf(medium_->state()).family) : 1);
    d[6] = 0x01;  // PP
    features.push_back({0x0010, 0, false, loaded, d});
  }
  if (reads_family(Family::kCd)) features.push_back({0x001E, 2, false, FamilyIs(current, Family::kCd), {0, 0, 0, 0}});
  if (reads_family(Family::kDvd))
    features.push_back({0x001F, 2, false, FamilyIs(current, Family::kDvd), {bit, 0, 0, 0}});  // MULTI110
  if (writes_any({kDvdRam, kDvdPlusRw, kBdRe})) {
    Bytes d(12, 0);
    const bool now = writing({kDvdRam, kDvdPlusRw, kBdRe});
    Put32(&d[0], now && medium_->state().capacity != 0 ? medium_->state().capacity - 1 : 0);
    Put32(&d[4], kBlockSize);
    Put16(&d[8], now ? BlockingFactor(InfoOf(medium_->state()).family) : 16);
    d[10] = 0x01;
    features.push_back({0x0020, 1, false, now, d});
  }
  if (writes_any({kCdR, kCdRw, kDvdR, kDvdRwSequential})) {
    Bytes d(8, 0);
    Put16(&d[0], kDataBlockTypes);
    d[2] = flag(config_.underrun_protection, 0x01) | 0x04;  // BUF, TRIO
    d[3] = 1;                                              // one link size
    d[4] = FamilyIs(current, Family::kCd) ? 7 : 16;
    features.push_back({0x0021, 1, false, writing({kCdR, kCdRw, kDvdR, kDvdRwSequential}), d});
  }
  if (writes_any({kDvdPlusRw, kDvdRwSequential, kDvdRwRestricted, kDvdRam, kBdRe}))
    features.push_back({0x0023, 0, false, writing({kDvdPlusRw, kDvdRwSequential, kDvdRwRestricted, kDvdRam, kBdRe}),
                        {flag(writes(kBdRe), 0x01), 0, 0, 0, 0, 0, 0, 0}});
  if (writes_any({kDvdRam, kBdRe}))
    features.push_back({0x0024, 1, false, writing({kDvdRam, kBdRe}), {0x80, 0, 0, 0}});  // SSA
  if (writes(kDvdRwRestricted)) features.push_back({0x0026, 0, false, current == kDvdRwRestricted, {}});
  if (reads(kDvdPlusRw))
    features.push_back({0x002A, 1, false, current == kDvdPlusRw, {flag(writes(kDvdPlusRw), 0x01), 0, 0, 0}});
  if (reads(kDvdPlusR))
    features.push_back({0x002B, 1, false, current == kDvdPlusR, {flag(writes(kDvdPlusR), 0x01), 0, 0, 0}});
  if (writes_any({kCdR, kCdRw})) {
    Bytes d{static_cast<uint8_t>(flag(config_.underrun_protection, 0x40) | flag(config_.test_write, 0x04) |
                                 flag(writes(kCdRw), 0x02)),
            0, 0, 0};
    Put16(&d[2], kDataBlockTypes);
    features.push_back({0x002D, 2, false, writing({kCdR, kCdRw}), d});
  }
  if (writes_any({kDvdR, kDvdRwSequential, kDvdRwRestricted}))
    features.push_back({0x002F, 2, false, writing({kDvdR, kDvdRwSequential}),
                        {static_cast<uint8_t>(flag(config_.underrun_protection, 0x40) |
                                              flag(config_.test_write, 0x04) |
                                              flag(writes_any({kDvdRwSequential, kDvdRwRestricted}), 0x02)),
                         0, 0, 0}});
  if (reads(kDvdPlusRDl))
    features.push_back({0x003B, 0, false, current == kDvdPlusRDl, {flag(writes(kDvdPlusRDl), 0x01), 0, 0, 0}});
  if (reads_family(Family::kBd)) {
    Bytes d(24, 0);
    Put16(&d[4], reads(kBdRe) ? 0x0002 : 0);
    Put16(&d[12], reads_any({kBdRSequential, kBdRRandom}) ? 0x0002 : 0);
    Put16(&d[20], reads(kBdRom) ? 0x0002 : 0);
    features.push_back({0x0040, 0, false, FamilyIs(current, Family::kBd), d});
  }
  if (writes_any({kBdRSequential, kBdRe})) {
    Bytes d(20, 0);
    Put16(&d[4], writes(kBdRe) ? 0x0002 : 0);
    Put16(&d[12], writes(kBdRSequential) ? 0x0002 : 0);
    features.push_back({0x0041, 0, false, writing({kBdRSequential, kBdRe}), d});
  }
  if (reads_family(Family::kHdDvd))
    features.push_back({0x0050, 0, false, FamilyIs(current, Family::kHdDvd),
                        {flag(reads(kHdDvdR), 0x01), 0, flag(reads(kHdDvdRam), 0x01), 0}});
  if (writes_any({kHdDvdR, kHdDvdRam}))
    features.push_back({0x0051, 0, false, writing({kHdDvdR, kHdDvdRam}),
                        {flag(writes(kHdDvdR), 0x01), 0, flag(writes(kHdDvdRam), 0x01), 0}});
  // Stream writing, write speed descriptors, page 2Ah speeds, SET CD SPEED,
  // READ BUFFER CAPACITY in blocks.
  features.push_back({0x0107, 4, false, true, {static_cast<uint8_t>(0x1E | flag(config_.WritesAny(), 0x01)), 0, 0, 0}});

  Bytes out(8, 0);
  Put16(&out[6], current);
  for (const Feature& f : features) {
    const bool wanted = request_type == 2 ? f.code == starting : f.code >= starting && (request_type == 0 || f.current);
    if (!wanted) continue;
    uint8_t* h = Grow(out, 4);
    Put16(h, f.code);
    h[2] = static_cast<uint8_t>(f.version << 2 | (f.persistent ? 0x02 : 0) | (f.current ? 0x01 : 0));
    h[3] = static_cast<uint8_t>(f.data.size());
    out.insert(out.end(), f.data.begin(), f.data.end());
  }
  Put32(&out[0], static_cast<uint32_t>(out.size() - 4));
  c.Respond(std::move(out), Get16(&c.cdb[7]));
}

}  // namespace orvex::vburner
