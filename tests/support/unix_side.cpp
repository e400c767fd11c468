#include "support/unix_side.h"

#include "support/wine.h"

#include <windows.h>

#include <cstring>
#include <vector>

namespace corvane::testing {

namespace {

std::wstring quoted(const std::string& unix_text) {
  std::wstring out = L"\"";
  for (unsigned char c : unix_text) out.push_back(static_cast<wchar_t>(c));  // test paths are ASCII
  out += L"\"";
  return out;
}

// Wine starts a Unix program but hands back a process handle that cannot be waited on,
// so callers poll for the program's effect instead.
bool start_unix_program(const std::wstring& program, const std::wstring& command_line) {
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  std::vector<wchar_t> line(command_line.begin(), command_line.end());
  line.push_back(L'\0');
  if (!CreateProcessW(program.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                      &process)) {
    return false;
  }
  if (process.hThread != nullptr) CloseHandle(process.hThread);
  if (process.hProcess != nullptr) CloseHandle(process.hProcess);
  return true;
}

bool wait_until(bool want_present, const std::wstring& path) {
  for (int i = 0; i < 500; ++i) {
    const bool present = GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
    if (present == want_present) return true;
    Sleep(10);
  }
  return false;
}

std::string unix_path_of(const std::wstring& windows_path) {
  if (!running_under_wine()) return {};
  using Converter = char*(CDECL*)(LPCWSTR);
  const auto convert = reinterpret_cast<Converter>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
  if (convert == nullptr) return {};
  char* text = convert(windows_path.c_str());
  if (text == nullptr) return {};
  std::string out(text);
  HeapFree(GetProcessHeap(), 0, text);
  return out;
}

// The Unix path of a place that may not exist yet: its folder's path and its own name.
std::string unix_path_of_new(const std::wstring& windows_path) {
  const std::size_t separator = windows_path.find_last_of(L"\\/");
  if (separator == std::wstring::npos) return {};
  const std::string folder = unix_path_of(windows_path.substr(0, separator));
  if (folder.empty()) return {};
  std::string name;
  for (wchar_t c : windows_path.substr(separator + 1)) name.push_back(static_cast<char>(c));  // ASCII test names
  return folder + "/" + name;
}

}  // namespace

bool remove_unix_link(const std::wstring& link) {
  const std::string unix_link = unix_path_of_new(link);
  if (unix_link.empty()) return false;
  return start_unix_program(L"Z:\\bin\\rm", L"rm -f " + quoted(unix_link)) && wait_until(false, link);
}

}  // namespace corvane::testing
