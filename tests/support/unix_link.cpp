#include "unix_link.h"

#include "services/handles.h"
#include "services/text.h"
#include "wine.h"

#include <windows.h>

#include <memory>

namespace corvane::testing {
namespace {

using UnixNameFn = char*(CDECL*)(LPCWSTR);

std::wstring unix_name(UnixNameFn convert, const std::wstring& path) {
  char* name = convert(path.c_str());
  if (name == nullptr) return {};
  const std::wstring text = utf8_to_wide(name);
  HeapFree(GetProcessHeap(), 0, name);
  return text;
}

}  // namespace

bool make_unix_symlink(const std::wstring& target, const std::wstring& link) {
  if (!running_under_wine()) return false;
  const auto convert = reinterpret_cast<UnixNameFn>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
  if (convert == nullptr) return false;
  const std::wstring unix_target = unix_name(convert, target);
  const std::wstring unix_link = unix_name(convert, link);
  if (unix_target.empty() || unix_link.empty()) return false;
  std::wstring command = L"/bin/ln -s \"" + unix_target + L"\" \"" + unix_link + L"\"";
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
    return false;
  }
  const UniqueHandle process_handle(process.hProcess);
  const UniqueHandle thread_handle(process.hThread);
  if (WaitForSingleObject(process.hProcess, 30000) != WAIT_OBJECT_0) return false;
  DWORD code = 1;
  return GetExitCodeProcess(process.hProcess, &code) && code == 0;
}

}  // namespace corvane::testing
