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

// Why an elevated Corvane refused to move a Startup-folder file: the per-user folder settings
// that place the Startup and data folders can be changed by any program of the user. The
// outcome carries the English text; the Vietnamese one is for the user interface.
inline constexpr wchar_t kStartupOutsideProfileMessage[] =
    L"The Startup folder is outside your user profile. Make this change with Corvane running without "
    L"administrator access.";
inline constexpr wchar_t kStartupOutsideProfileMessageVi[] =
    L"Thư mục Startup nằm ngoài hồ sơ người dùng của bạn. Hãy thực hiện thay đổi này khi mở Corvane không "
    L"dùng quyền quản trị.";

// Why a Startup-folder move failed after it was checked: the file's rename led out of the folder
// that was checked (a folder turned into a link meanwhile), and the file went back. The second
// text is followed by the path where the file is, and a full stop, when it could not go back.
inline constexpr wchar_t kStartupMoveRedirectedMessage[] =
    L"A folder changed while the startup file was being moved, so the file was put back where it was. Nothing "
    L"was changed.";
inline constexpr wchar_t kStartupMoveRedirectedMessageVi[] =
    L"Một thư mục đã thay đổi trong lúc tệp khởi động đang được di chuyển, nên tệp đã được đặt lại chỗ cũ. Không "
    L"có gì bị thay đổi.";
inline constexpr wchar_t kStartupMoveStrandedMessage[] =
    L"A folder changed while the startup file was being moved, and the file could not be put back. It is now at ";

// Pins folder, from below the drive root down, for a move into or out of it, making missing
// folders when asked. Unelevated, the user's own links on the way are followed first and the
// folder they lead to is pinned. Elevated, a link or junction anywhere on the way throws
// kDataFolderThroughLinkMessage for a folder of the data folder, else "Startup journal path is a
// link"; else, when asked to make folders, the filesystem error "create_directories", and
// otherwise the Windows text.
void pin_startup_folder(const std::wstring& folder, PinnedFolders& pins, bool create_missing, bool elevated);

// Pins the two folders a Startup-folder file moves between, making the destination's missing
// folders when asked. Elevated, both must lie inside the user's profile folder as the machine
// records it: checked on the paths before any folder is made, and on the pinned folders' final
// paths after; else throws kStartupOutsideProfileMessage, or first, for a folder of the data
// folder whose path lies outside, kDataFolderOutsideProfileMessage.
void pin_startup_move(const std::wstring& source_folder, const std::wstring& destination_folder,
                      bool create_destination, bool elevated, PinnedFolders& source_pins,
                      PinnedFolders& destination_pins);

// Enables, disables (enable false) or removes (remove true) a listed entry after re-checking
// it against the listing. Run values change through one registry transaction; files and
// tasks are recorded first in a "startup" journal in the Backups folder. Never throws.
// Startup-folder files move as pin_startup_move allows, elevated as process_elevated says.
Outcome change_startup_entry(const StartupEntry& entry, bool enable, bool remove);
Outcome change_startup_entry(const StartupEntry& entry, bool enable, bool remove, bool elevated);

// The StartupApproved rewrites that make the entry enabled for Windows (possibly none).
// Throws when an approval's form is unknown or a value changed since the listing.
std::vector<RegistryValue> plan_startup_approval_enable(const StartupEntry& entry);

// Undoes the change a "startup" journal records. Neither writes the journal nor logs.
// Never throws. A file moves back as pin_startup_move allows.
Outcome restore_startup_journal(const nlohmann::json& document);
Outcome restore_startup_journal(const nlohmann::json& document, bool elevated);

}  // namespace corvane
