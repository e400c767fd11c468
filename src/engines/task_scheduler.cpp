#include "engines/task_scheduler.h"

#include "services/text.h"

#include <atomic>
#include <cstdint>
#include <stdexcept>

namespace corvane {
namespace {

HRESULT create_task_service(ITaskService** service) {
  return CoCreateInstance(CLSID_TaskScheduler, nullptr, CLSCTX_INPROC_SERVER, IID_ITaskService,
                          reinterpret_cast<void**>(service));
}

std::atomic<TaskServiceFactory> g_task_service_factory{&create_task_service};

// Paths of the task's program actions joined by "; ", or the text for a task without one.
std::wstring task_target(IRegisteredTask* task) {
  std::wstring target;
  ComPtr<ITaskDefinition> definition;
  ComPtr<IActionCollection> actions;
  LONG count = 0;
  if (SUCCEEDED(task->get_Definition(definition.put())) && definition &&
      SUCCEEDED(definition->get_Actions(actions.put())) && actions && SUCCEEDED(actions->get_Count(&count))) {
    for (LONG i = 1; i <= count; ++i) {
      ComPtr<IAction> action;
      if (FAILED(actions->get_Item(i, action.put())) || !action) continue;
      ComPtr<IExecAction> program;
      if (FAILED(action->QueryInterface(IID_IExecAction, reinterpret_cast<void**>(program.put()))) || !program) {
        continue;
      }
      Bstr path;
      if (FAILED(program->get_Path(path.put())) || path.is_null()) continue;
      if (!target.empty()) target += L"; ";
      target += path.text();
    }
  }
  return target.empty() ? L"COM / Windows task" : target;
}

StartupEntry task_entry(IRegisteredTask* task) {
  Bstr name;
  Bstr path;
  VARIANT_BOOL enabled = VARIANT_FALSE;
  task->get_Name(name.put());
  task->get_Path(path.put());
  task->get_Enabled(&enabled);

  StartupEntry entry;
  entry.name = name.text();
  entry.key_path = path.text();
  entry.location = L"Task Scheduler";
  entry.kind = STARTUP_KIND_TASK;
  entry.enabled = enabled != VARIANT_FALSE;
  entry.needs_admin = entry.key_path.compare(0, 11, L"\\Microsoft\\") == 0;

  Bstr xml;
  if (SUCCEEDED(task->get_Xml(xml.put())) && !xml.is_null()) {
    try {
      entry.snapshot = wide_to_utf8(xml.text());
    } catch (const std::runtime_error&) {
      entry.snapshot.clear();  // unconvertible XML is left blank like any unreadable property
    }
  }
  entry.target = task_target(task);
  return entry;
}

}  // namespace

void throw_if_failed(HRESULT hr) {
  if (FAILED(hr)) throw_windows_error(static_cast<std::uint32_t>(hr));
}

ComPtr<ITaskService> connect_task_service() {
  ComPtr<ITaskService> service;
  throw_if_failed(g_task_service_factory.load()(service.put()));
  if (!service) throw_if_failed(E_NOINTERFACE);
  const Variant empty;
  throw_if_failed(service->Connect(empty.get(), empty.get(), empty.get(), empty.get()));
  return service;
}

ComPtr<IRegisteredTask> get_registered_task(ITaskService* service, const std::wstring& path) {
  const Bstr root_path(L"\\");
  ComPtr<ITaskFolder> root;
  throw_if_failed(service->GetFolder(root_path.get(), root.put()));
  if (!root) throw_if_failed(E_POINTER);
  const Bstr task_path(path);
  ComPtr<IRegisteredTask> task;
  throw_if_failed(root->GetTask(task_path.get(), task.put()));
  if (!task) throw_if_failed(E_POINTER);
  return task;
}

void walk_task_folder(ITaskFolder* folder, std::vector<StartupEntry>& entries, const CancelFlag* cancel,
                      int depth) {
  if (is_cancelled(cancel) || depth > MAX_TASK_FOLDER_DEPTH) return;

  ComPtr<IRegisteredTaskCollection> tasks;
  if (SUCCEEDED(folder->GetTasks(TASK_ENUM_HIDDEN, tasks.put())) && tasks) {
    LONG count = 0;
    tasks->get_Count(&count);
    for (LONG i = 1; i <= count; ++i) {
      if (is_cancelled(cancel)) break;
      const Variant index = Variant::from_long(i);
      ComPtr<IRegisteredTask> task;
      if (FAILED(tasks->get_Item(index.get(), task.put())) || !task) continue;
      entries.push_back(task_entry(task.get()));
    }
  }

  ComPtr<ITaskFolderCollection> folders;
  if (SUCCEEDED(folder->GetFolders(0, folders.put())) && folders) {
    LONG count = 0;
    folders->get_Count(&count);
    for (LONG i = 1; i <= count; ++i) {
      if (is_cancelled(cancel)) break;
      const Variant index = Variant::from_long(i);
      ComPtr<ITaskFolder> subfolder;
      if (FAILED(folders->get_Item(index.get(), subfolder.put())) || !subfolder) continue;
      walk_task_folder(subfolder.get(), entries, cancel, depth + 1);
    }
  }
}

TaskServiceFactory set_task_service_factory(TaskServiceFactory factory) {
  return g_task_service_factory.exchange(factory != nullptr ? factory : &create_task_service);
}

}  // namespace corvane
