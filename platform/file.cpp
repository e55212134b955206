#include "platform/file.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace orvex {

TFile& TFile::operator=(TFile&& other) noexcept {
  if (this != &other) {
    Close();
    fd_ = other.fd_;
    other.fd_ = -1;
  }
  return *this;
}

TFile TFile::OpenRead(const std::string& path) {
  // O_NONBLOCK keeps the open of a pipe from waiting for a writer; regular
  // files ignore it.
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return TFile();
  struct stat st;
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    close(fd);
    return TFile();
  }
  fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
  return TFile(fd);
}

TFile TFile::Create(const std::string& path) {
  return TFile(open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666));
}

int64_t TFile::Read(void* buffer, size_t size) {
  size_t done = 0;
  while (done < size) {
    const ssize_t n = read(fd_, static_cast<char*>(buffer) + done, size - done);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return -1;
    if (n == 0) break;
    done += static_cast<size_t>(n);
  }
  return static_cast<int64_t>(done);
}

bool TFile::Write(const void* buffer, size_t size) {
  size_t done = 0;
  while (done < size) {
    const ssize_t n = write(fd_, static_cast<const char*>(buffer) + done, size - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

std::optional<uint64_t> TFile::Size() const {
  struct stat st;
  if (fd_ < 0 || fstat(fd_, &st) != 0) return std::nullopt;
  return static_cast<uint64_t>(st.st_size);
}

bool TFile::Close() {
  if (fd_ < 0) return true;
  const int result = close(fd_);
  fd_ = -1;
  return result == 0;
}

}  // namespace orvex
