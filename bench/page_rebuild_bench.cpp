// Page rebuild benchmark: the Windows customization page built after a refresh (every status
// read from the registry) and rebuilt from the status cache, as a search keystroke does.
// Prints the median of 20 of each; ignores other benchmarks' arguments.
#include "ui/app.h"

#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

using namespace corvane;

namespace {

double median_ms(std::vector<double> samples) {
  std::sort(samples.begin(), samples.end());
  return samples[samples.size() / 2];
}

template <typename Step>
double time_ms(Step step) {
  const auto start = std::chrono::steady_clock::now();
  step();
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

int main() {
  StartOptions options;
  options.smoke = true;  // no preferences read or written, no dialogs
  options.language_given = true;
  options.theme_given = true;
  App app(options);
  if (!app.create_main_window(GetModuleHandleW(nullptr))) {
    std::fprintf(stderr, "page_rebuild_bench: no window\n");
    return 1;
  }
  app.show_page(PAGE_CUSTOMIZATION);
  std::vector<double> first;
  std::vector<double> cached;
  for (int i = 0; i < 20; ++i) {
    first.push_back(time_ms([&] {
      app.status_text_cache.clear();
      app.current_values.clear();
      app.populate_page();
    }));
  }
  for (int i = 0; i < 20; ++i) cached.push_back(time_ms([&] { app.populate_page(); }));
  std::printf("customization page, %zu rows: first build after a refresh %.2f ms, cached rebuild %.2f ms "
              "(median of 20)\n",
              app.row_map.size(), median_ms(first), median_ms(cached));
  DestroyWindow(app.main_window);
  return 0;
}
