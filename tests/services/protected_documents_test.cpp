#include "services/protected_documents.h"

#include "services/documents.h"
#include "services/text.h"
#include "support/scratch.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <initializer_list>
#include <stdexcept>

namespace corvane {
namespace {

const std::wstring kAdmins = L"S-1-5-32-544";
const std::wstring kSystem = L"S-1-5-18";
const std::wstring kUser = L"S-1-5-21-1-2-3-1001";

DocumentRights rights_with(const std::wstring& owner, std::uint32_t user_rights) {
  return {owner, true, {{kAdmins, FILE_ALL_ACCESS}, {kSystem, FILE_ALL_ACCESS}, {kUser, user_rights}}};
}

TEST(ProtectedDocument, OnlyAdministratorsAndSystemMayOwnOrChangeIt) {
  EXPECT_TRUE(is_protected_document(rights_with(kAdmins, FILE_GENERIC_READ)));
  EXPECT_TRUE(is_protected_document(rights_with(kSystem, FILE_GENERIC_READ | FILE_WRITE_ATTRIBUTES)));
  EXPECT_FALSE(is_protected_document(rights_with(kUser, FILE_GENERIC_READ)));
  EXPECT_FALSE(is_protected_document(rights_with(L"", FILE_GENERIC_READ)));
  for (const DWORD change : std::initializer_list<DWORD>{FILE_WRITE_DATA, FILE_APPEND_DATA, DELETE, WRITE_DAC,
                                                         WRITE_OWNER, GENERIC_WRITE, GENERIC_ALL}) {
    EXPECT_FALSE(is_protected_document(rights_with(kAdmins, FILE_GENERIC_READ | change))) << change;
  }
  DocumentRights no_list = rights_with(kAdmins, FILE_GENERIC_READ);
  no_list.has_access_list = false;
  EXPECT_FALSE(is_protected_document(no_list));
  DocumentRights unknown_entry = rights_with(kAdmins, FILE_GENERIC_READ);
  unknown_entry.grants.push_back({L"", 0xFFFFFFFFu});
  EXPECT_FALSE(is_protected_document(unknown_entry));
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

TEST(ProtectedDocument, TheElevatedWritersDescriptorReadsBackProtectedAndReadableByTheUser) {
  const SecurityDescriptor descriptor = protected_document_descriptor(kUser);
  const DocumentRights rights = document_rights(descriptor.get());
  EXPECT_EQ(rights.owner, kAdmins);
  EXPECT_TRUE(is_protected_document(rights));
  ASSERT_EQ(rights.grants.size(), 3u);
  EXPECT_EQ(rights.grants[2].account, kUser);
  EXPECT_EQ(rights.grants[2].rights & FILE_GENERIC_READ, static_cast<std::uint32_t>(FILE_GENERIC_READ));
  SECURITY_DESCRIPTOR_CONTROL control = 0;
  DWORD revision = 0;
  ASSERT_TRUE(GetSecurityDescriptorControl(descriptor.get(), &control, &revision));
  EXPECT_NE(control & SE_DACL_PROTECTED, 0) << "nothing may be inherited from the user's folder";
  EXPECT_TRUE(is_protected_document(document_rights(protected_document_descriptor().get())));
}

TEST(ProtectedDocument, AFileTheUserWroteIsNotProtectedAndErrorsAreReported) {
  const testing::ScratchFolder scratch;
  testing::write_file_bytes(scratch.file(L"doc.json"), "{}");
  DocumentRights rights;
  EXPECT_EQ(read_document_text(scratch.file(L"doc.json"), &rights), "{}");
  EXPECT_FALSE(rights.owner.empty());
  EXPECT_FALSE(is_protected_document(rights));

  EXPECT_THROW(read_document_text(scratch.file(L"missing.json"), &rights), std::runtime_error);
  try {
    read_document_rights(reinterpret_cast<HANDLE>(static_cast<std::uintptr_t>(0x7FFF1234)));
    ADD_FAILURE() << "no error";
  } catch (const std::runtime_error& error) {
    EXPECT_EQ(error.what(), wide_to_utf8(windows_error_text(ERROR_INVALID_HANDLE)));
  }
}

}  // namespace
}  // namespace corvane
