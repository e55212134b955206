// SPDX-License-Identifier: Apache-2.0
#include "platform/file.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <functional>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace orvex {
namespace {

constexpr off_t kReadAheadBytes = 128 * 1024;

TFileState StateOf(const struct stat& st) {
  TFileState state;
  state.device = st.st_dev;
  state.inode = st.st_ino;
  state.size = static_cast<uint64_t>(st.st_size);
  state.write_time = UnixTimeToFileTime(st.st_mtim);
  state.mode = st.st_mode & 07777;
  state.owner = st.st_uid;
  state.group = st.st_gid;
  state.regular = S_ISREG(st.st_mode);
  state.directory = S_ISDIR(st.st_mode);
  return state;
}

}  // namespace

TFile& TFile::operator=(TFile&& other) noexcept {
  if (this != &other) {
    Close();
    fd_ = other.fd_;
    error_ = other.error_;
    nonblocking_ = other.nonblocking_;
    opened_ = other.opened_;
    other.fd_ = -1;
  }
  return *this;
}

bool TFile::Failed() {
  error_ = errno;
  return false;
}

TFile TFile::OpenRead(const std::string& path) { return OpenReadAt(AT_FDCWD, path.c_str()); }

TFile TFile::OpenRead(const TFile& directory, const std::string& name) {
  return OpenReadAt(directory.fd_, name.c_str());
}

TFile TFile::OpenReadAt(int directory, const char* path) {
  // O_NONBLOCK keeps the open of a pipe from waiting for a writer.  It stays
  // set: the reads of regular files ignore it, and clearing it would cost a
  // call per file; a read that does heed it clears it then (ReadFully).
  const int fd = openat(directory, path, O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return TFile(-1, errno);
  struct stat st;
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    const int error = S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
    close(fd);
    return TFile(-1, error);
  }
  // A file within the kernel's first read-ahead is read whole without advice.
  if (st.st_size > kReadAheadBytes) posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
  TFile file(fd);
  file.nonblocking_ = true;
  file.opened_ = StateOf(st);
  return file;
}

TFile TFile::OpenDirectory(const std::string& path) {
  // O_PATH: the directory is only a starting point for lookups, which need
  // no permission to read it.
  const int fd = open(path.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
  return TFile(fd, fd < 0 ? errno : 0);
}

TFile TFile::Create(const std::string& path) {
  const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  return TFile(fd, fd < 0 ? errno : 0);
}

TFile TFile::CreateNew(const std::string& path, uint32_t mode) {
  const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
  return TFile(fd, fd < 0 ? errno : 0);
}

TFile TFile::OpenWrite(const std::string& path) {
  const int fd = open(path.c_str(), O_WRONLY | O_CLOEXEC);
  return TFile(fd, fd < 0 ? errno : 0);
}

TFile TFile::CreateBeside(const std::string& target, uint32_t mode, std::string& name) {
  static std::atomic<unsigned> counter{0};
  const size_t slash = target.rfind('/');
  const std::string directory = slash == std::string::npos ? "" : target.substr(0, slash + 1);
  const std::string base = slash == std::string::npos ? target : target.substr(slash + 1);
  for (int attempt = 0;; ++attempt) {
    name = directory + "." + base + ".orvex-" + std::to_string(getpid()) + "-" + std::to_string(counter++);
    TFile file = CreateNew(name, mode);
    if (file.IsOpen() || file.LastError() != EEXIST || attempt == 100) {
      if (file.IsOpen() && !file.SetMode(mode)) {  // the umask may have taken bits away
        file.Close();
        RemovePath(name);
      }
      return file;
    }
  }
}

int64_t TFile::Read(void* buffer, size_t size) {
  return ReadFully(size, [&](size_t done) { return read(fd_, static_cast<char*>(buffer) + done, size - done); });
}

bool TFile::Write(const void* buffer, size_t size) {
  size_t done = 0;
  while (done < size) {
    const ssize_t n = write(fd_, static_cast<const char*>(buffer) + done, size - done);
    if (n < 0 && errno == EINTR) continue;
    if (n == 0) errno = ENOSPC;  // a device that takes nothing more is full
    if (n <= 0) return Failed();
    done += static_cast<size_t>(n);
  }
  return true;
}

int64_t TFile::ReadAt(void* buffer, size_t size, uint64_t offset) {
  return ReadFully(size, [&](size_t done) {
    return pread(fd_, static_cast<char*>(buffer) + done, size - done, static_cast<off_t>(offset + done));
  });
}

int64_t TFile::ReadFully(size_t size, const std::function<ssize_t(size_t done)>& read_more) {
  size_t done = 0;
  while (done < size) {
    const ssize_t n = read_more(done);
    if (n < 0 && errno == EINTR) continue;
    // A file system that heeds O_NONBLOCK for a regular file: read as if it
    // had never been set.
    if (n < 0 && errno == EAGAIN && nonblocking_ && fcntl(fd_, F_SETFL, 0) == 0) {
      nonblocking_ = false;
      continue;
    }
    if (n < 0) {
      error_ = errno;
      return -1;
    }
    if (n == 0) break;
    done += static_cast<size_t>(n);
  }
  return static_cast<int64_t>(done);
}

int64_t TFile::CopyFrom(const TFile& source, uint64_t offset, size_t size) {
  auto from = static_cast<off_t>(offset);
  size_t done = 0;
  while (done < size) {
    const ssize_t n = copy_file_range(source.fd_, &from, fd_, nullptr, size - done, 0);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && done == 0) {
      error_ = errno;
      return -1;
    }
    if (n <= 0) break;
    done += static_cast<size_t>(n);
  }
  return static_cast<int64_t>(done);
}

std::optional<uint64_t> TFile::Size() const {
  const std::optional<TFileState> state = State();
  if (!state) return std::nullopt;
  return state->size;
}

std::optional<TFileState> TFile::State() const {
  struct stat st;
  if (fd_ < 0 || fstat(fd_, &st) != 0) return std::nullopt;
  return StateOf(st);
}

bool TFile::SetMode(uint32_t mode) { return fchmod(fd_, mode) == 0 || Failed(); }

bool TFile::Close() {
  if (fd_ < 0) return true;
  const int result = close(fd_);
  fd_ = -1;
  return result == 0 || Failed();
}

std::optional<TFileState> PathState(const std::string& path, int* error) {
  struct stat st;
  if (stat(path.c_str(), &st) != 0) {
    if (error != nullptr) *error = errno;
    return std::nullopt;
  }
  return StateOf(st);
}

uint32_t CreationMask() {
  // The kernel shows the mask; setting it to read it back would change it
  // for a moment for every thread of the process.
  if (FILE* status = std::fopen("/proc/self/status", "re")) {
    char line[256];
    unsigned mask = 0;
    bool found = false;
    while (!found && std::fgets(line, sizeof line, status) != nullptr) {
      found = std::sscanf(line, "Umask: %o", &mask) == 1;
    }
    std::fclose(status);
    if (found) return mask;
  }
  return 022;
}

std::string ResolvedPath(const std::string& path) {
  char* resolved = realpath(path.c_str(), nullptr);
  if (resolved == nullptr) return path;
  std::string result = resolved;
  free(resolved);
  return result;
}

bool RenamePath(const std::string& from, const std::string& to, int* error) {
  if (rename(from.c_str(), to.c_str()) == 0) return true;
  if (error != nullptr) *error = errno;
  return false;
}

bool RemovePath(const std::string& path) { return unlink(path.c_str()) == 0; }

std::string SystemErrorText(int error) {
  char buffer[256];
  // The GNU form returns the text, which need not be in the buffer.
  return strerror_r(error, buffer, sizeof buffer);
}

}  // namespace orvex
