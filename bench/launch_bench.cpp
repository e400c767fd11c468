// Start-up benchmark: from process start until the main window is painted and idle (the launcher
// waits for input idle), for Corvane, for a bare program that makes the same main window, child
// controls and fonts and paints once (bench/fixtures/bare_program.cpp), and for a bare program
// with one plain window (bench/fixtures/bare_window.cpp); the three start in turns, round by round.
// Then the working set of each once idle, Corvane's as a ratio to the bare program's.
//   launch_bench [--rounds N]   (default 10; other arguments are ignored)
#include "bench_support.h"
#include "services/shell.h"

#include <windows.h>
#include <psapi.h>

#include <filesystem>
#include <string>

using namespace corvane;
using namespace corvane::bench;

namespace {

// Corvane's working set once idle at most this many times the bare program's.
constexpr double kWorkingSetTarget = 1.35;

double megabytes(double bytes) { return bytes / (1024.0 * 1024.0); }

}  // namespace

int main(int argc, char** argv) {
  const int rounds = int_argument(argc, argv, "--rounds", 10);
  const std::filesystem::path bench_folder = std::filesystem::path(executable_path()).parent_path();
  const std::wstring corvane = (bench_folder.parent_path() / L"Corvane.exe").wstring();
  const std::wstring bare_program = (bench_folder / L"fixtures" / L"bare_program.exe").wstring();
  const std::wstring bare_window = (bench_folder / L"fixtures" / L"bare_window.exe").wstring();
  const std::wstring arguments = L"--language en --theme light";
  // The first starts load the libraries from disk; none of the three should pay for that.
  launch_until_idle(corvane, arguments);
  launch_until_idle(bare_program, L"");
  launch_until_idle(bare_window, L"");

  Paired program_pair;
  Paired window_pair;
  Paired program_set;  // working sets in bytes, ours against the bare program's
  std::vector<double> window_set;
  for (int round = 0; round < rounds; ++round) {
    const Launch ours = launch_until_idle(corvane, arguments);
    const Launch program = launch_until_idle(bare_program, L"");
    const Launch window = launch_until_idle(bare_window, L"");
    if (ours.ms < 0 || program.ms < 0 || window.ms < 0) {
      std::fprintf(stderr, "launch_bench: a program did not become idle\n");
      return 1;
    }
    program_pair.add(ours.ms, program.ms);
    window_pair.add(ours.ms, window.ms);
    program_set.add(static_cast<double>(ours.working_set), static_cast<double>(program.working_set));
    window_set.push_back(static_cast<double>(window.working_set));
  }
  std::printf("start-up until painted and idle (median of %d rounds)\n", rounds);
  print_ratio("Corvane / bare program (same window and fonts)", program_pair, 1.30);
  print_untargeted_ratio("Corvane / bare window", window_pair);
  // The bare program makes the same window, controls and fonts, so the ratio leaves out what any
  // such program costs under this Wine; the bare window's figure is printed for scale only.
  const double set_ratio = program_set.ratio();
  std::printf("working set once idle (median of %d rounds)\n", rounds);
  std::printf("  %-46s ours %8.1f MB, reference %8.1f MB, ratio %.2f (target <= %.2f: %s)\n",
              "Corvane / bare program (same window and fonts)", megabytes(median(program_set.ours)),
              megabytes(median(program_set.reference)), set_ratio, kWorkingSetTarget,
              set_ratio <= kWorkingSetTarget ? "met" : "NOT met");
  std::printf("  %-46s %.1f MB (printed, no target)\n", "bare window", megabytes(median(window_set)));
  return 0;
}
