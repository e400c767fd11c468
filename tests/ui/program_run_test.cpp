// A whole run of Corvane.exe: start-up, the window, closing and the exit code.
#include "support/built_program.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>

namespace corvane {
namespace {

struct Search {
  DWORD pid;
  HWND found;
};

BOOL CALLBACK find_main_window(HWND window, LPARAM param) {
  auto* search = reinterpret_cast<Search*>(param);
  DWORD pid = 0;
  GetWindowThreadProcessId(window, &pid);
  wchar_t name[64] = {};
  GetClassNameW(window, name, 64);
  if (pid != search->pid || std::wstring(name) != L"Corvane.Main" ||
      (GetWindowLongPtrW(window, GWL_STYLE) & WS_VISIBLE) == 0) {
    return TRUE;
  }
  search->found = window;
  return FALSE;
}

TEST(ProgramRun, OpensAndClosesWithExitCodeZero) {
  // On a desktop of its own, so that its window takes no focus from other test programs.
  std::wstring desktop_name = L"CorvaneRun" + std::to_wstring(GetCurrentProcessId());
  const HDESK desktop = CreateDesktopW(desktop_name.c_str(), nullptr, nullptr, 0, GENERIC_ALL, nullptr);
  ASSERT_NE(desktop, nullptr);
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  startup.lpDesktop = desktop_name.data();
  // Unknown options are ignored.
  std::wstring command = L"\"" + testing::built_corvane_exe() + L"\" --language vi --theme dark --unknown-option x";
  PROCESS_INFORMATION process{};
  ASSERT_TRUE(CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process));
  Search search{process.dwProcessId, nullptr};
  for (int i = 0; i < 200 && search.found == nullptr; ++i) {
    EnumDesktopWindows(desktop, find_main_window, reinterpret_cast<LPARAM>(&search));
    if (search.found == nullptr && WaitForSingleObject(process.hProcess, 50) == WAIT_OBJECT_0) break;
  }
  EXPECT_NE(search.found, nullptr) << "no main window within ten seconds";
  if (search.found != nullptr) PostMessageW(search.found, WM_CLOSE, 0, 0);
  DWORD code = 99;
  if (WaitForSingleObject(process.hProcess, 10000) == WAIT_OBJECT_0) {
    GetExitCodeProcess(process.hProcess, &code);
  } else {
    TerminateProcess(process.hProcess, 99);
  }
  EXPECT_EQ(code, 0u);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  CloseDesktop(desktop);
}

}  // namespace
}  // namespace corvane
