// ctest-resource-lock: reports_folder
// The activity line of a registry transaction.
#include "services/activity_log.h"
#include "services/registry_transaction.h"
#include "support/activity_watch.h"
#include "support/scratch.h"

#include <gtest/gtest.h>

namespace corvane {
namespace {

TEST(RegistryTransactionLog, RefusalsWriteNoLine) {
  testing::ScratchFolder scratch;
  testing::ScratchKey key;
  const testing::ActivityWatch watch;
  apply_registry_changes({}, L"none", scratch.path());
  CancelFlag cancel{1};
  apply_registry_changes({{0, key.path(), L"v", make_dword_value(1)}}, L"stopped", scratch.path(), &cancel);
  for (const nlohmann::json& line : watch.lines("registry")) {
    EXPECT_NE(line.at("message"), "No changes selected");
    EXPECT_NE(line.at("message"), "Operation stopped before any changes.");
  }
}

TEST(RegistryTransactionLog, SuccessAndFailureEachWriteOneLine) {
  testing::ScratchFolder scratch;
  testing::ScratchKey key;
  std::vector<RegistryValue> changes;
  for (int i = 0; i < 7; ++i) changes.push_back({0, key.path(), L"v" + std::to_wstring(i), make_dword_value(1)});
  // ok, affected and message of the registry lines appended since the watch began.
  auto summary = [](const testing::ActivityWatch& watch) {
    nlohmann::json found = nlohmann::json::array();
    for (const nlohmann::json& line : watch.lines("registry")) {
      found.push_back({line.at("ok"), line.at("affected"), line.at("message")});
    }
    return found;
  };
  const testing::ActivityWatch applied;
  ASSERT_TRUE(apply_registry_changes(changes, L"seven", scratch.path()).ok);
  EXPECT_EQ(summary(applied), nlohmann::json::parse(R"([[true, 7, ""]])"));

  const testing::ActivityWatch refused;
  changes.push_back(changes.front());
  EXPECT_FALSE(apply_registry_changes(changes, L"dup", scratch.path()).ok);
  EXPECT_EQ(summary(refused), nlohmann::json::parse(R"([[false, 0, "Duplicate registry target"]])"));
}

}  // namespace
}  // namespace corvane
