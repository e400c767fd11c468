#pragma once
// What starts with Windows for this user: the Run keys, the Startup folder and scheduled
// tasks, listed as one sorted vector of plain entries. Listing only reads.

#include "services/progress.h"
#include "services/registry_value.h"

#include <cstdint>
#include <string>
#include <vector>

namespace corvane {

// Also the first sort key of the listing.
enum StartupKind : std::int32_t {
  STARTUP_KIND_RUN = 0,     // a string value of a Run key or of its DisabledStartup twin
  STARTUP_KIND_FOLDER = 1,  // a file in the Startup folder or in the DisabledStartup folder
  STARTUP_KIND_TASK = 2,    // a registered scheduled task
};

// One startup entry as listed; carries what a later change needs to re-check it.
struct StartupEntry {
  std::wstring name;         // value name, file name with extension, or task name
  std::wstring target;       // value text, full file path, or the task's program paths
  std::wstring location;     // label of the source
  std::wstring key_path;     // registry key (Run), full file path (folder), task path (task)
  std::string snapshot;      // the task's registration XML as read (UTF-8); empty otherwise
  bool enabled = true;
  bool needs_admin = false;
  bool approval_known = true;           // false when a StartupApproved value has an unknown form
  std::vector<RegistryValue> approvals; // the StartupApproved values as read, absent ones included
  StartupKind kind = STARTUP_KIND_RUN;
  std::int32_t hive = 0;     // 0 HKEY_CURRENT_USER, 1 HKEY_LOCAL_MACHINE; 0 for files and tasks
  std::wstring source_name;  // the registry value name (Run); empty otherwise
  bool view32 = false;       // from the 32-bit Run key or its twin
};

// "Software\Microsoft\Windows\CurrentVersion\Run", or its WOW6432Node path for view32.
std::wstring run_key(bool view32);
// "Software\Corvane\DisabledStartup\Run64", or "...\Run32" for view32.
std::wstring disabled_run_key(bool view32);

// The data folder's "DisabledStartup" folder, where disabled Startup-folder files are kept.
std::wstring disabled_startup_folder();

// The StartupApproved key that holds Windows' own switch for the entry.
std::wstring startup_approved_key(const StartupEntry& entry);

// Reads the entry's StartupApproved values into approvals; clears enabled unless every one
// says enabled, and approval_known when one has a form that is not understood.
void attach_startup_approval(StartupEntry& entry);

// Every entry, sorted by kind, then by name (ordinal). A set cancel flag ends the listing
// early without an error. Throws the Windows text when Task Scheduler cannot be reached or a
// registry read fails unexpectedly. Elevated (without the flag, as process_elevated says), the
// DisabledStartup folder is listed only where it lies inside the user's profile with no link
// on its way, and through the handle of the folder as checked.
std::vector<StartupEntry> list_startup_entries(const CancelFlag* cancel);
std::vector<StartupEntry> list_startup_entries(const CancelFlag* cancel, bool elevated);

// Null in the product. Tests set it to change the DisabledStartup folder after an elevated
// listing has held it and before it is listed.
extern void (*disabled_startup_held_hook)();

}  // namespace corvane
