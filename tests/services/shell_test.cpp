#include "services/shell.h"

#include "services/desktop_shell.h"
#include "services/text.h"
#include "support/scratch.h"

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

// The in-process route, which an unelevated Corvane takes.
TEST(ShellOpen, MissingFileGivesTheShellErrorText) {
  const Outcome outcome = shell_execute_open(nullptr, L"C:\\corvane-no-such-folder\\nothing-here.txt");
  EXPECT_FALSE(outcome.ok);
  EXPECT_TRUE(outcome.record_path.empty());
  EXPECT_EQ(outcome.affected, 0u);
  bool matches_a_shell_code = false;
  for (std::uint32_t code = 0; code <= 32; ++code) matches_a_shell_code |= outcome.message == windows_error_text(code);
  EXPECT_TRUE(matches_a_shell_code) << wide_to_utf8(outcome.message);
}

int in_process_opens = 0;
Outcome open_in_process(HWND, const std::wstring&) {
  ++in_process_opens;
  return Outcome{};
}
Outcome desktop_missing(const std::wstring&) {
  Outcome outcome;
  outcome.ok = false;
  outcome.message = kDesktopShellUnavailable;
  return outcome;
}

TEST(ShellOpen, ElevatedOnlyTheDesktopOpensAndWithoutItNothingDoes) {
  const ShellOpenRoutes routes{open_in_process, desktop_missing};
  EXPECT_EQ(shell_open(nullptr, L"C:\\report.json", true, routes).message, kDesktopShellUnavailable);
  EXPECT_EQ(in_process_opens, 0);
  EXPECT_TRUE(shell_open(nullptr, L"C:\\report.json", false, routes).ok);
  EXPECT_EQ(in_process_opens, 1);
}

TEST(DesktopShell, WhatItOpensRunsInTheDesktopsProcessAndAFailedOpenIsReported) {
  const std::wstring fixture = (std::filesystem::path(executable_path()).parent_path() / L"fixture_report_parent.exe").wstring();
  std::filesystem::remove(fixture + L".parent");
  ASSERT_TRUE(desktop_shell_open(fixture).ok);
  std::string parent;
  for (int waited = 0; waited < 400 && parent.empty(); ++waited, Sleep(50)) {
    parent = testing::read_file_bytes(fixture + L".parent");
  }
  EXPECT_EQ(lower_case(utf8_to_wide(parent)), L"explorer.exe");
  EXPECT_EQ(desktop_shell_open(fixture + L".missing").message, kDesktopShellUnavailable);
}

}  // namespace
}  // namespace corvane
