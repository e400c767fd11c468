#pragma once
// The command mode behind the Explorer verb "--take-ownership <path>": no window, no App.

#include <string>

namespace corvane {

// Returns the process exit code, 0 or 1.
int take_ownership_command(const std::wstring& path);

}  // namespace corvane
