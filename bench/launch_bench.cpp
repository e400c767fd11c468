// Start-up benchmark: from process start until the main window is painted and idle (the launcher
// waits for input idle), for Corvane and for a bare Win32 program that opens one window; the
// working set of an idle Corvane; and the page timings of the smoke self-test's reports.
#include "services/documents.h"
#include "services/shell.h"
#include "services/text.h"

#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

using namespace corvane;

namespace {

constexpr int kRounds = 10;

struct Launch {
  double ms = -1;
  std::size_t working_set = 0;
  std::size_t bare_working_set = 0;
};

BOOL CALLBACK close_windows_of(HWND window, LPARAM process_id) {
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  if (owner == static_cast<DWORD>(process_id)) PostMessageW(window, WM_CLOSE, 0, 0);
  return TRUE;
}

// Starts the program, waits until it is idle, reads its working set and closes it again; or,
// for a program that ends by itself, waits for its end.
Launch launch(const std::wstring& program, const std::wstring& arguments, bool ends_by_itself = false) {
  std::wstring command = L"\"" + program + L"\" " + arguments;
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process{};
  Launch result;
  const auto start = std::chrono::steady_clock::now();
  if (!CreateProcessW(program.c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
    return result;
  }
  if (ends_by_itself) {
    WaitForSingleObject(process.hProcess, 180000);
  } else if (WaitForInputIdle(process.hProcess, 30000) == 0) {
    result.ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    Sleep(300);  // idle for a moment before the working set is read
    PROCESS_MEMORY_COUNTERS counters{};
    if (GetProcessMemoryInfo(process.hProcess, &counters, sizeof(counters))) result.working_set = counters.WorkingSetSize;
  }
  EnumWindows(close_windows_of, static_cast<LPARAM>(process.dwProcessId));
  if (WaitForSingleObject(process.hProcess, 15000) != WAIT_OBJECT_0) TerminateProcess(process.hProcess, 1);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return result;
}

double median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values.empty() ? 0 : values[values.size() / 2];
}

}  // namespace

int main() {
  const std::filesystem::path bench_folder = std::filesystem::path(executable_path()).parent_path();
  const std::wstring corvane = (bench_folder.parent_path() / L"Corvane.exe").wstring();
  const std::wstring bare = (bench_folder / L"fixtures" / L"bare_window.exe").wstring();
  std::vector<double> corvane_ms;
  std::vector<double> bare_ms;
  std::size_t working_set = 0;
  std::size_t bare_working_set = 0;
  launch(corvane, L"--language en --theme light");  // the first start also loads the libraries from disk
  launch(bare, L"");
  for (int round = 0; round < kRounds; ++round) {
    const Launch ours = launch(corvane, L"--language en --theme light");
    const Launch reference = launch(bare, L"");
    if (ours.ms < 0 || reference.ms < 0) {
      std::fprintf(stderr, "launch_bench: a program did not become idle\n");
      return 1;
    }
    corvane_ms.push_back(ours.ms);
    bare_ms.push_back(reference.ms);
    working_set = std::max(working_set, ours.working_set);
    bare_working_set = std::max(bare_working_set, reference.working_set);
  }
  std::printf("start-up until painted and idle (median of %d): Corvane %.0f ms, bare window %.0f ms, ratio %.2f "
              "(target 1.5)\n",
              kRounds, median(corvane_ms), median(bare_ms), median(corvane_ms) / std::max(median(bare_ms), 1.0));
  std::printf("working set once idle: %.1f MB (target 40 MB); the bare window under the same platform: %.1f MB\n",
              static_cast<double>(working_set) / (1024.0 * 1024.0),
              static_cast<double>(bare_working_set) / (1024.0 * 1024.0));

  for (const wchar_t* language : {L"en", L"vi"}) {
    for (const wchar_t* theme : {L"light", L"dark"}) {
      launch(corvane, std::wstring(L"--smoke-test --language ") + language + L" --theme " + theme, true);
      const std::wstring report = (bench_folder.parent_path() / (std::wstring(L"ui-smoke-") + language + L"-" + theme +
                                                                  L".json")).wstring();
      try {
        const nlohmann::json document = read_json_file(report);
        std::vector<double> timings = document.at("page_prepare_draw_ms").get<std::vector<double>>();
        std::printf("smoke %ls-%ls: page preparation and drawing max %.1f ms (target 16), median %.1f ms (target 4)\n",
                    language, theme, *std::max_element(timings.begin(), timings.end()), median(timings));
      } catch (const std::exception& error) {
        std::printf("smoke %ls-%ls: no report (%s)\n", language, theme, error.what());
      }
    }
  }
  return 0;
}
