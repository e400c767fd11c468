#pragma once
// Removing a Unix symbolic link made by make_unix_symlink (support/unix_link.h) from the
// Unix side, without touching what it points to.

#include <string>

namespace corvane::testing {

// Runs `rm -f link` (a Windows path) and waits until the link is gone. False when not under
// Wine or when it stayed.
bool remove_unix_link(const std::wstring& link);

}  // namespace corvane::testing
