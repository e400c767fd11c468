#pragma once
// Symbolic links for tests under Wine, where CreateSymbolicLinkW creates nothing: the link is
// made on the Unix side by running ln through Wine's process start.

#include <string>

namespace corvane::testing {

// Makes link (a Windows path) a Unix symbolic link to target (a Windows path). Returns false
// when not under Wine or when ln failed.
bool make_unix_symlink(const std::wstring& target, const std::wstring& link);

// Removes a link made by make_unix_symlink (Wine refuses to delete a directory link itself).
void remove_unix_symlink(const std::wstring& link);

}  // namespace corvane::testing
