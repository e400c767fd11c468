#include "unix_link.h"

#include "services/handles.h"
#include "services/text.h"
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

// Starts a Unix command through Wine, which cannot wait for it: the caller polls for its effect.
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

bool wait_until_listed(const std::wstring& path, bool listed) {
  for (int attempt = 0; attempt < 500; ++attempt) {
    if (path_listed(path) == listed) return true;
    Sleep(10);
  }
  return false;
}

std::wstring unix_path_of(const std::wstring& path) {
  const auto convert = reinterpret_cast<UnixNameFn>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
  return convert == nullptr ? std::wstring() : unix_name(convert, path);
}

}  // namespace

bool make_unix_symlink(const std::wstring& target, const std::wstring& link) {
  if (!running_under_wine()) return false;
  const std::wstring unix_target = unix_path_of(target);
  const std::wstring unix_link = unix_path_of(link);
  if (unix_target.empty() || unix_link.empty()) return false;
  if (!start_unix_command(L"/bin/ln -s \"" + unix_target + L"\" \"" + unix_link + L"\"")) return false;
  return wait_until_listed(link, true);
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
  if (!start_unix_command(L"/bin/ln -s \"" + existing_root + L"/\" \"" + link_ + L"\"")) return;
  for (int attempt = 0; attempt < 500 && !made_; ++attempt) {
    made_ = GetFileAttributesW(root_.c_str()) != INVALID_FILE_ATTRIBUTES;
    if (!made_) Sleep(10);
  }
}

DriveAlias::~DriveAlias() {
  if (link_.empty() || !start_unix_command(L"/bin/rm -f \"" + link_ + L"\"")) return;
  for (int attempt = 0; attempt < 500 && GetFileAttributesW(root_.c_str()) != INVALID_FILE_ATTRIBUTES; ++attempt) {
    Sleep(10);
  }
}

void remove_unix_symlink(const std::wstring& link) {
  const std::wstring unix_link = unix_path_of(link);
  if (unix_link.empty() || !start_unix_command(L"/bin/rm -f \"" + unix_link + L"\"")) return;
  wait_until_listed(link, false);
}

bool replace_folder_with_unix_symlink(const std::wstring& folder, const std::wstring& target, FolderEntries entries) {
  if (!running_under_wine()) return false;
  const std::wstring unix_folder = unix_path_of(folder);
  const std::wstring unix_target = unix_path_of(target);
  if (unix_folder.empty() || unix_target.empty()) return false;
  const std::wstring emptied =
      entries == FolderEntries::removed
          ? L"rm -rf '" + unix_folder + L"'"
          : L"for f in '" + unix_folder + L"'/* '" + unix_folder + L"'/.[!.]*; do [ -e \"$f\" ] && mv \"$f\" '" +
                unix_target + L"'/; done; rmdir '" + unix_folder + L"'";
  const std::wstring script = emptied + L" && ln -s '" + unix_target + L"' '" + unix_folder + L"'";
  std::wstring command = L"/bin/sh -c \"";
  for (const wchar_t c : script) {
    if (c == L'"') command += L'\\';
    command += c;
  }
  command += L'"';
  if (!start_unix_command(command)) return false;
  for (int attempt = 0; attempt < 500; ++attempt) {
    WIN32_FIND_DATAW data{};
    const UniqueFindHandle found(FindFirstFileW(folder.c_str(), &data));
    if (found.get() != INVALID_HANDLE_VALUE && (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) return true;
    Sleep(10);
  }
  return false;
}

}  // namespace corvane::testing
