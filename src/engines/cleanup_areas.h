#pragma once
// The twelve cleanup areas, browser profile caches, and the two safety probes shared by
// the scan and the cleanup run.

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
};

// The twelve areas in display order, browser roots filled in. Throws when the local
// application data folder cannot be resolved.
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

}  // namespace corvane
