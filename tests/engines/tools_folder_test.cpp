// ctest-resource-lock: desktop data_folder
#include "engines/tools_folder.h"

#include "services/shell.h"
#include "services/text.h"
#include "services/user_profile.h"
#include "support/outside_folder.h"
#include "support/reported_reparse_tag.h"
#include "support/scratch.h"
#include "support/startup_scratch.h"
#include "support/unix_link.h"
#include "support/wine.h"

#include <gtest/gtest.h>

#include <windows.h>
#include <shlobj.h>

#include <filesystem>
#include <string>

namespace corvane {
namespace {

std::wstring tools_folder_path() {
  std::wstring desktop = known_folder_path(FOLDERID_Desktop);
  if (desktop.back() != L'\\') desktop += L'\\';
  return desktop + L"Corvane Tools.{ED7BA470-8E54-465E-825C-99712043E01C}";
}

DWORD attributes_of(const std::wstring& path) { return GetFileAttributesW(path.c_str()); }

class ToolsFolder : public ::testing::Test {
 protected:
  void SetUp() override {
    path_ = tools_folder_path();
    remove_leftovers();
    ASSERT_EQ(attributes_of(path_), INVALID_FILE_ATTRIBUTES) << "cannot clear the Desktop for the test";
  }
  void TearDown() override { remove_leftovers(); }
  void remove_leftovers() {
    RemoveDirectoryW(path_.c_str());
    DeleteFileW(path_.c_str());
  }
  std::wstring path_;
};

// Unelevated: the test prefix's Desktop is the user's own link into the Unix home, followed as
// the user would.
TEST_F(ToolsFolder, CreatesOnceThenReportsItAlreadyThere) {
  const Outcome first = create_tools_folder(false);
  EXPECT_TRUE(first.ok) << wide_to_utf8(first.message);
  EXPECT_EQ(first.message, path_);
  EXPECT_EQ(first.affected, 1u);
  EXPECT_TRUE(first.record_path.empty());
  EXPECT_EQ(first.bytes, 0u);
  EXPECT_EQ(first.skipped, 0u);
  const DWORD attributes = attributes_of(path_);
  ASSERT_NE(attributes, INVALID_FILE_ATTRIBUTES);
  EXPECT_NE(attributes & FILE_ATTRIBUTE_DIRECTORY, 0u);

  const Outcome second = create_tools_folder(false);
  EXPECT_TRUE(second.ok) << wide_to_utf8(second.message);
  EXPECT_EQ(second.message, path_);
  EXPECT_EQ(second.affected, 0u);
}

TEST_F(ToolsFolder, FileInTheWayFailsAndIsLeftAlone) {
  testing::write_file_bytes(path_, "not a folder");
  const Outcome outcome = create_tools_folder(false);
  EXPECT_FALSE(outcome.ok);
  EXPECT_EQ(outcome.message, windows_error_text(ERROR_ALREADY_EXISTS));
  EXPECT_EQ(outcome.affected, 0u);
  EXPECT_TRUE(outcome.record_path.empty());
  const DWORD attributes = attributes_of(path_);
  ASSERT_NE(attributes, INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(attributes & FILE_ATTRIBUTE_DIRECTORY, 0u);
  EXPECT_EQ(testing::read_file_bytes(path_), "not a folder");
}

// A link in the folder's place leading elsewhere: under Wine it opens as the folder it leads to,
// and only its final path gives it away. Unelevated on the user's own Desktop, elevated on a plain
// one inside the profile, it is in the way as a file would be and nothing is made behind it.
TEST_F(ToolsFolder, ALinkInItsPlaceIsInTheWayAndNothingIsMadeBehindIt) {
  if (!testing::running_under_wine()) GTEST_SKIP() << "links are made on Wine's Unix side";
  const testing::OutsideFolder elsewhere;
  const testing::ScratchFolder inside;  // the profile's
  testing::StartupScratch scratch;
  const auto expect_in_the_way = [&](const std::wstring& link, bool elevated) {
    ASSERT_TRUE(scratch.put_link(elsewhere.path(), link)) << "the link was not made";
    const Outcome outcome = create_tools_folder(elevated);
    EXPECT_FALSE(outcome.ok);
    EXPECT_EQ(outcome.message, windows_error_text(ERROR_ALREADY_EXISTS)) << wide_to_utf8(outcome.message);
    EXPECT_EQ(outcome.affected, 0u);
    EXPECT_TRUE(std::filesystem::is_empty(elsewhere.path())) << "something was made behind the link";
  };
  expect_in_the_way(path_, false);

  std::filesystem::create_directories(inside.file(L"Desktop"));
  testing::redirect_desktop(scratch, inside.file(L"Desktop"));
  ASSERT_TRUE(path_strictly_inside(user_profile_folder(), inside.path()));
  expect_in_the_way(inside.file(L"Desktop\\") + kToolsFolderName, true);
}

void point_desktop_at(testing::StartupScratch& scratch, const std::wstring& folder) {
  testing::redirect_desktop(scratch, folder);
  ASSERT_EQ(known_folder_path(FOLDERID_Desktop), folder);
}

void expect_refused_and_nothing_made(const Outcome& outcome, const std::wstring& desktop) {
  EXPECT_FALSE(outcome.ok);
  EXPECT_EQ(outcome.message, kDesktopOutsideProfileMessage);
  EXPECT_EQ(outcome.affected, 0u);
  EXPECT_TRUE(std::filesystem::is_empty(desktop)) << "a folder was made on a Desktop outside the profile";
}

// Elevated, the Desktop setting, which any program of the user can point anywhere, is used only
// where it lies inside the recorded profile and is reached through no link.
TEST(ToolsFolderElevated, MadeOnlyOnADesktopInsideTheProfile) {
  const testing::OutsideFolder outside;
  const testing::OutsideFolder elsewhere;
  const testing::ScratchFolder inside;
  testing::StartupScratch scratch;  // first to go: the setting put back, the link removed
  point_desktop_at(scratch, outside.path());
  expect_refused_and_nothing_made(create_tools_folder(true), outside.path());
  // Unelevated, the user's own Desktop wherever it is.
  const Outcome unelevated = create_tools_folder(false);
  EXPECT_TRUE(unelevated.ok) << wide_to_utf8(unelevated.message);
  EXPECT_EQ(unelevated.message, outside.path() + L"\\" + kToolsFolderName);

  // Beside the profile, sharing its name as a prefix: outside all the same.
  {
    const testing::ProfileSiblingFolder beside;
    ASSERT_TRUE(beside.made());
    point_desktop_at(scratch, beside.path());
    expect_refused_and_nothing_made(create_tools_folder(true), beside.path());
  }

  // Inside the profile but reached through a link that leads outside.
  ASSERT_TRUE(scratch.put_link(elsewhere.path(), inside.file(L"Desktop"))) << "links are made on Wine's Unix side";
  point_desktop_at(scratch, inside.file(L"Desktop"));
  expect_refused_and_nothing_made(create_tools_folder(true), elsewhere.path());

  // A plain folder inside the profile: made there, by the elevated process too.
  std::filesystem::create_directories(inside.file(L"Plain"));
  point_desktop_at(scratch, inside.file(L"Plain"));
  const Outcome made = create_tools_folder(true);
  EXPECT_TRUE(made.ok) << wide_to_utf8(made.message);
  EXPECT_EQ(made.affected, 1u);
  EXPECT_TRUE(std::filesystem::is_directory(inside.file(L"Plain\\") + kToolsFolderName));
}

// A junction in the folder's place, shown through the tag seam (Wine can make none). Opened
// without being followed, a junction lies in the Desktop by its final path as a folder would:
// its tag is what shows it in the way.
TEST_F(ToolsFolder, AJunctionInItsPlaceIsInTheWay) {
  const testing::ScratchFolder inside;
  testing::StartupScratch scratch;
  const std::wstring junction = inside.file(L"Desktop\\") + kToolsFolderName;
  std::filesystem::create_directories(junction);
  point_desktop_at(scratch, inside.file(L"Desktop"));
  testing::ReportedReparseTag tags;
  tags.report(junction, IO_REPARSE_TAG_MOUNT_POINT);
  for (const bool elevated : {false, true}) {
    const Outcome outcome = create_tools_folder(elevated);
    EXPECT_FALSE(outcome.ok) << elevated;
    EXPECT_EQ(outcome.message, windows_error_text(ERROR_ALREADY_EXISTS)) << wide_to_utf8(outcome.message);
  }
}

// The Desktop setting spelt with doubled separators names the Desktop itself: made there elevated.
TEST(ToolsFolderElevated, MadeOnADesktopSpeltWithDoubledSeparators) {
  const testing::ScratchFolder inside;
  testing::StartupScratch scratch;
  std::filesystem::create_directories(inside.file(L"Desktop"));
  point_desktop_at(scratch, inside.path() + L"\\\\Desktop");
  const Outcome made = create_tools_folder(true);
  EXPECT_TRUE(made.ok) << wide_to_utf8(made.message);
  EXPECT_EQ(made.affected, 1u);
  EXPECT_TRUE(std::filesystem::is_directory(inside.file(L"Desktop\\") + kToolsFolderName));
}

// A Desktop that cloud sync keeps (it and all in it carry a cloud-files tag) is a plain folder:
// the folder is made there, unelevated and elevated.
TEST_F(ToolsFolder, MadeOnADesktopKeptByCloudSync) {
  testing::ReportedReparseTag tags;
  tags.report(known_folder_path(FOLDERID_Desktop), testing::kCloudFilesTag);
  const Outcome unelevated = create_tools_folder(false);
  EXPECT_TRUE(unelevated.ok) << wide_to_utf8(unelevated.message);
  EXPECT_EQ(unelevated.affected, 1u);

  const testing::ScratchFolder inside;
  testing::StartupScratch scratch;
  std::filesystem::create_directories(inside.file(L"Cloud\\Desktop"));
  point_desktop_at(scratch, inside.file(L"Cloud\\Desktop"));
  tags.report(inside.file(L"Cloud"), testing::kCloudFilesTag);
  const Outcome elevated = create_tools_folder(true);
  EXPECT_TRUE(elevated.ok) << wide_to_utf8(elevated.message);
  EXPECT_EQ(elevated.affected, 1u);
  EXPECT_TRUE(std::filesystem::is_directory(inside.file(L"Cloud\\Desktop\\") + kToolsFolderName));
}

}  // namespace
}  // namespace corvane
