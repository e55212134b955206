// SPDX-License-Identifier: Apache-2.0
// What a source path on this system says of an entry beyond its find data:
// its POSIX attributes, read when the entry is added.
#ifndef ORVEX_TREE_SOURCE_ATTRIBUTES_H_
#define ORVEX_TREE_SOURCE_ATTRIBUTES_H_

#include <sys/stat.h>

#include <optional>
#include <string>

#include "tree/posix_attributes.h"

namespace orvex {

// The attributes of the file at `path` under the name `name` (the entry's
// long name, in its 8-bit form): of a symbolic link itself with its target
// when `link`, else of what the path leads to.  Null when the path cannot be
// examined (it vanished since it was listed), or when `link` is set and it is
// no longer a link.
std::optional<TPosixAttributes> SourceAttributes(const std::u16string& path, const std::string& name, bool link);

// The attributes a record of the file system gives (of a file or directory
// already examined, not a link) under the name `name`.
TPosixAttributes SourceAttributes(const struct stat& st, const std::string& name);

}  // namespace orvex

#endif  // ORVEX_TREE_SOURCE_ATTRIBUTES_H_
