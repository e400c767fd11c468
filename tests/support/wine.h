#pragma once
// Test helpers for running under Wine.

namespace corvane::testing {

// True when ntdll exports wine_get_version.
bool running_under_wine();

}  // namespace corvane::testing

// Skips the current test with a reason when it runs under Wine.
#define CORVANE_SKIP_UNDER_WINE(reason)                          \
  do {                                                           \
    if (::corvane::testing::running_under_wine()) GTEST_SKIP() << (reason); \
  } while (0)
