// Undoing a startup change from its journal.
#include "engines/startup_change.h"

#include "engines/startup_file_move.h"
#include "engines/task_scheduler.h"
#include "services/com_ptr.h"
#include "services/documents.h"
#include "services/handles.h"
#include "services/shell.h"
#include "services/system_info.h"
#include "services/text.h"

#include <windows.h>
#include <shlobj.h>

#include <cstdint>
#include <filesystem>
#include <stdexcept>
#include <string>

namespace corvane {
namespace {

namespace fs = std::filesystem;
using json = nlohmann::json;

constexpr HRESULT kTaskFileNotFound = static_cast<HRESULT>(0x80070002);
constexpr HRESULT kTaskNotRegistered = static_cast<HRESULT>(0x8004130A);
constexpr LONG kCreateWithoutPrincipalAce = 0x12;  // TASK_CREATE | TASK_DONT_ADD_PRINCIPAL_ACE

Outcome failed(const std::wstring& message) {
  Outcome outcome;
  outcome.ok = false;
  outcome.message = message;
  return outcome;
}

Outcome succeeded() {
  Outcome outcome;
  outcome.affected = 1;
  return outcome;
}

// True when path names a link or junction; a path that does not exist is not one. The
// directory listing reports the entry's own attributes, also where opening it would follow it.
bool is_link(const fs::path& path) {
  WIN32_FIND_DATAW data{};
  const UniqueFindHandle found(FindFirstFileW(path.c_str(), &data));
  if (found.get() == INVALID_HANDLE_VALUE) {
    const DWORD error = GetLastError();
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return false;
    throw_windows_error(error);
  }
  return (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

// A journal lives in a user-writable folder and may be restored by an elevated process: both
// of its paths must lie inside the folders a startup file is ever moved between and must not
// name a link themselves. The folders above them are pinned and checked before the move.
fs::path checked_journal_path(const std::string& text) {
  const std::wstring wide = utf8_to_wide(text);
  // Wildcards would make the link test look at other files; no startup file name holds one.
  if (wide.find_first_of(L"*?") != std::wstring::npos) {
    throw std::runtime_error("Startup journal path is outside the startup folders");
  }
  const fs::path path = fs::path(wide).lexically_normal();
  for (const std::wstring& folder :
       {known_folder_path(FOLDERID_Startup), disabled_startup_folder(), startup_files_folder()}) {
    if (!path_strictly_inside(fs::path(folder).lexically_normal().wstring(), path.wstring())) continue;
    if (is_link(path)) throw std::runtime_error("Startup journal path is a link");
    return path;
  }
  throw std::runtime_error("Startup journal path is outside the startup folders");
}

Outcome restore_folder(const json& document, bool elevated) {
  const fs::path before = checked_journal_path(document.at("before").get<std::string>());
  const fs::path after = checked_journal_path(document.at("after").get<std::string>());
  // Held open until the file has moved; from here on the file is reached only through them.
  PinnedFolders source_folder;
  PinnedFolders destination_folder;
  pin_startup_move(after.parent_path().wstring(), before.parent_path().wstring(), false, elevated, source_folder,
                   destination_folder);
  std::error_code error;
  const fs::file_status status = fs::symlink_status(before, error);
  if (error && status.type() != fs::file_type::not_found) throw fs::filesystem_error("exists", before, error);
  if (fs::exists(status)) return failed(L"The original startup file already exists");
  reach_startup_move_stage(StartupMoveStage::folders_pinned);

  const std::wstring leaf = after.filename().wstring();
  DWORD open_error = ERROR_SUCCESS;
  const UniqueHandle file = open_startup_file(source_folder, leaf, open_error);
  if (!file) return failed(windows_error_text(open_error));
  if (!startup_file_in_place(file.get(), source_folder, leaf)) throw std::runtime_error("Startup journal path is a link");
  reach_startup_move_stage(StartupMoveStage::file_opened);
  const DWORD moved = move_startup_file(file.get(), source_folder, leaf, destination_folder, before.filename().wstring());
  if (moved != ERROR_SUCCESS) return failed(windows_error_text(moved));
  return succeeded();
}

Outcome restore_task(const json& document) {
  const ComInitScope com(COINIT_MULTITHREADED);
  const ComPtr<ITaskService> service = connect_task_service();
  const std::wstring path = utf8_to_wide(document.at("path").get<std::string>());
  const bool removed = document.at("remove").get<bool>();

  if (!removed) {
    const ComPtr<IRegisteredTask> task = get_registered_task(service.get(), path);
    VARIANT_BOOL state = VARIANT_FALSE;
    throw_if_failed(task->get_Enabled(&state));
    if ((state != VARIANT_FALSE) != document.at("after").get<bool>()) {
      return failed(L"Task state changed after this backup");
    }
    Bstr xml;
    throw_if_failed(task->get_Xml(xml.put()));
    if (wide_to_utf8(xml.text()) != document.value("after_xml", std::string())) {
      return failed(L"Task definition changed or the journal is incomplete. Use its XML for manual restoration.");
    }
    const bool wanted = document.at("before").get<bool>();
    throw_if_failed(task->put_Enabled(wanted ? VARIANT_TRUE : VARIANT_FALSE));
    VARIANT_BOOL now = VARIANT_FALSE;
    throw_if_failed(task->get_Enabled(&now));
    if ((now != VARIANT_FALSE) != wanted) return failed(L"Task state verification failed");
    return succeeded();
  }

  const Bstr root_path(L"\\");
  ComPtr<ITaskFolder> root;
  throw_if_failed(service->GetFolder(root_path.get(), root.put()));
  if (!root) throw_if_failed(E_POINTER);
  const Bstr task_path(path);
  ComPtr<IRegisteredTask> existing;
  const HRESULT lookup = root->GetTask(task_path.get(), existing.put());
  if (SUCCEEDED(lookup)) return failed(L"A task already exists at this path");
  if (lookup != kTaskFileNotFound && lookup != kTaskNotRegistered) {
    return failed(windows_error_text(static_cast<std::uint32_t>(lookup)));
  }
  const Bstr xml(utf8_to_wide(document.at("xml").get<std::string>()));
  const Variant user = Variant::from_text(utf8_to_wide(document.value("principal", std::string())));
  const Variant password;
  const auto logon = static_cast<TASK_LOGON_TYPE>(document.at("logon").get<int>());
  const Variant security = Variant::from_text(utf8_to_wide(document.value("security", std::string())));
  ComPtr<IRegisteredTask> registered;
  throw_if_failed(root->RegisterTask(task_path.get(), xml.get(), kCreateWithoutPrincipalAce, user.get(),
                                     password.get(), logon, security.get(), registered.put()));
  return succeeded();
}

}  // namespace

Outcome restore_startup_journal(const nlohmann::json& document) {
  return restore_startup_journal(document, process_elevated());
}

Outcome restore_startup_journal(const nlohmann::json& document, bool elevated) {
  try {
    if (document.at("source") == "folder") return restore_folder(document, elevated);
    return restore_task(document);
  } catch (const std::exception& error) {
    return failed(utf8_to_wide_lenient(error.what()));
  }
}

}  // namespace corvane
