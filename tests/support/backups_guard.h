#pragma once
// Removes the files that appeared in the data folder's Backups folder while it lived.
// Only for test programs that lock "data_folder", so that every new file there is their own.

#include <set>
#include <string>
#include <vector>

namespace corvane::testing {

class BackupsGuard {
 public:
  BackupsGuard();
  ~BackupsGuard();
  BackupsGuard(const BackupsGuard&) = delete;
  BackupsGuard& operator=(const BackupsGuard&) = delete;

  // Files in the Backups folder (any extension) that were not there at construction, sorted.
  std::vector<std::wstring> new_files() const;

 private:
  std::set<std::wstring> before_;
};

// While it lives, the Backups folder cannot be created: the real folder is moved aside and a
// plain file takes its name, so every document write there fails.
class BackupsFolderBlocked {
 public:
  BackupsFolderBlocked();
  ~BackupsFolderBlocked();
  BackupsFolderBlocked(const BackupsFolderBlocked&) = delete;
  BackupsFolderBlocked& operator=(const BackupsFolderBlocked&) = delete;

 private:
  std::wstring moved_;  // where the real folder waits, or empty when there was none
};

}  // namespace corvane::testing
