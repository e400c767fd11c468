#include "engines/cleanup_run.h"

#include "engines/cleanup_delete.h"
#include "services/activity_log.h"
#include "services/directory_listing.h"
#include "services/documents.h"
#include "services/system_info.h"
#include "services/text.h"

#include <windows.h>
#include <shlwapi.h>

#include <filesystem>
#include <set>
#include <string>

namespace corvane {

namespace {

const wchar_t* file_name_of(const std::wstring& path) {
  const std::size_t separator = path.find_last_of(L"\\/");
  return path.c_str() + (separator == std::wstring::npos ? 0 : separator + 1);
}

// The areas a run may delete from: confirmed, and their browser not running now.
struct Eligibility {
  const std::vector<CleanupArea>& areas;
  std::set<std::string> allowed;

  explicit Eligibility(const std::vector<CleanupArea>& confirmed) : areas(confirmed) {
    for (const CleanupArea& area : areas) {
      if (!is_process_running(area.process_name)) allowed.insert(area.id);
    }
  }

  // The last item's area and root that were found listed: a run meets one root's files in a row.
  const CleanupArea* listed_area = nullptr;
  std::wstring listed_root;

  bool admits(const CleanupItem& item) {
    if (allowed.count(item.area_id) == 0) return false;
    for (const CleanupArea& area : areas) {
      if (area.id != item.area_id) continue;
      bool root_listed = &area == listed_area && item.root == listed_root;
      for (std::size_t r = 0; !root_listed && r < area.roots.size(); ++r) {
        if (std::filesystem::path(area.roots[r]) == std::filesystem::path(item.root)) {
          root_listed = true;
          listed_area = &area;
          listed_root = item.root;
        }
      }
      if (!root_listed || !path_strictly_inside(item.root, item.path)) continue;
      if (PathMatchSpecW(file_name_of(item.path), area.pattern.c_str())) return true;
    }
    return false;
  }
};

}  // namespace

nlohmann::json prepared_cleanup_report(const ScanResult& scan) {
  nlohmann::json files = nlohmann::json::array();
  for (const CleanupItem& item : scan.items) {
    files.push_back({{"bytes", item.size}, {"group", item.area_id}, {"path", wide_to_utf8(item.path)}});
  }
  return {{"schema", 1}, {"operation", "cleanup"}, {"state", "prepared"}, {"files", std::move(files)}};
}

Outcome execute_cleanup(const ScanResult& scan, const std::vector<CleanupArea>& areas, const CancelFlag* cancel,
                        const ProgressFn& progress) {
  return execute_cleanup(scan, areas, cancel, progress, process_elevated());
}

Outcome execute_cleanup(const ScanResult& scan, const std::vector<CleanupArea>& areas, const CancelFlag* cancel,
                        const ProgressFn& progress, bool elevated) {
  Outcome outcome;
  if (scan.cancelled) {
    outcome.ok = false;
    outcome.message = L"Cancelled scan cannot be used for cleanup";
    return outcome;
  }
  Eligibility eligibility(areas);

  // Only the write is answered here; a path or report that cannot be built is an error of
  // the job itself.
  const std::wstring report_path = join_path(reports_folder(), utf8_to_wide(make_stamp()) + L"-cleanup.json");
  nlohmann::json report = prepared_cleanup_report(scan);
  try {
    write_json_atomic(report_path, report);
  } catch (const std::exception& error) {
    outcome.ok = false;
    outcome.message = utf8_to_wide_lenient(error.what());
    return outcome;
  }

  const std::uint64_t total = scan.items.size();
  report_progress(progress, 0, total, std::wstring());
  std::vector<bool> deleted(scan.items.size(), false);
  {
    PinnedFolders pins;
    for (std::size_t i = 0; i < scan.items.size(); ++i) {
      if (is_cancelled(cancel)) {
        outcome.ok = false;
        outcome.message = L"Stopped; completed deletions cannot be undone.";
        break;
      }
      const CleanupItem& item = scan.items[i];
      if (eligibility.admits(item) && delete_scanned_file(item, pins, elevated)) {
        deleted[i] = true;
        ++outcome.affected;
        outcome.bytes += item.size;
      } else {
        ++outcome.skipped;
      }
      report_progress(progress, i + 1, total, item.path);
    }
  }

  try {
    report["state"] = is_cancelled(cancel) ? "cancelled" : "complete";
    report["deleted"] = outcome.affected;
    report["skipped"] = outcome.skipped;
    report["bytes"] = outcome.bytes;
    nlohmann::json& files = report["files"];
    for (std::size_t i = 0; i < deleted.size(); ++i) files[i]["deleted"] = deleted[i];
    write_json_atomic(report_path, report);
  } catch (...) {
    outcome.ok = false;
    outcome.message = L"Cleanup finished but its report could not be updated.";
  }
  outcome.record_path = report_path;
  append_activity("cleanup", outcome);
  return outcome;
}

}  // namespace corvane
