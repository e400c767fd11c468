#pragma once
// Guards of the folders where the program leaves documents: the data folder's Backups and the
// Reports folder. Only for test programs that lock the folder ("data_folder", "reports_folder"),
// so that every new file there is their own.

#include "support/set_aside.h"

#include <set>
#include <string>
#include <vector>

namespace corvane::testing {

// Removes the files that appeared in a folder while it lived.
class NewFilesGuard {
 public:
  explicit NewFilesGuard(std::wstring folder);
  ~NewFilesGuard();
  NewFilesGuard(const NewFilesGuard&) = delete;
  NewFilesGuard& operator=(const NewFilesGuard&) = delete;

  // Files in the folder (any extension) that were not there at construction, sorted.
  std::vector<std::wstring> new_files() const;

 private:
  std::set<std::wstring> current_files() const;

  std::wstring folder_;
  std::set<std::wstring> before_;
};

// The data folder's Backups.
class BackupsGuard : public NewFilesGuard {
 public:
  BackupsGuard();
};

// The Reports folder (reports, exports and the activity log when this program made it).
class ReportsGuard : public NewFilesGuard {
 public:
  ReportsGuard();
};

// Registers a test environment that removes, once every test of the program has run, the files
// that appeared in the Reports folder meanwhile. A test file keeps the result in a global.
bool remove_new_reports_after_the_run();

// While it lives, the Backups folder cannot be created: the real folder is set aside and a
// plain file takes its name, so every document write there fails.
class BackupsFolderBlocked {
 public:
  BackupsFolderBlocked();
  BackupsFolderBlocked(const BackupsFolderBlocked&) = delete;
  BackupsFolderBlocked& operator=(const BackupsFolderBlocked&) = delete;

 private:
  PathSetAside aside_;
};

}  // namespace corvane::testing
