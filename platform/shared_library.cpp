// SPDX-License-Identifier: Apache-2.0
#include "platform/shared_library.h"

#include <dlfcn.h>

namespace orvex {

TSharedLibrary::~TSharedLibrary() {
  if (handle_ != nullptr) dlclose(handle_);
}

TSharedLibrary& TSharedLibrary::operator=(TSharedLibrary&& other) noexcept {
  if (this != &other) {
    if (handle_ != nullptr) dlclose(handle_);
    handle_ = other.handle_;
    other.handle_ = nullptr;
  }
  return *this;
}

bool TSharedLibrary::Open(const std::string& path, std::string* why) {
  void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle == nullptr) {
    if (why != nullptr) *why = dlerror();
    return false;
  }
  if (handle_ != nullptr) dlclose(handle_);
  handle_ = handle;
  return true;
}

void* TSharedLibrary::Symbol(const char* name) const {
  return handle_ == nullptr ? nullptr : dlsym(handle_, name);
}

}  // namespace orvex
