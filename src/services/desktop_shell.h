#pragma once
// Opening through the desktop's own shell: what it opens runs in the desktop's process, with
// the user's own rights, whatever rights the caller has.

#include "services/registry_value.h"

#include <string>

namespace corvane {

// Why a request meant for the desktop's shell opened nothing.
inline constexpr wchar_t kDesktopShellUnavailable[] =
    L"The Windows desktop could not open this item with your own rights, so nothing was opened.";

// The "open" verb on target, carried out by the shell view of the desktop window
// (IShellDispatch2::ShellExecute). ok false with kDesktopShellUnavailable when the desktop, one
// of its objects or the open itself fails. Never throws.
Outcome desktop_shell_open(const std::wstring& target);

}  // namespace corvane
