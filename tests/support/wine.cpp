#include "support/wine.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>

namespace corvane::testing {

bool running_under_wine() {
  HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
  return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

void use_own_desktop() {
  const std::wstring name = L"CorvaneTest" + std::to_wstring(GetCurrentProcessId());
  const wchar_t size[] = L"1600x1000";
  RegSetKeyValueW(HKEY_CURRENT_USER, L"Software\\Wine\\Explorer\\Desktops", name.c_str(), REG_SZ, size, sizeof size);
  // Kept until the process ends: its windows live on it.
  const HDESK desktop = CreateDesktopW(name.c_str(), nullptr, nullptr, 0, GENERIC_ALL, nullptr);
  if (desktop != nullptr) SetThreadDesktop(desktop);
}

bool run_on_own_desktop() {
  class OwnDesktop : public ::testing::Environment {
   public:
    void SetUp() override { use_own_desktop(); }
  };
  ::testing::AddGlobalTestEnvironment(new OwnDesktop);
  return true;
}

}  // namespace corvane::testing
