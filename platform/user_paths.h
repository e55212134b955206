// SPDX-License-Identifier: Apache-2.0
// Where files go that a Windows program would put at a fixed place of the
// system drive: the user's state directory for logs, the home directory for
// a default image; and the folder of the running program, where a library
// that comes with it may lie.
#ifndef ORVEX_PLATFORM_USER_PATHS_H_
#define ORVEX_PLATFORM_USER_PATHS_H_

#include <string>

namespace orvex {

// $XDG_STATE_HOME/orvex (by default ~/.local/state/orvex), created when
// missing; empty when it cannot be.
std::string UserStateDirectory();

// The user's home directory ($HOME, else the password database's).
std::string HomeDirectory();

// The folder of the running program's executable; empty when the system
// does not tell.
std::string ExecutableDirectory();

}  // namespace orvex

#endif  // ORVEX_PLATFORM_USER_PATHS_H_
