#pragma once
// Task Scheduler through COM: connecting, finding a task, and listing tasks as startup entries.

#include "engines/startup_list.h"
#include "services/com_ptr.h"
#include "services/progress.h"

#include <windows.h>
#include <taskschd.h>

#include <string>
#include <vector>

namespace corvane {

// The root folder is depth 0, so thirteen levels are walked.
constexpr int MAX_TASK_FOLDER_DEPTH = 12;

// Throws std::runtime_error with the Windows text of a failed HRESULT.
void throw_if_failed(HRESULT hr);

// A service object connected to the local computer as the current user; throws on failure.
ComPtr<ITaskService> connect_task_service();

// The task at path (beginning with a backslash), looked up from the root folder; throws.
ComPtr<IRegisteredTask> get_registered_task(ITaskService* service, const std::wstring& path);

// Appends one entry per task of folder, then walks its subfolders (depth first).
// Failures inside the walk leave out or blank only the part concerned.
void walk_task_folder(ITaskFolder* folder, std::vector<StartupEntry>& entries, const CancelFlag* cancel,
                      int depth);

// How connect_task_service obtains the unconnected service object. The product always uses
// CoCreateInstance of the Task Scheduler class; tests put a fake object in its place.
using TaskServiceFactory = HRESULT (*)(ITaskService** service);

// Installs factory (null: the real one) and returns the one it replaces.
TaskServiceFactory set_task_service_factory(TaskServiceFactory factory);

}  // namespace corvane
