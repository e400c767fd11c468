#include "ui/selftest/take_ownership_mode.h"

#include <cstdio>

namespace corvane {

// The operation itself is not part of this build yet: the mode refuses instead of claiming
// success, and without a box that would hold a scripted caller.
int take_ownership_command(const std::wstring& path) {
  std::fwprintf(stderr, L"Corvane: take ownership is not available in this build: %ls\n", path.c_str());
  return 1;
}

}  // namespace corvane
