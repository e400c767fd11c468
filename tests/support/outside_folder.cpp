#include "outside_folder.h"

#include "scratch.h"
#include "services/shell.h"
#include "services/user_profile.h"

#include <filesystem>

namespace corvane::testing {

OutsideFolder::OutsideFolder()
    : path_(std::filesystem::path(windows_folder()).root_path().wstring() + L"corvane-test-" + random_name()) {
  std::filesystem::create_directories(path_);
}

OutsideFolder::~OutsideFolder() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

ProfileSiblingFolder::ProfileSiblingFolder() : path_(user_profile_folder() + L"-x") {
  std::error_code error;
  made_ = std::filesystem::create_directory(path_, error) && !error;
}

ProfileSiblingFolder::~ProfileSiblingFolder() {
  if (!made_) return;
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

namespace {

void redirect_user_folder(StartupScratch& scratch, const wchar_t* setting, const std::wstring& folder) {
  scratch.replace_value(kHiveCurrentUser, L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders",
                        setting, expand_string_value(folder));
}

}  // namespace

void redirect_local_app_data(StartupScratch& scratch, const std::wstring& folder) {
  redirect_user_folder(scratch, L"Local AppData", folder);
}

void redirect_desktop(StartupScratch& scratch, const std::wstring& folder) {
  redirect_user_folder(scratch, L"Desktop", folder);
}

}  // namespace corvane::testing
