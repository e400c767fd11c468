#include "support/backups_guard.h"

#include "services/documents.h"

#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <system_error>

namespace corvane::testing {
namespace {

std::set<std::wstring> current_files() {
  std::set<std::wstring> files;
  std::error_code error;
  for (std::filesystem::directory_iterator it(backups_folder(), error), end; !error && it != end;
       it.increment(error)) {
    files.insert(it->path().wstring());
  }
  return files;
}

}  // namespace

BackupsGuard::BackupsGuard() : before_(current_files()) {}

BackupsGuard::~BackupsGuard() {
  for (const std::wstring& path : new_files()) {
    std::error_code ignored;
    std::filesystem::remove_all(path, ignored);
  }
}

std::vector<std::wstring> BackupsGuard::new_files() const {
  std::vector<std::wstring> added;
  for (const std::wstring& path : current_files()) {
    if (before_.count(path) == 0) added.push_back(path);
  }
  return added;
}

BackupsFolderBlocked::BackupsFolderBlocked() {
  const std::filesystem::path folder(backups_folder());
  std::filesystem::create_directories(folder.parent_path());
  if (std::filesystem::exists(folder)) {
    moved_ = folder.wstring() + L".moved-by-test";
    std::filesystem::rename(folder, moved_);
  }
  std::ofstream blocker(folder);
  if (!blocker) throw std::runtime_error("cannot block the Backups folder");
}

BackupsFolderBlocked::~BackupsFolderBlocked() {
  std::error_code ignored;
  std::filesystem::remove(backups_folder(), ignored);
  if (!moved_.empty()) std::filesystem::rename(moved_, backups_folder(), ignored);
}

}  // namespace corvane::testing
