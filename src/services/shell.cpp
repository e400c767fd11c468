#include "services/shell.h"

#include "services/desktop_shell.h"
#include "services/system_info.h"
#include "services/text.h"

#include <shellapi.h>

#include <memory>
#include <stdexcept>
#include <vector>

namespace corvane {

namespace {

struct CoTaskMemFreer {
  void operator()(wchar_t* memory) const { CoTaskMemFree(memory); }
};

}  // namespace

Outcome shell_open(HWND owner, const std::wstring& target) {
  return shell_open(owner, target, process_elevated(), ShellOpenRoutes{shell_execute_open, desktop_shell_open});
}

Outcome shell_open(HWND owner, const std::wstring& target, bool elevated, const ShellOpenRoutes& routes) {
  return elevated ? routes.through_desktop(target) : routes.in_process(owner, target);
}

Outcome shell_execute_open(HWND owner, const std::wstring& target) {
  Outcome outcome;
  const HINSTANCE result = ShellExecuteW(owner, L"open", target.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
  const auto code = reinterpret_cast<INT_PTR>(result);
  if (code <= 32) {
    outcome.ok = false;
    outcome.message = windows_error_text(static_cast<std::uint32_t>(code));
  }
  return outcome;
}

std::wstring executable_path() {
  constexpr DWORD kCapacity = 32768;
  std::vector<wchar_t> buffer(kCapacity, L'\0');
  const DWORD length = GetModuleFileNameW(nullptr, buffer.data(), kCapacity);
  if (length == 0 || length >= kCapacity) throw std::runtime_error("Cannot determine executable path");
  return std::wstring(buffer.data(), length);
}

std::wstring known_folder_path(REFKNOWNFOLDERID id) {
  wchar_t* raw = nullptr;
  const HRESULT result = SHGetKnownFolderPath(id, 0, nullptr, &raw);
  // The buffer is the caller's to free whether the call succeeded or not.
  const std::unique_ptr<wchar_t, CoTaskMemFreer> path(raw);
  if (FAILED(result)) throw_windows_error(static_cast<std::uint32_t>(result));
  return path ? std::wstring(path.get()) : std::wstring();
}

std::wstring windows_folder() {
  wchar_t buffer[MAX_PATH] = {};
  const UINT length = GetWindowsDirectoryW(buffer, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return {};
  return std::wstring(buffer);
}

std::wstring system_windows_folder() {
  wchar_t buffer[MAX_PATH] = {};
  const UINT length = GetSystemWindowsDirectoryW(buffer, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return {};
  return std::wstring(buffer, length);
}

}  // namespace corvane
