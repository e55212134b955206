// Files read and written by the jobs: source files, boot images and image
// files.  A thin owner of a file descriptor; every operation reports failure
// instead of throwing, and reads and writes are retried over interruptions
// and partial transfers.
#ifndef ORVEX_PLATFORM_FILE_H_
#define ORVEX_PLATFORM_FILE_H_

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace orvex {

class TFile {
 public:
  TFile() = default;
  ~TFile() { Close(); }
  TFile(TFile&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }
  TFile& operator=(TFile&& other) noexcept;
  TFile(const TFile&) = delete;
  TFile& operator=(const TFile&) = delete;

  // An existing regular file for reading (a directory, device or pipe is
  // refused: reading one could block or never end).
  static TFile OpenRead(const std::string& path);
  // A file for writing, created or truncated.
  static TFile Create(const std::string& path);

  bool IsOpen() const { return fd_ >= 0; }

  // Reads up to `size` bytes; returns the count read (less only at the end
  // of the file), or -1 on an error.
  int64_t Read(void* buffer, size_t size);

  // Writes all `size` bytes; false on an error (a full disk, a file-size
  // limit, an I/O error).
  bool Write(const void* buffer, size_t size);

  std::optional<uint64_t> Size() const;

  // Closes the file; false when closing reported an error (data that could
  // not be written back).
  bool Close();

 private:
  explicit TFile(int fd) : fd_(fd) {}
  int fd_ = -1;
};

}  // namespace orvex

#endif  // ORVEX_PLATFORM_FILE_H_
