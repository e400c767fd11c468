#include "engines/cleanup_delete.h"

#include "services/handles.h"
#include "services/system_info.h"
#include "services/text.h"
#include "services/user_profile.h"

namespace corvane {

namespace {

constexpr DWORD kFinalPathCapacity = 32768;

std::uint64_t combine(DWORD high, DWORD low) {
  return (static_cast<std::uint64_t>(high) << 32) | low;
}

// The folders from the first one below the drive root down to the file's parent, as path
// prefixes. False for anything but a plain drive path without "." or ".." elements.
bool parent_prefixes(const std::wstring& path, std::vector<std::wstring>& prefixes) {
  prefixes.clear();
  const std::size_t last = path.find_last_of(L"\\/");
  if (path.size() < 4 || path[1] != L':' || last == std::wstring::npos || last + 1 == path.size()) return false;
  return last == 2 || folder_chain(path.substr(0, last), prefixes);
}

bool pin_parent_folders(const std::wstring& path, PinnedFolders& pins) {
  std::vector<std::wstring> prefixes;
  if (!parent_prefixes(path, prefixes)) {
    pins.release_from(0);
    return false;
  }
  std::size_t level = 0;
  while (level < prefixes.size() && level < pins.paths.size() && pins.paths[level] == prefixes[level]) ++level;
  pins.release_from(level);
  for (; level < prefixes.size(); ++level) {
    if (pin_folder(prefixes[level], pins) != ERROR_SUCCESS) return false;
  }
  return true;
}

// For an elevated run: the root is the system's, or it and its pinned folder lie inside the
// user's profile. The root's chain must be pinned (as the file's folders are).
bool root_in_profile(const std::wstring& root, PinnedFolders& pins) {
  if (pins.in_profile_levels > 0 && root == pins.in_profile_root) return true;
  if (in_system_windows_folder(root)) return true;
  std::vector<std::wstring> chain;
  if (!folder_chain(root, chain) || !chain_is_pinned(root, pins)) return false;
  const std::wstring profile = user_profile_folder_or_empty();
  if (!path_strictly_inside(profile, root) || !pinned_level_in_profile(pins, chain.size() - 1, profile)) return false;
  pins.in_profile_root = root;
  pins.in_profile_levels = chain.size();
  return true;
}

bool same_identity(const BY_HANDLE_FILE_INFORMATION& info, const CleanupItem& item) {
  if ((info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) != 0) return false;
  return combine(info.nFileIndexHigh, info.nFileIndexLow) == item.file_index &&
         static_cast<std::uint64_t>(info.dwVolumeSerialNumber) == item.volume_serial &&
         combine(info.nFileSizeHigh, info.nFileSizeLow) == item.size &&
         combine(info.ftLastWriteTime.dwHighDateTime, info.ftLastWriteTime.dwLowDateTime) == item.last_write;
}

bool final_path_inside_root(HANDLE file, const CleanupItem& item, std::wstring& buffer) {
  buffer.resize(kFinalPathCapacity);
  const DWORD length = GetFinalPathNameByHandleW(file, buffer.data(), kFinalPathCapacity, 0);
  if (length < 1 || length > kFinalPathCapacity - 1) return false;
  buffer.resize(length);
  if (buffer.compare(0, 4, L"\\\\?\\") == 0) buffer.erase(0, 4);
  return path_strictly_inside(item.root, buffer);
}

}  // namespace

bool delete_scanned_file(const CleanupItem& item) {
  PinnedFolders pins;
  return delete_scanned_file(item, pins);
}

bool delete_scanned_file(const CleanupItem& item, PinnedFolders& pins) {
  return delete_scanned_file(item, pins, process_elevated());
}

bool delete_scanned_file(const CleanupItem& item, PinnedFolders& pins, bool elevated) {
  if (!path_strictly_inside(item.root, item.path)) return false;
  // The root's folders are walked one by one unless the pins held from the previous file still
  // hold all of them and, read through their handles, are still plain folders: none can have
  // been renamed or removed since, but an emptied one can have been made a junction in place.
  // One made so after that read sends the open below elsewhere, which the final-path check
  // refuses. A root that is a drive, lies on another drive, or names "." or ".." never matches
  // the pins and is walked as ever.
  if (!held_pins_vouch_for(item.root, pins) && !is_plain_directory_chain(item.root)) return false;
  if (!pin_parent_folders(item.path, pins)) return false;
  // An item's root can lie outside the profile where its areas were made without that check.
  if (elevated && !root_in_profile(item.root, pins)) return false;

  const UniqueHandle file = adopt_handle(CreateFileW(item.path.c_str(), DELETE | FILE_READ_ATTRIBUTES, FILE_SHARE_READ,
                                                     nullptr, OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
  if (!file) return false;
  BY_HANDLE_FILE_INFORMATION info{};
  if (!GetFileInformationByHandle(file.get(), &info) || !same_identity(info, item)) return false;
  // No reparse point of any kind, links or not: deleting a file that cloud sync keeps online deletes
  // the user's copy in the cloud too.
  if ((handle_attribute_tag(file.get()).attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) return false;
  if (!final_path_inside_root(file.get(), item, pins.final_path_buffer)) return false;

  FILE_DISPOSITION_INFO disposition{};
  disposition.DeleteFile = TRUE;
  return SetFileInformationByHandle(file.get(), FileDispositionInfo, &disposition, sizeof disposition) != FALSE;
}

}  // namespace corvane
