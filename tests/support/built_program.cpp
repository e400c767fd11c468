#include "support/built_program.h"

#include <windows.h>

namespace corvane::testing {

std::wstring built_corvane_exe() {
  wchar_t path[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring folder(path);
  folder.resize(folder.find_last_of(L'\\'));  // ...\build\tests
  folder.resize(folder.find_last_of(L'\\'));  // ...\build
  return folder + L"\\Corvane.exe";
}

}  // namespace corvane::testing
