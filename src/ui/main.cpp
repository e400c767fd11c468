#include "services/handles.h"
#include "ui/app.h"
#include "ui/start_options.h"
#include "ui/selftest/take_ownership_mode.h"

#include <windows.h>
#include <commctrl.h>
#include <objbase.h>
#include <shellapi.h>

#include <exception>
#include <memory>

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int show_command) {
  using namespace corvane;
  SetProcessDpiAwarenessContext(DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2);
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  CoInitializeSecurity(nullptr, -1, nullptr, nullptr, RPC_C_AUTHN_LEVEL_DEFAULT, RPC_C_IMP_LEVEL_IMPERSONATE,
                       nullptr, EOAC_NONE, nullptr);
  INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_WIN95_CLASSES | ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&controls);

  CommandLine command_line;
  {
    int argc = 0;
    std::unique_ptr<LPWSTR, LocalFreer> argv(CommandLineToArgvW(GetCommandLineW(), &argc));
    if (argv) command_line = parse_command_line(argc, argv.get());
  }
  if (command_line.take_ownership_path) {
    const int code = take_ownership_command(*command_line.take_ownership_path);
    CoUninitialize();
    return code;
  }

  int exit_code = 1;
  try {
    App app(command_line.options);
    exit_code = app.run(instance, show_command);
  } catch (const std::exception& error) {
    exit_code = report_start_failure(command_line.options, error.what(), stderr);
  }
  CoUninitialize();
  return exit_code;
}
