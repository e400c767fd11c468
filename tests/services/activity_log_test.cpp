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
  using testing::read_file_bytes;
  const testing::ScratchFolder scratch;
  const testing::ScratchFolder elsewhere;
  append_activity_in(scratch.file(L"plain\\Reports"), "link-test", Outcome{});
  EXPECT_NE(read_file_bytes(scratch.file(L"plain\\Reports\\activity.jsonl")).find("\"operation\":\"link-test\""),
            std::string::npos);

  // The folder itself, or one above it, is a link.
  const std::wstring linked = scratch.file(L"linked");
  if (!testing::make_unix_symlink(elsewhere.path(), linked)) GTEST_SKIP() << "links are made on Wine's Unix side only";
  append_activity_in(linked, "link-test", Outcome{});
  append_activity_in(linked + L"\\Reports", "link-test", Outcome{});
  testing::remove_unix_symlink(linked);
  EXPECT_TRUE(fs::is_empty(elsewhere.path()));

  // The log file is a link: to a file elsewhere, or to one that is not there (yet).
  testing::write_file_bytes(elsewhere.file(L"victim.txt"), "keep");
  testing::write_file_bytes(elsewhere.file(L"planted.txt"), "");
  fs::create_directories(scratch.file(L"to-file"));
  fs::create_directories(scratch.file(L"dangling"));
  ASSERT_TRUE(testing::make_unix_symlink(elsewhere.file(L"victim.txt"), scratch.file(L"to-file\\activity.jsonl")));
  ASSERT_TRUE(testing::make_unix_symlink(elsewhere.file(L"planted.txt"), scratch.file(L"dangling\\activity.jsonl")));
  ASSERT_TRUE(DeleteFileW(elsewhere.file(L"planted.txt").c_str()));
  append_activity_in(scratch.file(L"to-file"), "link-test", Outcome{});
  append_activity_in(scratch.file(L"dangling"), "link-test", Outcome{});
  EXPECT_EQ(read_file_bytes(elsewhere.file(L"victim.txt")), "keep");
  EXPECT_FALSE(fs::exists(elsewhere.file(L"planted.txt")));
}

}  // namespace
}  // namespace corvane
