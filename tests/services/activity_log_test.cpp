// ctest-resource-lock: reports_folder
#include "services/activity_log.h"

#include "services/handles.h"
#include "services/shell.h"
#include "support/activity_watch.h"
#include "support/scratch.h"
#include "support/unix_link.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>

namespace corvane {
namespace {

using testing::ActivityWatch;

// Run only as a child by the next test: appends while its parent does.
TEST(AppendActivity, DISABLED_ChildProcessPart) {
  for (int i = 0; i < 300; ++i) append_activity("activity-test-child", Outcome{});
}

TEST(AppendActivity, TwoProcessesNeverOverwriteEachOther) {
  const ActivityWatch watch;
  std::wstring command = L"\"" + executable_path() + L"\" --gtest_filter=AppendActivity.DISABLED_ChildProcessPart"
                                                       L" --gtest_also_run_disabled_tests";
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  const BOOL started =
      CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process);
  ASSERT_TRUE(started);
  const UniqueHandle child(process.hProcess);
  const UniqueHandle thread(process.hThread);
  for (int i = 0; i < 300; ++i) append_activity("activity-test-parent", Outcome{});
  ASSERT_EQ(WaitForSingleObject(child.get(), 60000), WAIT_OBJECT_0);
  DWORD code = 1;
  GetExitCodeProcess(child.get(), &code);
  EXPECT_EQ(code, 0u);

  EXPECT_EQ(watch.lines("activity-test-child").size(), 300u);
  EXPECT_EQ(watch.lines("activity-test-parent").size(), 300u);
}

TEST(AppendActivity, ALinkOnTheWayLosesTheLineAndTouchesNothingBehindIt) {
  namespace fs = std::filesystem;
  const testing::ScratchFolder scratch;
  const testing::ScratchFolder elsewhere;
  append_activity_in(scratch.file(L"plain\\Reports"), "link-test", Outcome{});
  EXPECT_NE(testing::read_file_bytes(scratch.file(L"plain\\Reports\\activity.jsonl")).find("link-test"), std::string::npos);

  // The folder or one above it is a link; the log is a link to a file, or to none (yet).
  if (!testing::make_unix_symlink(elsewhere.path(), scratch.file(L"linked"))) GTEST_SKIP() << "Unix links need Wine";
  append_activity_in(scratch.file(L"linked"), "link-test", Outcome{});
  append_activity_in(scratch.file(L"linked\\Reports"), "link-test", Outcome{});
  testing::remove_unix_symlink(scratch.file(L"linked"));
  EXPECT_TRUE(fs::is_empty(elsewhere.path()));
  testing::write_file_bytes(elsewhere.file(L"victim"), "keep");
  testing::write_file_bytes(elsewhere.file(L"planted"), "");
  for (const wchar_t* target : {L"victim", L"planted"}) {
    fs::create_directories(scratch.file(target));
    ASSERT_TRUE(testing::make_unix_symlink(elsewhere.file(target), scratch.file(target) + L"\\activity.jsonl"));
  }
  fs::remove(elsewhere.file(L"planted"));
  append_activity_in(scratch.file(L"victim"), "link-test", Outcome{});
  append_activity_in(scratch.file(L"planted"), "link-test", Outcome{});
  EXPECT_EQ(testing::read_file_bytes(elsewhere.file(L"victim")), "keep");
  EXPECT_FALSE(fs::exists(elsewhere.file(L"planted")));
}

}  // namespace
}  // namespace corvane
