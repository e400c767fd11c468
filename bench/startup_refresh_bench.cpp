// Startup page benchmark: the refresh job's work (listing plus the icon pass) over 200 Run
// entries that start 20 distinct programs, against the bare platform work it needs: the same
// registry and folder reads and one ExtractIconExW per program.
//   startup_refresh_bench [--rounds N]   (default 10; other arguments are ignored)
#include "bench_support.h"
#include "engines/startup_list.h"
#include "services/com_ptr.h"
#include "services/handles.h"
#include "services/registry.h"
#include "services/shell.h"
#include "services/system_info.h"
#include "ui/app.h"

#include <windows.h>
#include <shellapi.h>
#include <shlobj.h>
#include <taskschd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

using namespace corvane;
using namespace corvane::bench;

namespace {

constexpr int kPrograms = 20;
constexpr int kEntries = 200;
constexpr wchar_t kApproved[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\StartupApproved\\";

// Every value of one key with its data, and the StartupApproved value of each name.
std::size_t bare_run_key(HKEY root, const std::wstring& path, REGSAM view, const std::wstring& approved) {
  HKEY opened = nullptr;
  if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ | view, &opened) != ERROR_SUCCESS) return 0;
  const UniqueRegKey key(opened);
  std::vector<wchar_t> name(16384);
  std::vector<BYTE> data(65536);
  std::vector<BYTE> approval(64);
  std::size_t values = 0;
  for (DWORD index = 0;; ++index) {
    DWORD name_length = static_cast<DWORD>(name.size());
    DWORD data_length = static_cast<DWORD>(data.size());
    DWORD type = 0;
    if (RegEnumValueW(key.get(), index, name.data(), &name_length, nullptr, &type, data.data(), &data_length) !=
        ERROR_SUCCESS) {
      break;
    }
    DWORD approval_length = static_cast<DWORD>(approval.size());
    RegGetValueW(HKEY_CURRENT_USER, approved.c_str(), name.data(), RRF_RT_ANY | RRF_SUBKEY_WOW6464KEY, nullptr,
                 approval.data(), &approval_length);
    ++values;
  }
  return values;
}

std::size_t bare_folder(const std::wstring& folder) {
  WIN32_FIND_DATAW entry{};
  const UniqueFindHandle listing(FindFirstFileW((folder + L"\\*").c_str(), &entry));
  if (!listing || listing.get() == INVALID_HANDLE_VALUE) return 0;
  std::size_t files = 0;
  do {
    if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) ++files;
  } while (FindNextFileW(listing.get(), &entry));
  return files;
}

std::size_t bare_task_folder(ITaskFolder* folder) {
  std::size_t found = 0;
  ComPtr<IRegisteredTaskCollection> tasks;
  if (SUCCEEDED(folder->GetTasks(TASK_ENUM_HIDDEN, tasks.put())) && tasks) {
    LONG count = 0;
    tasks->get_Count(&count);
    found += static_cast<std::size_t>(count);
  }
  ComPtr<ITaskFolderCollection> folders;
  if (SUCCEEDED(folder->GetFolders(0, folders.put())) && folders) {
    LONG count = 0;
    folders->get_Count(&count);
    for (LONG i = 1; i <= count; ++i) {
      ComPtr<ITaskFolder> subfolder;
      if (SUCCEEDED(folders->get_Item(Variant::from_long(i).get(), subfolder.put())) && subfolder) {
        found += bare_task_folder(subfolder.get());
      }
    }
  }
  return found;
}

// The scheduler's folders walked with no reading of the tasks themselves.
std::size_t bare_tasks() {
  const HRESULT initialised = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
  std::size_t found = 0;
  {
    ComPtr<ITaskService> service;
    if (SUCCEEDED(CoCreateInstance(CLSID_TaskScheduler, nullptr, CLSCTX_INPROC_SERVER, IID_ITaskService,
                                   reinterpret_cast<void**>(service.put())))) {
      const Variant empty;
      ComPtr<ITaskFolder> root;
      const Bstr root_path(L"\\");
      if (SUCCEEDED(service->Connect(empty.get(), empty.get(), empty.get(), empty.get())) &&
          SUCCEEDED(service->GetFolder(root_path.get(), root.put())) && root) {
        found = bare_task_folder(root.get());
      }
    }
  }
  if (SUCCEEDED(initialised)) CoUninitialize();
  return found;
}

std::size_t bare_listing() {
  const std::wstring run = run_key(false);
  const std::wstring run32 = run_key(true);
  std::size_t found = 0;
  found += bare_run_key(HKEY_CURRENT_USER, run, KEY_WOW64_64KEY, std::wstring(kApproved) + L"Run");
  found += bare_run_key(HKEY_CURRENT_USER, disabled_run_key(false), KEY_WOW64_64KEY, std::wstring(kApproved) + L"Run");
  found += bare_run_key(HKEY_LOCAL_MACHINE, run, KEY_WOW64_64KEY, std::wstring(kApproved) + L"Run");
  found += bare_run_key(HKEY_LOCAL_MACHINE, disabled_run_key(false), KEY_WOW64_64KEY, std::wstring(kApproved) + L"Run");
  found += bare_run_key(HKEY_LOCAL_MACHINE, run32, KEY_WOW64_64KEY, std::wstring(kApproved) + L"Run32");
  found += bare_run_key(HKEY_LOCAL_MACHINE, disabled_run_key(true), KEY_WOW64_64KEY, std::wstring(kApproved) + L"Run32");
  found += bare_folder(known_folder_path(FOLDERID_Startup));
  found += bare_folder(disabled_startup_folder());
  found += bare_tasks();
  return found;
}

}  // namespace

int main(int argc, char** argv) {
  const int rounds = int_argument(argc, argv, "--rounds", 10);
  // Twenty distinct programs with an icon: copies of Notepad in a folder of our own.
  wchar_t temp[MAX_PATH + 1] = {};
  GetTempPathW(MAX_PATH + 1, temp);
  const std::wstring folder = std::wstring(temp) + L"corvane-startup-bench-" + std::to_wstring(GetCurrentProcessId());
  std::filesystem::create_directories(folder);
  wchar_t system[MAX_PATH + 1] = {};
  GetSystemDirectoryW(system, MAX_PATH + 1);
  std::vector<std::wstring> programs;
  for (int p = 0; p < kPrograms; ++p) {
    programs.push_back(folder + L"\\program" + std::to_wstring(p) + L".exe");
    if (!CopyFileW((std::wstring(system) + L"\\notepad.exe").c_str(), programs.back().c_str(), FALSE)) {
      std::fprintf(stderr, "cannot copy notepad.exe\n");
      return 1;
    }
  }
  const std::wstring prefix = L"CorvaneBench" + std::to_wstring(GetCurrentProcessId()) + L"-";
  std::vector<std::wstring> names;
  for (int e = 0; e < kEntries; ++e) {
    names.push_back(prefix + std::to_wstring(e));
    write_registry_value({kHiveCurrentUser, run_key(false), names.back(),
                          make_string_value(L"\"" + programs[static_cast<std::size_t>(e % kPrograms)] + L"\" /tray")});
  }
  std::printf("startup benchmark: %d Run entries starting %d distinct programs, %d rounds\n", kEntries, kPrograms,
              rounds);

  // Warm-up, untimed: the first connection starts the Task Scheduler service and loads the
  // shell's icon code, which neither side should pay for in the figures.
  CancelFlag cancel{0};
  {
    Work warm;
    warm.startup_entries = list_startup_entries(&cancel);
    App::load_startup_icons(warm, cancel, process_elevated());
    bare_listing();
  }

  // Ours and the reference take turns, so that a change in the machine's load touches both alike.
  Paired refresh;
  Paired listing;
  std::size_t listed = 0;
  std::size_t bare_found = 0;
  std::size_t extractions = 0;
  std::size_t bare_icons = 0;
  bool ok = true;
  for (int round = 0; round < rounds; ++round) {
    Work work;
    double listing_ms = 0;
    const double ours_ms = time_ms([&] {
      listing_ms = time_ms([&] { work.startup_entries = list_startup_entries(&cancel); });
      App::load_startup_icons(work, cancel, process_elevated());
    });
    listed = work.startup_entries.size();
    std::set<HICON> ours;  // one holder per extraction made
    for (const StartupEntry& entry : work.startup_entries) {
      if (entry.name.compare(0, prefix.size(), prefix) == 0) ours.insert(work.startup_icons.at(startup_entry_key(entry)).get());
    }
    extractions = ours.size();
    ok = ok && extractions == kPrograms;

    std::vector<HICON> icons(kPrograms, nullptr);
    double reads_ms = 0;
    const double bare_ms = time_ms([&] {
      reads_ms = time_ms([&] { bare_found = bare_listing(); });
      bare_icons = 0;
      for (int p = 0; p < kPrograms; ++p) {
        bare_icons += ExtractIconExW(programs[static_cast<std::size_t>(p)].c_str(), 0, nullptr,
                                     &icons[static_cast<std::size_t>(p)], 1);
      }
    });
    for (HICON icon : icons) {
      if (icon != nullptr) DestroyIcon(icon);
    }
    refresh.add(ours_ms, bare_ms);
    listing.add(listing_ms, reads_ms);
  }
  std::printf("  ours: %zu entries listed, %zu extractions (must be %d); reference: %zu values and files, %zu icons\n",
              listed, extractions, kPrograms, bare_found, bare_icons);
  print_ratio("refresh: listing + icons / reads + extractions", refresh, 1.15);
  print_ratio_line("listing alone / reads alone", listing, "part of the above");

  for (const std::wstring& name : names) write_registry_value({kHiveCurrentUser, run_key(false), name, {}});
  std::error_code ignored;
  std::filesystem::remove_all(folder, ignored);
  return ok ? 0 : 1;
}
