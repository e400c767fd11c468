#pragma once
// The user's profile folder as the machine records it. The per-user folder settings (Startup,
// local application data, ...) can be pointed anywhere by any program of the user; the profile
// list in HKEY_LOCAL_MACHINE cannot.

#include "services/pinned_folders.h"

#include <string>

namespace corvane {

// "ProfileImagePath" of HKLM\SOFTWARE\Microsoft\Windows NT\CurrentVersion\ProfileList\<the
// process user's SID>, expanded by expand_profile_path. Throws when it is missing or not a text,
// when it names another variable, or the Windows text.
std::wstring user_profile_folder();

// user_profile_folder, or empty when it cannot be had: nothing lies inside an unknown profile.
std::wstring user_profile_folder_or_empty();

// text with %SystemDrive%, %SystemRoot% and %windir% (any letter case) replaced by what the
// system itself says (its Windows folder), never by the process environment, which whoever
// starts Corvane sets. Any other variable throws; a lone "%" stays as it is.
std::wstring expand_profile_path(const std::wstring& text);

// True when the deepest folder of pins lies inside profile (not equal to it), judged by the
// final paths of both; false also when the profile folder has a link on its way.
bool pinned_folder_in_profile(PinnedFolders& pins, const std::wstring& profile);

// The same for the folder that pins hold at level (0 the first one below the drive root).
bool pinned_level_in_profile(PinnedFolders& pins, std::size_t level, const std::wstring& profile);

// The same for one open folder, by its final path.
bool folder_handle_in_profile(HANDLE folder, const std::wstring& profile);

// True when folder lies inside the recorded profile folder (not equal to it): by its path, and
// by final paths after its chain has been pinned (no link on the way). False when the profile
// cannot be read or the folder cannot be pinned (a missing one included).
bool folder_in_profile(const std::wstring& folder);

}  // namespace corvane
