// ctest-resource-lock: data_folder reports_folder
#include "engines/backup_restore.h"

#include "services/documents.h"
#include "services/registry.h"
#include "services/registry_transaction.h"
#include "services/text.h"
#include "support/activity_watch.h"
#include "support/backups_guard.h"
#include "support/scratch.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace corvane {
namespace {

using nlohmann::json;
using testing::ActivityWatch;
using testing::BackupsGuard;
using testing::ScratchKey;

const wchar_t kRefusedState[] = L"This backup has already been restored or was not applied";
const wchar_t kChangedSince[] = L"Registry changed after this backup. Restore cancelled to preserve newer changes.";

// Wine reads the token as elevated and keeps no owner on files, so an elevated restore would
// refuse every document: these tests restore the way a non-elevated Corvane does.
RestoreHandlers unelevated_handlers() {
  RestoreHandlers handlers = system_restore_handlers();
  handlers.elevated = false;
  return handlers;
}

RegistryValue target(const std::wstring& key, const std::wstring& name, ValueState value = {}) {
  RegistryValue result;
  result.key = key;
  result.name = name;
  result.value = std::move(value);
  return result;
}

bool key_exists(const std::wstring& path) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ | KEY_WOW64_64KEY, &key) != ERROR_SUCCESS) {
    return false;
  }
  RegCloseKey(key);
  return true;
}

// Three values under a scratch key: A changes, B is created under two new keys, C is deleted.
class BackupRestore : public ::testing::Test {
 protected:
  void SetUp() override {
    write_registry_value(target(key.path(), L"A", make_dword_value(1)));
    write_registry_value(target(key.path(), L"C", make_string_value(L"old")));
    deep = key.sub(L"New\\Deep");
    changes = {target(key.path(), L"A", make_dword_value(2)), target(deep, L"B", make_string_value(L"new")),
               target(key.path(), L"C")};
  }

  // Applies the changes; returns the backup document's path.
  std::wstring apply(const std::wstring& label = L"Test change") {
    const Outcome outcome = apply_registry_changes(changes, label, backups_folder());
    if (!outcome.ok) throw std::runtime_error("apply failed: " + wide_to_utf8(outcome.message));
    return outcome.record_path;
  }

  ValueState value(const std::wstring& key_path, const std::wstring& name) {
    return read_registry_value(target(key_path, name));
  }

  bool original_state() {
    return value(key.path(), L"A") == make_dword_value(1) && value(key.path(), L"C") == make_string_value(L"old") &&
           value(deep, L"B") == ValueState{} && !key_exists(key.sub(L"New"));
  }

  bool changed_state() {
    return value(key.path(), L"A") == make_dword_value(2) && value(key.path(), L"C") == ValueState{} &&
           value(deep, L"B") == make_string_value(L"new");
  }

  ScratchKey key;
  BackupsGuard backups;
  ActivityWatch activity;
  std::wstring deep;
  std::vector<RegistryValue> changes;
};

TEST_F(BackupRestore, RestoreBringsBackTheOriginalValuesAndMarksTheDocument) {
  const std::wstring path = apply();
  ASSERT_TRUE(changed_state());
  const json applied = read_json_file(path);

  const Outcome outcome = restore_backup(path, nullptr, {}, unelevated_handlers());
  ASSERT_TRUE(outcome.ok) << wide_to_utf8(outcome.message);
  EXPECT_EQ(outcome.affected, 3u);
  EXPECT_TRUE(original_state()) << "values not restored or created keys left behind";

  json expected = applied;
  expected["state"] = "restored";
  EXPECT_EQ(testing::read_file_bytes(path), dump_json_document(expected));

  // The restore is itself an ordinary, restorable change with its own backup.
  EXPECT_EQ(read_json_file(outcome.record_path)["label"], "Restore: Test change");

  const Outcome again = restore_backup(path, nullptr, {}, unelevated_handlers());
  EXPECT_FALSE(again.ok);
  EXPECT_EQ(again.message, kRefusedState);
  EXPECT_EQ(testing::read_file_bytes(path), dump_json_document(expected));
}

TEST_F(BackupRestore, OneValueChangedSinceRefusesTheWholeRestore) {
  const std::wstring path = apply();
  write_registry_value(target(key.path(), L"C", make_string_value(L"newer")));
  const std::string bytes = testing::read_file_bytes(path);
  const std::size_t files = backups.new_files().size();

  const Outcome outcome = restore_backup(path, nullptr, {}, unelevated_handlers());
  EXPECT_FALSE(outcome.ok);
  EXPECT_EQ(outcome.message, kChangedSince);
  EXPECT_EQ(value(key.path(), L"A"), make_dword_value(2)) << "a value was written before the refusal";
  EXPECT_EQ(value(deep, L"B"), make_string_value(L"new"));
  EXPECT_EQ(value(key.path(), L"C"), make_string_value(L"newer"));
  EXPECT_EQ(testing::read_file_bytes(path), bytes);
  EXPECT_EQ(backups.new_files().size(), files);
  EXPECT_EQ(activity.lines("restore").size(), 1u);
}

TEST_F(BackupRestore, TheLabelIsReadOnlyWhenValuesAreWrittenBack) {
  const std::wstring path = apply();
  json document = read_json_file(path);
  document["label"] = 5;
  write_json_atomic(path, document);
  const std::string bytes = testing::read_file_bytes(path);

  // Something to write back: the label is needed, and its wrong type stops the restore.
  const Outcome refused = restore_backup(path, nullptr, {}, unelevated_handlers());
  EXPECT_FALSE(refused.ok);
  EXPECT_EQ(refused.message, L"[json.exception.type_error.302] type must be string, but is number");
  EXPECT_TRUE(changed_state());
  EXPECT_EQ(testing::read_file_bytes(path), bytes);

  // Everything put back by hand: nothing to write, so no label is read.
  for (const RegistryValue& original : {target(key.path(), L"A", make_dword_value(1)), target(deep, L"B"),
                                        target(key.path(), L"C", make_string_value(L"old"))}) {
    write_registry_value(original);
  }
  const Outcome matched = restore_backup(path, nullptr, {}, unelevated_handlers());
  ASSERT_TRUE(matched.ok) << wide_to_utf8(matched.message);
  EXPECT_EQ(matched.message, L"Already matches the original values");
  EXPECT_TRUE(original_state()) << "created keys left behind";
  EXPECT_EQ(read_json_file(path)["state"], "restored");
}

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
