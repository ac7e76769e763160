// PAPPL 1.3.1 makes its local socket, the owner's way in,
// writable by everyone (0777). Once the server listens on it, it is made the
// application's user's alone. Tested by
// AppAccessTest.WhatTheApplicationKeepsIsItsOwn.
#include <sys/stat.h>

#include "pappl_fixes/pappl_fixes.h"

namespace pappl_fixes {

void MakeLocalSocketPrivate(const std::string& path) { chmod(path.c_str(), 0600); }

}  // namespace pappl_fixes
