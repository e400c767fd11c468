#include "ui/start_options.h"

#include "services/text.h"

#include <windows.h>

#include <string_view>

namespace corvane {

CommandLine parse_command_line(int argc, const wchar_t* const* argv) {
  CommandLine result;
  StartOptions& options = result.options;
  for (int i = 1; i < argc; ++i) {
    const std::wstring_view argument = argv[i] != nullptr ? argv[i] : L"";
    const bool has_value = i + 1 < argc && argv[i + 1] != nullptr;
    if (argument == L"--smoke-test") {
      options.smoke = true;
    } else if (argument == L"--render-test") {
      options.smoke = true;
      options.render_test = true;
    } else if (argument == L"--language" && has_value) {
      options.vietnamese = std::wstring_view(argv[++i]) == L"vi";
      options.language_given = true;
    } else if (argument == L"--theme" && has_value) {
      options.dark = std::wstring_view(argv[++i]) == L"dark";
      options.theme_given = true;
    } else if (argument == L"--take-ownership" && has_value) {
      result.take_ownership_path = std::wstring(argv[i + 1]);
      return result;
    }
  }
  return result;
}

int report_start_failure(const StartOptions& options, const char* what, std::FILE* err) {
  const std::wstring message = utf8_to_wide_lenient(what != nullptr ? what : "");
  if (options.smoke) {
    std::fwprintf(err, L"Corvane: %ls\n", message.c_str());
    std::fflush(err);
  } else {
    MessageBoxW(nullptr, message.c_str(), L"Corvane", MB_ICONERROR);
  }
  return 1;
}

}  // namespace corvane
