// SPDX-License-Identifier: Apache-2.0
// A shared object loaded at run time, and the symbols it exports.
#ifndef ORVEX_PLATFORM_SHARED_LIBRARY_H_
#define ORVEX_PLATFORM_SHARED_LIBRARY_H_

#include <string>

namespace orvex {

class TSharedLibrary {
 public:
  TSharedLibrary() = default;
  ~TSharedLibrary();
  TSharedLibrary(TSharedLibrary&& other) noexcept : handle_(other.handle_) { other.handle_ = nullptr; }
  TSharedLibrary& operator=(TSharedLibrary&& other) noexcept;
  TSharedLibrary(const TSharedLibrary&) = delete;
  TSharedLibrary& operator=(const TSharedLibrary&) = delete;

  // Loads `path` (a bare file name is looked for on the library search
  // path); false with `why` set when it cannot be loaded.
  bool Open(const std::string& path, std::string* why = nullptr);
  bool IsOpen() const { return handle_ != nullptr; }

  // The address of an exported symbol; null when there is none.
  void* Symbol(const char* name) const;

 private:
  void* handle_ = nullptr;
};

}  // namespace orvex

#endif  // ORVEX_PLATFORM_SHARED_LIBRARY_H_
