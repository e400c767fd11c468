#include "engines/startup_list.h"

#include "engines/task_scheduler.h"
#include "services/com_ptr.h"
#include "services/data_folder_guard.h"
#include "services/directory_listing.h"
#include "services/documents.h"
#include "services/handles.h"
#include "services/registry.h"
#include "services/shell.h"
#include "services/system_info.h"
#include "services/text.h"

#include <windows.h>
#include <shlobj.h>

#include <algorithm>
#include <map>
#include <utility>
#include <filesystem>
#include <system_error>

namespace corvane {
namespace {

constexpr wchar_t kDesktopIni[] = L"desktop.ini";  // never listed; the name is compared exactly
constexpr wchar_t kApprovedKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\StartupApproved\\";

// One Run key or its DisabledStartup twin, in listing order.
struct RunSource {
  std::uint32_t hive;
  bool view32;
  bool disabled;
  const wchar_t* location;
};

constexpr RunSource kRunSources[] = {
    {kHiveCurrentUser, false, false, L"Run - User"},
    {kHiveCurrentUser, false, true, L"Run - User"},
    {kHiveLocalMachine, false, false, L"Run - System"},
    {kHiveLocalMachine, false, true, L"Run - System"},
    {kHiveLocalMachine, true, false, L"Run - System (32-bit)"},
    {kHiveLocalMachine, true, true, L"Run - System (32-bit)"},
};

// The StartupApproved keys of one listing, each opened once and kept open for every entry that
// reads it; a key that is missing holds no value, one that cannot be opened fails every read.
class ApprovalReader {
 public:
  ApprovalReader() = default;
  ApprovalReader(const ApprovalReader&) = delete;
  ApprovalReader& operator=(const ApprovalReader&) = delete;

  ValueState read(std::uint32_t hive, const std::wstring& key_path, const std::wstring& name) {
    Opened& opened = open(hive, key_path);
    if (opened.status == ERROR_FILE_NOT_FOUND) return {};
    if (opened.status != ERROR_SUCCESS) throw_windows_error(static_cast<std::uint32_t>(opened.status));
    return query_registry_value(opened.key.get(), name);
  }

 private:
  struct Opened {
    LSTATUS status = ERROR_SUCCESS;
    UniqueRegKey key;
  };

  Opened& open(std::uint32_t hive, const std::wstring& key_path) {
    const auto found = keys_.find({hive, key_path});
    if (found != keys_.end()) return found->second;
    Opened opened;
    HKEY raw = nullptr;
    opened.status = RegOpenKeyExW(hive_root(hive), key_path.c_str(), 0, KEY_QUERY_VALUE | KEY_WOW64_64KEY, &raw);
    opened.key.reset(opened.status == ERROR_SUCCESS ? raw : nullptr);
    return keys_.emplace(std::make_pair(hive, key_path), std::move(opened)).first->second;
  }

  std::map<std::pair<std::uint32_t, std::wstring>, Opened> keys_;
};

void attach_approval(StartupEntry& entry, ApprovalReader& approvals) {
  const std::wstring key = startup_approved_key(entry);
  std::vector<std::uint32_t> hives{kHiveCurrentUser};
  // A per-user value or file is judged by the user's switch alone, a machine value by both.
  if (entry.hive == static_cast<std::int32_t>(kHiveLocalMachine)) hives.push_back(kHiveLocalMachine);
  for (const std::uint32_t hive : hives) {
    RegistryValue approval{hive, key, entry.name, approvals.read(hive, key, entry.name)};
    const int state = startup_approved_state(approval.value);
    if (state != 1) entry.enabled = false;
    if (state < 0) entry.approval_known = false;
    entry.approvals.push_back(std::move(approval));
  }
}

// Each Run key is opened once: its value names are listed, then every value is read through
// the same handle.
void list_run_source(const RunSource& source, std::vector<StartupEntry>& entries, ApprovalReader& approvals,
                     const CancelFlag* cancel) {
  const std::wstring key_path = source.disabled ? disabled_run_key(source.view32) : run_key(source.view32);
  HKEY opened = nullptr;
  if (RegOpenKeyExW(hive_root(source.hive), key_path.c_str(), 0, KEY_READ | KEY_WOW64_64KEY, &opened) != ERROR_SUCCESS) {
    return;
  }
  const UniqueRegKey key(opened);
  if (is_cancelled(cancel)) return;
  for (const std::wstring& name : enum_registry_names(key.get(), false, cancel)) {
    const ValueState value = query_registry_value(key.get(), name);
    if (value.type != REG_SZ && value.type != REG_EXPAND_SZ) continue;  // also a value gone meanwhile
    StartupEntry entry;
    entry.name = name;
    entry.source_name = name;
    entry.target = describe_value(value);
    entry.location = source.location;
    entry.enabled = !source.disabled;
    entry.key_path = key_path;
    entry.kind = STARTUP_KIND_RUN;
    entry.hive = static_cast<std::int32_t>(source.hive);
    entry.needs_admin = source.hive == kHiveLocalMachine;
    entry.view32 = source.view32;
    attach_approval(entry, approvals);
    entries.push_back(std::move(entry));
  }
}

StartupEntry folder_entry(const std::wstring& path, const std::wstring& name, bool enabled, ApprovalReader& approvals) {
  StartupEntry entry;
  entry.name = name;
  entry.target = path;
  entry.key_path = path;
  entry.location = L"Startup folder - User";
  entry.enabled = enabled;
  entry.kind = STARTUP_KIND_FOLDER;
  attach_approval(entry, approvals);
  return entry;
}

void list_startup_folder(const std::wstring& folder, bool enabled, std::vector<StartupEntry>& entries,
                         ApprovalReader& approvals, const CancelFlag* cancel) {
  namespace fs = std::filesystem;
  std::error_code error;
  fs::directory_iterator it(folder, error);
  if (error) return;
  for (; it != fs::directory_iterator(); it.increment(error)) {
    if (error) throw fs::filesystem_error("directory_iterator::operator++", fs::path(folder), error);
    if (is_cancelled(cancel)) return;
    const fs::directory_entry& item = *it;
    std::error_code status_error;
    if (!item.is_regular_file(status_error) || status_error) continue;
    if (item.path().filename().native() == kDesktopIni) continue;
    const std::wstring path = item.path().wstring();
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) continue;
    entries.push_back(folder_entry(path, item.path().filename().wstring(), enabled, approvals));
  }
  if (error) throw fs::filesystem_error("directory_iterator::operator++", fs::path(folder), error);
}

// The DisabledStartup folder, whose files are all listed disabled. Elevated, it is listed only
// from inside the user's profile, and through the handle of the folder as it was checked, so a
// link put on its way afterwards leads the listing nowhere. Each entry's path is still the
// folder's path joined with the name.
void list_disabled_startup_folder(bool elevated, std::vector<StartupEntry>& entries, ApprovalReader& approvals,
                                  const CancelFlag* cancel) {
  const std::wstring folder = disabled_startup_folder();
  // Nothing was ever disabled: no folder to check, hold or list.
  if (GetFileAttributesW(folder.c_str()) == INVALID_FILE_ATTRIBUTES) return;
  DataFolderHold hold;
  try {
    if (!hold_data_folder(folder, hold, elevated)) return;  // missing
  } catch (const std::runtime_error&) {
    return;  // outside the profile, or a link on its way
  }
  if (!hold.held) {
    list_startup_folder(folder, false, entries, approvals, cancel);
    return;
  }
  if (disabled_startup_held_hook != nullptr) disabled_startup_held_hook();
  for (const std::wstring& name : held_folder_file_names(hold, "directory_iterator::operator++")) {
    if (is_cancelled(cancel)) return;
    if (name == kDesktopIni) continue;
    entries.push_back(folder_entry(join_path(folder, name), name, false, approvals));
  }
}

void list_tasks(std::vector<StartupEntry>& entries, const CancelFlag* cancel) {
  const ComInitScope com(COINIT_MULTITHREADED);
  const ComPtr<ITaskService> service = connect_task_service();
  const Bstr root_path(L"\\");
  ComPtr<ITaskFolder> root;
  throw_if_failed(service->GetFolder(root_path.get(), root.put()));
  if (!root) throw_if_failed(E_POINTER);
  walk_task_folder(root.get(), entries, cancel, 0);
}

}  // namespace

void (*disabled_startup_held_hook)() = nullptr;

std::wstring run_key(bool view32) {
  return view32 ? L"SOFTWARE\\WOW6432Node\\Microsoft\\Windows\\CurrentVersion\\Run"
                : L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
}

std::wstring disabled_run_key(bool view32) {
  return view32 ? L"Software\\Corvane\\DisabledStartup\\Run32" : L"Software\\Corvane\\DisabledStartup\\Run64";
}

std::wstring disabled_startup_folder() {
  return (std::filesystem::path(app_data_folder()) / L"DisabledStartup").wstring();
}

std::wstring startup_approved_key(const StartupEntry& entry) {
  if (entry.kind == STARTUP_KIND_FOLDER) return std::wstring(kApprovedKey) + L"StartupFolder";
  if (entry.kind == STARTUP_KIND_RUN && entry.view32) return std::wstring(kApprovedKey) + L"Run32";
  return std::wstring(kApprovedKey) + L"Run";
}

void attach_startup_approval(StartupEntry& entry) {
  ApprovalReader approvals;
  attach_approval(entry, approvals);
}

std::vector<StartupEntry> list_startup_entries(const CancelFlag* cancel) {
  return list_startup_entries(cancel, process_elevated());
}

std::vector<StartupEntry> list_startup_entries(const CancelFlag* cancel, bool elevated) {
  std::vector<StartupEntry> entries;
  {
    ApprovalReader approvals;
    for (const RunSource& source : kRunSources) list_run_source(source, entries, approvals, cancel);
    list_startup_folder(known_folder_path(FOLDERID_Startup), true, entries, approvals, cancel);
    list_disabled_startup_folder(elevated, entries, approvals, cancel);
  }
  list_tasks(entries, cancel);
  std::stable_sort(entries.begin(), entries.end(), [](const StartupEntry& a, const StartupEntry& b) {
    if (a.kind != b.kind) return a.kind < b.kind;
    return a.name < b.name;
  });
  return entries;
}

}  // namespace corvane
