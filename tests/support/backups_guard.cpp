#include "support/backups_guard.h"

#include "services/documents.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <system_error>
#include <utility>

namespace corvane::testing {

NewFilesGuard::NewFilesGuard(std::wstring folder) : folder_(std::move(folder)), before_(current_files()) {}

NewFilesGuard::~NewFilesGuard() {
  for (const std::wstring& path : new_files()) {
    std::error_code ignored;
    std::filesystem::remove_all(path, ignored);
  }
}

std::set<std::wstring> NewFilesGuard::current_files() const {
  std::set<std::wstring> files;
  std::error_code error;
  for (std::filesystem::directory_iterator it(folder_, error), end; !error && it != end; it.increment(error)) {
    files.insert(it->path().wstring());
  }
  return files;
}

std::vector<std::wstring> NewFilesGuard::new_files() const {
  std::vector<std::wstring> added;
  for (const std::wstring& path : current_files()) {
    if (before_.count(path) == 0) added.push_back(path);
  }
  return added;
}

BackupsGuard::BackupsGuard() : NewFilesGuard(backups_folder()) {}

ReportsGuard::ReportsGuard() : NewFilesGuard(reports_folder()) {}

namespace {

class NewReportsRemoved : public ::testing::Environment {
 public:
  void SetUp() override { guard_ = std::make_unique<ReportsGuard>(); }
  void TearDown() override { guard_.reset(); }

 private:
  std::unique_ptr<ReportsGuard> guard_;
};

}  // namespace

bool remove_new_reports_after_the_run() {
  ::testing::AddGlobalTestEnvironment(new NewReportsRemoved);
  return true;
}

BackupsFolderBlocked::BackupsFolderBlocked() : aside_(backups_folder()) { aside_.put_file("blocked by a test"); }

}  // namespace corvane::testing
