#include "engines/registry_review.h"

#include "services/documents.h"
#include "services/handles.h"
#include "services/machine_environment.h"
#include "services/registry.h"
#include "services/registry_transaction.h"
#include "services/text.h"

#include <windows.h>

#include <filesystem>
#include <optional>

namespace corvane {
namespace {

const wchar_t kRunKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const wchar_t kUninstallKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
const wchar_t kSharedDllsKey[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs";
const wchar_t kClassesKey[] = L"Software\\Classes\\";

// Default value of an extension key: a fixed buffer whose last character always stays zero.
constexpr DWORD kProgIdChars = 1024;
constexpr DWORD kProgIdQueryBytes = (kProgIdChars - 1) * sizeof(wchar_t);

UniqueRegKey open_key(HKEY parent, const std::wstring& path, REGSAM access) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(parent, path.c_str(), 0, access, &key) != ERROR_SUCCESS) return UniqueRegKey();
  return UniqueRegKey(key);
}

AuditEntry make_entry(const wchar_t* title_vi, const wchar_t* title_en, std::uint32_t hive, std::wstring key,
                      std::wstring name, std::wstring evidence, bool repairable) {
  AuditEntry entry;
  entry.title_vi = title_vi;
  entry.title_en = title_en;
  entry.target.hive = hive;
  entry.target.key = std::move(key);
  entry.target.name = std::move(name);
  entry.evidence = std::move(evidence);
  entry.repairable = repairable;
  return entry;
}

ValueState read_value(std::uint32_t hive, const std::wstring& key, const std::wstring& name) {
  RegistryValue target;
  target.hive = hive;
  target.key = key;
  target.name = name;
  return read_registry_value(target);
}

// Variables that Windows sets from each user's profile when they sign in. A machine-wide value
// that names one leads somewhere else for every user, so it cannot be judged missing for all of
// them: the reference stays as written and the value is not listed. The machine's own block
// holds them too, for a default or system profile that is nobody's.
void drop_per_user_variables(EnvironmentVariables& variables) {
  static constexpr const wchar_t* kPerUser[] = {
      L"USERPROFILE", L"APPDATA",   L"LOCALAPPDATA",  L"HOMEDRIVE",   L"HOMEPATH", L"HOMESHARE",
      L"USERNAME",    L"USERDOMAIN", L"USERDNSDOMAIN", L"LOGONSERVER", L"TEMP",     L"TMP",
      L"OneDrive",    L"OneDriveConsumer", L"OneDriveCommercial"};
  std::erase_if(variables, [](const EnvironmentVariable& variable) {
    for (const wchar_t* name : kPerUser) {
      if (CompareStringOrdinal(variable.name.c_str(), -1, name, -1, TRUE) == CSTR_EQUAL) return true;
    }
    return false;
  });
}

// Each scan returns false when it was stopped.
bool scan_run_values(std::uint32_t hive, const CancelFlag* cancel, std::vector<AuditEntry>& found) {
  const UniqueRegKey key = open_key(hive_root(hive), kRunKey, KEY_READ | KEY_WOW64_64KEY);
  if (!key) return true;
  // A machine-wide value starts for every user, so it is read with the machine's variables, not
  // with those the user may have set for their own account and this process inherited. Without
  // them such a value cannot be judged, and none is listed rather than a working one.
  std::optional<EnvironmentVariables> machine;
  if (hive == kHiveLocalMachine) {
    machine = machine_environment_reader();
    if (!machine) return true;
    drop_per_user_variables(*machine);
  }
  for (const std::wstring& name : enum_registry_names(key.get(), false)) {
    if (is_cancelled(cancel)) return false;
    const ValueState value = read_value(hive, kRunKey, name);
    const std::wstring text = describe_value(value);
    const std::wstring executable =
        command_executable(machine ? expand_with_variables(text, *machine) : expand_environment(text));
    if ((value.type == REG_SZ || value.type == REG_EXPAND_SZ) && is_missing_local_file(executable)) {
      found.push_back(make_entry(L"M\u1EE5c Run tr\u1ECF t\u1EDBi file \u0111\u00E3 m\u1EA5t",
                                 L"Run entry targets a missing file", hive, kRunKey, name, executable, true));
    }
  }
  return true;
}

bool scan_uninstall_records(std::uint32_t hive, const CancelFlag* cancel, std::vector<AuditEntry>& found) {
  const UniqueRegKey key = open_key(hive_root(hive), kUninstallKey, KEY_READ | KEY_WOW64_64KEY);
  if (!key) return true;
  for (const std::wstring& subkey : enum_registry_names(key.get(), true)) {
    if (is_cancelled(cancel)) return false;
    const std::wstring record = std::wstring(kUninstallKey) + L"\\" + subkey;
    const std::wstring location = describe_value(read_value(hive, record, L"InstallLocation"));
    const std::wstring uninstaller = command_executable(describe_value(read_value(hive, record, L"UninstallString")));
    if (is_missing_local_file(location) && is_missing_local_file(uninstaller)) {
      found.push_back(make_entry(L"\u1EE8ng d\u1EE5ng c\u1EA7n ki\u1EC3m tra th\u1EE7 c\u00F4ng",
                                 L"App record needs manual review", hive, record, L"", location, false));
    }
  }
  return true;
}

bool scan_shared_dlls(const CancelFlag* cancel, std::vector<AuditEntry>& found) {
  const UniqueRegKey key = open_key(hive_root(kHiveLocalMachine), kSharedDllsKey, KEY_READ | KEY_WOW64_64KEY);
  if (!key) return true;
  for (const std::wstring& name : enum_registry_names(key.get(), false)) {
    if (is_cancelled(cancel)) return false;
    // The value name is the file; its data, the reference count, does not matter here.
    const ValueState value = read_value(kHiveLocalMachine, kSharedDllsKey, name);
    if (value.type == REG_DWORD && is_missing_local_file(name)) {
      found.push_back(make_entry(L"Shared DLL kh\u00F4ng c\u00F2n t\u1ED3n t\u1EA1i", L"Missing shared DLL",
                                 kHiveLocalMachine, kSharedDllsKey, name, name, true));
    }
  }
  return true;
}

std::optional<std::wstring> extension_prog_id(HKEY classes, const std::wstring& extension) {
  const UniqueRegKey key = open_key(classes, extension, KEY_READ);
  if (!key) return std::nullopt;
  wchar_t buffer[kProgIdChars] = {};
  DWORD type = 0;
  DWORD size = kProgIdQueryBytes;
  if (RegQueryValueExW(key.get(), L"", nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size) != ERROR_SUCCESS) {
    return std::nullopt;
  }
  if (type != REG_SZ || buffer[0] == L'\0') return std::nullopt;
  return std::wstring(buffer);
}

void scan_file_associations(const CancelFlag* cancel, std::vector<AuditEntry>& found) {
  const UniqueRegKey classes = open_key(HKEY_CLASSES_ROOT, L"", KEY_READ | KEY_WOW64_64KEY);
  if (!classes) return;
  for (const std::wstring& name : enum_registry_names(classes.get(), true)) {
    if (is_cancelled(cancel)) return;
    if (name.empty() || name[0] != L'.') continue;
    const std::optional<std::wstring> prog_id = extension_prog_id(classes.get(), name);
    if (!prog_id) continue;
    HKEY target = nullptr;
    const LSTATUS opened = RegOpenKeyExW(classes.get(), prog_id->c_str(), 0, KEY_READ, &target);
    if (opened == ERROR_SUCCESS) {
      RegCloseKey(target);
      continue;
    }
    if (opened != ERROR_FILE_NOT_FOUND) continue;
    found.push_back(make_entry(L"Li\u00EAn k\u1EBFt file c\u1EA7n ki\u1EC3m tra", L"File association needs review",
                               kHiveCurrentUser, kClassesKey + name, L"",
                               L"HKCR\\" + name + L" \u2192 " + *prog_id, false));
  }
}

bool is_separator(wchar_t c) { return c == L'\\' || c == L'/'; }

bool is_drive_letter(wchar_t c) { return (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z'); }

}  // namespace

std::vector<AuditEntry> audit_registry_entries(const CancelFlag* cancel) {
  std::vector<AuditEntry> found;
  for (const std::uint32_t hive : {kHiveCurrentUser, kHiveLocalMachine}) {
    if (!scan_run_values(hive, cancel, found)) return found;
    if (!scan_uninstall_records(hive, cancel, found)) return found;
  }
  if (!scan_shared_dlls(cancel, found)) return found;
  scan_file_associations(cancel, found);
  return found;
}

std::wstring command_executable(const std::wstring& command) {
  if (command.empty()) return {};
  if (command[0] == L'"') {
    const std::size_t closing = command.find(L'"', 1);
    if (closing == std::wstring::npos) return {};
    return command.substr(1, closing - 1);
  }
  // An unquoted command with a space cannot be split safely.
  if (command.find(L' ') != std::wstring::npos) return {};
  return command;
}

bool is_missing_local_file(const std::wstring& path) {
  // Only drive-letter paths with a separator count: relative, drive-relative, network
  // and device paths never do.
  if (path.size() < 3 || !is_drive_letter(path[0]) || path[1] != L':' || !is_separator(path[2])) return false;
  if (path.find(L'%') != std::wstring::npos) return false;
  std::size_t root_end = 2;
  while (root_end < path.size() && is_separator(path[root_end])) ++root_end;
  if (GetDriveTypeW(path.substr(0, root_end).c_str()) != DRIVE_FIXED) return false;
  if (GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES) return false;
  const DWORD error = GetLastError();
  return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

Outcome remove_audit_entry(const AuditEntry& confirmed, CancelFlag* cancel, const ProgressFn& progress) {
  const std::vector<AuditEntry> fresh = audit_registry_entries(cancel);
  bool still_present = false;
  for (const AuditEntry& entry : fresh) {
    if (entry.repairable && entry.target.hive == confirmed.target.hive && entry.target.key == confirmed.target.key &&
        entry.target.name == confirmed.target.name && entry.evidence == confirmed.evidence) {
      still_present = true;
      break;
    }
  }
  if (!still_present || is_cancelled(cancel)) {
    Outcome outcome;
    outcome.ok = false;
    outcome.message = L"Entry changed or scan cancelled. Refresh before removing it.";
    return outcome;
  }
  // Only ever a deletion, whatever value part the caller's copy carries.
  RegistryValue removal;
  removal.hive = confirmed.target.hive;
  removal.key = confirmed.target.key;
  removal.name = confirmed.target.name;
  return apply_registry_changes({removal}, L"Registry review", backups_folder(), cancel, progress);
}

nlohmann::json audit_report(const std::vector<AuditEntry>& entries) {
  nlohmann::json report = nlohmann::json::array();
  for (const AuditEntry& entry : entries) {
    report.push_back({{"evidence", wide_to_utf8(entry.evidence)},
                      {"repairable", entry.repairable},
                      {"target", entry.target}});
  }
  return report;
}

std::wstring write_audit_report(const std::vector<AuditEntry>& entries) {
  const std::filesystem::path folder(reports_folder());
  const std::wstring path = (folder / (utf8_to_wide(make_stamp()) + L"-registry.json")).wstring();
  write_json_atomic(path, audit_report(entries));
  return path;
}

}  // namespace corvane
