// SPDX-License-Identifier: Apache-2.0
#include "vburner/media_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <sstream>
#include <vector>

#include "vburner/medium.h"
#include "vburner/model.h"
#include "vburner/profiles.h"

namespace orvex::vburner {

namespace {

constexpr uint32_t kChunkBlocks = 256;

const char* StatusName(uint8_t status) {
  static const char* const names[] = {"blank", "appendable", "complete", "random-writable"};
  return names[status & 3];
}

const char* SessionStateName(uint8_t state) {
  static const char* const names[] = {"empty", "incomplete", "damaged", "complete"};
  return names[state & 3];
}

// Reads exactly `size` bytes or up to the end of the file.
ssize_t ReadFull(int fd, uint8_t* out, size_t size) {
  size_t done = 0;
  while (done < size) {
    const ssize_t n = read(fd, out + done, size - done);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return -1;
    if (n == 0) break;
    done += static_cast<size_t>(n);
  }
  return static_cast<ssize_t>(done);
}

}  // namespace

bool ImportImage(const std::string& medium_path, const ProfileInfo& profile, const std::string& image,
                 std::string& error) {
  if (profile.model == Model::kReadOnly)
    return Medium::CreateOverImage(medium_path, profile, image, Existing::kReplace, error) != nullptr;
  const int fd = open(image.c_str(), O_RDONLY | O_CLOEXEC);
  struct stat st {};
  if (fd < 0 || fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    if (fd >= 0) close(fd);
    error = "cannot use " + image + " as an image file";
    return false;
  }
  const uint64_t blocks = (static_cast<uint64_t>(st.st_size) + kBlockSize - 1) / kBlockSize;
  if (blocks == 0 || blocks > profile.default_blocks) {
    close(fd);
    error = image + (blocks == 0 ? " is empty" : " does not fit on a " + std::string(profile.name));
    return false;
  }
  std::unique_ptr<Medium> medium = Medium::Create(medium_path, profile, 0, true, Existing::kReplace, error);
  bool ok = medium != nullptr;
  std::vector<uint8_t> chunk(size_t{kChunkBlocks} * kBlockSize);
  for (uint32_t at = 0; ok && at < blocks; at += kChunkBlocks) {
    const uint32_t count = static_cast<uint32_t>(std::min<uint64_t>(kChunkBlocks, blocks - at));
    std::fill(chunk.begin(), chunk.end(), 0);
    if (ReadFull(fd, chunk.data(), size_t{count} * kBlockSize) < 0) {
      error = "cannot read " + image + ": " + std::strerror(errno);
      ok = false;
    } else if (std::any_of(chunk.begin(), chunk.end(), [](uint8_t b) { return b != 0; })) {
      ok = medium->store().Write(at, count, chunk.data(), error);  // zero runs stay holes
    }
  }
  close(fd);
  if (!ok) return false;
  // The blocks become the disc's content the way a burn would record them.
  MediumState& s = medium->state();
  const MediumModel& model = ModelFor(s);
  const WriteMode mode{0, false, 0};  // incremental
  // A restricted-overwrite disc records whole ECC blocks: the last is
  // filled up with zeros, as a burn fills it.
  const uint64_t unit = s.profile == vburner::profile::kDvdRwRestricted ? 16 : 1;
  const auto recorded = static_cast<uint32_t>((blocks + unit - 1) / unit * unit);
  model.CheckWrite(s, 0, recorded, mode);
  model.Commit(s, 0, recorded, WriteKind::kRecord);
  model.Finalize(s);
  return medium->Save(error);
}

bool ExportImage(const std::string& medium_path, uint32_t session, const std::string& image, std::string& error) {
  const std::unique_ptr<Medium> medium = Medium::OpenIdle(medium_path, error);
  return medium && ExportImage(*medium, session, image, error);
}

bool ExportImage(const Medium& medium, uint32_t session, const std::string& image, std::string& error) {
  const MediumState& s = medium.state();
  const MediumModel& model = ModelFor(s);
  uint32_t first = 0;
  uint32_t end = model.RecordedEnd(s);
  if (session != 0) {
    bool found = false;
    for (const TrackView& v : model.Tracks(s)) {
      if (v.session != session || v.blank) continue;
      if (!found) first = v.start;
      found = true;
      end = v.last_recorded_valid ? v.last_recorded + 1 : v.start;
    }
    if (!found) {
      error = "no recorded session " + std::to_string(session) + " on " + medium.path();
      return false;
    }
  }
  const int fd = open(image.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd < 0) {
    error = "cannot create " + image + ": " + std::strerror(errno);
    return false;
  }
  std::vector<uint8_t> chunk(size_t{kChunkBlocks} * kBlockSize);
  bool ok = true;
  for (uint32_t at = first; ok && at < end; at += kChunkBlocks) {
    const uint32_t count = std::min(kChunkBlocks, end - at);
    ok = medium.store().Read(at, count, chunk.data(), error);
    const size_t bytes = size_t{count} * kBlockSize;
    if (ok && write(fd, chunk.data(), bytes) != static_cast<ssize_t>(bytes)) {
      error = "cannot write " + image + ": " + std::strerror(errno);
      ok = false;
    }
  }
  if (close(fd) != 0 && ok) {
    error = "cannot write " + image + ": " + std::strerror(errno);
    ok = false;
  }
  return ok;
}

std::string DescribeMedium(const std::string& medium_path, std::string& error) {
  std::unique_ptr<Medium> medium = Medium::Open(medium_path, BlockStore::Access::kInspect, error);
  if (!medium) return "";
  const MediumState& s = medium->state();
  const MediumModel& model = ModelFor(s);
  const DiscSummary d = model.Summarize(s);
  std::ostringstream out;
  char number[16];
  std::snprintf(number, sizeof number, "%04Xh", s.profile);
  out << medium_path << ": " << InfoOf(s).name << " (profile " << number << "), " << s.capacity << " blocks\n";
  // An appendable disc counts the empty session that waits for data; it
  // holds nothing, so it is told apart from the closed ones.
  const bool waiting = d.sessions > 1 && (d.last_session_state & 3) == 0;
  const uint32_t told = waiting ? d.sessions - 1 : d.sessions;
  out << "status " << StatusName(d.status) << ", last session " << SessionStateName(d.last_session_state) << ", "
      << told << (told == 1 ? " session" : " sessions") << (waiting ? ", then an open empty one" : "") << "\n";
  if (InfoOf(s).model == Model::kOverwrite || s.format != FormatState::kUnformatted) {  // BD-R: with spare areas
    static const char* const formats[] = {"unformatted", "formatted", "formatted in part (background format suspended)"};
    out << "format " << formats[static_cast<int>(s.format)] << ", formatted blocks " << s.formatted << "\n";
  }
  if (!s.dvd_timestamp.empty()) out << "time stamp " << s.dvd_timestamp << "\n";
  for (const TrackView& v : model.Tracks(s)) {
    out << "track " << v.number << " session " << v.session << " start " << v.start << " size " << v.size;
    if (v.last_recorded_valid) out << " last recorded " << v.last_recorded;
    if (v.next_writable_valid) out << " next writable " << v.next_writable << " free " << v.free;
    out << (v.reserved ? " reserved" : "") << (v.blank ? " blank" : "")
        << (v.next_writable_valid ? " open" : " closed") << "\n";
  }
  return out.str();
}

}  // namespace orvex::vburner
