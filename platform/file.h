// SPDX-License-Identifier: Apache-2.0
// Files read and written by the jobs: source files, boot images and image
// files.  A thin owner of a file descriptor; every operation reports failure
// instead of throwing, and reads and writes are retried over interruptions
// and partial transfers.  A failed operation keeps the system's reason
// (errno) in LastError(), so that messages can say why.
#ifndef ORVEX_PLATFORM_FILE_H_
#define ORVEX_PLATFORM_FILE_H_

#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "platform/file_time.h"

namespace orvex {

// What the file system says of a file: enough to tell whether two paths
// are the same file and whether a file changed since it was looked at.
struct TFileState {
  uint64_t device = 0;
  uint64_t inode = 0;
  uint64_t size = 0;
  FILETIME write_time;      // last modification, UTC
  uint32_t mode = 0;        // permission bits
  uint32_t owner = 0;       // user and group ids
  uint32_t group = 0;
  bool regular = false;     // a regular file (not a device, pipe or directory)
  bool directory = false;

  bool SameFile(const TFileState& other) const {
    return device == other.device && inode == other.inode;
  }
};

class TFile {
 public:
  TFile() = default;
  ~TFile() { Close(); }
  TFile(TFile&& other) noexcept
      : fd_(other.fd_), error_(other.error_), nonblocking_(other.nonblocking_), opened_(other.opened_) {
    other.fd_ = -1;
  }
  TFile& operator=(TFile&& other) noexcept;
  TFile(const TFile&) = delete;
  TFile& operator=(const TFile&) = delete;

  // An existing regular file for reading (a directory, device or pipe is
  // refused with EISDIR or EINVAL: reading one could block or never end).
  static TFile OpenRead(const std::string& path);
  // The same for the file `name` in the open `directory` (see
  // OpenDirectory): only `name` is looked up.
  static TFile OpenRead(const TFile& directory, const std::string& name);
  // A directory to open files in by name; it can be neither read nor
  // written.
  static TFile OpenDirectory(const std::string& path);
  // A file for writing, created or truncated.
  static TFile Create(const std::string& path);
  // A new file for writing with permission bits `mode` (before the umask);
  // fails with EEXIST when the name is taken.
  static TFile CreateNew(const std::string& path, uint32_t mode);
  // An existing file of any kind (a device, a pipe) for writing, as it is:
  // nothing is truncated.
  static TFile OpenWrite(const std::string& path);
  // A new file in the directory of `target`, named ".NAME.orvex-PID-N"
  // after it, with permission bits `mode` exactly; its name goes to `name`.
  static TFile CreateBeside(const std::string& target, uint32_t mode, std::string& name);

  bool IsOpen() const { return fd_ >= 0; }

  // The errno of the last failure (of the open, a read, a write or the
  // close); 0 when nothing failed.
  int LastError() const { return error_; }

  // Reads up to `size` bytes; returns the count read (less only at the end
  // of the file), or -1 on an error.
  int64_t Read(void* buffer, size_t size);

  // Writes all `size` bytes; false on an error (a full disk, a file-size
  // limit, an I/O error).
  bool Write(const void* buffer, size_t size);

  // Reads up to `size` bytes from `offset` without moving the position;
  // the count read (less only at the end of the file), or -1 on an error.
  int64_t ReadAt(void* buffer, size_t size, uint64_t offset);

  // Has the kernel copy up to `size` bytes of `source` from `offset` to this
  // file's position, sharing blocks where the file system can; the count
  // copied (0 at the source's end, or where the source cannot be copied
  // this way, as files whose size the system makes up), or -1 with the
  // reason in LastError() (EXDEV, EINVAL, ENOSYS and EOPNOTSUPP where the
  // kernel refuses the pair of files).  The caller reads and writes instead
  // where this copies less than it asked.
  int64_t CopyFrom(const TFile& source, uint64_t offset, size_t size);

  std::optional<uint64_t> Size() const;
  std::optional<TFileState> State() const;
  // What the file was when OpenRead opened it (nothing for other opens).
  const std::optional<TFileState>& OpenedState() const { return opened_; }

  // Gives the open file the permission bits `mode` exactly.
  bool SetMode(uint32_t mode);

  // Closes the file; false when closing reported an error (data that could
  // not be written back).
  bool Close();

 private:
  explicit TFile(int fd, int error = 0) : fd_(fd), error_(error) {}
  bool Failed();  // records errno; returns false
  // Calls `read_more(bytes done)` (a read or pread of the rest) until `size`
  // bytes are read, the file ends or a read fails; Read's result.
  int64_t ReadFully(size_t size, const std::function<ssize_t(size_t done)>& read_more);

  static TFile OpenReadAt(int directory, const char* path);

  int fd_ = -1;
  int error_ = 0;
  bool nonblocking_ = false;  // opened with O_NONBLOCK, which reads clear when it matters
  std::optional<TFileState> opened_;
};

// The file `path` names, following symbolic links; empty with `error` set
// when it cannot be examined (ENOENT when nothing is there).
std::optional<TFileState> PathState(const std::string& path, int* error = nullptr);

// The process's file creation mask, without changing it.
uint32_t CreationMask();

// `path` with every symbolic link resolved; `path` itself when it names
// nothing (yet).
std::string ResolvedPath(const std::string& path);

// Renames `from` to `to`, replacing `to` atomically; false with `error` set.
bool RenamePath(const std::string& from, const std::string& to, int* error = nullptr);

// Removes the name `path` (never a directory); false when it cannot.
bool RemovePath(const std::string& path);

// The system's text for an errno value ("Permission denied").
std::string SystemErrorText(int error);

}  // namespace orvex

#endif  // ORVEX_PLATFORM_FILE_H_
