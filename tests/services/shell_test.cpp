#include "services/shell.h"

#include "services/desktop_shell.h"
#include "services/text.h"
#include "support/scratch.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace corvane {
namespace {

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
