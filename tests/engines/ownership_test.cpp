// ctest-resource-lock: data_folder reports_folder
#include "engines/ownership.h"

#include "services/documents.h"
#include "services/handles.h"
#include "services/text.h"
#include "support/activity_watch.h"
#include "support/backups_guard.h"
#include "support/scratch.h"
#include "support/unix_link.h"
#include "support/wine.h"

#include <windows.h>
#include <aclapi.h>
#include <sddl.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace corvane {
namespace {

using testing::ActivityWatch;
using testing::BackupsGuard;
using testing::ScratchFolder;

const wchar_t kSuccess[] =
    L"Owner: Administrators. Original owner SID saved in the backup. Use Windows Advanced Security to restore it.";

std::wstring owner_of(const std::wstring& path) {
  PSID owner = nullptr;
  PSECURITY_DESCRIPTOR raw = nullptr;
  if (GetNamedSecurityInfoW(path.c_str(), SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, &owner, nullptr, nullptr,
                            nullptr, &raw) != ERROR_SUCCESS) {
    return L"";
  }
  const std::unique_ptr<void, LocalFreer> descriptor(raw);
  LPWSTR text = nullptr;
  if (!ConvertSidToStringSidW(owner, &text)) return L"";
  const std::unique_ptr<void, LocalFreer> text_memory(text);
  return text;
}

// Only possible when no handle to the file is open anywhere in this process.
bool opens_exclusively(const std::wstring& path) {
  return static_cast<bool>(adopt_handle(CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                                    FILE_FLAG_BACKUP_SEMANTICS, nullptr)));
}

class Ownership : public ::testing::Test {
 protected:
  BackupsGuard backups;
  ActivityWatch activity;
  ScratchFolder scratch;
};

TEST_F(Ownership, RelativeDriveRelativeAndMissingTargetsAreInvalid) {
  for (const std::wstring& path : {std::wstring(L"relative.txt"), std::wstring(L"C:relative.txt"),
                                   std::wstring(L"\\rooted-without-drive.txt"), scratch.file(L"missing.txt"),
                                   scratch.file(L"missing\\deeper.txt"), std::wstring()}) {
    const Outcome outcome = take_ownership(path);
    EXPECT_FALSE(outcome.ok) << wide_to_utf8(path);
    EXPECT_EQ(outcome.message, L"Invalid target") << wide_to_utf8(path);
    EXPECT_TRUE(outcome.record_path.empty());
  }
  EXPECT_TRUE(backups.new_files().empty());
}

TEST_F(Ownership, LinkToAFolderIsRefusedAndNotFollowed) {
  if (!testing::running_under_wine()) GTEST_SKIP() << "links are made with the Unix ln, which needs Wine";
  const std::wstring folder = scratch.file(L"real-folder");
  std::filesystem::create_directories(folder);
  const std::wstring before = owner_of(folder);
  const std::wstring link = scratch.file(L"link-to-folder");
  const testing::UnixLinkRemoval removal(link);
  ASSERT_TRUE(testing::make_unix_symlink(folder, link)) << "the link was not made";

  const Outcome outcome = take_ownership(link);
  EXPECT_FALSE(outcome.ok);
  EXPECT_EQ(outcome.message, L"Reparse points are not supported");
  EXPECT_TRUE(backups.new_files().empty());
  EXPECT_EQ(owner_of(folder), before);
}

TEST_F(Ownership, AnItemReachedThroughALinkIsRefusedThoughItsOwnNameShowsNone) {
  if (!testing::running_under_wine()) GTEST_SKIP() << "links are made with the Unix ln, which needs Wine";
  const std::wstring folder = scratch.file(L"real-folder");
  const std::wstring file = folder + L"\\file.txt";
  std::filesystem::create_directories(folder);
  testing::write_file_bytes(file, "x");
  const std::wstring linked_folder = scratch.file(L"link");
  const std::wstring linked_file = scratch.file(L"file-link.txt");
  const testing::UnixLinkRemoval folder_removal(linked_folder);
  const testing::UnixLinkRemoval file_removal(linked_file);
  ASSERT_TRUE(testing::make_unix_symlink(folder, linked_folder));
  ASSERT_TRUE(testing::make_unix_symlink(file, linked_file));  // Wine shows no reparse point on it

  for (const std::wstring& path : {linked_folder + L"\\file.txt", linked_file}) {
    ASSERT_EQ(GetFileAttributesW(path.c_str()) & FILE_ATTRIBUTE_REPARSE_POINT, 0u) << wide_to_utf8(path);
    const Outcome outcome = take_ownership(path);
    EXPECT_FALSE(outcome.ok) << wide_to_utf8(path);
    EXPECT_EQ(outcome.message, L"Reparse points are not supported") << wide_to_utf8(path);
  }
  EXPECT_TRUE(backups.new_files().empty());
  EXPECT_TRUE(opens_exclusively(file)) << "a handle to the target was left open";
}

TEST_F(Ownership, ThePathInOtherLetterCaseWithATrailingSeparatorOrByShortNamesIsTaken) {
  const std::wstring folder = scratch.file(L"a folder with a long name");
  const std::wstring file = folder + L"\\a file with a long name.txt";
  std::filesystem::create_directories(folder);
  testing::write_file_bytes(file, "x");
  std::wstring upper = file;
  CharUpperBuffW(upper.data(), static_cast<DWORD>(upper.size()));
  wchar_t short_name[MAX_PATH] = {};
  const DWORD short_length = GetShortPathNameW(file.c_str(), short_name, MAX_PATH);
  const std::wstring short_path(short_name, short_length < MAX_PATH ? short_length : 0);
  const bool has_short_name = !short_path.empty() && !same_path_text(short_path, file);
  std::vector<std::wstring> paths{file, upper, folder + L"\\"};
  if (has_short_name) paths.push_back(short_path);

  for (const std::wstring& path : paths) {
    const Outcome outcome = take_ownership(path);
    ASSERT_TRUE(outcome.ok) << wide_to_utf8(path) << ": " << wide_to_utf8(outcome.message);
    EXPECT_EQ(read_json_file(outcome.record_path)["path"], wide_to_utf8(path));
  }
  if (!has_short_name) GTEST_SKIP() << "no short name was made for " << wide_to_utf8(file);
}

TEST_F(Ownership, FileOwnerIsRecordedBeforeTheChangeAndNoLineIsLogged) {
  const std::wstring path = scratch.file(L"t\u1EC7p c\u1EE7a t\u00F4i.txt");
  testing::write_file_bytes(path, "content");
  const std::wstring previous_owner = owner_of(path);
  ASSERT_FALSE(previous_owner.empty());

  const Outcome outcome = take_ownership(path);
  ASSERT_TRUE(outcome.ok) << wide_to_utf8(outcome.message);
  EXPECT_EQ(outcome.message, kSuccess);
  EXPECT_EQ(outcome.affected, 1u);
  EXPECT_EQ(backups.new_files(), std::vector<std::wstring>{outcome.record_path});
  const std::wstring name = std::filesystem::path(outcome.record_path).filename().wstring();
  EXPECT_TRUE(name.size() > 11 && name.substr(name.size() - 11) == L"-owner.json") << wide_to_utf8(name);
  EXPECT_EQ(testing::read_file_bytes(outcome.record_path),
            "{\n  \"before\": \"" + wide_to_utf8(previous_owner) +
                "\",\n  \"kind\": \"owner\",\n  \"label\": \"Take Ownership\",\n  \"path\": " +
                nlohmann::json(wide_to_utf8(path)).dump() + ",\n  \"schema\": 1,\n  \"state\": \"applied\"\n}");
  for (const nlohmann::json& line : activity.lines()) {
    EXPECT_EQ(line["operation"], "registry") << "take ownership wrote an activity line";  // others' lines only
  }
  EXPECT_TRUE(opens_exclusively(path)) << "a handle to the target was left open";
}

TEST_F(Ownership, OwnerReadsBackAsAdministratorsForAFolderButNotItsContents) {
  const std::wstring folder = scratch.file(L"folder");
  const std::wstring child = scratch.file(L"folder\\child.txt");
  std::filesystem::create_directories(folder);
  testing::write_file_bytes(child, "x");
  const std::wstring child_owner = owner_of(child);

  const Outcome outcome = take_ownership(folder);
  ASSERT_TRUE(outcome.ok) << wide_to_utf8(outcome.message);
  EXPECT_TRUE(opens_exclusively(folder));
  EXPECT_EQ(owner_of(child), child_owner);
  if (owner_of(folder) != L"S-1-5-32-544") {
    if (testing::running_under_wine()) {
      GTEST_SKIP() << "Wine keeps no owner on this file system (no security attribute stored), so the new "
                      "owner cannot be read back";
    }
    FAIL() << "owner is " << wide_to_utf8(owner_of(folder));
  }
}

TEST_F(Ownership, UnwritableBackupChangesNothingAndLeavesNoHandle) {
  const std::wstring path = scratch.file(L"file.txt");
  testing::write_file_bytes(path, "content");
  const std::wstring previous_owner = owner_of(path);
  Outcome outcome;
  {
    testing::BackupsFolderBlocked blocked;
    outcome = take_ownership(path);
  }
  EXPECT_FALSE(outcome.ok);
  EXPECT_FALSE(outcome.message.empty());
  EXPECT_TRUE(outcome.record_path.empty());
  EXPECT_EQ(owner_of(path), previous_owner);
  EXPECT_TRUE(backups.new_files().empty());
  EXPECT_TRUE(opens_exclusively(path));
}

}  // namespace
}  // namespace corvane
