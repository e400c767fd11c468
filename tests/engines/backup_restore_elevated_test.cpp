// ctest-resource-lock: data_folder reports_folder
#include "engines/backup_restore.h"

#include "services/registry.h"
#include "services/registry_transaction.h"
#include "support/backups_guard.h"
#include "support/scratch.h"

#include <gtest/gtest.h>

namespace corvane {
namespace {

// Wine keeps no owner on files: every document here reads as the user's own.
TEST(ElevatedRestore, ADocumentTheUserCouldChangeIsRefusedAndNothingChanges) {
  const testing::ScratchKey key;
  const testing::ScratchFolder scratch;
  const testing::BackupsGuard backups;
  const RegistryValue value{0, key.path(), L"v", make_dword_value(1)};
  write_registry_value(value);
  const Outcome applied = apply_registry_changes({{0, key.path(), L"v", make_dword_value(2)}}, L"t", scratch.path());
  ASSERT_TRUE(applied.ok);
  const std::string bytes = testing::read_file_bytes(applied.record_path);

  RestoreHandlers handlers = system_restore_handlers();
  handlers.elevated = true;
  EXPECT_EQ(restore_backup(applied.record_path, nullptr, {}, handlers).message, kUnprotectedBackupMessage);
  EXPECT_EQ(read_registry_value(value), make_dword_value(2));
  EXPECT_EQ(testing::read_file_bytes(applied.record_path), bytes);
  handlers.elevated = false;
  EXPECT_TRUE(restore_backup(applied.record_path, nullptr, {}, handlers).ok);
  EXPECT_EQ(read_registry_value(value), make_dword_value(1));
}

}  // namespace
}  // namespace corvane
