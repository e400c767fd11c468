#pragma once
// The scan of cleanup areas: lists the old files that a cleanup run may delete.

#include "engines/cleanup_areas.h"
#include "services/progress.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace corvane {

// One file found by a scan. The last four fields are the identity the deletion re-checks.
struct CleanupItem {
  std::string area_id;
  std::wstring root;  // the area root as listed in the area
  std::wstring path;  // root joined with the names below it
  std::uint64_t size = 0;
  std::uint64_t last_write = 0;  // FILETIME value, UTC
  std::uint64_t file_index = 0;
  std::uint64_t volume_serial = 0;
};

struct ScanNote {
  std::wstring text_vi;
  std::wstring text_en;
};

struct ScanResult {
  std::vector<CleanupItem> items;         // in the order found
  std::vector<std::string> scanned_areas;  // ids of the areas actually walked, in area order
  std::uint64_t skipped = 0;               // entries that could not be read or were refused
  std::vector<ScanNote> notes;
  bool cancelled = false;
  // Elevated: kLocalDataOutsideProfileMessage when an area scanned nothing because its folder
  // lies outside the user's profile; else empty.
  std::wstring refusal;
};

constexpr std::size_t MAX_SCAN_ITEMS = 500000;

// False for a path that holds a lone surrogate: it cannot be written to the UTF-8 report,
// so the scan skips such a file (and does not enter such a folder) and counts it.
bool is_reportable_path(const std::wstring& path);

// Walks the roots of the given areas and lists the files old enough to delete. Reads only.
// Throws when the existence of a refused root cannot be tested, or a listing fails midway.
// Elevated, a root outside the system's Windows folder is walked only when it lies inside the
// user's profile (folder_in_profile); an area withheld or passed over so sets the refusal.
// Without elevated, as process_elevated says.
ScanResult scan_cleanup_areas(const std::vector<CleanupArea>& areas, const CancelFlag* cancel,
                              const ProgressFn& progress, bool elevated);
ScanResult scan_cleanup_areas(const std::vector<CleanupArea>& areas, const CancelFlag* cancel,
                              const ProgressFn& progress);

// The same scan with a smaller item limit, so that reaching the limit can be tested.
ScanResult scan_cleanup_areas(const std::vector<CleanupArea>& areas, const CancelFlag* cancel,
                              const ProgressFn& progress, bool elevated, std::size_t item_limit);

}  // namespace corvane
