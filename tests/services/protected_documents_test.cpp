#include "services/protected_documents.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace corvane {
namespace {

const std::wstring kAdmins = L"S-1-5-32-544";
const std::wstring kUser = L"S-1-5-21-1-2-3-1001";

DocumentRights rights_with(const std::wstring& owner, DWORD user_rights) {
  return {owner, true, {{kAdmins, FILE_ALL_ACCESS}, {L"S-1-5-18", FILE_ALL_ACCESS}, {kUser, user_rights}}};
}

TEST(ProtectedDocument, OnlyAdministratorsAndSystemMayOwnOrChangeIt) {
  EXPECT_TRUE(is_protected_document(rights_with(L"S-1-5-18", FILE_GENERIC_READ | FILE_WRITE_ATTRIBUTES)));
  EXPECT_FALSE(is_protected_document(rights_with(kUser, FILE_GENERIC_READ)));
  for (const DWORD change : {DWORD{FILE_WRITE_DATA}, DWORD{FILE_APPEND_DATA}, DWORD{DELETE}, DWORD{WRITE_DAC},
                             DWORD{WRITE_OWNER}, DWORD{GENERIC_WRITE}, DWORD{GENERIC_ALL}}) {
    EXPECT_FALSE(is_protected_document(rights_with(kAdmins, FILE_GENERIC_READ | change))) << change;
  }
  DocumentRights odd = rights_with(kAdmins, FILE_GENERIC_READ);
  odd.grants.push_back({L"", 0xFFFFFFFFu});  // an entry of a form not understood
  EXPECT_FALSE(is_protected_document(odd));
  odd.grants.pop_back();
  odd.has_access_list = false;
  EXPECT_FALSE(is_protected_document(odd));
}

TEST(ProtectedDocument, TheElevatedWritersDescriptorIsProtectedAndReadableByTheUser) {
  const SecurityDescriptor descriptor = protected_document_descriptor(kUser);
  const DocumentRights rights = document_rights(descriptor.get());
  EXPECT_EQ(rights.owner, kAdmins);
  EXPECT_TRUE(is_protected_document(rights));
  ASSERT_EQ(rights.grants.size(), 3u);
  EXPECT_EQ(rights.grants[2].rights, static_cast<std::uint32_t>(FILE_GENERIC_READ));
  SECURITY_DESCRIPTOR_CONTROL control = 0;
  DWORD revision = 0;
  ASSERT_TRUE(GetSecurityDescriptorControl(descriptor.get(), &control, &revision));
  EXPECT_NE(control & SE_DACL_PROTECTED, 0) << "nothing may be inherited from the user's folder";
}

}  // namespace
}  // namespace corvane
