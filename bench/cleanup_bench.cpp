// Cleanup benchmark: builds trees of old files inside the prefix and times the scan and the
// cleanup run against bare references doing the platform work alone.
//   cleanup_bench [--files N]   (N files in folders of 100; default 100000)
#include "bench_support.h"
#include "engines/cleanup_delete.h"
#include "engines/cleanup_run.h"
#include "engines/cleanup_scan.h"
#include "services/directory_listing.h"
#include "services/handles.h"
#include "services/text.h"

#include <windows.h>
#include <psapi.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <filesystem>
#include <string>
#include <vector>

using namespace corvane;
using namespace corvane::bench;

namespace {

constexpr int kFilesPerFolder = 100;
constexpr int kGroups = 10;
constexpr std::uint64_t kDay = 864000000000ull;

std::uint64_t now_filetime() {
  FILETIME now{};
  GetSystemTimeAsFileTime(&now);
  return (static_cast<std::uint64_t>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
}

// root\gG\dDDD\fFF.tmp, every file 16 bytes and 30 days old.
void build_tree(const std::wstring& root, int files) {
  const int folders = (files + kFilesPerFolder - 1) / kFilesPerFolder;
  const std::uint64_t old = now_filetime() - 30 * kDay;
  FILETIME stamp{static_cast<DWORD>(old & 0xFFFFFFFFu), static_cast<DWORD>(old >> 32)};
  const char content[16] = "old file body.";
  CreateDirectoryW(root.c_str(), nullptr);
  int made = 0;
  for (int d = 0; d < folders; ++d) {
    const std::wstring group = root + L"\\g" + std::to_wstring(d % kGroups);
    CreateDirectoryW(group.c_str(), nullptr);
    const std::wstring folder = group + L"\\d" + std::to_wstring(d);
    CreateDirectoryW(folder.c_str(), nullptr);
    for (int f = 0; f < kFilesPerFolder && made < files; ++f, ++made) {
      const std::wstring path = folder + L"\\f" + std::to_wstring(f) + L".tmp";
      const UniqueHandle file = adopt_handle(
          CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
      if (!file) {
        std::fprintf(stderr, "cannot create %ls\n", path.c_str());
        std::exit(1);
      }
      DWORD written = 0;
      WriteFile(file.get(), content, sizeof content, &written, nullptr);
      SetFileTime(file.get(), nullptr, nullptr, &stamp);
    }
  }
}

// The bare walk: FindFirstFileExW with the basic information level and large fetches.
template <typename OnFile>
std::uint64_t walk(const std::wstring& root, OnFile on_file) {
  std::uint64_t files = 0;
  std::vector<std::wstring> stack{root};
  WIN32_FIND_DATAW entry{};
  while (!stack.empty()) {
    const std::wstring folder = std::move(stack.back());
    stack.pop_back();
    const UniqueFindHandle listing(FindFirstFileExW((folder + L"\\*").c_str(), FindExInfoBasic, &entry,
                                                    FindExSearchNameMatch, nullptr, FIND_FIRST_EX_LARGE_FETCH));
    if (!listing || listing.get() == INVALID_HANDLE_VALUE) continue;
    do {
      if (entry.cFileName[0] == L'.' &&
          (entry.cFileName[1] == 0 || (entry.cFileName[1] == L'.' && entry.cFileName[2] == 0))) {
        continue;
      }
      std::wstring path = folder + L"\\" + entry.cFileName;
      if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        stack.push_back(std::move(path));
      } else {
        ++files;
        on_file(path);
      }
    } while (FindNextFileW(listing.get(), &entry));
  }
  return files;
}

double seconds_since(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

std::uint64_t working_set() {
  PROCESS_MEMORY_COUNTERS counters{};
  counters.cb = sizeof counters;
  GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters);
  return counters.WorkingSetSize;
}

std::uint64_t peak_working_set() {
  PROCESS_MEMORY_COUNTERS counters{};
  counters.cb = sizeof counters;
  GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters);
  return counters.PeakWorkingSetSize;
}

void print_rate(const char* what, std::uint64_t files, double seconds) {
  std::printf("  %-44s %8llu files %9.2f s %10.0f files/s %8.1f us/file\n", what,
              static_cast<unsigned long long>(files), seconds, files / seconds, seconds * 1e6 / files);
}

CleanupArea bench_area(const std::wstring& root) {
  CleanupArea area;
  area.id = "temp";
  area.name_en = L"Bench";
  area.roots = {root};
  area.pattern = L"*";
  area.min_age_days = 7;
  area.recursive = true;
  return area;
}

// The guard sequence alone: open for delete, identity, final path, disposition.
bool bare_guard(const CleanupItem& item, std::wstring& buffer) {
  const UniqueHandle file = adopt_handle(CreateFileW(item.path.c_str(), DELETE | FILE_READ_ATTRIBUTES, FILE_SHARE_READ,
                                                     nullptr, OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
  if (!file) return false;
  BY_HANDLE_FILE_INFORMATION info{};
  if (!GetFileInformationByHandle(file.get(), &info)) return false;
  if (((static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow) != item.file_index) return false;
  buffer.resize(32768);
  const DWORD length = GetFinalPathNameByHandleW(file.get(), buffer.data(), 32768, 0);
  if (length == 0 || length >= 32768) return false;
  const std::size_t skip = std::wcsncmp(buffer.c_str(), L"\\\\?\\", 4) == 0 ? 4 : 0;
  if (_wcsnicmp(buffer.c_str() + skip, item.root.c_str(), item.root.size()) != 0) return false;
  FILE_DISPOSITION_INFO disposition{};
  disposition.DeleteFile = TRUE;
  return SetFileInformationByHandle(file.get(), FileDispositionInfo, &disposition, sizeof disposition) != FALSE;
}

}  // namespace

int main(int argc, char** argv) {
  int files = 100000;
  for (int i = 1; i + 1 < argc; ++i) {
    if (std::string(argv[i]) == "--files") files = std::atoi(argv[i + 1]);
  }
  if (files < kFilesPerFolder * kGroups) files = kFilesPerFolder * kGroups;

  wchar_t temp[MAX_PATH + 1] = {};
  GetTempPathW(MAX_PATH + 1, temp);
  const std::wstring base = std::wstring(temp) + L"corvane-bench-" + std::to_wstring(GetCurrentProcessId());
  const std::wstring scan_tree = base + L"\\ours";
  const std::wstring delete_tree = base + L"\\bare-delete";
  const std::wstring guard_tree = base + L"\\bare-guard";
  CreateDirectoryW(base.c_str(), nullptr);

  std::printf("cleanup benchmark: %d files in folders of %d, three twin trees under %ls\n", files, kFilesPerFolder,
              base.c_str());
  const auto built = std::chrono::steady_clock::now();
  build_tree(scan_tree, files);
  build_tree(delete_tree, files);
  build_tree(guard_tree, files);
  std::printf("  trees built in %.1f s\n\n", seconds_since(built));

  // Ours and the references take turns group by group (a tenth of the tree each), so that a
  // change in the machine's load touches both sides alike.
  std::printf("scan (interleaved by group of %d files)\n", files / kGroups);
  CancelFlag cancel{0};
  std::uint64_t reports = 0;
  const ProgressFn progress = [&](std::uint64_t, std::uint64_t, const std::wstring&) { ++reports; };
  double walk_s = 0;
  double identity_s = 0;
  double attributes_s = 0;
  double scan_s = 0;
  std::uint64_t attributed = 0;
  std::uint64_t walked = 0;
  std::uint64_t identified = 0;
  std::uint64_t skipped = 0;
  std::vector<ScanResult> scans;
  std::size_t items = 0;
  std::size_t first_items = 0;
  const std::uint64_t base_set = working_set();
  std::uint64_t first_peak = 0;
  for (int g = 0; g < kGroups; ++g) {
    const std::wstring group = scan_tree + L"\\g" + std::to_wstring(g);
    auto start = std::chrono::steady_clock::now();
    walked += walk(group, [](const std::wstring&) {});
    walk_s += seconds_since(start);

    start = std::chrono::steady_clock::now();
    walk(group, [&](const std::wstring& path) {
      const UniqueHandle file = adopt_handle(CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES,
                                                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                                         nullptr, OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
      BY_HANDLE_FILE_INFORMATION info{};
      if (file && GetFileInformationByHandle(file.get(), &info)) ++identified;
    });
    identity_s += seconds_since(start);

    // The same with the attribute read the scan makes for every entry: the platform calls of
    // the scan alone, without any of its own work.
    start = std::chrono::steady_clock::now();
    walk(group, [&](const std::wstring& path) {
      if (GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES) return;
      const UniqueHandle file = adopt_handle(CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES,
                                                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                                         nullptr, OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
      BY_HANDLE_FILE_INFORMATION info{};
      if (file && GetFileInformationByHandle(file.get(), &info)) ++attributed;
    });
    attributes_s += seconds_since(start);

    start = std::chrono::steady_clock::now();
    scans.push_back(scan_cleanup_areas({bench_area(group)}, &cancel, progress));
    scan_s += seconds_since(start);
    items += scans.back().items.size();
    skipped += scans.back().skipped;
    if (g == 0) {
      first_items = items;
      first_peak = peak_working_set();
    }
  }
  const std::uint64_t full_peak = peak_working_set();
  print_rate("bare walk (FindFirstFileExW)", walked, walk_s);
  print_rate("bare walk + open/identity/close", identified, identity_s);
  print_rate("bare walk + attributes + open/identity/close", attributed, attributes_s);
  print_rate("scan_cleanup_areas (with a progress function)", items, scan_s);
  std::printf("  ratio ours / walk+identity: %.3f   ours / bare walk: %.1f   ours / walk+attributes+identity: %.3f\n",
              scan_s / identity_s, scan_s / walk_s, scan_s / attributes_s);
  std::printf("  peak working set: %.1f MB before, %.1f MB holding %zu items, %.1f MB holding %zu items\n",
              base_set / 1048576.0, first_peak / 1048576.0, first_items, full_peak / 1048576.0, items);
  if (items > first_items && first_peak > base_set) {
    std::printf("  growth: %.0f bytes/item over the first %zu items, %.0f bytes/item over the rest\n",
                double(first_peak - base_set) / first_items, first_items,
                double(full_peak > first_peak ? full_peak - first_peak : 0) / (items - first_items));
  }
  std::printf("  scanned %zu items, skipped %llu, %llu progress calls\n\n", items,
              static_cast<unsigned long long>(skipped), static_cast<unsigned long long>(reports));

  std::printf("cleanup (interleaved by group)\n");
  double delete_s = 0;
  double guard_s = 0;
  double clean_s = 0;
  std::uint64_t bare_deleted = 0;
  std::uint64_t guard_deleted = 0;
  std::uint64_t ours_deleted = 0;
  std::uint64_t ours_skipped = 0;
  bool all_ok = true;
  std::wstring buffer;
  Paired guard_pair;
  for (int g = 0; g < kGroups; ++g) {
    const std::wstring suffix = L"\\g" + std::to_wstring(g);
    std::vector<std::wstring> bare_paths;
    walk(delete_tree + suffix, [&](const std::wstring& path) { bare_paths.push_back(path); });
    const ScanResult guard_items = scan_cleanup_areas({bench_area(guard_tree + suffix)}, &cancel, {});

    auto start = std::chrono::steady_clock::now();
    for (const std::wstring& path : bare_paths) bare_deleted += DeleteFileW(path.c_str()) ? 1 : 0;
    delete_s += seconds_since(start);

    start = std::chrono::steady_clock::now();
    for (const CleanupItem& item : guard_items.items) guard_deleted += bare_guard(item, buffer) ? 1 : 0;
    const double guard_group_s = seconds_since(start);
    guard_s += guard_group_s;

    start = std::chrono::steady_clock::now();
    const Outcome outcome =
        execute_cleanup(scans[static_cast<std::size_t>(g)], {bench_area(scan_tree + suffix)}, &cancel, progress);
    const double clean_group_s = seconds_since(start);
    clean_s += clean_group_s;
    guard_pair.add(clean_group_s * 1000, guard_group_s * 1000);
    ours_deleted += outcome.affected;
    ours_skipped += outcome.skipped;
    all_ok = all_ok && outcome.ok;
    DeleteFileW(outcome.record_path.c_str());
  }
  print_rate("bare DeleteFileW loop", bare_deleted, delete_s);
  print_rate("bare guard sequence per file", guard_deleted, guard_s);
  print_rate("execute_cleanup (report, pins, checks)", ours_deleted, clean_s);
  std::printf("  ratio ours / DeleteFileW: %.2f\n", clean_s / delete_s);
  print_ratio("cleanup / bare guard sequence (per group)", guard_pair, 1.10);
  std::printf("  outcome: all ok %d, deleted %llu, skipped %llu\n", all_ok ? 1 : 0,
              static_cast<unsigned long long>(ours_deleted), static_cast<unsigned long long>(ours_skipped));

  std::error_code ignored;
  std::filesystem::remove_all(base, ignored);
  return all_ok && ours_deleted == items ? 0 : 1;
}
