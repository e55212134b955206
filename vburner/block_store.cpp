// SPDX-License-Identifier: Apache-2.0
#include "vburner/block_store.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace orvex::vburner {

namespace {

std::string SystemError(const std::string& what, const std::string& path) {
  return what + " " + path + ": " + std::strerror(errno);
}

std::string OpenError(const std::string& path) {
  if (errno == ELOOP) return path + " is a symbolic link; a medium's blocks file must be a file of its own";
  if (errno == EEXIST) return path + " exists already";
  return SystemError("cannot open", path);
}

bool IsZero(const uint8_t* block) {
  return block[0] == 0 && std::memcmp(block, block + 1, kBlockSize - 1) == 0;
}

// Blocks from `data` on that are all zeros, or all not, as the first is.
uint32_t RunLength(const uint8_t* data, uint32_t count, bool zero) {
  uint32_t n = 1;
  while (n < count && IsZero(data + size_t{n} * kBlockSize) == zero) ++n;
  return n;
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
      fd = open(path.c_str(), O_RDWR | O_NOFOLLOW | O_CLOEXEC);
      if (fd < 0 && (errno == EACCES || errno == EROFS)) fd = open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
      break;
    case Access::kCreate:
      fd = open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
      break;
    case Access::kReplace:
      fd = open(path.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0666);
      break;
  }
  if (fd < 0) {
    error = OpenError(path);
    return nullptr;
  }
  if (access != Access::kInspect && flock(fd, LOCK_EX | LOCK_NB) != 0) {
    error = errno == EWOULDBLOCK ? "medium " + path + " is in use by another drive" : SystemError("cannot lock", path);
    close(fd);
    return nullptr;
  }
  std::unique_ptr<BlockStore> store(new BlockStore(path, fd));
  if (access == Access::kReplace && !store->Erase(error)) return nullptr;
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
  while (count > 0) {
    const bool zero = IsZero(data);
    const uint32_t n = RunLength(data, count, zero);
    if (!(zero ? WriteZeros(lba, n, error) : WriteData(lba, n, data, error))) return false;
    lba += n;
    count -= n;
    data += size_t{n} * kBlockSize;
  }
  return true;
}

bool BlockStore::WriteZeros(uint32_t lba, uint32_t count, std::string& error) {
  const off_t at = off_t{lba} * kBlockSize;
  const off_t length = off_t{count} * kBlockSize;
  struct stat st {};
  if (fstat(fd_, &st) != 0) {
    error = SystemError("cannot write", path_);
    return false;
  }
  // Past the end of the file the blocks read as zeros already.
  if (at >= st.st_size) return true;
  const off_t end = std::min<off_t>(at + length, st.st_size);
  if (fallocate(fd_, FALLOC_FL_PUNCH_HOLE | FALLOC_FL_KEEP_SIZE, at, end - at) == 0) return true;
  if (errno != EOPNOTSUPP) {
    error = SystemError("cannot write", path_);
    return false;
  }
  // A file system without holes gets the zeros written.
  static const uint8_t kZeros[kBlockSize] = {};
  for (off_t block = at; block < end; block += kBlockSize)
    if (!WriteData(static_cast<uint32_t>(block / kBlockSize), 1, kZeros, error)) return false;
  return true;
}

bool BlockStore::WriteData(uint32_t lba, uint32_t count, const uint8_t* data, std::string& error) {
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

bool BlockStore::Share() { return flock(fd_, LOCK_SH | LOCK_NB) == 0; }

bool BlockStore::Erase(std::string& error) {
  if (ftruncate(fd_, 0) != 0) {
    error = SystemError("cannot empty", path_);
    return false;
  }
  return true;
}

}  // namespace orvex::vburner
