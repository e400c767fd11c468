// ctest-resource-lock: startup data_folder dosdevices
#include "services/user_profile.h"

#include "services/protected_documents.h"
#include "services/registry.h"
#include "services/shell.h"
#include "services/text.h"
#include "support/process_variable.h"
#include "support/scratch.h"
#include "support/startup_scratch.h"
#include "support/unix_link.h"
#include "support/wine.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <cwctype>
#include <filesystem>
#include <stdexcept>

namespace corvane {
namespace {

using testing::ProcessVariable;

std::wstring system_windows_folder() {
  wchar_t buffer[MAX_PATH] = {};
  const UINT length = GetSystemWindowsDirectoryW(buffer, MAX_PATH);
  return std::wstring(buffer, length);
}

// The variables a recorded profile path may hold come from the system; those of the process,
// whatever their names, never reach the result.
TEST(ExpandProfilePath, TakesTheSystemsOwnValuesAndRefusesOtherVariables) {
  const ProcessVariable drive(L"SystemDrive", L"Q:");
  const ProcessVariable root(L"SystemRoot", L"Q:\\elsewhere");
  const ProcessVariable own(L"CORVANE_TEST_PROFILE", L"Q:\\Users\\someone");
  const std::wstring windows = system_windows_folder();
  ASSERT_FALSE(windows.empty());
  ASSERT_NE(windows.substr(0, 2), L"Q:");

  EXPECT_EQ(expand_profile_path(L"%SystemDrive%\\Users\\name"), windows.substr(0, 2) + L"\\Users\\name");
  EXPECT_EQ(expand_profile_path(L"%systemroot%\\a|%WINDIR%"), windows + L"\\a|" + windows);
  EXPECT_EQ(expand_profile_path(L"C:\\Users\\100%"), L"C:\\Users\\100%");
  EXPECT_EQ(expand_profile_path(L"C:\\Users\\name"), L"C:\\Users\\name");
  for (const wchar_t* refused : {L"%CORVANE_TEST_PROFILE%", L"C:\\Users\\%USERNAME%", L"%%\\x", L"%Path%"}) {
    EXPECT_THROW(expand_profile_path(refused), std::runtime_error) << refused;
  }
}

TEST(UserProfileFolder, ARecordedVariableOfTheProcessIsNotExpanded) {
  testing::StartupScratch scratch;
  const std::wstring profile = user_profile_folder();
  ASSERT_FALSE(profile.empty());
  const std::wstring record = L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList\\" + process_user_sid();
  const ProcessVariable own(L"CORVANE_TEST_PROFILE", profile);

  scratch.replace_value(kHiveLocalMachine, record, L"ProfileImagePath",
                        testing::expand_string_value(L"%CORVANE_TEST_PROFILE%"));
  EXPECT_THROW(user_profile_folder(), std::runtime_error);

  // The same folder spelled with the system's drive is the profile, whatever the process says.
  const ProcessVariable drive(L"SystemDrive", L"Q:");
  ASSERT_EQ(profile.substr(0, 2), system_windows_folder().substr(0, 2));
  write_registry_value({kHiveLocalMachine, record, L"ProfileImagePath",
                        testing::expand_string_value(L"%SystemDrive%" + profile.substr(2))});
  EXPECT_EQ(user_profile_folder(), profile);
}


// The final path of the pinned folder decides, however the profile is spelt, and through a drive
// that stands for another folder too (where the profile's chain is pinned to compare).
TEST(PinnedFolderInProfile, JudgedByFinalPathsHoweverTheProfileIsSpelt) {
  testing::ScratchFolder scratch;
  const std::wstring profile = user_profile_folder();
  ASSERT_TRUE(path_strictly_inside(profile, scratch.path())) << "the scratch folder lies outside the profile";
  const std::wstring inner = scratch.file(L"inner");
  ASSERT_TRUE(CreateDirectoryW(inner.c_str(), nullptr));
  PinnedFolders pins;
  ASSERT_EQ(pin_folder_chain(inner, pins), static_cast<DWORD>(ERROR_SUCCESS));
  std::wstring upper_slashed = profile;
  for (wchar_t& c : upper_slashed) c = c == L'\\' ? L'/' : static_cast<wchar_t>(std::towupper(c));
  std::wstring doubled;
  for (const wchar_t c : profile) doubled += c == L'\\' ? std::wstring(L"\\\\") : std::wstring(1, c);
  for (const std::wstring& spelt : {profile, profile + L"\\", upper_slashed, doubled, scratch.path()}) {
    EXPECT_TRUE(pinned_folder_in_profile(pins, spelt)) << spelt;
    // On the profile's own drive the folder's final path answers alone, however the profile is spelt.
    EXPECT_TRUE(final_path_inside_as_written(pins, final_path_of(pins.handles.handles.back()), spelt)) << spelt;
  }
  // The folder itself, a neighbour whose name begins with its name, an unknown profile.
  for (const std::wstring& not_around : {inner, inner + L"x", scratch.path() + L"\\in", std::wstring()}) {
    EXPECT_FALSE(pinned_folder_in_profile(pins, not_around)) << not_around;
  }
  const std::size_t scratch_level = pins.paths.size() - 2;
  ASSERT_EQ(pins.paths[scratch_level], scratch.path());
  EXPECT_FALSE(pinned_level_in_profile(pins, scratch_level, scratch.path()));
  EXPECT_TRUE(pinned_level_in_profile(pins, scratch_level, profile));
  EXPECT_FALSE(pinned_level_in_profile(pins, pins.paths.size(), profile));

  PinnedFolders windows;
  ASSERT_EQ(pin_folder_chain(system_windows_folder(), windows), static_cast<DWORD>(ERROR_SUCCESS));
  EXPECT_FALSE(pinned_folder_in_profile(windows, profile));
  // The profile's names on another drive, where nothing of them exists: never around a folder on
  // the profile's own drive, however alike the rest of the path.
  const std::wstring other_drive = (profile.substr(0, 2) == L"Z:" ? L"Y:" : L"Z:") + profile.substr(2);
  ASSERT_EQ(GetFileAttributesW(other_drive.c_str()), INVALID_FILE_ATTRIBUTES) << wide_to_utf8(other_drive);
  EXPECT_FALSE(pinned_folder_in_profile(pins, other_drive));

  if (!testing::running_under_wine()) GTEST_SKIP() << "a drive letter is made in Wine's prefix only";
  const testing::DriveAlias drive(L'Q', L'C');
  ASSERT_TRUE(drive) << "the drive letter Q: was not made (taken, or its link failed)";
  ASSERT_EQ(profile.substr(0, 2), L"C:");
  PinnedFolders through;
  ASSERT_EQ(pin_folder_chain(L"Q:" + inner.substr(2), through), static_cast<DWORD>(ERROR_SUCCESS));
  EXPECT_TRUE(pinned_folder_in_profile(through, profile));
  EXPECT_TRUE(pinned_folder_in_profile(pins, L"Q:" + profile.substr(2)));
  EXPECT_TRUE(pinned_folder_in_profile(pins, L"Q:" + doubled.substr(2)));
  EXPECT_FALSE(pinned_folder_in_profile(through, L"Q:" + inner.substr(2)));
  EXPECT_FALSE(pinned_folder_in_profile(windows, L"Q:" + profile.substr(2)));
}

}  // namespace
}  // namespace corvane
