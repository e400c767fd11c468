// ctest-resource-lock: tasks
#include "engines/task_scheduler.h"

#include "support/fake_task_scheduler.h"
#include "services/text.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

namespace corvane {
namespace {

using testing::FakeAction;
using testing::FakeFolder;
using testing::FakeTask;
using testing::FakeTaskScheduler;

std::string error_text(HRESULT hr) { return wide_to_utf8(windows_error_text(static_cast<std::uint32_t>(hr))); }

std::string thrown_text(void (*call)()) {
  try {
    call();
  } catch (const std::runtime_error& error) {
    return error.what();
  }
  return "no error";
}

FakeTask task_named(const std::wstring& name) {
  FakeTask task;
  task.name = name;
  task.actions = {{true, L"C:\\Tools\\" + name + L".exe"}};
  return task;
}

// Walks the fake store from its root as the listing does.
std::vector<StartupEntry> walk_fake(const CancelFlag* cancel = nullptr) {
  const ComInitScope com(COINIT_MULTITHREADED);
  const ComPtr<ITaskService> service = connect_task_service();
  const Bstr root_path(L"\\");
  ComPtr<ITaskFolder> root;
  throw_if_failed(service->GetFolder(root_path.get(), root.put()));
  std::vector<StartupEntry> entries;
  walk_task_folder(root.get(), entries, cancel, 0);
  return entries;
}

class TaskWalk : public ::testing::Test {
 protected:
  void TearDown() override { EXPECT_EQ(FakeTaskScheduler::live_objects(), 0) << "a COM object was not released"; }
  FakeTaskScheduler fake;
};

TEST_F(TaskWalk, BuildsEntriesFromTaskPropertiesAndActions) {
  FakeTask two = task_named(L"Two");
  two.actions = {{true, L"C:\\A.exe"}, {false, L""}, {true, L"C:\\B.exe"}};
  two.enabled = false;
  two.xml = L"<Task>\x1EC7</Task>";
  FakeTask handler = task_named(L"Handler");
  handler.actions = {{false, L""}};
  FakeTask unreadable = task_named(L"Unreadable");
  unreadable.definition_fails = true;
  fake.store.root.tasks = {two, handler, unreadable};

  const std::vector<StartupEntry> entries = walk_fake();
  ASSERT_EQ(entries.size(), 3u);
  EXPECT_EQ(entries[0].name, L"Two");
  EXPECT_EQ(entries[0].key_path, L"\\Two");
  EXPECT_EQ(entries[0].target, L"C:\\A.exe; C:\\B.exe");
  EXPECT_EQ(entries[0].location, L"Task Scheduler");
  EXPECT_EQ(entries[0].kind, STARTUP_KIND_TASK);
  EXPECT_FALSE(entries[0].enabled);
  EXPECT_EQ(entries[0].snapshot, "<Task>\xE1\xBB\x87</Task>");
  EXPECT_TRUE(entries[0].approvals.empty());
  EXPECT_TRUE(entries[0].approval_known);
  EXPECT_EQ(entries[1].target, L"COM / Windows task");
  EXPECT_TRUE(entries[1].enabled);
  EXPECT_EQ(entries[2].target, L"COM / Windows task");
}

TEST_F(TaskWalk, OnlyTheExactMicrosoftFolderNeedsAdmin) {
  FakeFolder microsoft{L"Microsoft", {task_named(L"Update")}, {}, false};
  FakeFolder lower{L"microsoft", {task_named(L"Other")}, {}, false};
  FakeFolder longer{L"MicrosoftEdge", {task_named(L"Edge")}, {}, false};
  fake.store.root.folders = {microsoft, lower, longer};
  const std::vector<StartupEntry> entries = walk_fake();
  ASSERT_EQ(entries.size(), 3u);
  EXPECT_EQ(entries[0].key_path, L"\\Microsoft\\Update");
  EXPECT_TRUE(entries[0].needs_admin);
  EXPECT_FALSE(entries[1].needs_admin);
  EXPECT_FALSE(entries[2].needs_admin);
}

TEST_F(TaskWalk, IsDepthFirstAndStopsBelowTwelveLevels) {
  // root (depth 0) -> L1 ... L13; each level holds one task named after it.
  FakeFolder* folder = &fake.store.root;
  folder->tasks = {task_named(L"T0")};
  for (int level = 1; level <= 13; ++level) {
    folder->folders.push_back(FakeFolder{L"L" + std::to_wstring(level), {task_named(L"T" + std::to_wstring(level))}, {}, false});
    folder = &folder->folders.back();
  }
  fake.store.root.folders.push_back(FakeFolder{L"Side", {task_named(L"TSide")}, {}, false});

  const std::vector<StartupEntry> entries = walk_fake();
  ASSERT_EQ(entries.size(), 14u);  // T0..T12 and TSide; T13 lies too deep
  for (int level = 0; level <= 12; ++level) EXPECT_EQ(entries[level].name, L"T" + std::to_wstring(level));
  EXPECT_EQ(entries[13].name, L"TSide");
}

TEST_F(TaskWalk, FailuresLeaveOutOnlyTheirPart) {
  FakeTask broken = task_named(L"Broken");
  broken.item_fails = true;
  fake.store.root.tasks = {task_named(L"A"), broken, task_named(L"B")};
  fake.store.root.folders = {FakeFolder{L"Locked", {task_named(L"Hidden")}, {FakeFolder{L"Inner", {task_named(L"C")}, {}, false}}, true}};
  const std::vector<StartupEntry> entries = walk_fake();
  ASSERT_EQ(entries.size(), 3u);
  EXPECT_EQ(entries[0].name, L"A");
  EXPECT_EQ(entries[1].name, L"B");
  EXPECT_EQ(entries[2].key_path, L"\\Locked\\Inner\\C");
}

TEST_F(TaskWalk, CancelStopsTheWalk) {
  fake.store.root.tasks = {task_named(L"A")};
  CancelFlag cancel{1};
  EXPECT_TRUE(walk_fake(&cancel).empty());
}

TEST_F(TaskWalk, ConnectAndLookupFailuresThrowTheWindowsText) {
  fake.store.connect_result = HRESULT_FROM_WIN32(RPC_S_SERVER_UNAVAILABLE);
  EXPECT_EQ(thrown_text([] { connect_task_service(); }), error_text(HRESULT_FROM_WIN32(RPC_S_SERVER_UNAVAILABLE)));
  fake.store.connect_result = S_OK;
  fake.store.create_result = REGDB_E_CLASSNOTREG;
  EXPECT_EQ(thrown_text([] { connect_task_service(); }), error_text(REGDB_E_CLASSNOTREG));
  fake.store.create_result = S_OK;

  fake.store.root.tasks = {task_named(L"Here")};
  EXPECT_EQ(thrown_text([] { get_registered_task(connect_task_service().get(), L"\\Missing"); }),
            error_text(HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND)));
  EXPECT_EQ(thrown_text([] { get_registered_task(connect_task_service().get(), L"\\Here"); }), "no error");
}

TEST(ThrowIfFailed, ThrowsOnlyForFailures) {
  EXPECT_NO_THROW(throw_if_failed(S_OK));
  EXPECT_NO_THROW(throw_if_failed(S_FALSE));
  EXPECT_EQ(thrown_text([] { throw_if_failed(E_ACCESSDENIED); }), error_text(E_ACCESSDENIED));
}

// The real service under Wine: connecting, the root folder, registering, finding and
// deleting a task work; the task collections do not, so the real walk finds nothing here.
TEST(RealTaskScheduler, ConnectsFindsAndDeletesARegisteredTask) {
  const ComInitScope com(COINIT_MULTITHREADED);
  const ComPtr<ITaskService> service = connect_task_service();
  const Bstr root_path(L"\\");
  ComPtr<ITaskFolder> root;
  throw_if_failed(service->GetFolder(root_path.get(), root.put()));

  const std::wstring name = L"CorvaneTest" + std::to_wstring(GetCurrentProcessId());
  const Bstr path(L"\\" + name);
  const Bstr xml(
      L"<?xml version=\"1.0\" encoding=\"UTF-16\"?><Task version=\"1.2\" "
      L"xmlns=\"http://schemas.microsoft.com/windows/2004/02/mit/task\"><Actions><Exec><Command>C:\\windows\\notepad.exe"
      L"</Command></Exec></Actions></Task>");
  const Variant empty;
  ComPtr<IRegisteredTask> registered;
  throw_if_failed(root->RegisterTask(path.get(), xml.get(), TASK_CREATE_OR_UPDATE, empty.get(), empty.get(),
                                     TASK_LOGON_INTERACTIVE_TOKEN, empty.get(), registered.put()));

  EXPECT_TRUE(get_registered_task(service.get(), L"\\" + name));
  const Bstr task_name(name);
  throw_if_failed(root->DeleteTask(task_name.get(), 0));
  try {
    get_registered_task(service.get(), L"\\" + name);
    ADD_FAILURE() << "a deleted task was found";
  } catch (const std::runtime_error& error) {
    EXPECT_EQ(std::string(error.what()), error_text(HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND)));
  }
}

}  // namespace
}  // namespace corvane
