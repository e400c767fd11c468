#include "services/protected_documents.h"

#include "services/text.h"

#include <aclapi.h>
#include <sddl.h>

namespace corvane {

namespace {

constexpr wchar_t kAdministrators[] = L"S-1-5-32-544";
constexpr wchar_t kSystem[] = L"S-1-5-18";

constexpr std::uint32_t kChangeRights =
    FILE_WRITE_DATA | FILE_APPEND_DATA | DELETE | WRITE_DAC | WRITE_OWNER | GENERIC_WRITE | GENERIC_ALL;

std::wstring sid_text(PSID sid) {
  LPWSTR raw = nullptr;
  if (!ConvertSidToStringSidW(sid, &raw) || raw == nullptr) throw_windows_error(GetLastError());
  const std::unique_ptr<void, LocalFreer> memory(raw);
  return raw;
}

bool is_administrators_or_system(const std::wstring& account) {
  return account == kAdministrators || account == kSystem;
}

}  // namespace

DocumentRights document_rights(PSECURITY_DESCRIPTOR descriptor) {
  DocumentRights rights;
  PSID owner = nullptr;
  BOOL defaulted = FALSE;
  if (!GetSecurityDescriptorOwner(descriptor, &owner, &defaulted)) throw_windows_error(GetLastError());
  if (owner != nullptr) rights.owner = sid_text(owner);

  BOOL present = FALSE;
  PACL list = nullptr;
  if (!GetSecurityDescriptorDacl(descriptor, &present, &list, &defaulted)) throw_windows_error(GetLastError());
  rights.has_access_list = present && list != nullptr;
  if (!rights.has_access_list) return rights;
  for (DWORD i = 0; i < list->AceCount; ++i) {
    void* entry = nullptr;
    if (!GetAce(list, i, &entry)) throw_windows_error(GetLastError());
    const auto* header = static_cast<const ACE_HEADER*>(entry);
    if ((header->AceFlags & INHERIT_ONLY_ACE) != 0) continue;  // applies to children only
    if (header->AceType == ACCESS_DENIED_ACE_TYPE) continue;   // can only take rights away
    if (header->AceType == ACCESS_ALLOWED_ACE_TYPE) {
      auto* allowed = static_cast<ACCESS_ALLOWED_ACE*>(entry);
      rights.grants.push_back({sid_text(&allowed->SidStart), allowed->Mask});
    } else {
      rights.grants.push_back({std::wstring(), 0xFFFFFFFFu});  // not understood: assume the worst
    }
  }
  return rights;
}

DocumentRights read_document_rights(HANDLE file) {
  PSECURITY_DESCRIPTOR raw = nullptr;
  const DWORD error = GetSecurityInfo(file, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION,
                                      nullptr, nullptr, nullptr, nullptr, &raw);
  const SecurityDescriptor descriptor(raw);
  if (error != ERROR_SUCCESS) throw_windows_error(error);
  return document_rights(raw);
}

bool is_protected_document(const DocumentRights& rights) {
  if (!is_administrators_or_system(rights.owner) || !rights.has_access_list) return false;
  for (const DocumentGrant& grant : rights.grants) {
    if ((grant.rights & kChangeRights) != 0 && !is_administrators_or_system(grant.account)) return false;
  }
  return true;
}

SecurityDescriptor protected_document_descriptor(const std::wstring& user_sid) {
  const std::wstring text = L"O:BAD:P(A;;FA;;;BA)(A;;FA;;;SY)(A;;FR;;;" + user_sid + L")";
  PSECURITY_DESCRIPTOR raw = nullptr;
  if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(text.c_str(), SDDL_REVISION_1, &raw, nullptr)) {
    throw_windows_error(GetLastError());
  }
  return SecurityDescriptor(raw);
}

std::wstring process_user_sid() {
  HANDLE raw = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &raw)) throw_windows_error(GetLastError());
  const UniqueHandle token(raw);
  DWORD size = 0;
  GetTokenInformation(token.get(), TokenUser, nullptr, 0, &size);
  std::vector<std::uint8_t> buffer(size == 0 ? 1 : size);
  if (!GetTokenInformation(token.get(), TokenUser, buffer.data(), size, &size)) throw_windows_error(GetLastError());
  return sid_text(reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid);
}

SecurityDescriptor protected_document_descriptor() { return protected_document_descriptor(process_user_sid()); }

}  // namespace corvane
