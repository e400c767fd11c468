// ctest-resource-lock: reports_folder windows_theme catalogue_values
// Every registry value of the catalogue written for real through the registry transaction,
// read back, and put back from the transaction's own record. Each test starts with every value
// of the catalogue as a fresh Windows has it (no empty key left on their paths) and leaves them
// so however it ends.

#include "engines/feature.h"
#include "engines/feature_resolution.h"
#include "services/documents.h"
#include "services/handles.h"
#include "services/registry.h"
#include "services/registry_transaction.h"
#include "services/text.h"
#include "support/registry_baseline.h"
#include "support/scratch.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

namespace corvane {
namespace {

// Batch 0: every registry entry as resolved, every choice entry with its first choice.
// Batch k: every choice entry that has a choice k, with that choice.
std::vector<std::vector<RegistryValue>> catalogue_batches() {
  std::vector<std::vector<RegistryValue>> batches(1);
  for (const Feature& f : feature_catalogue()) {
    if (!f.action.empty()) continue;
    if (f.choices.empty()) {
      for (RegistryValue& change : resolve_feature_changes(f)) batches[0].push_back(std::move(change));
      continue;
    }
    for (std::size_t k = 0; k < f.choices.size(); ++k) {
      if (batches.size() <= k) batches.resize(k + 1);
      for (RegistryValue& change : f.changes_for_choice(k)) batches[k].push_back(std::move(change));
    }
  }
  return batches;
}

std::vector<ValueState> read_all(const std::vector<RegistryValue>& targets) {
  std::vector<ValueState> values;
  for (const RegistryValue& target : targets) values.push_back(read_registry_value(target));
  return values;
}

bool key_exists(std::uint32_t hive, const std::wstring& path) {
  HKEY raw = nullptr;
  if (RegOpenKeyExW(hive_root(hive), path.c_str(), 0, KEY_READ | KEY_WOW64_64KEY, &raw) != ERROR_SUCCESS) return false;
  RegCloseKey(raw);
  return true;
}

std::string describe(const RegistryValue& target) {
  return wide_to_utf8(hive_display_name(target.hive) + L"\\" + target.key + L" [" + target.name + L"]");
}

void expect_state(const std::vector<RegistryValue>& targets, const std::vector<ValueState>& expected) {
  const std::vector<ValueState> now = read_all(targets);
  for (std::size_t i = 0; i < targets.size(); ++i) EXPECT_EQ(now[i], expected[i]) << describe(targets[i]);
}

class CatalogueRegistry : public ::testing::Test {
 protected:
  void SetUp() override {
    batches_ = catalogue_batches();
    targets_ = batches_[0];
    std::vector<RegistryValue> baseline;
    for (const RegistryValue& target : targets_) {
      baseline.push_back(testing::catalogue_baseline(target));
      original_.push_back(baseline.back().value);
    }
    baseline_ = std::make_unique<testing::RegistryBaseline>(std::move(baseline));
    missing_keys_ = collect_created_keys(targets_);
  }

  void expect_original_state() {
    expect_state(targets_, original_);
    for (const auto& key : missing_keys_)
      EXPECT_FALSE(key_exists(key["hive"].get<std::uint32_t>(), utf8_to_wide(key["path"].get<std::string>())))
          << key["path"].get<std::string>() << " was left behind";
  }

  testing::ScratchFolder backups_;
  std::unique_ptr<testing::RegistryBaseline> baseline_;
  std::vector<std::vector<RegistryValue>> batches_;
  std::vector<RegistryValue> targets_;
  std::vector<ValueState> original_;
  nlohmann::json missing_keys_;
};

TEST_F(CatalogueRegistry, BatchesCoverEveryRegistryValueAndChoice) {
  // 16 registry entries with one change, "notepad" resolved to 2 and "ownership" to 4, 33 choice entries.
  EXPECT_EQ(batches_[0].size(), 15u + 2u + 4u + 33u);
  ASSERT_EQ(batches_.size(), 3u);
  EXPECT_EQ(batches_[1].size(), 33u);
  EXPECT_EQ(batches_[2].size(), 3u);  // the two taskbar-combine entries and taskbar-monitor-apps
}

TEST_F(CatalogueRegistry, StopAfterTheLastWriteRestoresEverything) {
  CancelFlag cancel{0};
  std::uint64_t calls = 0;
  const Outcome outcome = apply_registry_changes(
      batches_[0], L"Catalogue test", backups_.path(), &cancel,
      [&](std::uint64_t done, std::uint64_t total, const std::wstring&) {
        ++calls;
        if (done == total) cancel = 1;
      });
  EXPECT_FALSE(outcome.ok);
  EXPECT_EQ(outcome.message, L"Operation stopped; changes are being restored.");
  EXPECT_EQ(calls, batches_[0].size());
  const nlohmann::json document = read_json_file(outcome.record_path);
  EXPECT_EQ(document["state"], "rolled-back");
  EXPECT_EQ(document["attempted"], batches_[0].size());
  expect_original_state();
}

TEST_F(CatalogueRegistry, EveryValueAppliesAndReadsBackThenTheBackupPutsItBack) {
  nlohmann::json first_document;
  for (std::size_t k = 0; k < batches_.size(); ++k) {
    SCOPED_TRACE("batch " + std::to_string(k));
    const std::vector<RegistryValue>& batch = batches_[k];
    const Outcome outcome = apply_registry_changes(batch, L"Catalogue test", backups_.path());
    ASSERT_TRUE(outcome.ok) << wide_to_utf8(outcome.message);
    EXPECT_EQ(outcome.affected, batch.size());

    std::vector<ValueState> wanted;
    for (const RegistryValue& change : batch) wanted.push_back(change.value);
    expect_state(batch, wanted);

    const nlohmann::json document = read_json_file(outcome.record_path);
    EXPECT_EQ(document["state"], "applied");
    ASSERT_EQ(document["after"].size(), batch.size());
    if (k == 0) {
      first_document = document;
      // The backup holds exactly the state from before the first batch.
      ASSERT_EQ(document["before"].size(), targets_.size());
      for (std::size_t i = 0; i < targets_.size(); ++i)
        EXPECT_EQ(document["before"][i].get<RegistryValue>().value, original_[i]) << describe(targets_[i]);
      EXPECT_EQ(document["created_keys"], missing_keys_);
    }
  }

  // Put the first backup's "before" values back and remove the keys it created.
  std::vector<RegistryValue> before;
  for (const auto& entry : first_document["before"]) before.push_back(entry.get<RegistryValue>());
  const Outcome restore = apply_registry_changes(before, L"Catalogue test restore", backups_.path());
  ASSERT_TRUE(restore.ok) << wide_to_utf8(restore.message);
  remove_created_keys(first_document["created_keys"]);
  expect_original_state();
}

}  // namespace
}  // namespace corvane
