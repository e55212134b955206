// SPDX-License-Identifier: Apache-2.0
#include "cli/source_check.h"

#include "cli/messages.h"

namespace orvex::cli {
namespace {

// Stop signals are looked for every this many entries while the tree fills.
constexpr unsigned kSignalCheckInterval = 512;

}  // namespace

TSourceCheck::TSourceCheck(TOrvex& disc, TSignalWatch& signals, const std::string& output)
    : disc_(disc), signals_(signals) {
  struct stat st;
  if (stat(output.c_str(), &st) == 0 && S_ISREG(st.st_mode)) output_ = st;
  disc_.SetSkipUnreadableSources(true);
  disc_.SetOnInsertIssue([this](const TInsertIssue& issue) { Report(issue); });
  disc_.SetOnAddFile([this](TObject*, const char16_t* path, WIN32_FIND_DATAW& fd, bool& skip) {
    if (++added_ % kSignalCheckInterval == 0 && signals_.Poll()) interrupted_ = true;
    if (interrupted_) {
      skip = true;
      return;
    }
    // Only a file of the image's size can be the image: no other is examined.
    if (output_ && path != nullptr && (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0 &&
        FindFileSize(fd) == static_cast<uint64_t>(output_->st_size) && IsOutput(Utf16ToUtf8(path))) {
      Say(Printable(path) + " is the image being written; give another output");
      output_is_source_ = true;
      skip = true;
    }
  });
}

TSourceCheck::~TSourceCheck() {
  disc_.SetOnAddFile(nullptr);
  disc_.SetOnInsertIssue(nullptr);
}

void TSourceCheck::Report(const TInsertIssue& issue) {
  if (IsWarning(issue.Kind)) {
    if (issue.Kind != TInsertIssueKind::kCaseVariant) ++warnings_;  // it leaves nothing out
    Warn(IssueMessage(issue));
  } else {
    ++errors_;
    Say(IssueMessage(issue));
  }
}

bool TSourceCheck::IsOutput(const std::string& path) const {
  struct stat st;
  return output_ && stat(path.c_str(), &st) == 0 && st.st_dev == output_->st_dev &&
         st.st_ino == output_->st_ino;
}

}  // namespace orvex::cli
