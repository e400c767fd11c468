// Whole runs of Corvane.exe: start-up, the window, closing and the exit code.
#include "support/ui_app.h"

#include "support/built_program.h"

#include <gtest/gtest.h>

#include <string>

namespace corvane {
namespace {

using testing::built_corvane_exe;

// One run of Corvane on a desktop of its own, so its windows take no focus from other tests.
class ProgramRun {
 public:
  explicit ProgramRun(const std::wstring& arguments) {
    desktop_name_ = L"CorvaneRun" + std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(GetTickCount64());
    desktop_ = CreateDesktopW(desktop_name_.c_str(), nullptr, nullptr, 0, GENERIC_ALL, nullptr);
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    if (desktop_ != nullptr) startup.lpDesktop = desktop_name_.data();
    std::wstring command = L"\"" + built_corvane_exe() + L"\" " + arguments;
    started_ = CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                              &process_) != FALSE;
  }
  ~ProgramRun() {
    if (started_) {
      if (WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT) TerminateProcess(process_.hProcess, 99);
      CloseHandle(process_.hThread);
      CloseHandle(process_.hProcess);
    }
    if (desktop_ != nullptr) CloseDesktop(desktop_);
  }
  bool started() const { return started_; }

  // The process's main window once shown, waited for up to ten seconds.
  HWND main_window() {
    for (int i = 0; i < 200; ++i) {
      if (HWND found = find_main_window(); found != nullptr && (GetWindowLongPtrW(found, GWL_STYLE) & WS_VISIBLE)) {
        return found;
      }
      if (WaitForSingleObject(process_.hProcess, 50) == WAIT_OBJECT_0) return nullptr;
    }
    return nullptr;
  }
  // Exit code, or -1 after `timeout_ms`.
  long exit_code(DWORD timeout_ms = 10000) {
    if (WaitForSingleObject(process_.hProcess, timeout_ms) != WAIT_OBJECT_0) return -1;
    DWORD code = 0;
    GetExitCodeProcess(process_.hProcess, &code);
    return static_cast<long>(code);
  }

 private:
  HWND find_main_window() {
    struct Search {
      DWORD pid;
      HWND found;
    } search{process_.dwProcessId, nullptr};
    const auto visit = [](HWND window, LPARAM param) -> BOOL {
      auto* s = reinterpret_cast<Search*>(param);
      DWORD pid = 0;
      GetWindowThreadProcessId(window, &pid);
      wchar_t name[64] = {};
      GetClassNameW(window, name, 64);
      if (pid == s->pid && std::wstring(name) == L"Corvane.Main") {
        s->found = window;
        return FALSE;
      }
      return TRUE;
    };
    EnumDesktopWindows(desktop_, visit, reinterpret_cast<LPARAM>(&search));  // null: this thread's desktop
    return search.found;
  }

  std::wstring desktop_name_;
  HDESK desktop_ = nullptr;
  PROCESS_INFORMATION process_{};
  bool started_ = false;
};

std::wstring text_of(HWND window) {
  wchar_t text[256] = {};
  SendMessageTimeoutW(window, WM_GETTEXT, 256, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, 5000, nullptr);
  return text;
}

TEST(ProgramRun, OpensAndClosesWithExitCodeZero) {
  // Unknown options are ignored, and --take-ownership without a path starts the window.
  const struct {
    const wchar_t* arguments;
    const wchar_t* first_page;
  } runs[] = {{L"--language vi --theme dark --unknown-option x", L"Tổng quan"},
              {L"--theme light --language en --take-ownership", L"Overview"}};
  for (const auto& r : runs) {
    ProgramRun run(r.arguments);
    ASSERT_TRUE(run.started());
    const HWND window = run.main_window();
    ASSERT_NE(window, nullptr) << "exit code " << run.exit_code(0) << " with " << ::testing::PrintToString(r.arguments);
    EXPECT_EQ(text_of(window), L"Corvane 1.0");
    // The language of the command line reaches the sidebar.
    const HWND sidebar_button =
        FindWindowExW(FindWindowExW(window, nullptr, L"Static", nullptr), nullptr, L"Button", nullptr);
    ASSERT_NE(sidebar_button, nullptr);
    EXPECT_EQ(text_of(sidebar_button), r.first_page);
    PostMessageW(window, WM_CLOSE, 0, 0);
    EXPECT_EQ(run.exit_code(), 0);
  }
}

}  // namespace
}  // namespace corvane
