#include "services/folder_files.h"

#include "services/pinned_folders.h"
#include "support/scratch.h"
#include "support/unix_link.h"
#include "support/wine.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace corvane {
namespace {

namespace fs = std::filesystem;
using testing::ScratchFolder;

HANDLE pinned(PinnedFolders& pins, const std::wstring& folder) {
  EXPECT_EQ(pin_folder_chain(folder, pins, true), static_cast<DWORD>(ERROR_SUCCESS));
  return pins.handles.handles.empty() ? nullptr : pins.handles.handles.back();
}

TEST(FolderFiles, CreatesOpensAndRenamesByNameInsideTheHeldFolders) {
  ScratchFolder scratch;
  PinnedFolders source_pins;
  PinnedFolders destination_pins;
  HANDLE source = pinned(source_pins, scratch.file(L"from"));
  HANDLE destination = pinned(destination_pins, scratch.file(L"to"));

  DWORD error = ERROR_SUCCESS;
  UniqueHandle file = open_file_in_folder(source, L"a.txt", GENERIC_WRITE | DELETE, 0, FolderFileOpen::create_new,
                                          nullptr, error);
  ASSERT_TRUE(file) << error;
  DWORD written = 0;
  ASSERT_TRUE(WriteFile(file.get(), "abc", 3, &written, nullptr));
  EXPECT_TRUE(file_lies_in_folder(file.get(), source, L"a.txt"));
  EXPECT_FALSE(file_lies_in_folder(file.get(), destination, L"a.txt"));

  EXPECT_FALSE(open_file_in_folder(source, L"a.txt", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                   FolderFileOpen::create_new, nullptr, error));
  EXPECT_EQ(error, static_cast<DWORD>(ERROR_FILE_EXISTS));
  EXPECT_FALSE(open_file_in_folder(source, L"missing.txt", GENERIC_READ, 0, FolderFileOpen::existing, nullptr, error));
  EXPECT_EQ(error, static_cast<DWORD>(ERROR_FILE_NOT_FOUND));

  // A name that is taken is kept unless replacing was asked for.
  testing::write_file_bytes(scratch.file(L"to\\a.txt"), "old");
  EXPECT_EQ(rename_into_folder(file.get(), destination, L"a.txt", false), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
  EXPECT_EQ(testing::read_file_bytes(scratch.file(L"to\\a.txt")), "old");
  ASSERT_EQ(rename_into_folder(file.get(), destination, L"a.txt", true), static_cast<DWORD>(ERROR_SUCCESS));
  EXPECT_TRUE(file_lies_in_folder(file.get(), destination, L"a.txt"));
  file.reset();
  EXPECT_EQ(testing::read_file_bytes(scratch.file(L"to\\a.txt")), "abc");
  EXPECT_FALSE(fs::exists(scratch.file(L"from\\a.txt")));

  // Only a plain name inside the folder: nothing is made beside it or above it.
  for (const wchar_t* refused : {L"", L".", L"..", L"..\\up.txt", L"sub\\x.txt", L"x/y", L"C:\\x.txt", L"s:x"}) {
    EXPECT_FALSE(open_file_in_folder(source, refused, GENERIC_WRITE, 0, FolderFileOpen::open_or_create, nullptr, error));
    EXPECT_EQ(error, static_cast<DWORD>(ERROR_INVALID_NAME)) << fs::path(refused).string();
  }
  UniqueHandle other =
      open_file_in_folder(destination, L"a.txt", DELETE | FILE_READ_ATTRIBUTES, 0, FolderFileOpen::existing, nullptr, error);
  ASSERT_TRUE(other) << error;
  EXPECT_EQ(rename_into_folder(other.get(), source, L"..\\up.txt", false), static_cast<DWORD>(ERROR_INVALID_NAME));
  EXPECT_FALSE(fs::exists(scratch.file(L"up.txt")));
}

// Only what leads elsewhere is a link: name surrogates, app execution aliases and the unknown tag 0.
TEST(ReparsePointIsLink, NameSurrogatesAliasesAndUnknownTagsOnly) {
  constexpr DWORD kReparseFolder = FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY;
  for (const DWORD link : {0xA0000003u, 0xA000000Cu, 0xA000001Du, 0x8000001Bu, 0u}) {
    EXPECT_TRUE(reparse_point_is_link(kReparseFolder, link)) << std::hex << link;
    EXPECT_TRUE(reparse_point_is_link(FILE_ATTRIBUTE_REPARSE_POINT, link)) << std::hex << link;
    EXPECT_FALSE(reparse_point_is_link(FILE_ATTRIBUTE_DIRECTORY, link)) << "no reparse point: " << std::hex << link;
  }
  // Cloud files and their variants, deduplication, compression.
  for (const DWORD kept : {0x9000001Au, 0x9000101Au, 0x9000701Au, 0x9000F01Au, 0x80000013u, 0x80000017u}) {
    EXPECT_FALSE(reparse_point_is_link(kReparseFolder, kept)) << std::hex << kept;
    EXPECT_FALSE(reparse_point_is_link(FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_ARCHIVE, kept)) << kept;
  }
}

TEST(FolderFiles, AFolderSwappedForALinkAfterItWasHeldTakesNothingElsewhereUnnoticed) {
  if (!testing::running_under_wine()) {
    GTEST_SKIP() << "a folder can be replaced by a link only from the Unix side of Wine";
  }
  ScratchFolder scratch;
  ScratchFolder elsewhere;
  const testing::UnixLinkRemoval removal(scratch.file(L"to"));
  PinnedFolders source_pins;
  PinnedFolders destination_pins;
  HANDLE source = pinned(source_pins, scratch.file(L"from"));
  HANDLE destination = pinned(destination_pins, scratch.file(L"to"));
  testing::write_file_bytes(scratch.file(L"from\\moved.txt"), "m");
  DWORD error = ERROR_SUCCESS;
  UniqueHandle file = open_file_in_folder(source, L"moved.txt", DELETE | FILE_READ_ATTRIBUTES, 0,
                                          FolderFileOpen::existing, nullptr, error);
  ASSERT_TRUE(file) << error;

  ASSERT_TRUE(testing::replace_folder_with_unix_symlink(scratch.file(L"to"), elsewhere.path(),
                                                        testing::FolderEntries::removed))
      << "the folder was not replaced by a link";
  // Creating through the held handle never lands behind the link.
  EXPECT_FALSE(open_file_in_folder(destination, L"new.txt", GENERIC_WRITE, 0, FolderFileOpen::create_new, nullptr,
                                   error));
  EXPECT_FALSE(fs::exists(elsewhere.file(L"new.txt")));
  // A rename through it may follow the link on some platforms; the file's final path then
  // gives it away, and it can go back through the source folder's handle.
  if (rename_into_folder(file.get(), destination, L"moved.txt", false) == ERROR_SUCCESS) {
    EXPECT_FALSE(file_lies_in_folder(file.get(), destination, L"moved.txt"));
    ASSERT_EQ(rename_into_folder(file.get(), source, L"moved.txt", false), static_cast<DWORD>(ERROR_SUCCESS));
  }
  EXPECT_TRUE(file_lies_in_folder(file.get(), source, L"moved.txt"));
  EXPECT_FALSE(fs::exists(elsewhere.file(L"moved.txt")));
}

}  // namespace
}  // namespace corvane
