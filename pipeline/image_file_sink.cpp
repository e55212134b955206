// SPDX-License-Identifier: Apache-2.0
#include "pipeline/image_file_sink.h"

#include <algorithm>
#include <cerrno>

#include "pipeline/packet_ring.h"

#include "platform/text_conversion.h"

namespace orvex {

std::unique_ptr<TImageFileSink> TImageFileSink::Open(const std::u16string& name,
                                                     TJobFailure& failure) {
  const std::string path = Utf16ToUtf8(name);
  int error = 0;
  const std::optional<TFileState> state = PathState(path, &error);
  if (!state && error != ENOENT) {
    failure = {kErrorCreating, name, error};
    return nullptr;
  }
  if (state && state->directory) {
    failure = {kErrorCreating, name, EISDIR};
    return nullptr;
  }
  if (state && !state->regular) {
    TFile file = TFile::OpenWrite(path);
    if (!file.IsOpen()) {
      failure = {kErrorCreating, name, file.LastError()};
      return nullptr;
    }
    return std::unique_ptr<TImageFileSink>(new TImageFileSink(name, std::move(file), "", path));
  }
  const std::string target = ResolvedPath(path);
  const uint32_t mode = state ? state->mode : 0666 & ~CreationMask();
  std::string temporary;
  TFile file = TFile::CreateBeside(target, mode, temporary);
  if (!file.IsOpen()) {
    // Also where an old image could be overwritten but its directory takes
    // no new file: the image is never written in place.
    failure = {kErrorCreating, name, file.LastError()};
    return nullptr;
  }
  return std::unique_ptr<TImageFileSink>(
      new TImageFileSink(name, std::move(file), std::move(temporary), target));
}

// A run that never finished leaves nothing behind.
TImageFileSink::~TImageFileSink() {
  if (temporary_.empty()) return;
  file_.Close();
  RemovePath(temporary_);
}

bool TImageFileSink::Write(const uint8_t* data, uint32_t size) {
  if (file_.Write(data, size)) return true;
  return Fail(kErrorWriting, name_, file_.LastError());
}

bool TImageFileSink::CopyRange(TCopySource& source, uint64_t offset, uint32_t size) {
  const uint64_t data = offset < source.Size ? std::min<uint64_t>(size, source.Size - offset) : 0;
  uint64_t done = 0;
  if (kernel_copies_ && data > 0) {
    const int64_t n = file_.CopyFrom(source.File, offset, data);
    if (n > 0) done = static_cast<uint64_t>(n);
    // Without the call no later copy can succeed; other refusals may be of
    // this pair of files only.  Either way what is left is read here.
    if (n < 0 && file_.LastError() == ENOSYS) kernel_copies_ = false;
  }
  if (done < data && !ReadAndWrite(source, offset + done, data - done)) return false;
  static constexpr uint8_t kZeros[kSectorSize] = {};
  const uint64_t filler = size - data;
  for (uint64_t left = filler; left > 0;) {
    const uint64_t n = std::min<uint64_t>(left, sizeof kZeros);
    if (!file_.Write(kZeros, n)) return Fail(kErrorWriting, name_, file_.LastError());
    left -= n;
  }
  return true;
}

bool TImageFileSink::ReadAndWrite(TCopySource& source, uint64_t offset, uint64_t size) {
  if (!buffer_) buffer_ = std::make_unique<uint8_t[]>(kPacketSize);
  while (size > 0) {
    const size_t want = static_cast<size_t>(std::min<uint64_t>(size, kPacketSize));
    const int64_t n = source.File.ReadAt(buffer_.get(), want, offset);
    if (n < 0) return Fail(kErrorReading, source.Name, source.File.LastError());
    // Shorter than recorded: the image would hold something else than the file.
    if (static_cast<size_t>(n) < want) return Fail(kErrorReading, source.Name, 0);
    if (!file_.Write(buffer_.get(), want)) return Fail(kErrorWriting, name_, file_.LastError());
    offset += want;
    size -= want;
  }
  return true;
}

bool TImageFileSink::Finish(bool complete) {
  // Closing reports data that could not be written back.
  const bool closed = file_.Close();
  bool kept = complete && closed;
  if (complete && !closed) Fail(kErrorWriting, name_, file_.LastError());
  if (temporary_.empty()) return kept;
  int error = 0;
  if (kept && !RenamePath(temporary_, target_, &error)) {
    kept = Fail(kErrorWriting, name_, error);
  }
  if (!kept) RemovePath(temporary_);
  temporary_.clear();
  return kept;
}

}  // namespace orvex
