#include "services/pinned_folders.h"

#include "services/documents.h"
#include "services/reg_file.h"
#include "support/scratch.h"
#include "support/unix_link.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace corvane {
namespace {

namespace fs = std::filesystem;
using testing::ScratchFolder;

TEST(FolderChain, EveryPrefixBelowTheRootOrRefused) {
  std::vector<std::wstring> chain;
  ASSERT_TRUE(folder_chain(L"C:\\a\\\\b/c\\", chain));
  EXPECT_EQ(chain, (std::vector<std::wstring>{L"C:\\a", L"C:\\a\\b", L"C:\\a\\b\\c"}));
  ASSERT_TRUE(folder_chain(L"\\\\server\\share\\x", chain));
  EXPECT_EQ(chain, std::vector<std::wstring>{L"\\\\server\\share\\x"});
  for (const wchar_t* refused : {L"C:\\", L"a\\b", L"C:a", L"C:\\a\\..\\b", L"\\\\?\\C:\\a", L"\\\\server\\share"}) {
    EXPECT_FALSE(folder_chain(refused, chain)) << fs::path(refused).string();
  }
}

TEST(PinFolderChain, MakesMissingFoldersOnlyWhenAskedAndRefusesAFile) {
  ScratchFolder scratch;
  PinnedFolders pins;
  EXPECT_EQ(pin_folder_chain(scratch.file(L"a\\b"), pins), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  ASSERT_EQ(pin_folder_chain(scratch.file(L"a\\b"), pins, true), static_cast<DWORD>(ERROR_SUCCESS));
  EXPECT_EQ(pins.paths.back(), scratch.file(L"a\\b"));
  EXPECT_TRUE(fs::is_directory(scratch.file(L"a\\b")));
  testing::write_file_bytes(scratch.file(L"file"), "x");
  EXPECT_EQ(pin_folder_chain(scratch.file(L"file\\c"), pins, true), static_cast<DWORD>(ERROR_DIRECTORY));
  EXPECT_TRUE(pins.paths.empty());
}

TEST(PinFolderChain, ALinkOnTheWayFailsPinsAndDocumentWritesAndNothingIsMadeBehindIt) {
  ScratchFolder scratch;
  ScratchFolder elsewhere;
  const std::wstring link = scratch.file(L"linked");
  if (!testing::make_unix_symlink(elsewhere.path(), link)) GTEST_SKIP() << "links are made on Wine's Unix side only";
  PinnedFolders pins;
  EXPECT_EQ(pin_folder_chain(link + L"\\new", pins, true), static_cast<DWORD>(ERROR_REPARSE_POINT_ENCOUNTERED));
  try {
    write_json_atomic(link + L"\\Backups\\doc.json", nlohmann::json{{"a", 1}});
    ADD_FAILURE() << "written through a link";
  } catch (const std::runtime_error& error) {
    EXPECT_STREQ(error.what(), "Document folder is a link or was replaced; nothing was written");
  }
  EXPECT_THROW(write_reg_file(link + L"\\doc.reg", {{0, L"K", L"", make_dword_value(1)}}), std::runtime_error);
  testing::remove_unix_symlink(link);
  EXPECT_TRUE(fs::is_empty(elsewhere.path()));
}

}  // namespace
}  // namespace corvane
