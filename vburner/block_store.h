// SPDX-License-Identifier: Apache-2.0
// The sparse file that holds a medium's 2048-byte blocks at lba * 2048.
// Blocks never written read as zeros, so a blank 25 GB disc costs nothing;
// blocks written as zeros become holes again, so erasing by writing zeros
// over a disc gives its space back.
#ifndef ORVEX_VBURNER_BLOCK_STORE_H_
#define ORVEX_VBURNER_BLOCK_STORE_H_

#include <cstdint>
#include <memory>
#include <string>

namespace orvex::vburner {

constexpr uint32_t kBlockSize = 2048;

class BlockStore {
 public:
  enum class Access {
    kInspect,  // read only, no lock: the tool looking at a medium
    kRead,     // read only, exclusively locked while a drive holds a read-only medium
    kDrive,    // read and write, exclusively locked while a drive holds the medium
    kCreate,   // as kDrive, creating the file, which must not exist yet
    kReplace,  // as kDrive, creating the file or emptying the one there
  };

  // Null with `error` set when the file cannot be opened, or when another
  // drive (in this or another process) holds it.  A file without write
  // permission opens for kDrive too; writing to it then fails.  The
  // writable accesses refuse a symbolic link, so that a medium never
  // writes, or empties, a file elsewhere that a link points to.
  static std::unique_ptr<BlockStore> Open(const std::string& path, Access access, std::string& error);
  ~BlockStore();
  BlockStore(const BlockStore&) = delete;
  BlockStore& operator=(const BlockStore&) = delete;

  // Reads count blocks into out (count * 2048 bytes).
  bool Read(uint32_t lba, uint32_t count, uint8_t* out, std::string& error) const;

  // Writes count blocks; false with `error` (for example a full disk).
  bool Write(uint32_t lba, uint32_t count, const uint8_t* data, std::string& error);

  // Forgets every block: the medium reads as zeros again.
  bool Erase(std::string& error);

  // Takes a shared lock for the life of the object, so that no drive can
  // load the medium meanwhile; false when a drive holds it.
  bool Share();

 private:
  BlockStore(std::string path, int fd) : path_(std::move(path)), fd_(fd) {}

  bool WriteData(uint32_t lba, uint32_t count, const uint8_t* data, std::string& error);
  // Makes the blocks holes (those inside the file; past its end they are).
  bool WriteZeros(uint32_t lba, uint32_t count, std::string& error);

  std::string path_;
  int fd_;
};

}  // namespace orvex::vburner

#endif  // ORVEX_VBURNER_BLOCK_STORE_H_
