#include "ui/drawing/imgui_config.h"

#include <atomic>
#include <cstdio>

namespace corvane {

namespace {
std::atomic<unsigned> g_imgui_assertions{0};
}

void note_imgui_assertion(const char* expression, const char* file, int line) {
  ++g_imgui_assertions;
  std::fprintf(stderr, "imgui assertion failed: %s (%s:%d)\n", expression, file, line);
}

unsigned imgui_assertion_count() {
  return g_imgui_assertions.load();
}

}  // namespace corvane
