#pragma once
// A hand-written Task Scheduler for tests: fake COM objects over an in-memory folder tree,
// installed in place of the real service object. Wine stubs the task collections and
// put_Enabled, so the logic that needs them is tested against this fake.

#include <windows.h>
#include <taskschd.h>

#include <string>
#include <vector>

namespace corvane::testing {

struct FakeAction {
  bool program = true;  // false: a COM handler action
  std::wstring path;
};

struct FakeTask {
  std::wstring name;
  bool enabled = true;
  bool enable_sticks = true;  // false: put_Enabled reports success and changes nothing
  std::wstring xml = L"<Task/>";
  std::vector<FakeAction> actions;
  TASK_LOGON_TYPE logon = TASK_LOGON_INTERACTIVE_TOKEN;
  std::wstring user_id = L"tester";
  std::wstring group_id;
  std::wstring security = L"O:BAG:BAD:(A;;FA;;;BA)";
  bool item_fails = false;       // the collection's get_Item fails for this task
  bool definition_fails = false; // get_Definition fails
  HRESULT security_result = S_OK;
};

struct FakeFolder {
  std::wstring name;  // empty for the root
  std::vector<FakeTask> tasks;
  std::vector<FakeFolder> folders;
  bool tasks_fail = false;  // GetTasks fails
};

struct FakeRegistration {
  std::wstring path;
  std::wstring xml;
  LONG flags = 0;
  VARTYPE user_type = VT_EMPTY;
  std::wstring user;
  VARTYPE password_type = VT_EMPTY;
  TASK_LOGON_TYPE logon = TASK_LOGON_NONE;
  VARTYPE security_type = VT_EMPTY;
  std::wstring security;
};

// The state the fake objects share. Tasks are looked up by path on every call.
struct FakeTaskStore {
  FakeFolder root;
  HRESULT create_result = S_OK;   // the factory's answer
  HRESULT connect_result = S_OK;
  HRESULT get_task_result = S_OK; // forced answer of GetTask when not S_OK
  int connects = 0;
  int put_enabled_calls = 0;
  std::vector<std::wstring> deleted;  // "folder path|task name"
  std::vector<FakeRegistration> registrations;
};

// Installs a fake Task Scheduler for its lifetime and restores the real one afterwards.
class FakeTaskScheduler {
 public:
  FakeTaskScheduler();
  ~FakeTaskScheduler();
  FakeTaskScheduler(const FakeTaskScheduler&) = delete;
  FakeTaskScheduler& operator=(const FakeTaskScheduler&) = delete;

  FakeTaskStore store;

  // The task at a path such as "\Folder\Name", or null.
  FakeTask* find_task(const std::wstring& path);
  // Fake COM objects currently alive (each released object is gone).
  static int live_objects();
};

}  // namespace corvane::testing
