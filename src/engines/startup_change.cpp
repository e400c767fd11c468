#include "engines/startup_change.h"

#include "engines/startup_file_move.h"
#include "engines/task_scheduler.h"
#include "services/activity_log.h"
#include "services/com_ptr.h"
#include "services/data_folder_guard.h"
#include "services/documents.h"
#include "services/registry.h"
#include "services/registry_transaction.h"
#include "services/shell.h"
#include "services/system_info.h"
#include "services/text.h"
#include "services/user_profile.h"

#include <windows.h>
#include <shlobj.h>

#include <filesystem>
#include <stdexcept>
#include <string>
#include <system_error>

namespace corvane {
namespace {

namespace fs = std::filesystem;
using json = nlohmann::json;

constexpr LONG kLogonPassword = 1;                  // TASK_LOGON_PASSWORD
constexpr LONG kLogonGroup = 4;                     // TASK_LOGON_GROUP
constexpr LONG kLogonInteractiveOrPassword = 6;     // TASK_LOGON_INTERACTIVE_TOKEN_OR_PASSWORD
constexpr LONG kTaskSecurityInformation = 7;        // owner, group and DACL

// What an enable writes into a StartupApproved value: REG_BINARY, 2 and eleven zero bytes.
ValueState enabled_approval() {
  ValueState state;
  state.exists = true;
  state.type = REG_BINARY;
  state.bytes.assign(12, 0);
  state.bytes[0] = 2;
  return state;
}

std::wstring transaction_label(const StartupEntry& entry) { return L"Startup: " + entry.name; }

Outcome already_in_requested_state() {
  Outcome outcome;
  outcome.message = L"Already in requested state";
  return outcome;
}

RegistryValue run_value_at(const StartupEntry& entry, const std::wstring& key) {
  return RegistryValue{static_cast<std::uint32_t>(entry.hive), key, entry.source_name, {}};
}

Outcome change_run_value(const StartupEntry& entry, bool enable, bool remove) {
  const ValueState current = read_registry_value(run_value_at(entry, entry.key_path));
  if (!current.exists) throw std::runtime_error("Startup entry no longer exists");
  if (describe_value(current) != entry.target) throw std::runtime_error("Startup entry changed; refresh first");

  std::vector<RegistryValue> changes;
  if (enable && !remove) changes = plan_startup_approval_enable(entry);
  if (!remove) {
    const std::wstring destination = enable ? run_key(entry.view32) : disabled_run_key(entry.view32);
    if (destination == entry.key_path) {
      if (changes.empty()) return already_in_requested_state();
      return apply_registry_changes(changes, transaction_label(entry), backups_folder());
    }
    if (read_registry_value(run_value_at(entry, destination)).exists) {
      throw std::runtime_error("A startup entry with this name already exists in the destination");
    }
    RegistryValue moved = run_value_at(entry, destination);
    moved.value = current;
    changes.push_back(std::move(moved));
  }
  changes.push_back(run_value_at(entry, entry.key_path));  // absent: delete at the old place
  return apply_registry_changes(changes, transaction_label(entry), backups_folder());
}

// Moves a Startup-folder file after recording the move in the journal. Returns false with
// outcome filled when the change ends early without touching anything.
bool change_folder_file(const StartupEntry& entry, bool enable, bool remove, bool elevated,
                        const std::wstring& journal_path, json& document, Outcome& outcome) {
  const fs::path source(entry.key_path);
  if (enable && !remove) {
    const std::vector<RegistryValue> plan = plan_startup_approval_enable(entry);
    const bool in_startup = source.parent_path() == fs::path(known_folder_path(FOLDERID_Startup));
    if (in_startup) {
      outcome = plan.empty() ? already_in_requested_state()
                             : apply_registry_changes(plan, transaction_label(entry), backups_folder());
      return false;
    }
    if (!plan.empty()) {
      outcome.ok = false;
      outcome.message =
          L"This retained shortcut is also disabled by Windows. Restore its folder backup first, then enable the "
          L"Windows startup entry.";
      return false;
    }
  }
  if (source.filename().native() == L"desktop.ini") throw std::runtime_error("Protected startup file");
  // Checked again through the file's own handle once both folders are pinned.
  const DWORD attributes = GetFileAttributesW(source.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES ||
      (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) != 0) {
    throw std::runtime_error("Startup target changed");
  }

  fs::path destination;
  if (remove) {
    destination = fs::path(startup_files_folder()) / (utf8_to_wide(make_stamp()) + L"-" + source.filename().wstring());
  } else if (enable) {
    destination = fs::path(known_folder_path(FOLDERID_Startup)) / source.filename();
  } else {
    destination = fs::path(disabled_startup_folder()) / source.filename();
  }
  if (fs::exists(destination)) throw std::runtime_error("Destination already exists");
  // Both folders stay pinned until the file has moved; from here on the file is reached only
  // through them, by its name.
  PinnedFolders source_folder;
  PinnedFolders destination_folder;
  pin_startup_move(source.parent_path().wstring(), destination.parent_path().wstring(), true, elevated, source_folder,
                   destination_folder);
  reach_startup_move_stage(StartupMoveStage::folders_pinned);

  const std::wstring leaf = source.filename().wstring();
  DWORD open_error = ERROR_SUCCESS;
  const UniqueHandle file = open_startup_file(source_folder, leaf, open_error);
  if (file ? !startup_file_in_place(file.get(), source_folder, leaf)
           : open_error == ERROR_FILE_NOT_FOUND || open_error == ERROR_PATH_NOT_FOUND ||
                 (GetFileAttributesW(source.c_str()) & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    throw std::runtime_error("Startup target changed");
  }

  document["source"] = "folder";
  document["before"] = wide_to_utf8(source.wstring());
  document["after"] = wide_to_utf8(destination.wstring());
  write_json_atomic(journal_path, document);

  // A file that could not be opened for the move (another program holds it) fails as the move.
  if (!file) throw_windows_error(open_error);
  reach_startup_move_stage(StartupMoveStage::file_opened);
  const DWORD moved =
      move_startup_file(file.get(), source_folder, leaf, destination_folder, destination.filename().wstring());
  if (moved != ERROR_SUCCESS) throw_windows_error(moved);
  return true;
}

// "\A\B\Name" gives "\A\B" and "Name"; "\Name" gives "\" and "Name".
void split_task_path(const std::wstring& path, std::wstring& folder, std::wstring& name) {
  const std::size_t last = path.rfind(L'\\');
  if (last == std::wstring::npos) {
    folder = L"\\";
    name = path;
    return;
  }
  folder = last == 0 ? std::wstring(L"\\") : path.substr(0, last);
  name = path.substr(last + 1);
}

void change_task(const StartupEntry& entry, bool enable, bool remove, const std::wstring& journal_path,
                 json& document) {
  const ComInitScope com(COINIT_MULTITHREADED);
  const ComPtr<ITaskService> service = connect_task_service();
  const ComPtr<IRegisteredTask> task = get_registered_task(service.get(), entry.key_path);

  VARIANT_BOOL state = VARIANT_FALSE;
  throw_if_failed(task->get_Enabled(&state));
  if ((state != VARIANT_FALSE) != entry.enabled) throw std::runtime_error("Task changed; refresh first");

  Bstr xml;
  throw_if_failed(task->get_Xml(xml.put()));
  const std::string xml_text = wide_to_utf8(xml.text());
  if (!entry.snapshot.empty() && xml_text != entry.snapshot) {
    throw std::runtime_error("Task definition changed; refresh first");
  }

  ComPtr<ITaskDefinition> definition;
  throw_if_failed(task->get_Definition(definition.put()));
  if (!definition) throw_if_failed(E_POINTER);
  ComPtr<IPrincipal> principal;
  throw_if_failed(definition->get_Principal(principal.put()));
  if (!principal) throw_if_failed(E_POINTER);
  TASK_LOGON_TYPE logon = TASK_LOGON_NONE;
  throw_if_failed(principal->get_LogonType(&logon));
  if (remove && (logon == kLogonPassword || logon == kLogonInteractiveOrPassword)) {
    throw std::runtime_error("Password-backed tasks can be disabled but cannot be safely deleted by Corvane");
  }

  document["source"] = "task";
  document["path"] = wide_to_utf8(entry.key_path);
  document["xml"] = xml_text;
  document["logon"] = static_cast<int>(logon);
  if (remove) {
    Bstr account;
    throw_if_failed(logon == kLogonGroup ? principal->get_GroupId(account.put()) : principal->get_UserId(account.put()));
    document["principal"] = wide_to_utf8(account.text());
    Bstr security;
    throw_if_failed(task->GetSecurityDescriptor(kTaskSecurityInformation, security.put()));
    document["security"] = wide_to_utf8(security.text());
  }
  document["before"] = entry.enabled;
  document["after"] = enable;
  write_json_atomic(journal_path, document);

  if (remove) {
    std::wstring folder_path;
    std::wstring task_name;
    split_task_path(entry.key_path, folder_path, task_name);
    const Bstr folder_text(folder_path);
    ComPtr<ITaskFolder> folder;
    throw_if_failed(service->GetFolder(folder_text.get(), folder.put()));
    if (!folder) throw_if_failed(E_POINTER);
    const Bstr name_text(task_name);
    throw_if_failed(folder->DeleteTask(name_text.get(), 0));
    return;
  }

  throw_if_failed(task->put_Enabled(enable ? VARIANT_TRUE : VARIANT_FALSE));
  VARIANT_BOOL now = VARIANT_FALSE;
  throw_if_failed(task->get_Enabled(&now));
  if ((now != VARIANT_FALSE) != enable) throw std::runtime_error("Task state verification failed");
  Bstr after_xml;
  throw_if_failed(task->get_Xml(after_xml.put()));
  document["after_xml"] = wide_to_utf8(after_xml.text());
}

}  // namespace

void pin_startup_folder(const std::wstring& folder, PinnedFolders& pins, bool create_missing, bool elevated) {
  const DWORD error = pin_folder_chain(folder, pins, create_missing, folder_links_for(elevated));
  if (error == ERROR_REPARSE_POINT_ENCOUNTERED) {
    throw std::runtime_error(linked_folder_refusal(folder, elevated, "Startup journal path is a link"));
  }
  if (error == ERROR_SUCCESS) return;
  if (create_missing) {
    throw fs::filesystem_error("create_directories", fs::path(folder),
                               std::error_code(static_cast<int>(error), std::system_category()));
  }
  throw_windows_error(error);
}

void pin_startup_move(const std::wstring& source_folder, const std::wstring& destination_folder,
                      bool create_destination, bool elevated, PinnedFolders& source_pins,
                      PinnedFolders& destination_pins) {
  std::wstring profile;
  if (elevated) {
    profile = user_profile_folder_or_empty();
    // Before anything is made: a missing folder is created only inside the profile. DisabledStartup
    // and StartupFiles are the data folder's, which has its own refusal.
    for (const std::wstring& folder : {source_folder, destination_folder}) {
      check_data_folder_path(folder, true);
      if (!path_strictly_inside(profile, folder)) throw std::runtime_error(wide_to_utf8(kStartupOutsideProfileMessage));
    }
  }
  pin_startup_folder(source_folder, source_pins, false, elevated);
  pin_startup_folder(destination_folder, destination_pins, create_destination, elevated);
  if (elevated &&
      (!pinned_folder_in_profile(source_pins, profile) || !pinned_folder_in_profile(destination_pins, profile))) {
    throw std::runtime_error(wide_to_utf8(kStartupOutsideProfileMessage));
  }
}

std::wstring startup_files_folder() { return (fs::path(backups_folder()) / L"StartupFiles").wstring(); }

std::vector<RegistryValue> plan_startup_approval_enable(const StartupEntry& entry) {
  if (!entry.approval_known) {
    throw std::runtime_error("Unknown Windows startup approval format. Manage this entry in Task Manager.");
  }
  std::vector<RegistryValue> plan;
  for (const RegistryValue& approval : entry.approvals) {
    if (read_registry_value(approval) != approval.value) {
      throw std::runtime_error("Windows startup approval changed; refresh first.");
    }
    if (startup_approved_state(approval.value) == 0) {
      plan.push_back(RegistryValue{approval.hive, approval.key, approval.name, enabled_approval()});
    }
  }
  return plan;
}

Outcome change_startup_entry(const StartupEntry& entry, bool enable, bool remove) {
  return change_startup_entry(entry, enable, remove, process_elevated());
}

Outcome change_startup_entry(const StartupEntry& entry, bool enable, bool remove, bool elevated) {
  Outcome outcome;
  try {
    if (entry.kind == STARTUP_KIND_RUN) return change_run_value(entry, enable, remove);

    const std::wstring journal_path =
        (fs::path(backups_folder()) / (utf8_to_wide(make_stamp()) + L"-startup.json")).wstring();
    outcome.record_path = journal_path;
    json document = {{"schema", 1}, {"kind", "startup"}, {"label", wide_to_utf8(entry.name)},
                     {"state", "prepared"}, {"remove", remove}};
    if (entry.kind == STARTUP_KIND_FOLDER) {
      if (!change_folder_file(entry, enable, remove, elevated, journal_path, document, outcome)) return outcome;
    } else {
      change_task(entry, enable, remove, journal_path, document);
    }
    document["state"] = "applied";
    write_json_atomic(journal_path, document);
    outcome.ok = true;
    outcome.message.clear();
    outcome.affected = 1;
  } catch (const std::exception& error) {
    outcome.ok = false;
    outcome.message = utf8_to_wide_lenient(error.what());
  }
  append_activity("startup", outcome);
  return outcome;
}

}  // namespace corvane
