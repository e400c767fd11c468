#include "services/system_info.h"

#include "services/handles.h"
#include "services/registry.h"
#include "services/registry_value.h"
#include "services/shell.h"

#include <windows.h>

#include <filesystem>

namespace corvane {

namespace {

using RtlGetVersionFn = LONG(WINAPI*)(OSVERSIONINFOW*);

std::uint32_t windows_build() {
  const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
  if (ntdll == nullptr) return 0;
  const FARPROC proc = GetProcAddress(ntdll, "RtlGetVersion");
  if (proc == nullptr) return 0;
  const auto rtl_get_version = reinterpret_cast<RtlGetVersionFn>(reinterpret_cast<void (*)()>(proc));
  OSVERSIONINFOW info{};
  info.dwOSVersionInfoSize = sizeof(info);
  if (rtl_get_version(&info) != 0) return 0;
  return info.dwBuildNumber;
}

}  // namespace

Elevation token_elevation(HANDLE token) {
  TOKEN_ELEVATION elevation{};
  DWORD returned = 0;
  if (!GetTokenInformation(token, TokenElevation, &elevation, sizeof(elevation), &returned)) {
    return Elevation::unreadable;
  }
  return elevation.TokenIsElevated != 0 ? Elevation::elevated : Elevation::not_elevated;
}

Elevation (*process_elevation_override)() = nullptr;

Elevation process_elevation() {
  if (process_elevation_override != nullptr) return process_elevation_override();
  HANDLE raw = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &raw)) return Elevation::unreadable;
  const UniqueHandle token(raw);
  return token_elevation(token.get());
}

bool process_elevated() { return treated_as_elevated(process_elevation()); }

SystemInfo query_system_info() {
  SystemInfo info;
  info.build = windows_build();

  // Not guarded: an edition that cannot be read for a reason other than "absent" fails the query.
  const RegistryValue edition{kHiveLocalMachine, L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion", L"EditionID", {}};
  info.edition = describe_value(read_registry_value(edition));

  MEMORYSTATUSEX memory{};
  memory.dwLength = sizeof(memory);
  if (GlobalMemoryStatusEx(&memory)) {
    info.total_memory = memory.ullTotalPhys;
    info.available_memory = memory.ullAvailPhys;
  }

  const std::wstring windows = windows_folder();
  if (!windows.empty()) {
    const std::wstring root = std::filesystem::path(windows).root_path().wstring();
    ULARGE_INTEGER free_to_caller{};
    ULARGE_INTEGER total{};
    if (!root.empty() && GetDiskFreeSpaceExW(root.c_str(), &free_to_caller, &total, nullptr)) {
      info.system_drive_total = total.QuadPart;
      info.system_drive_free = free_to_caller.QuadPart;
    }
  }

  info.elevated = process_elevation() == Elevation::elevated;
  return info;
}

}  // namespace corvane
