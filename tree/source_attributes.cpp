// SPDX-License-Identifier: Apache-2.0
#include "tree/source_attributes.h"

#include <sys/stat.h>
#include <unistd.h>

#include <vector>

#include "platform/text_conversion.h"

namespace orvex {

std::optional<TPosixAttributes> SourceAttributes(const std::u16string& path, const std::string& name, bool link) {
  const std::string native = Utf16ToUtf8(path);
  struct stat st;
  if ((link ? lstat(native.c_str(), &st) : stat(native.c_str(), &st)) != 0) return std::nullopt;
  if (link != S_ISLNK(st.st_mode)) return std::nullopt;
  TPosixAttributes a = SourceAttributes(st, name);
  if (link) {
    // The size lstat gives may be 0 (some file systems); read until the
    // buffer is larger than the target.
    std::vector<char> target(static_cast<size_t>(st.st_size > 0 ? st.st_size : 255) + 1);
    for (;;) {
      const ssize_t n = readlink(native.c_str(), target.data(), target.size());
      if (n < 0) return std::nullopt;
      if (static_cast<size_t>(n) < target.size()) {
        a.LinkTarget.assign(target.data(), static_cast<size_t>(n));
        break;
      }
      target.resize(target.size() * 2);
    }
  }
  return a;
}

TPosixAttributes SourceAttributes(const struct stat& st, const std::string& name) {
  TPosixAttributes a;
  a.Name = name;
  a.Mode = st.st_mode;
  a.Uid = st.st_uid;
  a.Gid = st.st_gid;
  a.Links = static_cast<uint32_t>(st.st_nlink);
  a.Serial = st.st_ino;
  a.Modified = st.st_mtim;
  a.Accessed = st.st_atim;
  a.Changed = st.st_ctim;
  return a;
}

}  // namespace orvex
