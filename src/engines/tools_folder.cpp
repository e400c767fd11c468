#include "engines/tools_folder.h"

#include "services/folder_files.h"
#include "services/pinned_folders.h"
#include "services/shell.h"
#include "services/system_info.h"
#include "services/text.h"
#include "services/user_profile.h"

#include <windows.h>
#include <shlobj.h>

#include <exception>

namespace corvane {

namespace {

Outcome failure(std::wstring message) {
  Outcome outcome;
  outcome.ok = false;
  outcome.message = std::move(message);
  return outcome;
}

}  // namespace

Outcome create_tools_folder() { return create_tools_folder(process_elevated()); }

Outcome create_tools_folder(bool elevated) {
  try {
    const std::wstring desktop = known_folder_path(FOLDERID_Desktop);
    std::wstring path = desktop;
    if (!path.empty() && path.back() != L'\\' && path.back() != L'/') path += L'\\';
    path += kToolsFolderName;

    const std::wstring profile = elevated ? user_profile_folder_or_empty() : std::wstring();
    if (elevated && !path_strictly_inside(profile, desktop)) return failure(kDesktopOutsideProfileMessage);
    PinnedFolders pins;  // the Desktop and the folders above it, held until the folder is made
    const DWORD pinned = pin_folder_chain(desktop, pins, false, folder_links_for(elevated));
    if (pinned == ERROR_REPARSE_POINT_ENCOUNTERED && elevated) return failure(kDesktopOutsideProfileMessage);
    if (pinned != ERROR_SUCCESS) return failure(windows_error_text(pinned));
    if (elevated && !pinned_folder_in_profile(pins, profile)) return failure(kDesktopOutsideProfileMessage);

    const HANDLE held = pins.handles.handles.back();
    DWORD error = ERROR_SUCCESS;
    bool created = false;
    const UniqueHandle folder = open_folder_in_folder(held, kToolsFolderName, FILE_READ_ATTRIBUTES,
                                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                                      FolderFileOpen::open_or_create, error, &created);
    // A file of that name, or a link in its place, is in the way, as for a folder made by path.
    if (error == ERROR_DIRECTORY) return failure(windows_error_text(ERROR_ALREADY_EXISTS));
    if (!folder) return failure(windows_error_text(error));
    if (!opened_folder_is_no_link(folder.get()) || !file_lies_in_folder(folder.get(), held, kToolsFolderName)) {
      return failure(windows_error_text(ERROR_ALREADY_EXISTS));
    }

    Outcome outcome;
    outcome.message = path;
    outcome.affected = created ? 1 : 0;
    return outcome;
  } catch (const std::exception& e) {
    return failure(utf8_to_wide_lenient(e.what()));
  }
}

}  // namespace corvane
