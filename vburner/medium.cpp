// SPDX-License-Identifier: Apache-2.0
#include "vburner/medium.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>

namespace orvex::vburner {

namespace {

constexpr const char* kMagic = "orvex-vburner-medium 1";

const char* FormatName(FormatState f) {
  switch (f) {
    case FormatState::kUnformatted: return "unformatted";
    case FormatState::kFormatted: return "formatted";
    case FormatState::kSuspended: return "suspended";
  }
  return "unformatted";
}

std::string Folder(const std::string& path) {
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string BaseName(const std::string& path) {
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string Resolve(const std::string& metadata_path, const std::string& backing) {
  return !backing.empty() && backing[0] == '/' ? backing : Folder(metadata_path) + backing;
}

// A recordable medium's blocks are a file beside its metadata file.
bool BesideItsMetadata(const std::string& backing) {
  return backing.find('/') == std::string::npos && backing != "." && backing != "..";
}

std::string InUse(const std::string& path) {
  return "the medium " + path + " is in use by a drive; take it out of the drive, or end the program that holds it, "
         "first";
}

// Nothing may stand at a new medium's path unless it is to be replaced,
// and a medium a drive holds is never replaced.
bool MayCreateAt(const std::string& path, Existing existing, std::string& error) {
  struct stat st {};
  if (lstat(path.c_str(), &st) != 0) return true;
  if (existing == Existing::kRefuse) {
    error = path + " exists already";
    return false;
  }
  // Whatever is not a readable medium is not in a drive either.
  std::string ignored;
  const std::unique_ptr<Medium> old = Medium::Open(path, BlockStore::Access::kInspect, ignored);
  if (old && !old->store().Share()) {
    error = InUse(path);
    return false;
  }
  return true;
}

// Rejects states the models could not work with, so that a damaged or
// hand-edited metadata file gives an error instead of wild addresses.
std::string CheckConsistent(const MediumState& s) {
  const ProfileInfo& info = InfoOf(s);
  if (s.formatted > s.capacity || s.recorded_end > s.capacity || s.readable > s.capacity)
    return "an extent lies beyond the capacity";
  if (info.model != Model::kSequential) return s.tracks.empty() ? "" : "tracks on a medium without tracks";
  uint32_t previous_end = 0;
  uint16_t previous_session = 1;
  for (const Track& t : s.tracks) {
    if (t.reserved != 0 && t.recorded > t.reserved) return "a reserved track holds more than its size";
    if (uint64_t{t.start} + t.Size() > s.capacity || t.start < previous_end) return "tracks overlap or overrun the disc";
    if (t.session < previous_session || t.session > s.closed_sessions + 1) return "track sessions out of order";
    if (!t.closed && t.session <= s.closed_sessions) return "an open track in a closed session";
    previous_end = t.End();
    previous_session = t.session;
  }
  if (s.finalized) {
    if (!s.tracks.empty() && !s.tracks.back().closed) return "an open track on a finalized disc";
  } else if (s.tracks.empty() || !s.tracks.back().Invisible() || s.tracks.back().session != s.closed_sessions + 1) {
    return "an appendable disc without its invisible track";
  }
  return "";
}

}  // namespace

const ProfileInfo& InfoOf(const MediumState& state) {
  static const ProfileInfo none{profile::kNone, "none", Family::kCd, Model::kReadOnly, 0, false};
  const ProfileInfo* p = FindProfile(state.profile);
  return p != nullptr ? *p : none;
}

MediumState BlankState(const ProfileInfo& profile, uint32_t capacity, bool formatted) {
  MediumState s;
  s.profile = profile.number;
  s.capacity = capacity;
  if (profile.model == Model::kSequential) s.tracks.push_back(Track{});
  // A restricted-overwrite DVD-RW exists only formatted: blanking makes it sequential.
  if (profile.model == Model::kOverwrite && (formatted || profile.number == profile::kDvdRwRestricted)) {
    s.format = FormatState::kFormatted;
    s.formatted = capacity;
  }
  return s;
}

std::unique_ptr<Medium> Medium::Create(const std::string& path, const ProfileInfo& profile, uint32_t blocks,
                                       bool formatted, Existing existing, std::string& error) {
  const uint32_t capacity = blocks != 0 ? blocks : profile.default_blocks;
  if (profile.model != Model::kReadOnly && capacity == 0) {
    error = "a recordable medium needs a capacity";
    return nullptr;
  }
  if (!MayCreateAt(path, existing, error)) return nullptr;
  const std::string backing = BaseName(path) + ".blocks";
  const BlockStore::Access access = existing == Existing::kReplace ? BlockStore::Access::kReplace
                                                                    : BlockStore::Access::kCreate;
  std::unique_ptr<BlockStore> store = BlockStore::Open(Resolve(path, backing), access, error);
  if (!store) return nullptr;
  std::unique_ptr<Medium> medium(new Medium(path, backing, BlankState(profile, capacity, formatted), std::move(store)));
  if (!medium->Save(error)) return nullptr;
  return medium;
}

std::unique_ptr<Medium> Medium::CreateOverImage(const std::string& path, const ProfileInfo& profile,
                                                const std::string& image, Existing existing,
                                                std::string& error) {
  if (!MayCreateAt(path, existing, error)) return nullptr;
  struct stat st {};
  if (stat(image.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) {
    error = "cannot use " + image + " as an image file";
    return nullptr;
  }
  const uint64_t blocks = (static_cast<uint64_t>(st.st_size) + kBlockSize - 1) / kBlockSize;
  if (blocks > UINT32_MAX) {
    error = image + " is too large for a disc";
    return nullptr;
  }
  std::unique_ptr<BlockStore> store = BlockStore::Open(image, BlockStore::Access::kInspect, error);
  if (!store) return nullptr;
  MediumState s = BlankState(profile, static_cast<uint32_t>(blocks), false);
  s.readable = s.capacity;
  std::unique_ptr<Medium> medium(new Medium(path, image, std::move(s), std::move(store)));
  if (!medium->Save(error)) return nullptr;
  return medium;
}

bool Medium::Save(std::string& error) const {
  std::ostringstream out;
  out << kMagic << "\n"
      << "profile " << info().name << "\n"
      << "capacity " << state_.capacity << "\n"
      << "backing " << backing_ << "\n"
      << "format " << FormatName(state_.format) << "\n"
      << "formatted " << state_.formatted << "\n"
      << "recorded-end " << state_.recorded_end << "\n"
      << "readable " << state_.readable << "\n"
      << "closed-sessions " << state_.closed_sessions << "\n"
      << "finalized " << (state_.finalized ? 1 : 0) << "\n"
      << "timestamp " << (state_.dvd_timestamp.empty() ? "-" : state_.dvd_timestamp) << "\n";
  for (const Track& t : state_.tracks)
    out << "track " << t.session << ' ' << t.start << ' ' << t.reserved << ' ' << t.recorded << ' ' << t.tail << ' '
        << (t.closed ? 1 : 0) << "\n";
  const std::string text = out.str();
  // Written whole under another name and renamed over the old one: a
  // reader, or the next run after a crash, sees the old state or the new.
  const std::string temporary = path_ + ".tmp";
  const int fd = open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0666);
  bool ok = fd >= 0 && write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
  if (fd >= 0 && close(fd) != 0) ok = false;
  if (ok && std::rename(temporary.c_str(), path_.c_str()) == 0) return true;
  error = "cannot write the medium file " + path_ + ": " + std::strerror(errno);
  if (fd >= 0) unlink(temporary.c_str());
  return false;
}

std::unique_ptr<Medium> Medium::Open(const std::string& path, BlockStore::Access access, std::string& error) {
  std::ifstream in(path);
  if (!in) {
    error = "cannot open the medium file " + path;
    return nullptr;
  }
  const auto corrupt = [&](int line, const std::string& why) {
    error = path + ":" + std::to_string(line) + ": " + why;
    return nullptr;
  };
  std::string line;
  if (!std::getline(in, line) || line != kMagic) return corrupt(1, "not a medium file");
  MediumState s;
  std::string backing;
  bool have_profile = false;
  for (int number = 2; std::getline(in, line); ++number) {
    std::istringstream fields(line);
    std::string key;
    fields >> key;
    if (key.empty()) continue;
    bool ok = true;
    if (key == "profile") {
      std::string name;
      fields >> name;
      const ProfileInfo* p = FindProfile(name);
      if (p == nullptr) return corrupt(number, "unknown profile " + name);
      s.profile = p->number;
      have_profile = true;
    } else if (key == "capacity") {
      ok = static_cast<bool>(fields >> s.capacity);
    } else if (key == "backing") {
      std::getline(fields >> std::ws, backing);
      ok = !backing.empty();
    } else if (key == "format") {
      std::string f;
      fields >> f;
      if (f == "unformatted") s.format = FormatState::kUnformatted;
      else if (f == "formatted") s.format = FormatState::kFormatted;
      else if (f == "suspended") s.format = FormatState::kSuspended;
      else ok = false;
    } else if (key == "formatted") {
      ok = static_cast<bool>(fields >> s.formatted);
    } else if (key == "recorded-end") {
      ok = static_cast<bool>(fields >> s.recorded_end);
    } else if (key == "readable") {
      ok = static_cast<bool>(fields >> s.readable);
    } else if (key == "closed-sessions") {
      ok = static_cast<bool>(fields >> s.closed_sessions);
    } else if (key == "finalized") {
      int v = 0;
      ok = static_cast<bool>(fields >> v) && (v == 0 || v == 1);
      s.finalized = v == 1;
    } else if (key == "timestamp") {
      fields >> s.dvd_timestamp;
      if (s.dvd_timestamp == "-") s.dvd_timestamp.clear();
      ok = s.dvd_timestamp.size() == 14 || s.dvd_timestamp.empty();
    } else if (key == "track") {
      Track t;
      int closed = 0;
      ok = static_cast<bool>(fields >> t.session >> t.start >> t.reserved >> t.recorded >> t.tail >> closed) &&
           (closed == 0 || closed == 1) && t.session >= 1;
      t.closed = closed == 1;
      s.tracks.push_back(t);
    } else {
      return corrupt(number, "unknown key " + key);
    }
    if (!ok) return corrupt(number, "bad value for " + key);
  }
  if (!have_profile || backing.empty()) return corrupt(0, "profile or backing missing");
  if (const std::string why = CheckConsistent(s); !why.empty()) return corrupt(0, why);
  if (InfoOf(s).model != Model::kReadOnly && !BesideItsMetadata(backing))
    return corrupt(0, "its blocks file " + backing + " lies outside the medium file's folder; a recordable medium "
                      "keeps its blocks beside it");
  if (access == BlockStore::Access::kDrive && InfoOf(s).model == Model::kReadOnly) access = BlockStore::Access::kRead;
  std::unique_ptr<BlockStore> store = BlockStore::Open(Resolve(path, backing), access, error);
  if (!store) return nullptr;
  return std::unique_ptr<Medium>(new Medium(path, backing, std::move(s), std::move(store)));
}

std::unique_ptr<Medium> Medium::OpenIdle(const std::string& path, std::string& error) {
  std::unique_ptr<Medium> medium = Open(path, BlockStore::Access::kInspect, error);
  if (medium && !medium->store().Share()) {
    error = InUse(path);
    return nullptr;
  }
  return medium;
}

}  // namespace orvex::vburner
