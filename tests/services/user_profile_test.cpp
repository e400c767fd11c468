// ctest-resource-lock: startup data_folder
#include "services/user_profile.h"

#include "services/protected_documents.h"
#include "services/registry.h"
#include "services/shell.h"
#include "support/process_variable.h"
#include "support/startup_scratch.h"

#include <windows.h>

#include <gtest/gtest.h>

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

}  // namespace
}  // namespace corvane
