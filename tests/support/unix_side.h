#pragma once
// Work on the Unix side of the Wine prefix, for what Wine cannot do through Win32:
// symbolic links (CreateSymbolicLinkW creates nothing under Wine).

#include <string>

namespace corvane::testing {

// The Unix path of a Windows path; empty when not under Wine or not mappable.
std::string unix_path_of(const std::wstring& windows_path);

// Runs `ln -s target link` (both given as Windows paths; the target must exist) and waits
// until the link resolves. False when not under Wine or when no link appeared.
bool make_unix_symlink(const std::wstring& target, const std::wstring& link);

// Runs `rm -f link`, removing a link itself without touching what it points to, and waits
// until it is gone.
bool remove_unix_link(const std::wstring& link);

}  // namespace corvane::testing
