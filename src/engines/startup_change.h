#pragma once
// Enabling, disabling and removing one startup entry, and undoing it from its journal.

#include "engines/startup_list.h"
#include "services/pinned_folders.h"
#include "services/registry_value.h"

#include <nlohmann/json.hpp>

#include <string>
#include <vector>

namespace corvane {

// The Backups folder's "StartupFiles" folder, where removed Startup-folder files are kept.
std::wstring startup_files_folder();

// Pins folder, from below the drive root down, for a move into or out of it, making missing
// folders when asked. Throws "Startup journal path is a link" for a link or junction anywhere on
// the way; else, when asked to make folders, the filesystem error "create_directories", and
// otherwise the Windows text.
void pin_startup_folder(const std::wstring& folder, PinnedFolders& pins, bool create_missing);

// Enables, disables (enable false) or removes (remove true) a listed entry after re-checking
// it against the listing. Run values change through one registry transaction; files and
// tasks are recorded first in a "startup" journal in the Backups folder. Never throws.
Outcome change_startup_entry(const StartupEntry& entry, bool enable, bool remove);

// The StartupApproved rewrites that make the entry enabled for Windows (possibly none).
// Throws when an approval's form is unknown or a value changed since the listing.
std::vector<RegistryValue> plan_startup_approval_enable(const StartupEntry& entry);

// Undoes the change a "startup" journal records. Neither writes the journal nor logs.
// Never throws.
Outcome restore_startup_journal(const nlohmann::json& document);

}  // namespace corvane
