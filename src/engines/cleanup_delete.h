#pragma once
// Guarded deletion of one scanned file: the file is deleted only when it is still the very
// file the scan saw, in the place the scan saw it, reached through plain folders only.

#include "engines/cleanup_scan.h"

#include <windows.h>

#include <string>
#include <vector>

namespace corvane {

// Owns Win32 handles; closes each one that is neither null nor INVALID_HANDLE_VALUE, in
// list order, when destroyed or cut back.
struct HandleList {
  std::vector<HANDLE> handles;

  HandleList() = default;
  HandleList(const HandleList&) = delete;
  HandleList& operator=(const HandleList&) = delete;
  ~HandleList() { close_from(0); }

  void add(HANDLE handle) { handles.push_back(handle); }
  // Closes the handles from position keep on, in list order, and drops them from the list.
  void close_from(std::size_t keep);
};

// The folders above the file being deleted, each held open without delete sharing so that
// none of them can be moved, deleted or replaced meanwhile. A run keeps one chain between
// items and reopens only the levels where the next file's folder differs.
struct PinnedFolders {
  std::vector<std::wstring> paths;  // every prefix of the parent folder, shortest first
  HandleList handles;               // one per path, same order
  std::wstring final_path_buffer;   // scratch for GetFinalPathNameByHandleW

  void release_from(std::size_t level);
};

// True only when the delete disposition was set on the file (it disappears as its handle
// closes); false for every refusal, without a reason.
bool delete_scanned_file(const CleanupItem& item);

// The same, reusing the folders already pinned in pins and leaving the new chain pinned.
bool delete_scanned_file(const CleanupItem& item, PinnedFolders& pins);

}  // namespace corvane
