#include "ui/app.h"

#include "services/text.h"

#include <gtest/gtest.h>

#include <tuple>

namespace corvane {
namespace {

StartupEntry entry_of(StartupKind kind, const std::wstring& target) {
  StartupEntry entry;
  std::tie(entry.kind, entry.target) = std::tie(kind, target);
  return entry;
}

TEST(StartupIconSource, CommandLinesLeadToTheProgramOnAFixedDrive) {
  struct Case { StartupKind kind; std::wstring target, path; } cases[] = {
      {STARTUP_KIND_RUN, L" \t\"C:\\Tools\\My App\\app.exe\" --tray \"x.exe\"", L"C:\\Tools\\My App\\app.exe"},
      {STARTUP_KIND_RUN, L"C:\\Tools\\UPDATER.EXE /silent /log=c:\\x.exe", L"C:\\Tools\\UPDATER.EXE"},
      {STARTUP_KIND_RUN, L"%ProgramFiles%\\Vendor\\agent.exe -q", expand_environment(L"%ProgramFiles%\\Vendor\\agent.exe")},
      {STARTUP_KIND_RUN, L"wscript.vbs //B C:\\scripts\\start.vbs", L""},
      {STARTUP_KIND_RUN, L"\\\\server\\share\\tool.exe", L""},
      {STARTUP_KIND_RUN, L"tool.exe /min", L""},
      {STARTUP_KIND_RUN, L"\"C:\\Tools\\open.exe", L""},
      {STARTUP_KIND_RUN, L"  \t ", L""},
      {STARTUP_KIND_TASK, L"C:\\A\\one.exe; C:\\B\\two.exe", L"C:\\A\\one.exe"},
      {STARTUP_KIND_TASK, L"COM / Windows task", L""},
      {STARTUP_KIND_FOLDER, L"C:\\Users\\me\\Start Menu\\notes.txt", L"C:\\Users\\me\\Start Menu\\notes.txt"},
  };
  for (const Case& c : cases) {
    const StartupIconSource source = startup_icon_source(entry_of(c.kind, c.target));
    EXPECT_EQ(source.path, c.path) << std::string(c.target.begin(), c.target.end());
    EXPECT_EQ(source.index, 0);
  }
}

}  // namespace
}  // namespace corvane
