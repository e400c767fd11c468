#include "support/gdi_count.h"

#include <windows.h>

#include <vector>

namespace corvane::testing {

namespace {

// Above any per-process GDI limit of Windows (10000 by default, 65536 at most) and of Wine.
constexpr long kProbeCeiling = 70000;

long free_handle_slots() {
  std::vector<HBRUSH> probes;
  probes.reserve(kProbeCeiling);
  while (static_cast<long>(probes.size()) < kProbeCeiling) {
    HBRUSH probe = CreateSolidBrush(RGB(1, 2, 3));
    if (probe == nullptr) break;
    probes.push_back(probe);
  }
  for (HBRUSH probe : probes) DeleteObject(probe);
  return static_cast<long>(probes.size());
}

}  // namespace

long gdi_objects_in_use() {
  const DWORD native = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
  if (native != 0) return static_cast<long>(native);
  return kProbeCeiling - free_handle_slots();
}

}  // namespace corvane::testing
