#pragma once
// Shell opening, the executable's path and well-known folders.

#include "services/registry_value.h"

#include <windows.h>
#include <shlobj.h>

#include <string>

namespace corvane {

// ShellExecuteW "open"; never throws.
Outcome shell_open(HWND owner, const std::wstring& target);

// Full path of the running executable; throws "Cannot determine executable path".
std::wstring executable_path();

// Throws the Windows text of a failure.
std::wstring known_folder_path(REFKNOWNFOLDERID id);

// The Windows directory, or empty on failure.
std::wstring windows_folder();

}  // namespace corvane
