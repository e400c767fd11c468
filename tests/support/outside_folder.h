#pragma once
// A data folder outside the user's profile: a folder below the system drive's root, and the
// user's "Local AppData" folder setting pointed at a folder for a while.

#include "support/startup_scratch.h"

#include <string>

namespace corvane::testing {

// C:\corvane-test-<random>, made at once and removed with what it holds.
class OutsideFolder {
 public:
  OutsideFolder();
  ~OutsideFolder();
  OutsideFolder(const OutsideFolder&) = delete;
  OutsideFolder& operator=(const OutsideFolder&) = delete;

  const std::wstring& path() const { return path_; }

 private:
  std::wstring path_;
};

// The recorded profile folder's path with "-x" appended: beside the profile, and its path text
// begins with the profile's. Made at once when it does not exist yet, and then removed with what
// it holds; made() is false when it existed before (it is left alone) or could not be made.
class ProfileSiblingFolder {
 public:
  ProfileSiblingFolder();
  ~ProfileSiblingFolder();
  ProfileSiblingFolder(const ProfileSiblingFolder&) = delete;
  ProfileSiblingFolder& operator=(const ProfileSiblingFolder&) = delete;

  const std::wstring& path() const { return path_; }
  bool made() const { return made_; }

 private:
  std::wstring path_;
  bool made_ = false;
};

// Points the user's "Local AppData" folder setting at folder, which must exist (else the known
// folder cannot be read under Wine), until scratch puts it back.
void redirect_local_app_data(StartupScratch& scratch, const std::wstring& folder);

// The same for the user's "Desktop" folder setting.
void redirect_desktop(StartupScratch& scratch, const std::wstring& folder);

}  // namespace corvane::testing
