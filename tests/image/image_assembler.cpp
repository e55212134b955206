// SPDX-License-Identifier: Apache-2.0
#include "image_assembler.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstring>
#include <vector>

#include "image/udf_file_stream.h"
#include "platform/text_conversion.h"

namespace orvex::test {
namespace {

class TImageWriter {
 public:
  explicit TImageWriter(const std::string& path)
      : fd_(open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644)) {}
  ~TImageWriter() {
    if (fd_ >= 0) close(fd_);
  }
  bool ok() const { return fd_ >= 0 && !failed_; }
  uint64_t written() const { return written_; }

  void Write(const uint8_t* data, size_t size) {
    while (size > 0 && ok()) {
      const ssize_t n = ::write(fd_, data, size);
      if (n <= 0) {
        failed_ = true;
        return;
      }
      data += n, size -= static_cast<size_t>(n), written_ += static_cast<uint64_t>(n);
    }
  }
  void Zeros(uint64_t size) {
    static const std::vector<uint8_t> zeros(1 << 16, 0);
    while (size > 0) {
      const size_t n = static_cast<size_t>(std::min<uint64_t>(size, zeros.size()));
      Write(zeros.data(), n);
      size -= n;
    }
  }

 private:
  int fd_;
  bool failed_ = false;
  uint64_t written_ = 0;
};

// Copies `size` bytes of a file on disk, then zeros to the sector's end.
bool CopyFile(const std::string& source, uint64_t size, TImageWriter& out) {
  const int fd = open(source.c_str(), O_RDONLY);
  if (fd < 0) return false;
  std::vector<uint8_t> buffer(1 << 20);
  uint64_t left = size;
  while (left > 0) {
    const ssize_t n = read(fd, buffer.data(), static_cast<size_t>(std::min<uint64_t>(left, buffer.size())));
    if (n <= 0) break;
    out.Write(buffer.data(), static_cast<size_t>(n));
    left -= static_cast<uint64_t>(n);
  }
  close(fd);
  out.Zeros(Sectors(size) * kSectorSize - size + left);
  return left == 0;
}

void CopyMemoryFile(TFileEntry& entry, TImageWriter& out) {
  std::vector<uint8_t> buffer(1 << 16);
  const uint64_t size = static_cast<uint64_t>(entry.FileSize);
  for (uint64_t position = 0; position < size; position += buffer.size()) {
    uint32_t chunk = static_cast<uint32_t>(std::min<uint64_t>(size - position, buffer.size()));
    std::memset(buffer.data(), 0, buffer.size());
    if (entry.mfcbFunction) entry.mfcbFunction(nullptr, &entry, position, buffer.data(), chunk);
    out.Write(buffer.data(), static_cast<size_t>(std::min<uint64_t>(size - position, buffer.size())));
  }
  out.Zeros(Sectors(size) * kSectorSize - size);
}

}  // namespace

std::string AssembleImage(TImageLayout& layout, const std::string& path) {
  std::vector<uint8_t> header;
  if (!layout.GenerateHeader(header)) return "the layout is not prepared";
  TImageWriter out(path);
  out.Write(header.data(), header.size());

  if (!layout.BootImage.empty()) {
    out.Zeros(uint64_t{layout.BootImageLocation} * kSectorSize - out.written());
    if (!CopyFile(layout.BootImage, static_cast<uint64_t>(layout.BootImageSize), out)) {
      return "cannot read the boot image";
    }
  }
  if (layout.UDFBridge) {
    const uint32_t sectors = layout.UDFBridgeInfo.NumberOfBlocksRequiredForFileDirStructures;
    std::vector<uint8_t> structures(uint64_t{sectors} * kSectorSize);
    TUdfFileStream stream(layout);
    // Odd-sized requests, so that descriptors are split across calls.
    for (uint32_t done = 0; done < sectors;) {
      const uint32_t n = std::min<uint32_t>(sectors - done, 1 + done % 3);
      stream.Produce(structures.data() + uint64_t{done} * kSectorSize, n);
      done += n;
    }
    if (!stream.Exhausted()) return "the UDF stream did not end with its allocation";
    out.Write(structures.data(), structures.size());
  }
  if (out.written() != uint64_t{layout.FirstDataSector} * kSectorSize) {
    return "the structures do not end at the first data sector";
  }
  for (size_t i = 0; i < layout.Files.size(); ++i) {
    TFileEntry& entry = *layout.Files[i];
    if (!HasOwnData(entry)) continue;
    if (out.written() != (uint64_t{layout.FirstDataSector} + entry.Address) * kSectorSize) {
      return "file data is not at its address: " + Utf16ToUtf8(entry.LongName);
    }
    if (entry.Path.empty()) {
      CopyMemoryFile(entry, out);
    } else if (!CopyFile(Utf16ToUtf8(entry.Path), static_cast<uint64_t>(entry.FileSize), out)) {
      return "cannot read " + Utf16ToUtf8(entry.Path);
    }
  }
  const uint64_t total = uint64_t{layout.TotalImageSize} * kSectorSize;
  if (layout.UDFBridge) {
    out.Zeros(total - kSectorSize - out.written());
    std::vector<uint8_t> anchor(kSectorSize);
    PutClosingAnchor(layout, anchor.data());
    out.Write(anchor.data(), anchor.size());
  } else {
    out.Zeros(total - out.written());
  }
  if (!out.ok() || out.written() != total) return "writing the image failed";
  return "";
}

}  // namespace orvex::test
