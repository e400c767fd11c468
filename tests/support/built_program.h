#pragma once
// Where the build put Corvane.exe, seen from a test program in build\tests.

#include <string>

namespace corvane::testing {

std::wstring built_corvane_exe();

}  // namespace corvane::testing
