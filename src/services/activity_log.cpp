#include "services/activity_log.h"

#include "services/documents.h"
#include "services/folder_files.h"
#include "services/handles.h"
#include "services/pinned_folders.h"
#include "services/system_info.h"
#include "services/text.h"

#include <windows.h>

#include <filesystem>
#include <mutex>

namespace corvane {

ActivityLogProbe activity_log_probe = nullptr;

namespace {

std::mutex& activity_mutex() {
  static std::mutex mutex;
  return mutex;
}

constexpr wchar_t kLogName[] = L"activity.jsonl";

UniqueHandle open_log(HANDLE folder, FolderFileOpen disposition, DWORD& error) {
  return open_file_in_folder(folder, kLogName, GENERIC_WRITE | FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE,
                             disposition, nullptr, error);
}

// The log file in the pinned folder, opened by name through the folder's handle where it
// stands: a link at its place is opened itself, never followed, and a dangling one makes
// nothing (only a new name is created). Empty when the file is anything but a plain file of
// that folder.
UniqueHandle open_log_file(PinnedFolders& folder) {
  const HANDLE held = folder.handles.handles.back();
  DWORD error = ERROR_SUCCESS;
  UniqueHandle file = open_log(held, FolderFileOpen::existing, error);
  if (!file && error == ERROR_FILE_NOT_FOUND) {
    file = open_log(held, FolderFileOpen::create_new, error);
    // Made by another process meanwhile.
    if (!file && error == ERROR_FILE_EXISTS) file = open_log(held, FolderFileOpen::existing, error);
  }
  if (!file) return {};
  // One name only (no second name elsewhere), and no link; synced by a cloud client it stays the log.
  BY_HANDLE_FILE_INFORMATION info{};
  if (!GetFileInformationByHandle(file.get(), &info) || info.nNumberOfLinks != 1 ||
      !opened_file_is_no_link(file.get())) {
    return {};
  }
  // Where the file really is must be the pinned folder itself.
  if (!file_lies_in_folder(file.get(), held, kLogName)) return {};
  return file;
}

}  // namespace

std::string activity_line(const std::string& operation, const Outcome& outcome) {
  nlohmann::json line = nlohmann::json::object();
  line["affected"] = outcome.affected;
  line["bytes"] = outcome.bytes;
  line["message"] = wide_to_utf8(outcome.message);
  line["ok"] = outcome.ok;
  line["operation"] = operation;
  line["skipped"] = outcome.skipped;
  line["time"] = make_stamp();
  return line.dump(-1, ' ', false, nlohmann::json::error_handler_t::strict) + "\r\n";
}

void append_activity(const std::string& operation, const Outcome& outcome) {
  std::wstring folder;
  try {
    folder = reports_folder();
  } catch (...) {
    return;
  }
  append_activity_in(folder, operation, outcome);
}

void append_activity_in(const std::wstring& folder, const std::string& operation, const Outcome& outcome) {
  const std::lock_guard<std::mutex> lock(activity_mutex());
  try {
    const std::string text = activity_line(operation, outcome);
    // The folder and those above it stay pinned until the line is written, each checked to
    // be no link: an elevated Corvane must not create or append to a file someone points it at.
    PinnedFolders pins;
    // Unelevated, the user's own links on the way are followed, once, before the pins are taken.
    if (pin_folder_chain(std::filesystem::absolute(folder).wstring(), pins, true,
                         folder_links_for(process_elevated())) != ERROR_SUCCESS) {
      return;
    }
    if (activity_log_probe != nullptr) activity_log_probe(folder);
    const UniqueHandle file = open_log_file(pins);
    if (!file) return;
    // The mutex orders this process's lines; another process appending to the same log (a
    // second instance, an elevated restart) is kept out by a lock on one byte far beyond any
    // text, so that readers of the log are never blocked. Finding the end happens under it.
    // The wait is bounded: a stuck process must not hold up an operation that only logs.
    OVERLAPPED lock_place{};
    lock_place.OffsetHigh = 0x7FFFFFFF;
    bool locked = false;
    for (int attempt = 0; attempt < 2000 && !locked; ++attempt) {
      locked = LockFileEx(file.get(), LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &lock_place) != 0;
      if (!locked) Sleep(1);
    }
    if (!locked) return;
    DWORD written = 0;
    if (SetFilePointerEx(file.get(), LARGE_INTEGER{}, nullptr, FILE_END)) {
      WriteFile(file.get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    }
    UnlockFileEx(file.get(), 0, 1, 0, &lock_place);
  } catch (...) {
    // The log never affects the operation that logs.
  }
}

}  // namespace corvane
