// ctest-resource-lock: tasks data_folder reports_folder
#include "engines/startup_change.h"

#include "engines/task_scheduler.h"
#include "services/text.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace corvane {
namespace {

using json = nlohmann::json;

// Wine's real Task Scheduler: registering, finding, reading a task's switch and XML and
// deleting work; the principal's logon type is a stub, so a change that gets past the checks
// stops there with its error and writes no journal.
TEST(TaskChange, StaleTasksAreRefusedAndAStubbedPrincipalFailsWithoutAJournal) {
  const std::wstring name = L"CorvaneStartupTest" + std::to_wstring(GetCurrentProcessId());
  const json journal = {{"source", "task"},
                        {"remove", true},
                        {"path", wide_to_utf8(L"\\" + name)},
                        {"xml",
                         "<?xml version=\"1.0\" encoding=\"UTF-16\"?><Task version=\"1.2\" "
                         "xmlns=\"http://schemas.microsoft.com/windows/2004/02/mit/task\"><Actions><Exec><Command>"
                         "C:\\windows\\notepad.exe</Command></Exec></Actions></Task>"},
                        {"logon", 3},
                        {"principal", ""},
                        {"security", ""}};
  const Outcome registered = restore_startup_journal(journal);
  ASSERT_TRUE(registered.ok) << wide_to_utf8(registered.message);

  const ComInitScope com(COINIT_MULTITHREADED);
  const ComPtr<ITaskService> service = connect_task_service();
  StartupEntry entry;
  entry.kind = STARTUP_KIND_TASK;
  entry.name = name;
  entry.key_path = L"\\" + name;
  {
    // What the listing would have read, had Wine's collection handed the task out.
    const ComPtr<IRegisteredTask> task = get_registered_task(service.get(), entry.key_path);
    VARIANT_BOOL enabled = VARIANT_FALSE;
    throw_if_failed(task->get_Enabled(&enabled));
    entry.enabled = enabled != VARIANT_FALSE;
    Bstr xml;
    throw_if_failed(task->get_Xml(xml.put()));
    entry.snapshot = wide_to_utf8(xml.text());
  }
  StartupEntry stale = entry;
  stale.enabled = !entry.enabled;
  EXPECT_EQ(change_startup_entry(stale, entry.enabled, false).message, L"Task changed; refresh first");
  StartupEntry edited = entry;
  edited.snapshot = "<Task>before</Task>";
  EXPECT_EQ(change_startup_entry(edited, !entry.enabled, false).message, L"Task definition changed; refresh first");

  for (const bool remove : {false, true}) {
    const Outcome outcome = change_startup_entry(entry, !entry.enabled, remove);
    EXPECT_FALSE(outcome.ok) << "Wine now implements the task principal: test a real change here";
    EXPECT_FALSE(std::filesystem::exists(outcome.record_path));
  }
  EXPECT_TRUE(get_registered_task(service.get(), entry.key_path)) << "a failed removal deleted the task";

  const Bstr root_path(L"\\");
  ComPtr<ITaskFolder> root;
  throw_if_failed(service->GetFolder(root_path.get(), root.put()));
  const Bstr task_name(name);
  EXPECT_EQ(root->DeleteTask(task_name.get(), 0), S_OK);
}

}  // namespace
}  // namespace corvane
