#include "engines/cleanup_scan.h"

#include "services/directory_listing.h"
#include "services/handles.h"
#include "services/system_info.h"
#include "services/text.h"
#include "services/user_profile.h"

#include <windows.h>
#include <shlwapi.h>

#include <cwctype>
#include <stdexcept>
#include <unordered_set>

namespace corvane {

namespace {

constexpr std::uint64_t kFileTimeUnitsPerDay = 864000000000ull;

std::uint64_t combine(DWORD high, DWORD low) {
  return (static_cast<std::uint64_t>(high) << 32) | low;
}

bool root_exists(const std::wstring& root) {
  if (root.empty()) return false;
  if (GetFileAttributesW(root.c_str()) != INVALID_FILE_ATTRIBUTES) return true;
  const DWORD error = GetLastError();
  switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME:
    case ERROR_INVALID_DRIVE:
    case ERROR_BAD_NETPATH:
    case ERROR_BAD_NET_NAME:
      return false;
    default:
      throw std::runtime_error("exists: " + wide_to_utf8(windows_error_text(error)));
  }
}

// Reads the identity of a file without following a link. False when it cannot be read or
// the object turned out to be a folder or a link.
bool read_identity(const std::wstring& path, BY_HANDLE_FILE_INFORMATION& info) {
  const UniqueHandle file = adopt_handle(CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES,
                                                     FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                                     OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
  if (!file) return false;
  if (!GetFileInformationByHandle(file.get(), &info)) return false;
  return (info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) == 0;
}

std::wstring lower_case(const std::wstring& text) {
  std::wstring out(text);
  for (wchar_t& c : out) c = static_cast<wchar_t>(std::towlower(c));
  return out;
}

class Scanner {
 public:
  Scanner(const CancelFlag* cancel, const ProgressFn& progress, bool elevated, std::size_t item_limit)
      : cancel_(cancel), progress_(progress), elevated_(elevated), item_limit_(item_limit) {
    FILETIME now{};
    GetSystemTimeAsFileTime(&now);
    now_ = combine(now.dwHighDateTime, now.dwLowDateTime);
  }

  ScanResult run(const std::vector<CleanupArea>& areas) {
    for (const CleanupArea& area : areas) {
      if (stop_requested()) return finish();
      if (is_process_running(area.process_name)) {
        result_.notes.push_back({area.name_vi + L": trình duyệt đang chạy; đã bỏ qua.",
                                 area.name_en + L": browser is running; skipped."});
        continue;
      }
      result_.scanned_areas.push_back(area.id);
      if (area.roots_withheld) result_.refusal = kLocalDataOutsideProfileMessage;
      for (const std::wstring& root : area.roots) {
        if (stop_requested()) return finish();
        if (!is_plain_directory_chain(root)) {
          if (root_exists(root)) {
            result_.notes.push_back({root + L": không truy cập được hoặc là thư mục liên kết; đã bỏ qua.",
                                     root + L": inaccessible or linked folder; skipped."});
          }
          continue;
        }
        // Areas made without that check can still name a root outside the profile.
        if (elevated_ && !in_system_windows_folder(root) && !folder_in_profile(root)) {
          result_.refusal = kLocalDataOutsideProfileMessage;
          continue;
        }
        if (!walk(area, root)) return finish();
      }
    }
    report_progress(progress_, counter_, counter_, std::wstring());
    return finish();
  }

 private:
  bool stop_requested() {
    if (!is_cancelled(cancel_)) return false;
    result_.cancelled = true;
    return true;
  }

  ScanResult finish() {
    if (invalid_names_ != 0) {
      const std::wstring count = std::to_wstring(invalid_names_);
      result_.notes.push_back({count + L" mục có tên không hợp lệ (UTF-16); đã bỏ qua.",
                               count + L" entries whose names are not valid UTF-16 were skipped."});
    }
    return std::move(result_);
  }

  // Walks one root depth-first; false when the scan must end (stop or item limit).
  bool walk(const CleanupArea& area, const std::wstring& root) {
    std::vector<std::wstring> folders{root};
    DirectoryListing listing;
    while (!folders.empty()) {
      const std::wstring folder = std::move(folders.back());
      folders.pop_back();
      if (!open_listing(folder, listing)) {
        ++result_.skipped;
        continue;
      }
      while (next_entry(listing)) {
        if (stop_requested()) return false;
        std::wstring path = join_path(folder, listing.entry.cFileName);
        if (progress_) progress_(++counter_, 0, path);
        if (!path_strictly_inside(root, path)) {
          ++result_.skipped;
          continue;
        }
        const DWORD attributes = GetFileAttributesW(path.c_str());
        if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
          ++result_.skipped;
          continue;
        }
        if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
          if (!area.recursive) continue;
          if (!is_reportable_path(listing.entry.cFileName)) {
            skip_invalid_name();
            continue;
          }
          folders.push_back(std::move(path));
          continue;
        }
        if (!PathMatchSpecW(listing.entry.cFileName, area.pattern.c_str())) continue;
        if (!consider_file(area, root, std::move(path))) return false;
      }
    }
    return true;
  }

  // False when the item limit was reached.
  bool consider_file(const CleanupArea& area, const std::wstring& root, std::wstring path) {
    BY_HANDLE_FILE_INFORMATION info{};
    if (!read_identity(path, info)) {
      ++result_.skipped;
      return true;
    }
    const std::uint64_t last_write = combine(info.ftLastWriteTime.dwHighDateTime, info.ftLastWriteTime.dwLowDateTime);
    if (last_write > now_) return true;
    const std::int64_t min_age = static_cast<std::int64_t>(area.min_age_days) * static_cast<std::int64_t>(kFileTimeUnitsPerDay);
    if (min_age > 0 && now_ - last_write < static_cast<std::uint64_t>(min_age)) return true;
    if (!is_reportable_path(path)) {
      skip_invalid_name();
      return true;
    }
    if (!seen_.insert(lower_case(path)).second) return true;

    CleanupItem item;
    item.area_id = area.id;
    item.root = root;
    item.path = std::move(path);
    item.size = combine(info.nFileSizeHigh, info.nFileSizeLow);
    item.last_write = last_write;
    item.file_index = combine(info.nFileIndexHigh, info.nFileIndexLow);
    item.volume_serial = info.dwVolumeSerialNumber;
    result_.items.push_back(std::move(item));
    if (result_.items.size() >= item_limit_) {
      result_.notes.push_back({L"Quét giới hạn 500.000 tập tin; quét tiếp sau khi dọn.",
                               L"Scan limited to 500,000 files; run another scan after cleanup."});
      return false;
    }
    return true;
  }

  void skip_invalid_name() {
    ++result_.skipped;
    ++invalid_names_;
  }

  const CancelFlag* cancel_;
  const ProgressFn& progress_;
  bool elevated_;
  std::size_t item_limit_;
  std::uint64_t now_ = 0;
  std::uint64_t counter_ = 0;
  std::uint64_t invalid_names_ = 0;
  std::unordered_set<std::wstring> seen_;
  ScanResult result_;
};

}  // namespace

bool is_reportable_path(const std::wstring& path) {
  for (std::size_t i = 0; i < path.size(); ++i) {
    const wchar_t unit = path[i];
    if (unit >= 0xD800 && unit <= 0xDBFF) {
      if (i + 1 >= path.size() || path[i + 1] < 0xDC00 || path[i + 1] > 0xDFFF) return false;
      ++i;
    } else if (unit >= 0xDC00 && unit <= 0xDFFF) {
      return false;
    }
  }
  return true;
}

ScanResult scan_cleanup_areas(const std::vector<CleanupArea>& areas, const CancelFlag* cancel,
                              const ProgressFn& progress, bool elevated) {
  return scan_cleanup_areas(areas, cancel, progress, elevated, MAX_SCAN_ITEMS);
}

ScanResult scan_cleanup_areas(const std::vector<CleanupArea>& areas, const CancelFlag* cancel,
                              const ProgressFn& progress) {
  return scan_cleanup_areas(areas, cancel, progress, process_elevated());
}

ScanResult scan_cleanup_areas(const std::vector<CleanupArea>& areas, const CancelFlag* cancel,
                              const ProgressFn& progress, bool elevated, std::size_t item_limit) {
  Scanner scanner(cancel, progress, elevated, item_limit);
  return scanner.run(areas);
}

}  // namespace corvane
