// ctest-resource-lock: dosdevices
#include "services/pinned_folders.h"

#include "services/activity_log.h"
#include "services/documents.h"
#include "services/reg_file.h"
#include "services/text.h"
#include "support/acting_unelevated.h"
#include "support/scratch.h"
#include "support/unix_link.h"
#include "support/wine.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

namespace corvane {
namespace {

namespace fs = std::filesystem;
using testing::ScratchFolder;

std::vector<std::wstring> chain_of(const std::wstring& folder) {
  std::vector<std::wstring> chain{L"(refused)"};
  return folder_chain(folder, chain) ? chain : std::vector<std::wstring>{L"(refused)"};
}

TEST(FolderChain, EveryPrefixBelowTheRootOrRefused) {
  EXPECT_EQ(chain_of(L"C:\\a\\\\b/c\\"), (std::vector<std::wstring>{L"C:\\a", L"C:\\a\\b", L"C:\\a\\b\\c"}));
  EXPECT_EQ(chain_of(L"\\\\server\\share\\x"), (std::vector<std::wstring>{L"\\\\server\\share\\x"}));
  for (const wchar_t* refused : {L"C:\\", L"a\\b", L"C:a", L"C:\\a\\..\\b", L"C:\\a\\.", L"\\\\?\\C:\\a",
                                 L"\\\\server", L"\\\\server\\share"}) {
    EXPECT_EQ(chain_of(refused), std::vector<std::wstring>{L"(refused)"}) << fs::path(refused).string();
  }
}

TEST(PinFolderChain, MakesMissingFoldersAndRefusesAFileOnTheWay) {
  ScratchFolder scratch;
  PinnedFolders pins;
  EXPECT_EQ(pin_folder_chain(scratch.file(L"a\\b"), pins), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  EXPECT_TRUE(pins.paths.empty());
  ASSERT_EQ(pin_folder_chain(scratch.file(L"a\\b"), pins, true), static_cast<DWORD>(ERROR_SUCCESS));
  EXPECT_EQ(pins.paths.back(), scratch.file(L"a\\b"));
  EXPECT_EQ(pins.paths.size(), pins.handles.handles.size());
  EXPECT_TRUE(fs::is_directory(scratch.file(L"a\\b")));

  testing::write_file_bytes(scratch.file(L"file"), "x");
  EXPECT_EQ(pin_folder_chain(scratch.file(L"file\\c"), pins, true), static_cast<DWORD>(ERROR_DIRECTORY));
  EXPECT_TRUE(pins.paths.empty());
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

// Windows takes a folder spelt with doubled separators or forward slashes (a script that writes
// a folder setting can leave it so) as the folder itself; so does a pin, and it makes what is
// missing under such a spelling.
TEST(PinFolderChain, ASpellingWithDoubledSeparatorsOrForwardSlashesIsTheFolderItself) {
  ScratchFolder scratch;
  fs::create_directories(scratch.file(L"a\\b"));
  std::wstring slashed = scratch.path();
  for (wchar_t& c : slashed) c = c == L'\\' ? L'/' : c;
  PinnedFolders pins;
  for (const std::wstring& spelt : {scratch.path() + L"\\\\a\\b", scratch.path() + L"\\a\\\\b\\",
                                    slashed + L"//a/b", scratch.path().substr(0, 3) + scratch.path().substr(2) + L"\\a\\b"}) {
    ASSERT_EQ(pin_folder_chain(spelt, pins), static_cast<DWORD>(ERROR_SUCCESS)) << wide_to_utf8(spelt);
    EXPECT_EQ(pins.paths.back(), scratch.file(L"a\\b"));
  }
  ASSERT_EQ(pin_folder_chain(scratch.path() + L"\\a\\\\new//made", pins, true), static_cast<DWORD>(ERROR_SUCCESS));
  EXPECT_EQ(pins.paths.back(), scratch.file(L"a\\new\\made"));
  EXPECT_TRUE(fs::is_directory(scratch.file(L"a\\new\\made")));
  pins.release_from(0);

  // Documents are written and folders made through such a spelling too.
  write_json_atomic(slashed + L"//a//doc.json", nlohmann::json{{"a", 1}});
  EXPECT_EQ(testing::read_file_bytes(scratch.file(L"a\\doc.json")), "{\n  \"a\": 1\n}");
  create_document_folder(scratch.path() + L"\\\\a\\\\Made");
  EXPECT_TRUE(fs::is_directory(scratch.file(L"a\\Made")));
}

// A link directly below the drive root, with the folder asked for missing under it: refused, and
// nothing made behind the link, at the first level below it or deeper.
TEST(PinFolderChain, ALinkDirectlyBelowTheDriveRootIsRefusedAndNothingIsMadeBehindIt) {
  if (!testing::running_under_wine()) GTEST_SKIP() << "links are made on Wine's Unix side only";
  ScratchFolder elsewhere;
  const std::wstring link = fs::path(elsewhere.path()).root_path().wstring() + L"corvane-link-" + testing::random_name();
  const testing::UnixLinkRemoval removal(link);
  ASSERT_TRUE(testing::make_unix_symlink(elsewhere.path(), link)) << "the link was not made";
  PinnedFolders pins;
  for (const std::wstring& folder : {link + L"\\new", link + L"\\new\\deeper", link + L"\\\\new"}) {
    EXPECT_EQ(pin_folder_chain(folder, pins, true), static_cast<DWORD>(ERROR_REPARSE_POINT_ENCOUNTERED))
        << wide_to_utf8(folder);
    EXPECT_TRUE(pins.paths.empty());
  }
  EXPECT_THROW(write_json_atomic(link + L"\\Backups\\doc.json", nlohmann::json{{"a", 1}}), std::runtime_error);
  EXPECT_TRUE(fs::is_empty(elsewhere.path())) << "something was made behind the link";
  // The link's own level, which exists, is refused too.
  EXPECT_EQ(pin_folder_chain(link, pins), static_cast<DWORD>(ERROR_REPARSE_POINT_ENCOUNTERED));
}

// A folder on the way to a document swapped for a link to somewhere else.
class LinkedDocumentFolder : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!testing::running_under_wine()) {
      GTEST_SKIP() << "symbolic links are made on the Unix side of Wine's prefix; not available here";
    }
    fs::create_directories(scratch.file(L"data"));
    ASSERT_TRUE(testing::make_unix_symlink(elsewhere.path(), scratch.file(L"data\\linked"))) << "the link was not made";
  }
  ScratchFolder scratch;
  ScratchFolder elsewhere;
  const testing::UnixLinkRemoval removal{scratch.file(L"data\\linked")};
};

TEST_F(LinkedDocumentFolder, PinningRefusesTheLinkAndMakesNothingBehindIt) {
  PinnedFolders pins;
  EXPECT_EQ(pin_folder_chain(scratch.file(L"data\\linked\\new"), pins, true),
            static_cast<DWORD>(ERROR_REPARSE_POINT_ENCOUNTERED));
  EXPECT_TRUE(pins.paths.empty());
  EXPECT_FALSE(fs::exists(elsewhere.file(L"new")));
}

TEST_F(LinkedDocumentFolder, DocumentWritesFailAndWriteNothing) {
  try {
    write_json_atomic(scratch.file(L"data\\linked\\Backups\\doc.json"), nlohmann::json{{"a", 1}});
    ADD_FAILURE() << "written through a link";
  } catch (const std::runtime_error& error) {
    EXPECT_STREQ(error.what(), "Document folder is a link or was replaced; nothing was written");
  }
  try {
    write_reg_file(scratch.file(L"data\\linked\\doc.reg"), {{0, L"K", L"", make_dword_value(1)}});
    ADD_FAILURE() << "written through a link";
  } catch (const std::runtime_error& error) {
    EXPECT_STREQ(error.what(), "Cannot write .reg backup");
  }
  try {
    create_document_folder(scratch.file(L"data\\linked\\Backups"));
    ADD_FAILURE() << "a folder made through a link";
  } catch (const std::runtime_error& error) {
    EXPECT_STREQ(error.what(), "Document folder is a link or was replaced; nothing was written");
  }
  EXPECT_TRUE(fs::is_empty(elsewhere.path()));
  create_document_folder(scratch.file(L"data\\plain\\Backups"));
  EXPECT_TRUE(fs::is_directory(scratch.file(L"data\\plain\\Backups")));
}

// Unelevated, Corvane has only the user's rights: the user's own link on the way (a profile
// folder moved to another drive, say) is followed once, and the folder it leads to is pinned.
TEST_F(LinkedDocumentFolder, UnelevatedTheUsersOwnLinkIsFollowedAndWhatItLeadsToIsPinned) {
  const testing::ActingUnelevated unelevated;
  write_json_atomic(scratch.file(L"data\\linked\\Backups\\doc.json"), nlohmann::json{{"a", 1}});
  EXPECT_EQ(testing::read_file_bytes(elsewhere.file(L"Backups\\doc.json")), "{\n  \"a\": 1\n}");
  create_document_folder(scratch.file(L"data\\linked\\Made"));
  EXPECT_TRUE(fs::is_directory(elsewhere.file(L"Made")));
  append_activity_in(scratch.file(L"data\\linked\\Reports"), "test", Outcome{});
  EXPECT_TRUE(fs::exists(elsewhere.file(L"Reports\\activity.jsonl")));

  PinnedFolders pins;
  ASSERT_EQ(pin_folder_chain(scratch.file(L"data\\linked\\New"), pins, true, FolderLinks::followed),
            static_cast<DWORD>(ERROR_SUCCESS));
  EXPECT_TRUE(same_path_text(pins.paths.back(), elsewhere.file(L"New"))) << wide_to_utf8(pins.paths.back());
  EXPECT_TRUE(fs::is_directory(elsewhere.file(L"New")));
  // Elevated, the same link is refused and nothing more is made behind it.
  pins.release_from(0);
  EXPECT_EQ(pin_folder_chain(scratch.file(L"data\\linked\\Other"), pins, true),
            static_cast<DWORD>(ERROR_REPARSE_POINT_ENCOUNTERED));
  EXPECT_FALSE(fs::exists(elsewhere.file(L"Other")));
}

// A missing folder's parent, pinned and checked and then emptied and made a link in place just
// before the folder is made: nothing is made behind the link.
struct ParentSwap {
  std::wstring level;
  std::wstring parent;
  std::wstring elsewhere;
  bool swapped = false;
};
ParentSwap parent_swap;

TEST(PinFolderChain, AMissingFolderIsMadeThroughItsPinnedParentNeverBehindALink) {
  ScratchFolder scratch;
  ScratchFolder elsewhere;
  const std::wstring parent = scratch.file(L"data");
  fs::create_directories(parent);
  const testing::UnixLinkRemoval removal(parent);
  parent_swap = ParentSwap{parent + L"\\New", parent, elsewhere.path(), false};
  folder_create_probe = [](const std::wstring& level) {
    if (level != parent_swap.level || parent_swap.swapped) return;
    parent_swap.swapped = testing::replace_folder_with_unix_symlink(parent_swap.parent, parent_swap.elsewhere,
                                                                    testing::FolderEntries::removed);
  };
  PinnedFolders pins;
  const DWORD error = pin_folder_chain(parent + L"\\New\\Sub", pins, true);
  folder_create_probe = nullptr;
  pins.release_from(0);
  ASSERT_TRUE(parent_swap.swapped) << "the parent was not replaced by a link";
  EXPECT_NE(error, static_cast<DWORD>(ERROR_SUCCESS));
  EXPECT_TRUE(fs::is_empty(elsewhere.path())) << "a folder was made behind the link";
}

// Another program makes the missing folder by its path between the open that found it missing
// and the create: it is opened and pinned all the same, and the pin keeps it where it is.
std::wstring made_meanwhile;
TEST(PinFolderChain, AFolderMadeByAnotherProgramJustBeforeTheCreateIsPinned) {
  ScratchFolder scratch;
  made_meanwhile = scratch.file(L"New");
  folder_create_probe = [](const std::wstring& level) {
    if (level == made_meanwhile) CreateDirectoryW(level.c_str(), nullptr);
  };
  PinnedFolders pins;
  const DWORD error = pin_folder_chain(made_meanwhile + L"\\Sub", pins, true);
  folder_create_probe = nullptr;
  ASSERT_EQ(error, static_cast<DWORD>(ERROR_SUCCESS));
  ASSERT_GE(pins.paths.size(), 2u);
  EXPECT_EQ(pins.paths[pins.paths.size() - 2], made_meanwhile);
  EXPECT_EQ(pins.paths.back(), made_meanwhile + L"\\Sub");
  const std::wstring moved = scratch.file(L"Moved");
  EXPECT_FALSE(MoveFileExW(made_meanwhile.c_str(), moved.c_str(), 0)) << "a pinned folder was renamed";
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
  pins.release_from(0);
  EXPECT_TRUE(MoveFileExW(made_meanwhile.c_str(), moved.c_str(), 0)) << "the folder stayed held";
}

TEST(PinFolderChain, ALinkOnTheWayFailsPinsAndDocumentWritesAndNothingIsMadeBehindIt) {
  ScratchFolder scratch;
  ScratchFolder elsewhere;
  if (!testing::running_under_wine()) GTEST_SKIP() << "links are made on Wine's Unix side only";
  const std::wstring link = scratch.file(L"linked");
  const testing::UnixLinkRemoval removal(link);
  ASSERT_TRUE(testing::make_unix_symlink(elsewhere.path(), link)) << "the link was not made";
  PinnedFolders pins;
  EXPECT_EQ(pin_folder_chain(link + L"\\new", pins, true), static_cast<DWORD>(ERROR_REPARSE_POINT_ENCOUNTERED));
  try {
    write_json_atomic(link + L"\\Backups\\doc.json", nlohmann::json{{"a", 1}});
    ADD_FAILURE() << "written through a link";
  } catch (const std::runtime_error& error) {
    EXPECT_STREQ(error.what(), "Document folder is a link or was replaced; nothing was written");
  }
  EXPECT_THROW(write_reg_file(link + L"\\doc.reg", {{0, L"K", L"", make_dword_value(1)}}), std::runtime_error);
  EXPECT_TRUE(fs::is_empty(elsewhere.path()));
}

TEST(FinalPathMatches, TheDriveRootsFinalPathStandsForTheDrive) {
  // subst X: C:\sub, X:\a\b
  EXPECT_TRUE(final_path_matches(L"C:\\sub\\a\\b", L"C:\\sub", L"a\\b"));
  EXPECT_TRUE(final_path_matches(L"c:\\SUB\\A", L"C:\\sub\\", L"a"));
  // a plain drive, and a drive mapped to a folder of a share
  EXPECT_TRUE(final_path_matches(L"C:\\a", L"C:\\", L"a"));
  EXPECT_TRUE(final_path_matches(L"\\\\srv\\share\\dir\\a", L"\\\\srv\\share\\dir", L"a"));
  // A link or junction on the way leads somewhere else; a neighbour of the root is not below it.
  EXPECT_FALSE(final_path_matches(L"C:\\elsewhere\\b", L"C:\\sub", L"a\\b"));
  EXPECT_FALSE(final_path_matches(L"C:\\sub\\a", L"C:\\sub", L"a\\b"));
  EXPECT_FALSE(final_path_matches(L"C:\\suba", L"C:\\sub", L"a"));
  EXPECT_FALSE(final_path_matches(L"X:\\a", L"C:\\sub", L"a"));
  EXPECT_FALSE(final_path_matches(L"\\a", L"", L"a"));
}

// A second drive letter made in the prefix for the C: drive's folder: Wine then names every
// folder reached through it by its C: path, as Windows does for a subst drive.
TEST(PinFolderChain, DocumentsAreWrittenThroughADriveThatStandsForAnotherFolder) {
  ScratchFolder scratch;
  ScratchFolder elsewhere;
  ASSERT_EQ(scratch.path().substr(0, 3), L"C:\\");
  if (!testing::running_under_wine()) GTEST_SKIP() << "a drive letter is made in Wine's prefix only";
  const testing::DriveAlias drive(L'Q', L'C');
  ASSERT_TRUE(drive) << "the drive letter Q: was not made (taken, or its link failed)";
  const std::wstring through = L"Q:" + scratch.path().substr(2);

  write_json_atomic(through + L"\\Backups\\doc.json", nlohmann::json{{"a", 1}});
  EXPECT_EQ(testing::read_file_bytes(scratch.file(L"Backups\\doc.json")), "{\n  \"a\": 1\n}");
  write_reg_file(through + L"\\doc.reg", {{0, L"K", L"", make_dword_value(1)}});
  EXPECT_TRUE(fs::exists(scratch.file(L"doc.reg")));

  // A link on the way is still refused, reached through that drive too.
  const std::wstring link = scratch.file(L"linked");
  const testing::UnixLinkRemoval removal(link);
  ASSERT_TRUE(testing::make_unix_symlink(elsewhere.path(), link)) << "the link was not made";
  PinnedFolders pins;
  EXPECT_EQ(pin_folder_chain(L"Q:" + link.substr(2) + L"\\new", pins, true),
            static_cast<DWORD>(ERROR_REPARSE_POINT_ENCOUNTERED));
  EXPECT_TRUE(pins.paths.empty());
  EXPECT_THROW(write_json_atomic(L"Q:" + link.substr(2) + L"\\doc.json", nlohmann::json{{"a", 1}}),
               std::runtime_error);
  EXPECT_TRUE(fs::is_empty(elsewhere.path()));
}

}  // namespace
}  // namespace corvane
