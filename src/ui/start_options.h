#pragma once
// The command line of Corvane and the theme modes.

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>

namespace corvane {

struct StartOptions {
  bool smoke = false;           // "--smoke-test", also set by "--render-test"
  bool vietnamese = false;      // the live language flag once the App runs
  bool dark = true;             // the effective dark flag once the App runs
  bool language_given = false;
  bool theme_given = false;
  bool render_test = false;
};

enum ThemeMode : std::uint32_t {
  THEME_SYSTEM = 0,
  THEME_LIGHT = 1,
  THEME_DARK = 2,
};

struct CommandLine {
  StartOptions options;
  // Set when "--take-ownership" was followed by a path: that mode runs instead of the window.
  std::optional<std::wstring> take_ownership_path;
};

// Reads the arguments after the program name (argv[0]) left to right. The path of
// "--take-ownership" is copied, so the caller may free argv afterwards.
CommandLine parse_command_line(int argc, const wchar_t* const* argv);

// An error that ended start-up: the test modes write it to `err` (nothing may wait on a box
// there), the normal run shows the "Corvane" error box. Returns the exit code, 1.
int report_start_failure(const StartOptions& options, const char* what, std::FILE* err);

}  // namespace corvane
