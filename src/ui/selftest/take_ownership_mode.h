#pragma once
// The command mode behind the Explorer verb "--take-ownership <path>": no window, no App.

#include "services/registry_value.h"

#include <windows.h>

#include <string>

namespace corvane {

// What the mode asks of the system; the product uses the real message box, elevation probe,
// operation and shell relaunch, a test replaces them.
struct TakeOwnershipSystem {
  int (*message_box)(const std::wstring& text, const std::wstring& caption, UINT style) = nullptr;
  bool (*elevated)() = nullptr;
  Outcome (*take)(const std::wstring& path) = nullptr;
  // True when the elevated instance was started.
  bool (*relaunch_elevated)(const std::wstring& parameters) = nullptr;
};

const TakeOwnershipSystem& system_take_ownership();

// "--take-ownership" and the path in double quotes, with the backslashes that end the path
// doubled so the closing quote stays a quote ("C:\" arrives as C:\).
std::wstring take_ownership_parameters(const std::wstring& path);

// Returns the process exit code, 0 or 1.
int take_ownership_command(const std::wstring& path);
int take_ownership_command(const std::wstring& path, const TakeOwnershipSystem& system);

}  // namespace corvane
