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
bool delete_scanned_file(const CleanupItem& item, PinnedFolders& pins);

}  // namespace corvane
