#pragma once
// Guarded deletion of one scanned file: the file is deleted only when it is still the very
// file the scan saw, in the place the scan saw it, reached through plain folders only.

#include "engines/cleanup_scan.h"
#include "services/pinned_folders.h"

namespace corvane {

// True only when the delete disposition was set on the file (it disappears as its handle
// closes); false for every refusal, without a reason.
bool delete_scanned_file(const CleanupItem& item);

// The same, reusing the folders already pinned in pins and leaving the new chain pinned.
// Elevated, a root outside the system's Windows folder must lie inside the user's profile, by
// its path and its pinned folder by final path; asked once per root while its folders stay
// pinned. Without elevated, as process_elevated says.
bool delete_scanned_file(const CleanupItem& item, PinnedFolders& pins, bool elevated);
bool delete_scanned_file(const CleanupItem& item, PinnedFolders& pins);

}  // namespace corvane
