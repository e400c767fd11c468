#include "services/user_profile.h"

#include "services/protected_documents.h"
#include "services/registry.h"
#include "services/shell.h"
#include "services/text.h"

#include <optional>
#include <stdexcept>

namespace corvane {

namespace {

// The system's own value of a variable that a recorded profile path may name, or nothing.
std::optional<std::wstring> system_variable(const std::wstring& name) {
  const std::wstring windows = system_windows_folder();
  if (windows.size() < 3 || windows[1] != L':') return std::nullopt;
  const std::wstring lower = lower_case(name);
  if (lower == L"systemdrive") return windows.substr(0, 2);
  if (lower == L"systemroot" || lower == L"windir") return windows;
  return std::nullopt;
}

}  // namespace

std::wstring expand_profile_path(const std::wstring& text) {
  std::wstring expanded;
  std::size_t pos = 0;
  while (pos < text.size()) {
    const std::size_t open = text.find(L'%', pos);
    const std::size_t close = open == std::wstring::npos ? std::wstring::npos : text.find(L'%', open + 1);
    if (close == std::wstring::npos) {
      expanded.append(text, pos, std::wstring::npos);
      break;
    }
    const std::optional<std::wstring> value = system_variable(text.substr(open + 1, close - open - 1));
    if (!value) throw std::runtime_error("The user's profile folder names a variable of its own");
    expanded.append(text, pos, open - pos);
    expanded += *value;
    pos = close + 1;
  }
  return expanded;
}

std::wstring user_profile_folder() {
  const RegistryValue entry{kHiveLocalMachine,
                            L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList\\" + process_user_sid(),
                            L"ProfileImagePath",
                            {}};
  const ValueState value = read_registry_value(entry);
  if (!value.exists || (value.type != REG_SZ && value.type != REG_EXPAND_SZ)) {
    throw std::runtime_error("The user's profile folder is not recorded");
  }
  return expand_profile_path(describe_value(value));
}

std::wstring user_profile_folder_or_empty() {
  try {
    return user_profile_folder();
  } catch (const std::exception&) {
    return {};
  }
}

bool pinned_folder_in_profile(PinnedFolders& pins, const std::wstring& profile) {
  return !pins.handles.handles.empty() && pinned_level_in_profile(pins, pins.handles.handles.size() - 1, profile);
}

bool pinned_level_in_profile(PinnedFolders& pins, std::size_t level, const std::wstring& profile) {
  if (level >= pins.handles.handles.size() || profile.empty()) return false;
  const HANDLE folder = pins.handles.handles[level];
  // Mostly the profile hangs from the same drive as the chain, spelt as the final path spells
  // it: then the folder's final path alone answers, with no need to pin the profile's chain.
  if (final_path_inside_as_written(pins, final_path_of(folder), profile)) return true;
  return folder_handle_in_profile(folder, profile);
}

bool folder_handle_in_profile(HANDLE folder, const std::wstring& profile) {
  PinnedFolders profile_pins;
  if (pin_folder_chain(profile, profile_pins) != ERROR_SUCCESS) return false;
  const std::wstring profile_path = final_path_of(profile_pins.handles.handles.back());
  const std::wstring folder_path = final_path_of(folder);
  return !profile_path.empty() && !folder_path.empty() && path_strictly_inside(profile_path, folder_path);
}

bool folder_in_profile(const std::wstring& folder) {
  const std::wstring profile = user_profile_folder_or_empty();
  if (!path_strictly_inside(profile, folder)) return false;
  PinnedFolders pins;
  return pin_folder_chain(folder, pins) == ERROR_SUCCESS && pinned_folder_in_profile(pins, profile);
}

}  // namespace corvane
