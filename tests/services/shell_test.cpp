#include "services/shell.h"

#include "services/text.h"

#include <windows.h>
#include <knownfolders.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <stdexcept>

namespace corvane {
namespace {

TEST(ShellPaths, ThisProgramKnownFoldersAndTheWindowsFolder) {
  EXPECT_TRUE(std::filesystem::is_regular_file(executable_path()));
  EXPECT_NE(executable_path().find(L"services_shell_test"), std::wstring::npos);
  EXPECT_TRUE(std::filesystem::is_directory(known_folder_path(FOLDERID_LocalAppData)));
  const std::wstring windows = windows_folder();
  EXPECT_TRUE(std::filesystem::is_directory(windows));
  EXPECT_NE(windows.back(), L'\0');
}

TEST(ShellPaths, UnknownFolderIdThrowsTheWindowsText) {
  const GUID unknown = {0x1234abcd, 0x1111, 0x2222, {1, 2, 3, 4, 5, 6, 7, 8}};
  wchar_t* raw = nullptr;
  const HRESULT expected = SHGetKnownFolderPath(unknown, 0, nullptr, &raw);
  CoTaskMemFree(raw);
  ASSERT_TRUE(FAILED(expected));
  try {
    known_folder_path(unknown);
    FAIL() << "no error";
  } catch (const std::runtime_error& error) {
    EXPECT_EQ(error.what(), wide_to_utf8(windows_error_text(static_cast<std::uint32_t>(expected))));
  }
}

TEST(ShellOpen, MissingFileGivesTheShellErrorText) {
  const Outcome outcome = shell_open(nullptr, L"C:\\corvane-no-such-folder\\nothing-here.txt");
  EXPECT_FALSE(outcome.ok);
  EXPECT_TRUE(outcome.record_path.empty());
  EXPECT_EQ(outcome.affected, 0u);
  bool matches_a_shell_code = false;
  for (std::uint32_t code = 0; code <= 32; ++code) matches_a_shell_code |= outcome.message == windows_error_text(code);
  EXPECT_TRUE(matches_a_shell_code) << wide_to_utf8(outcome.message);
}

}  // namespace
}  // namespace corvane
