// ctest-resource-lock: data_folder reports_folder
#include "engines/ownership.h"

#include "services/documents.h"
#include "services/handles.h"
#include "services/text.h"
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

namespace corvane {
namespace {

using testing::BackupsGuard;
using testing::ScratchFolder;

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

class Ownership : public ::testing::Test {
 protected:
  BackupsGuard backups;
  ScratchFolder scratch;
};

TEST_F(Ownership, LinkToAFolderIsRefusedAndNotFollowed) {
  if (!testing::running_under_wine()) GTEST_SKIP() << "links are made with the Unix ln, which needs Wine";
  const std::wstring folder = scratch.file(L"real-folder");
  std::filesystem::create_directories(folder);
  const std::wstring before = owner_of(folder);
  const std::wstring link = scratch.file(L"link-to-folder");
  ASSERT_TRUE(testing::make_unix_symlink(folder, link));
  // Gone before the scratch folder is removed, whose removal would follow it.
  const struct LinkRemover {
    std::wstring path;
    ~LinkRemover() { testing::remove_unix_symlink(path); }
  } remover{link};

  EXPECT_EQ(take_ownership(link).message, L"Reparse points are not supported");
  EXPECT_TRUE(backups.new_files().empty());
  EXPECT_EQ(owner_of(folder), before);
}

}  // namespace
}  // namespace corvane
