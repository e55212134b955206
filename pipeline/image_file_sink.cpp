// SPDX-License-Identifier: Apache-2.0
#include "pipeline/image_file_sink.h"

#include <cerrno>

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
