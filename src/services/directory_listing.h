#pragma once
// One folder's listing through FindFirstFileExW, and joining a name onto a folder path.

#include "services/handles.h"

#include <windows.h>

#include <string>

namespace corvane {

struct DirectoryListing {
  UniqueFindHandle handle;
  WIN32_FIND_DATAW entry{};  // the current entry; "." and ".." are never presented
  bool first_pending = false;
};

// Opens the listing of folder; false when it cannot be opened. An empty folder opens.
bool open_listing(const std::wstring& folder, DirectoryListing& listing);

// Moves to the next entry (the first one after opening); false at the end. An error while
// advancing throws "directory_iterator::operator++: " followed by the Windows text.
bool next_entry(DirectoryListing& listing);

// folder + "\" + name, without doubling a separator that folder already ends with.
std::wstring join_path(const std::wstring& folder, const std::wstring& name);

}  // namespace corvane
