#include "engines/ownership.h"

#include "services/documents.h"
#include "services/handles.h"
#include "services/pinned_folders.h"
#include "services/text.h"

#include <windows.h>
#include <aclapi.h>
#include <sddl.h>

#include <nlohmann/json.hpp>

#include <exception>
#include <filesystem>
#include <memory>

namespace corvane {
namespace {

using nlohmann::json;

Outcome failure(const std::wstring& message) {
  Outcome outcome;
  outcome.ok = false;
  outcome.message = message;
  return outcome;
}

Outcome last_error_failure() { return failure(windows_error_text(GetLastError())); }

// The largest SID a well-known SID can take (SECURITY_MAX_SID_SIZE).
constexpr DWORD kMaxSidBytes = 68;

bool enable_take_ownership_privilege(HANDLE token) {
  TOKEN_PRIVILEGES privileges{};
  privileges.PrivilegeCount = 1;
  privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
  if (!LookupPrivilegeValueW(nullptr, L"SeTakeOwnershipPrivilege", &privileges.Privileges[0].Luid)) return false;
  SetLastError(ERROR_SUCCESS);
  // A token without the privilege "succeeds" with ERROR_NOT_ALL_ASSIGNED.
  if (!AdjustTokenPrivileges(token, FALSE, &privileges, 0, nullptr, nullptr)) return false;
  return GetLastError() == ERROR_SUCCESS;
}

std::wstring new_owner_document_path() {
  const std::filesystem::path folder(backups_folder());
  return (folder / (utf8_to_wide(make_stamp()) + L"-owner.json")).wstring();
}

}  // namespace

Outcome take_ownership(const std::wstring& path) {
  const std::filesystem::path target(path);
  if (!target.is_absolute()) return failure(L"Invalid target");
  if (!std::filesystem::exists(target)) return failure(L"Invalid target");

  const DWORD attributes = GetFileAttributesW(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
    return failure(L"Reparse points are not supported");
  }

  HANDLE raw_token = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &raw_token)) {
    return last_error_failure();
  }
  const UniqueHandle token(raw_token);
  if (!enable_take_ownership_privilege(token.get())) return last_error_failure();

  alignas(SID) BYTE administrators[kMaxSidBytes] = {};
  DWORD sid_size = sizeof(administrators);
  if (!CreateWellKnownSid(WinBuiltinAdministratorsSid, nullptr, administrators, &sid_size)) {
    return last_error_failure();
  }

  const UniqueHandle file = adopt_handle(CreateFileW(path.c_str(), WRITE_OWNER | READ_CONTROL,
                                                     FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                                     FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT,
                                                     nullptr));
  if (!file) return last_error_failure();

  // The item may have been swapped for a link between the attribute check and the open.
  BY_HANDLE_FILE_INFORMATION information{};
  if (!GetFileInformationByHandle(file.get(), &information) ||
      (information.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
    return failure(L"Target changed");
  }
  // Only the last name was checked for a link. One in a folder on the way, made before or since,
  // leads the handle to another item, which its final path gives away.
  if (!handle_is_at(file.get(), path)) return failure(L"Reparse points are not supported");

  PSID owner = nullptr;
  PSECURITY_DESCRIPTOR raw_descriptor = nullptr;
  const DWORD read = GetSecurityInfo(file.get(), SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, &owner, nullptr,
                                     nullptr, nullptr, &raw_descriptor);
  const std::unique_ptr<void, LocalFreer> descriptor(raw_descriptor);
  if (read != ERROR_SUCCESS) return failure(windows_error_text(read));

  LPWSTR raw_sid_text = nullptr;
  if (owner == nullptr || !ConvertSidToStringSidW(owner, &raw_sid_text) || raw_sid_text == nullptr) {
    return failure(L"Cannot read existing owner");
  }
  const std::unique_ptr<void, LocalFreer> sid_text_memory(raw_sid_text);
  const std::wstring sid_text(raw_sid_text);
  if (sid_text.empty()) return failure(L"Cannot read existing owner");

  json document = {{"schema", 1},
                   {"kind", "owner"},
                   {"label", "Take Ownership"},
                   {"path", wide_to_utf8(path)},
                   {"before", wide_to_utf8(sid_text)},
                   {"state", "prepared"}};
  const std::wstring record_path = new_owner_document_path();
  try {
    write_json_atomic(record_path, document);
  } catch (const std::exception& error) {
    return failure(utf8_to_wide_lenient(error.what()));
  }

  const DWORD written = SetSecurityInfo(file.get(), SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION,
                                        administrators, nullptr, nullptr, nullptr);
  if (written != ERROR_SUCCESS) {
    Outcome outcome = failure(windows_error_text(written));
    outcome.record_path = record_path;
    return outcome;
  }

  document["state"] = "applied";
  try {
    write_json_atomic(record_path, document);
  } catch (const std::exception&) {
    // The owner did change; the document saying "prepared" still holds the old SID.
  }

  Outcome outcome;
  outcome.message =
      L"Owner: Administrators. Original owner SID saved in the backup. Use Windows Advanced Security to restore it.";
  outcome.record_path = record_path;
  outcome.affected = 1;
  return outcome;
}

}  // namespace corvane
