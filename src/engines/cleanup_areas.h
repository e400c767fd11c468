#pragma once
// The twelve cleanup areas, browser profile caches, and the safety probes shared by the scan
// and the cleanup run.

#include <cstdint>
#include <string>
#include <vector>

namespace corvane {

struct CleanupArea {
  std::string id;  // stable ASCII key: selection set, report "group"
  std::wstring name_vi;
  std::wstring name_en;
  std::wstring description_vi;
  std::wstring description_en;
  bool selected_by_default = false;
  bool needs_admin = false;          // travels with the record; neither scan nor run consults it
  std::wstring process_name;         // program that must not run while scanned or cleaned
  std::vector<std::wstring> roots;   // absolute folders to walk
  std::wstring pattern;              // PathMatchSpecW syntax; "*" matches every name
  std::int32_t min_age_days = 0;     // minimum age of the last write
  std::wstring action;               // "@recycle" or "@diskcleanup"; empty for a scanned area
  bool recursive = false;
  // Elevated, and the folder the roots hang from lies outside the user's profile: the area was
  // given no roots, and a scan of it says why.
  bool roots_withheld = false;
};

// Why an elevated scan cleans nothing under the local application data folder. The scan carries
// the English text; the Vietnamese one is for the user interface.
inline constexpr wchar_t kLocalDataOutsideProfileMessage[] =
    L"Your local application data folder is outside your user profile, so Corvane running as administrator does "
    L"not clean the areas inside it.";
inline constexpr wchar_t kLocalDataOutsideProfileMessageVi[] =
    L"Thư mục dữ liệu ứng dụng cục bộ của bạn nằm ngoài hồ sơ người dùng, nên Corvane chạy với quyền quản trị "
    L"không dọn các vùng trong thư mục đó.";

// The twelve areas in display order, browser roots filled in. Throws when the local
// application data folder cannot be resolved. Elevated, the six areas under that folder get
// their roots only when it lies inside the user's profile (folder_in_profile); otherwise they
// have none and roots_withheld is set. Without elevated, as process_elevated says.
std::vector<CleanupArea> default_cleanup_areas(bool elevated);
std::vector<CleanupArea> default_cleanup_areas();

// Appends the cache folders of the profiles directly under profile_root: "cache2" of every
// profile folder (firefox_layout), else "Cache", "Code Cache" and "GPUCache" of "Default",
// "Guest Profile" and "Profile *". Linked folders are passed over.
void find_browser_caches(const std::wstring& profile_root, std::vector<std::wstring>& roots, bool firefox_layout);

// True when a process with this executable name runs (case-insensitive), and also when the
// process list cannot be read. An empty name never runs.
bool is_process_running(const std::wstring& exe_name);

// True when path is an absolute drive path below its root whose every component exists as
// a directory that is not a reparse point (no link, junction or mount point on the way).
bool is_plain_directory_chain(const std::wstring& path);

// True when root is the system's Windows folder or lies inside it, by path: such a root is the
// system's own, and an elevated scan or run does not hold it to the user's profile.
bool in_system_windows_folder(const std::wstring& root);

}  // namespace corvane
