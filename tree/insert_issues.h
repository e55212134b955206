// SPDX-License-Identifier: Apache-2.0
// What the insertion routines tell their caller about source entries they
// could not take whole, so that nothing is left out without a word.
#ifndef ORVEX_TREE_INSERT_ISSUES_H_
#define ORVEX_TREE_INSERT_ISSUES_H_

#include <functional>
#include <string>

namespace orvex {

enum class TInsertIssueKind {
  kUnreadableDirectory,  // cannot be listed or entered (Error says why): its content is left out
  kUnreadableEntry,      // cannot be examined (Error says why): left out
  kSpecialFile,          // a device, pipe or socket: left out
  kDanglingLink,         // a symbolic link that leads nowhere: left out
  kLoop,                 // a link back to a directory on its own path: not entered again
  kNameTooLong,          // the name is too long for the tree: left out
  kNameClash,            // the directory holds that name already: the entry that was there
                         // stays, this one is left out
  kCaseVariant,          // the directory holds a name differing from this one only in case
                         // (Other): both are kept, nothing is left out; trees that compare
                         // names without case give one of them a numbered name
  kKindClash,            // the name belongs to a file where this is a directory, or the
                         // other way round: left out
  kFilesFull,            // the file table is full: this and everything after it is left out
  kDirectoriesFull,      // the directory table is full: likewise
};

struct TInsertIssue {
  TInsertIssueKind Kind;
  std::u16string Path;  // the source path, or the image path of an entry without one
  int Error = 0;        // the system's errno, where one applies
  std::u16string Other; // kCaseVariant: the name already in the directory
};

// Called on the inserting thread for each issue, as it is met.
using TInsertIssueEvent = std::function<void(const TInsertIssue& Issue)>;

}  // namespace orvex

#endif  // ORVEX_TREE_INSERT_ISSUES_H_
