#include "services/user_profile.h"

#include "services/protected_documents.h"
#include "services/registry.h"
#include "services/text.h"

#include <stdexcept>

namespace corvane {

std::wstring user_profile_folder() {
  const RegistryValue entry{kHiveLocalMachine,
                            L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList\\" + process_user_sid(),
                            L"ProfileImagePath",
                            {}};
  const ValueState value = read_registry_value(entry);
  if (!value.exists || (value.type != REG_SZ && value.type != REG_EXPAND_SZ)) {
    throw std::runtime_error("The user's profile folder is not recorded");
  }
  return expand_environment(describe_value(value));
}

bool pinned_folder_in_profile(PinnedFolders& pins, const std::wstring& profile) {
  if (pins.handles.handles.empty()) return false;
  PinnedFolders profile_pins;
  if (pin_folder_chain(profile, profile_pins) != ERROR_SUCCESS) return false;
  const std::wstring profile_path = final_path_of(profile_pins.handles.handles.back());
  const std::wstring folder_path = final_path_of(pins.handles.handles.back());
  return !profile_path.empty() && !folder_path.empty() && path_strictly_inside(profile_path, folder_path);
}

}  // namespace corvane
