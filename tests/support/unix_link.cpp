#include "unix_link.h"

#include "services/handles.h"
#include "services/text.h"
#include "scratch.h"
#include "wine.h"

#include <windows.h>

#include <memory>
#include <thread>

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

bool path_listed(const std::wstring& path) {
  WIN32_FIND_DATAW data{};
  const UniqueFindHandle found(FindFirstFileW(path.c_str(), &data));
  return found.get() != INVALID_HANDLE_VALUE;
}

// Starts a Unix command through Wine, which cannot wait for it (run_unix_script can).
// Wine's start of a Unix program hands back a thread handle it never set, whatever value its
// stack held there; closing it can hit one of the process's own handles (measured: the cached
// HKEY_LOCAL_MACHINE key, after which known folders fail). So it is never closed, and the start
// runs on a thread of its own, whose fresh stack holds zeros.
bool start_unix_command(std::wstring command) {
  bool started = false;
  std::thread starter([&] {
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
      return;
    }
    // The thread handle is left alone: it may not be one.
    const UniqueHandle process_handle(process.hProcess);
    started = true;
  });
  starter.join();
  return started;
}

std::wstring unix_path_of(const std::wstring& path) {
  const auto convert = reinterpret_cast<UnixNameFn>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
  return convert == nullptr ? std::wstring() : unix_name(convert, path);
}

// text as one word of the shell: in single quotes, a single quote written '\''.
std::wstring shell_quoted(const std::wstring& text) {
  std::wstring quoted = L"'";
  for (const wchar_t c : text) quoted += c == L'\'' ? std::wstring(L"'\\''") : std::wstring(1, c);
  return quoted + L"'";
}

// Runs script with the Unix shell and waits until it has ended, which its last step, making a
// marker file, tells: Wine cannot wait for a Unix program. A script that had not ended after a
// minute (a busy machine delays a start by seconds, never by that much) counts as failed.
bool run_unix_script(const std::wstring& script) {
  wchar_t temp[MAX_PATH + 1] = {};
  if (GetTempPathW(MAX_PATH + 1, temp) == 0) return false;
  const std::wstring marker = std::wstring(temp) + L"corvane-unix-done-" + random_name();
  const std::wstring unix_marker = unix_path_of(marker);
  if (unix_marker.empty()) return false;
  // Wine splits the command line by the Windows rules, where a quote inside quotes is \" (the
  // scripts put no backslash before a quote of their own).
  std::wstring command = L"/bin/sh -c \"";
  for (const wchar_t c : script + L"; : > " + shell_quoted(unix_marker)) {
    if (c == L'"') command += L'\\';
    command += c;
  }
  command += L'"';
  if (!start_unix_command(command)) return false;
  for (int attempt = 0; attempt < 6000; ++attempt) {
    if (GetFileAttributesW(marker.c_str()) != INVALID_FILE_ATTRIBUTES) {
      DeleteFileW(marker.c_str());
      return true;
    }
    Sleep(10);
  }
  return false;
}

}  // namespace

bool make_unix_symlink(const std::wstring& target, const std::wstring& link) {
  if (!running_under_wine()) return false;
  const std::wstring unix_target = unix_path_of(target);
  const std::wstring unix_link = unix_path_of(link);
  if (unix_target.empty() || unix_link.empty()) return false;
  return run_unix_script(L"ln -s " + shell_quoted(unix_target) + L" " + shell_quoted(unix_link)) && path_listed(link);
}

DriveAlias::DriveAlias(wchar_t letter, wchar_t existing) {
  root_ = std::wstring(1, letter) + L":\\";
  if (!running_under_wine() || GetFileAttributesW(root_.c_str()) != INVALID_FILE_ATTRIBUTES) return;
  // Wine names a drive's root through the prefix's dosdevices folder: ".../dosdevices/c:/".
  std::wstring existing_root = unix_path_of(std::wstring(1, existing) + L":\\");
  while (!existing_root.empty() && existing_root.back() == L'/') existing_root.pop_back();
  const std::size_t slash = existing_root.rfind(L'/');
  if (slash == std::wstring::npos) return;
  link_ = existing_root.substr(0, slash + 1) + static_cast<wchar_t>(towlower(letter)) + L":";
  if (!run_unix_script(L"ln -s " + shell_quoted(existing_root + L"/") + L" " + shell_quoted(link_))) return;
  for (int attempt = 0; attempt < 500 && !made_; ++attempt) {
    made_ = GetFileAttributesW(root_.c_str()) != INVALID_FILE_ATTRIBUTES;
    if (!made_) Sleep(10);
  }
}

DriveAlias::~DriveAlias() {
  if (link_.empty() || !run_unix_script(L"rm -f " + shell_quoted(link_))) return;
  for (int attempt = 0; attempt < 500 && GetFileAttributesW(root_.c_str()) != INVALID_FILE_ATTRIBUTES; ++attempt) {
    Sleep(10);
  }
}

void remove_unix_symlink(const std::wstring& link) {
  const std::wstring unix_link = unix_path_of(link);
  if (unix_link.empty()) return;
  run_unix_script(L"[ -L " + shell_quoted(unix_link) + L" ] && rm -f " + shell_quoted(unix_link));
}

bool replace_folder_with_unix_symlink(const std::wstring& folder, const std::wstring& target, FolderEntries entries) {
  if (!running_under_wine()) return false;
  const std::wstring unix_folder = unix_path_of(folder);
  const std::wstring unix_target = unix_path_of(target);
  if (unix_folder.empty() || unix_target.empty()) return false;
  const std::wstring from = shell_quoted(unix_folder);
  const std::wstring to = shell_quoted(unix_target);
  const std::wstring emptied =
      entries == FolderEntries::removed
          ? L"rm -rf " + from
          : L"for f in " + from + L"/* " + from + L"/.[!.]*; do [ -e \"$f\" ] && mv \"$f\" " + to +
                L"/; done; rmdir " + from;
  if (!run_unix_script(emptied + L" && ln -s " + to + L" " + from)) return false;
  WIN32_FIND_DATAW data{};
  const UniqueFindHandle found(FindFirstFileW(folder.c_str(), &data));
  return found.get() != INVALID_HANDLE_VALUE && (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

}  // namespace corvane::testing
