#include "vburner/block_store.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace orvex::vburner {

namespace {

std::string SystemError(const std::string& what, const std::string& path) {
  return what + " " + path + ": " + std::strerror(errno);
}

}  // namespace

std::unique_ptr<BlockStore> BlockStore::Open(const std::string& path, Access access, std::string& error) {
  int fd = -1;
  switch (access) {
    case Access::kInspect:
    case Access::kRead:
      fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
      break;
    case Access::kDrive:
      fd = open(path.c_str(), O_RDWR | O_CLOEXEC);
      if (fd < 0 && (errno == EACCES || errno == EROFS)) fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
      break;
    case Access::kCreate:
      fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
      break;
  }
  if (fd < 0) {
    error = SystemError("cannot open", path);
    return nullptr;
  }
  if (access != Access::kInspect && flock(fd, LOCK_EX | LOCK_NB) != 0) {
    error = errno == EWOULDBLOCK ? "medium " + path + " is in use by another drive" : SystemError("cannot lock", path);
    close(fd);
    return nullptr;
  }
  std::unique_ptr<BlockStore> store(new BlockStore(path, fd));
  if (access == Access::kCreate && !store->Erase(error)) return nullptr;
  return store;
}

BlockStore::~BlockStore() { close(fd_); }

bool BlockStore::Read(uint32_t lba, uint32_t count, uint8_t* out, std::string& error) const {
  size_t want = size_t{count} * kBlockSize;
  off_t at = off_t{lba} * kBlockSize;
  while (want > 0) {
    const ssize_t n = pread(fd_, out, want, at);
    if (n < 0) {
      if (errno == EINTR) continue;
      error = SystemError("cannot read", path_);
      return false;
    }
    if (n == 0) {  // past the end of the file: never written
      std::memset(out, 0, want);
      break;
    }
    out += n;
    at += n;
    want -= static_cast<size_t>(n);
  }
  return true;
}

bool BlockStore::Write(uint32_t lba, uint32_t count, const uint8_t* data, std::string& error) {
  size_t left = size_t{count} * kBlockSize;
  off_t at = off_t{lba} * kBlockSize;
  while (left > 0) {
    const ssize_t n = pwrite(fd_, data, left, at);
    if (n < 0) {
      if (errno == EINTR) continue;
      error = SystemError("cannot write", path_);
      return false;
    }
    if (n == 0) {
      error = "cannot write " + path_ + ": no progress";
      return false;
    }
    data += n;
    at += n;
    left -= static_cast<size_t>(n);
  }
  return true;
}

bool BlockStore::Erase(std::string& error) {
  if (ftruncate(fd_, 0) != 0) {
    error = SystemError("cannot empty", path_);
    return false;
  }
  return true;
}

}  // namespace orvex::vburner
