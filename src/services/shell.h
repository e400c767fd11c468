#pragma once
// Shell opening, the executable's path and well-known folders.

#include "services/registry_value.h"

#include <windows.h>
#include <shlobj.h>

#include <string>

namespace corvane {

// Opens a file, folder, web address or Windows tool with the shell's "open" verb; never throws.
// A process that is elevated (or whose elevation cannot be read) hands the request to the
// desktop's own shell, so that the user's own file associations never run with administrator
// rights; when that route fails nothing is opened and ok is false.
Outcome shell_open(HWND owner, const std::wstring& target);

// The two ways shell_open reaches the shell; a test replaces them to see which one is taken.
struct ShellOpenRoutes {
  Outcome (*in_process)(HWND owner, const std::wstring& target) = nullptr;
  Outcome (*through_desktop)(const std::wstring& target) = nullptr;
};
Outcome shell_open(HWND owner, const std::wstring& target, bool elevated, const ShellOpenRoutes& routes);

// ShellExecuteW(owner, "open", target) in this process: ok false with the Windows text of the
// shell's error code.
Outcome shell_execute_open(HWND owner, const std::wstring& target);

// Full path of the running executable; throws "Cannot determine executable path".
std::wstring executable_path();

// Throws the Windows text of a failure.
std::wstring known_folder_path(REFKNOWNFOLDERID id);

// The Windows directory, or empty on failure.
std::wstring windows_folder();

// The system's own Windows directory (GetSystemWindowsDirectoryW, never a per-user one), or
// empty on failure.
std::wstring system_windows_folder();

}  // namespace corvane
