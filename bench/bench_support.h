#pragma once
// What the benchmarks share: timing, medians and the one line that sets a ratio beside its target.
// The machine may be busy with other work: each benchmark runs its side and the reference in
// turns, round by round, and reports the median of the rounds.

#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace corvane::bench {

inline double median(std::vector<double> values) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  const std::size_t middle = values.size() / 2;
  return values.size() % 2 == 1 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

template <typename Step>
double time_ms(Step step) {
  const auto start = std::chrono::steady_clock::now();
  step();
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

// Ours and the reference of one measure, one sample of each per round.
struct Paired {
  std::vector<double> ours;
  std::vector<double> reference;

  void add(double ours_ms, double reference_ms) {
    ours.push_back(ours_ms);
    reference.push_back(reference_ms);
  }
  // The median of the per-round ratios: a round's two samples saw the same load.
  double ratio() const {
    std::vector<double> ratios;
    for (std::size_t i = 0; i < ours.size() && i < reference.size(); ++i) {
      if (reference[i] > 0) ratios.push_back(ours[i] / reference[i]);
    }
    return median(ratios);
  }
};

// "  what: ours 12.3 ms, reference 10.1 ms, ratio 1.22 (note)"
inline void print_ratio_line(const char* what, const Paired& paired, const char* note) {
  std::printf("  %-46s ours %8.2f ms, reference %8.2f ms, ratio %.2f (%s)\n", what, median(paired.ours),
              median(paired.reference), paired.ratio(), note);
}

// "  what: ours 12.3 ms, reference 10.1 ms, ratio 1.22 (target <= 1.15: NOT met)"
inline void print_ratio(const char* what, const Paired& paired, double target) {
  char note[64];
  std::snprintf(note, sizeof(note), "target <= %.2f: %s", target, paired.ratio() <= target ? "met" : "NOT met");
  print_ratio_line(what, paired, note);
}

// A ratio printed for scale, beside the one that carries the target.
inline void print_untargeted_ratio(const char* what, const Paired& paired) {
  print_ratio_line(what, paired, "printed, no target");
}

// The value of "--name N" among the arguments, else fallback (at least minimum).
inline int int_argument(int argc, char** argv, const char* name, int fallback, int minimum = 1) {
  for (int i = 1; i + 1 < argc; ++i) {
    if (std::string(argv[i]) == name) return std::max(minimum, std::atoi(argv[i + 1]));
  }
  return fallback;
}

// Dispatches everything queued for this thread, paint messages included, until nothing is left.
inline void drain_messages() {
  MSG message{};
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (message.message == WM_QUIT) continue;
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
}

// One start of a program: the time from process creation until it waits for input with its
// window painted, and its working set a moment later. ms is negative when it never got idle.
struct Launch {
  double ms = -1;
  std::size_t working_set = 0;
};

inline BOOL CALLBACK close_windows_of(HWND window, LPARAM process_id) {
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  if (owner == static_cast<DWORD>(process_id)) PostMessageW(window, WM_CLOSE, 0, 0);
  return TRUE;
}

inline bool start_process(const std::wstring& program, const std::wstring& arguments, PROCESS_INFORMATION& process) {
  std::wstring command = L"\"" + program + L"\" " + arguments;
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  return CreateProcessW(program.c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &process) != FALSE;
}

inline void end_process(PROCESS_INFORMATION& process) {
  EnumWindows(close_windows_of, static_cast<LPARAM>(process.dwProcessId));
  if (WaitForSingleObject(process.hProcess, 15000) != WAIT_OBJECT_0) TerminateProcess(process.hProcess, 1);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
}

// Starts the program, waits until it is idle, reads its working set once it has rested for
// settle_ms, and closes it again.
inline Launch launch_until_idle(const std::wstring& program, const std::wstring& arguments, int settle_ms = 300) {
  Launch result;
  PROCESS_INFORMATION process{};
  const auto start = std::chrono::steady_clock::now();
  if (!start_process(program, arguments, process)) return result;
  if (WaitForInputIdle(process.hProcess, 30000) == 0) {
    result.ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    Sleep(static_cast<DWORD>(settle_ms));
    PROCESS_MEMORY_COUNTERS counters{};
    if (GetProcessMemoryInfo(process.hProcess, &counters, sizeof(counters))) result.working_set = counters.WorkingSetSize;
  }
  end_process(process);
  return result;
}

// Starts a program that ends by itself and waits for its end (three minutes at most).
inline void run_to_end(const std::wstring& program, const std::wstring& arguments) {
  PROCESS_INFORMATION process{};
  if (!start_process(program, arguments, process)) return;
  WaitForSingleObject(process.hProcess, 180000);
  end_process(process);
}

}  // namespace corvane::bench
