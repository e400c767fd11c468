// ctest-resource-lock: reports_folder
#include "services/activity_log.h"

#include "services/handles.h"
#include "services/shell.h"
#include "support/activity_watch.h"

#include <windows.h>

#include <gtest/gtest.h>


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

}  // namespace
}  // namespace corvane
