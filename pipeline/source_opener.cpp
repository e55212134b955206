// SPDX-License-Identifier: Apache-2.0
#include "pipeline/source_opener.h"

#include <string>

#include "image/image_layout.h"
#include "platform/text_conversion.h"

namespace orvex {

TSourceOpener::TSourceOpener(const TEntryTable<TFileEntry>& files, int32_t count)
    : files_(files), count_(count), thread_([this] { Run(); }) {}

TSourceOpener::~TSourceOpener() {
  stop_ = true;
  Wake(taken_cv_);
  thread_.join();
}

TFile TSourceOpener::Take(int32_t index) {
  const uint32_t taken = taken_.load(std::memory_order_relaxed);
  if (opened_.load() == taken) WaitForOpened(taken);
  TFile file = std::move(opened_files_[taken % kLookahead]);
  if (!file.IsOpen()) {
    // The opener waits for this one to be taken, its directory closed; with
    // the files given back closed too, nothing is held open for it.
    CloseGivenBack();
    file = TFile::OpenRead(Utf16ToUtf8(files_[static_cast<size_t>(index)]->Path));
  }
  taken_.store(taken + 1);
  if (opener_waits_.load() && opened_.load() - (taken + 1) <= most_held_.load()) Wake(taken_cv_);
  return file;
}

void TSourceOpener::Close(TFile file) {
  // With less than a batch opened ahead the opener is the slower: the
  // reader closes the file itself, which keeps the two threads' work in
  // balance.
  if (!file.IsOpen() || done_.load() || opened_.load() - taken_.load(std::memory_order_relaxed) < kBatch) return;
  const uint32_t given = given_.load(std::memory_order_relaxed);
  if (given - closed_.load() == kLookahead) return;
  given_files_[given % kLookahead] = std::move(file);
  given_.store(given + 1);
}

void TSourceOpener::Run() {
  for (int32_t i = 0; i < count_ && !stop_.load(); ++i) {
    const TFileEntry& entry = *files_[static_cast<size_t>(i)];
    if (!HasOwnData(entry) || entry.Path.empty()) continue;
    const uint32_t opened = opened_.load(std::memory_order_relaxed);
    if (opened - taken_.load() == kLookahead && !WaitForTaking(kLookahead - kBatch)) return;
    CloseGivenBack();
    TFile file = Open(entry.Path);
    const bool failed = !file.IsOpen();
    if (failed) directory_ = TFile();
    opened_files_[opened % kLookahead] = std::move(file);
    opened_.store(opened + 1);
    if (reader_waits_.load() && opened + 1 >= wanted_.load()) Wake(opened_cv_);
    if (failed && !WaitForTaking(0)) return;
  }
  done_ = true;
  Wake(opened_cv_);
}

TFile TSourceOpener::Open(const std::u16string& path) {
  const size_t slash = path.rfind(u'/');
  if (slash == std::u16string::npos) return TFile::OpenRead(Utf16ToUtf8(path));
  const std::u16string_view directory(path.data(), slash + 1);
  if (!directory_.IsOpen() || directory != directory_path_) {
    directory_ = TFile::OpenDirectory(Utf16ToUtf8(directory));
    directory_path_ = directory;
    if (!directory_.IsOpen()) return TFile();
  }
  return TFile::OpenRead(directory_, Utf16ToUtf8(std::u16string_view(path).substr(slash + 1)));
}

void TSourceOpener::CloseGivenBack() {
  const uint32_t given = given_.load();
  for (uint32_t closed = closed_.load(std::memory_order_relaxed); closed != given; ++closed) {
    given_files_[closed % kLookahead].Close();
  }
  closed_.store(given);
}

void TSourceOpener::WaitForOpened(uint32_t taken) {
  std::unique_lock lock(mutex_);
  wanted_ = taken + kBatch;
  reader_waits_ = true;
  opened_cv_.wait(lock, [&] {
    const uint32_t opened = opened_.load();
    return done_.load() || (opened != taken && (opened >= wanted_ || opener_waits_.load()));
  });
  reader_waits_ = false;
}

void TSourceOpener::Wake(std::condition_variable& sleeper) {
  // Through the lock, so that a thread about to sleep sees the change; the
  // sleeper, woken after it is released, does not wait for it again.
  { std::lock_guard lock(mutex_); }
  sleeper.notify_one();
}

bool TSourceOpener::WaitForTaking(uint32_t most) {
  std::unique_lock lock(mutex_);
  most_held_ = most;
  opener_waits_ = true;
  if (reader_waits_.load()) opened_cv_.notify_one();
  taken_cv_.wait(lock, [&] { return opened_.load() - taken_.load() <= most || stop_.load(); });
  opener_waits_ = false;
  return !stop_.load();
}

}  // namespace orvex
