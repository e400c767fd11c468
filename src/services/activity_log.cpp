#include "services/activity_log.h"

#include "services/documents.h"
#include "services/handles.h"
#include "services/text.h"

#include <windows.h>

#include <filesystem>
#include <mutex>

namespace corvane {

namespace {

std::mutex& activity_mutex() {
  static std::mutex mutex;
  return mutex;
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
  const std::lock_guard<std::mutex> lock(activity_mutex());
  try {
    const std::filesystem::path folder(reports_folder());
    std::filesystem::create_directories(folder);
    const std::string text = activity_line(operation, outcome);
    const UniqueHandle file =
        adopt_handle(CreateFileW((folder / L"activity.jsonl").c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                 nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
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
