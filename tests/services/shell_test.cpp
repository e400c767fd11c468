#include "services/shell.h"

#include "services/desktop_shell.h"
#include "services/text.h"
#include "support/scratch.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace corvane {
namespace {

namespace fs = std::filesystem;

int in_process_opens = 0;
int desktop_opens = 0;

Outcome opened_in_process(HWND, const std::wstring&) {
  ++in_process_opens;
  return Outcome{};
}

Outcome desktop_missing(const std::wstring&) {
  ++desktop_opens;
  Outcome outcome;
  outcome.ok = false;
  outcome.message = kDesktopShellUnavailable;
  return outcome;
}

TEST(ShellOpen, ElevatedOnlyTheDesktopOpensAndWithoutItNothingDoes) {
  const ShellOpenRoutes routes{opened_in_process, desktop_missing};
  const Outcome elevated = shell_open(nullptr, L"C:\\report.json", true, routes);
  EXPECT_FALSE(elevated.ok);
  EXPECT_EQ(elevated.message, kDesktopShellUnavailable);
  EXPECT_EQ(desktop_opens, 1);
  EXPECT_EQ(in_process_opens, 0) << "no fallback to this process's own shell";

  EXPECT_TRUE(shell_open(nullptr, L"C:\\report.json", false, routes).ok);
  EXPECT_EQ(in_process_opens, 1);
  EXPECT_EQ(desktop_opens, 1);
}

TEST(DesktopShell, WhatItOpensRunsInTheDesktopsProcessAndAFailedOpenIsReported) {
  const fs::path fixture = fs::path(executable_path()).parent_path() / L"fixture_report_parent.exe";
  const fs::path report = fixture.wstring() + L".parent";
  std::error_code ignored;
  fs::remove(report, ignored);
  const Outcome opened = desktop_shell_open(fixture.wstring());
  ASSERT_TRUE(opened.ok) << wide_to_utf8(opened.message);
  for (int waited = 0; waited < 600 && !fs::exists(report); ++waited) Sleep(50);
  const std::string bytes = testing::read_file_bytes(report.wstring());
  const std::wstring parent(reinterpret_cast<const wchar_t*>(bytes.data()), bytes.size() / sizeof(wchar_t));
  const std::size_t blank = parent.find(L' ');
  ASSERT_NE(blank, std::wstring::npos) << "the fixture did not run";
  EXPECT_NE(std::stoul(parent.substr(0, blank)), GetCurrentProcessId());
  EXPECT_EQ(CompareStringOrdinal(parent.c_str() + blank + 1, -1, L"explorer.exe", -1, TRUE), CSTR_EQUAL)
      << wide_to_utf8(parent);
  fs::remove(report, ignored);

  const testing::ScratchFolder scratch;
  const Outcome missing = desktop_shell_open(scratch.file(L"missing.exe"));
  EXPECT_FALSE(missing.ok);
  EXPECT_EQ(missing.message, kDesktopShellUnavailable);
}

}  // namespace
}  // namespace corvane
