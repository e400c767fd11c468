#pragma once
// The user's profile folder as the machine records it. The per-user folder settings (Startup,
// local application data, ...) can be pointed anywhere by any program of the user; the profile
// list in HKEY_LOCAL_MACHINE cannot.

#include "services/pinned_folders.h"

#include <string>

namespace corvane {

// "ProfileImagePath" of HKLM\SOFTWARE\Microsoft\Windows NT\CurrentVersion\ProfileList\<the
// process user's SID>, expanded. Throws when it is missing or not a text, or the Windows text.
std::wstring user_profile_folder();

// True when the deepest folder of pins lies inside profile (not equal to it), judged by the
// final paths of both; false also when the profile folder has a link on its way.
bool pinned_folder_in_profile(PinnedFolders& pins, const std::wstring& profile);

}  // namespace corvane
