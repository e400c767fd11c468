// ctest-resource-lock: data_folder reports_folder
#include "engines/power_plan.h"

#include "services/documents.h"
#include "services/text.h"
#include "support/activity_watch.h"
#include "support/backups_guard.h"
#include "support/fake_power.h"
#include "support/scratch.h"
#include "support/wine.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <stdexcept>
#include <string>

namespace corvane {
namespace {

using nlohmann::json;
using testing::ActivityWatch;
using testing::BackupsGuard;
using testing::FakePower;
using testing::random_guid;

std::wstring backup_path(const std::wstring& name) {
  return (std::filesystem::path(backups_folder()) / name).wstring();
}

// A file placed in the Backups folder; its name decides its place in the newest-first list.
std::wstring place_document(const std::wstring& name, const std::string& bytes) {
  std::filesystem::create_directories(backups_folder());
  testing::write_file_bytes(backup_path(name), bytes);
  return backup_path(name);
}

json power_document(const GUID& before, const GUID& after, const std::string& state) {
  return {{"schema", 1},
          {"kind", "power"},
          {"label", "Ultimate Performance"},
          {"before", guid_to_string(before)},
          {"after", guid_to_string(after)},
          {"state", state}};
}

class PowerPlan : public ::testing::Test {
 protected:
  BackupsGuard backups;
  ActivityWatch activity;
  FakePower fake;
};

TEST_F(PowerPlan, FirstRunActivatesADuplicateAndRecordsBothSchemes) {
  const GUID previous = fake.state().active;
  const Outcome outcome = enable_ultimate_performance(fake.functions());

  ASSERT_TRUE(outcome.ok) << wide_to_utf8(outcome.message);
  EXPECT_TRUE(outcome.message.empty());
  EXPECT_EQ(outcome.affected, 1u);
  EXPECT_EQ(fake.state().duplicate_calls, 1);
  ASSERT_EQ(fake.state().schemes.size(), 3u);
  const GUID created = fake.state().schemes.back();
  EXPECT_TRUE(IsEqualGUID(fake.state().active, created));

  const std::filesystem::path record(outcome.record_path);
  EXPECT_EQ(record.parent_path(), std::filesystem::path(backups_folder()));
  const std::wstring name = record.filename().wstring();
  EXPECT_TRUE(name.size() > 11 && name.substr(name.size() - 11) == L"-power.json") << wide_to_utf8(name);
  EXPECT_EQ(testing::read_file_bytes(outcome.record_path),
            "{\n  \"after\": \"" + guid_to_string(created) + "\",\n  \"before\": \"" + guid_to_string(previous) +
                "\",\n  \"kind\": \"power\",\n  \"label\": \"Ultimate Performance\",\n  \"schema\": 1,\n"
                "  \"state\": \"applied\"\n}");
  EXPECT_EQ(backups.new_files(), std::vector<std::wstring>{outcome.record_path});

  const auto lines = activity.lines("power");
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0]["ok"], true);
  EXPECT_EQ(lines[0]["affected"], 1);
}

TEST_F(PowerPlan, SecondRunFindsTheActiveDuplicateAndChangesNothing) {
  const Outcome first = enable_ultimate_performance(fake.functions());
  ASSERT_TRUE(first.ok);
  const std::string first_bytes = testing::read_file_bytes(first.record_path);

  const Outcome second = enable_ultimate_performance(fake.functions());
  EXPECT_TRUE(second.ok);
  EXPECT_EQ(second.message, L"Corvane Ultimate Performance is already active.");
  EXPECT_EQ(second.record_path, first.record_path);
  EXPECT_EQ(second.affected, 0u);
  EXPECT_EQ(fake.state().duplicate_calls, 1);
  EXPECT_EQ(backups.new_files().size(), 1u);
  EXPECT_EQ(testing::read_file_bytes(first.record_path), first_bytes);
  EXPECT_EQ(activity.lines("power").size(), 1u);  // the first run's line only
}

TEST_F(PowerPlan, AfterSwitchingToAnotherSchemeARunMakesAnotherDuplicate) {
  const GUID previous = fake.state().active;
  ASSERT_TRUE(enable_ultimate_performance(fake.functions()).ok);
  fake.state().active = previous;
  const Outcome again = enable_ultimate_performance(fake.functions());
  EXPECT_TRUE(again.ok);
  EXPECT_TRUE(again.message.empty());
  EXPECT_EQ(fake.state().duplicate_calls, 2);
  EXPECT_EQ(backups.new_files().size(), 2u);
}

// Documents newer than the one that matters, each naming the active scheme as "after".
void place_documents_that_must_be_passed_over(const GUID& active) {
  const std::string after = guid_to_string(active);
  const GUID other = random_guid();
  place_document(L"99999999-000000-000-1-01-power.json", "{ \"kind\": \"power\", ");
  place_document(L"99999999-000000-000-1-02-power.json", "[1, 2, 3]");
  place_document(L"99999999-000000-000-1-03-power.json", "\xFF\xFE{}");
  place_document(L"99999999-000000-000-1-04-power.json", json{{"kind", 5}, {"state", "applied"}, {"after", after}}.dump());
  place_document(L"99999999-000000-000-1-05-power.json",
                 json{{"kind", "power"}, {"state", {"applied"}}, {"after", after}}.dump());
  place_document(L"99999999-000000-000-1-06-power.json", power_document(other, active, "restored").dump());
  place_document(L"99999999-000000-000-1-07-power.json", power_document(other, active, "prepared").dump());
  place_document(L"99999999-000000-000-1-08-power.json", power_document(other, active, "failed").dump());
  place_document(L"99999999-000000-000-1-09-power.json", json{{"kind", "power"}, {"state", "applied"}, {"after", 42}}.dump());
  place_document(L"99999999-000000-000-1-10-power.json",
                 json{{"kind", "power"}, {"state", "applied"}, {"after", "not a scheme"}}.dump());
  place_document(L"99999999-000000-000-1-11-power.json", json{{"kind", "power"}, {"state", "applied"}}.dump());
  place_document(L"99999999-000000-000-1-12-registry.json", json{{"kind", "registry"}, {"state", "applied"}, {"after", after}}.dump());
  std::filesystem::create_directories(backup_path(L"99999999-000000-000-1-13-power.json"));  // a folder
}

TEST_F(PowerPlan, DamagedForeignAndUnappliedDocumentsAreIgnored) {
  place_documents_that_must_be_passed_over(fake.state().active);
  const Outcome outcome = enable_ultimate_performance(fake.functions());
  EXPECT_TRUE(outcome.ok) << wide_to_utf8(outcome.message);
  EXPECT_TRUE(outcome.message.empty()) << "one of the ignored documents was taken as the active plan";
  EXPECT_EQ(fake.state().duplicate_calls, 1);
}

TEST_F(PowerPlan, DamagedDocumentsDoNotStopTheSearchForAnOlderMatch) {
  const GUID active = fake.state().active;
  const std::wstring match =
      place_document(L"00000000-000000-000-1-1-power.json", power_document(random_guid(), active, "applied").dump());
  place_documents_that_must_be_passed_over(active);
  const Outcome outcome = enable_ultimate_performance(fake.functions());
  EXPECT_TRUE(outcome.ok) << wide_to_utf8(outcome.message);
  EXPECT_EQ(outcome.message, L"Corvane Ultimate Performance is already active.");
  EXPECT_EQ(outcome.record_path, match);
  EXPECT_EQ(fake.state().duplicate_calls, 0);
}

TEST_F(PowerPlan, FailedActivationDeletesTheDuplicateAndMarksTheDocumentFailed) {
  const GUID previous = fake.state().active;
  fake.state().set_error = ERROR_ACCESS_DENIED;
  const Outcome outcome = enable_ultimate_performance(fake.functions());

  EXPECT_FALSE(outcome.ok);
  EXPECT_EQ(outcome.message, windows_error_text(ERROR_ACCESS_DENIED));
  EXPECT_EQ(outcome.affected, 0u);
  EXPECT_TRUE(IsEqualGUID(fake.state().active, previous));
  EXPECT_EQ(fake.state().schemes.size(), 2u) << "the duplicate is left behind";
  const auto files = backups.new_files();
  ASSERT_EQ(files.size(), 1u);
  const json document = read_json_file(files[0]);
  EXPECT_EQ(document["state"], "failed");
  EXPECT_EQ(document["before"], guid_to_string(previous));
  const auto lines = activity.lines("power");
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0]["ok"], false);
  EXPECT_EQ(lines[0]["message"], wide_to_utf8(windows_error_text(ERROR_ACCESS_DENIED)));
}

TEST_F(PowerPlan, FailuresBeforeTheDocumentLeaveNothingButTheActivityLine) {
  fake.state().duplicate_error = ERROR_INVALID_PARAMETER;
  Outcome outcome = enable_ultimate_performance(fake.functions());
  EXPECT_FALSE(outcome.ok);
  EXPECT_EQ(outcome.message, windows_error_text(ERROR_INVALID_PARAMETER));

  fake.state().duplicate_error = 0;
  fake.state().get_error = ERROR_CALL_NOT_IMPLEMENTED;
  outcome = enable_ultimate_performance(fake.functions());
  EXPECT_FALSE(outcome.ok);
  EXPECT_EQ(outcome.message, windows_error_text(ERROR_CALL_NOT_IMPLEMENTED));
  EXPECT_EQ(fake.state().duplicate_calls, 1);

  PowerFunctions missing = fake.functions();
  missing.duplicate_scheme = nullptr;
  fake.state().get_error = 0;
  outcome = enable_ultimate_performance(missing);
  EXPECT_FALSE(outcome.ok);
  EXPECT_EQ(outcome.message, windows_error_text(ERROR_PROC_NOT_FOUND));

  EXPECT_EQ(fake.state().schemes.size(), 2u);
  EXPECT_TRUE(backups.new_files().empty());
  EXPECT_EQ(activity.lines("power").size(), 3u);
}

TEST_F(PowerPlan, UnwritableDocumentDeletesTheDuplicateBeforeReporting) {
  const GUID previous = fake.state().active;
  Outcome outcome;
  {
    testing::BackupsFolderBlocked blocked;
    outcome = enable_ultimate_performance(fake.functions());
  }
  EXPECT_FALSE(outcome.ok);
  EXPECT_FALSE(outcome.message.empty());
  EXPECT_EQ(fake.state().duplicate_calls, 1);
  EXPECT_EQ(fake.state().delete_calls, 1);
  EXPECT_EQ(fake.state().schemes.size(), 2u);
  EXPECT_TRUE(IsEqualGUID(fake.state().active, previous));
  EXPECT_EQ(fake.state().set_calls, 0);
  EXPECT_EQ(activity.lines("power").size(), 1u);
}

TEST_F(PowerPlan, RestoreReactivatesThePreviousSchemeAndDeletesOurs) {
  const GUID previous = fake.state().active;
  const Outcome applied = enable_ultimate_performance(fake.functions());
  ASSERT_TRUE(applied.ok);
  const Outcome restored = restore_power_backup(read_json_file(applied.record_path), fake.functions());
  EXPECT_TRUE(restored.ok) << wide_to_utf8(restored.message);
  EXPECT_TRUE(restored.message.empty());
  EXPECT_EQ(restored.affected, 1u);
  EXPECT_TRUE(IsEqualGUID(fake.state().active, previous));
  EXPECT_EQ(fake.state().schemes.size(), 2u);
}

TEST_F(PowerPlan, RestoreRefusesWhenAnotherSchemeIsActive) {
  const Outcome applied = enable_ultimate_performance(fake.functions());
  ASSERT_TRUE(applied.ok);
  fake.state().active = kUltimatePerformanceTemplate;
  const int sets = fake.state().set_calls;
  const Outcome restored = restore_power_backup(read_json_file(applied.record_path), fake.functions());
  EXPECT_FALSE(restored.ok);
  EXPECT_EQ(restored.message, L"Power plan changed after this backup; restore cancelled.");
  EXPECT_EQ(fake.state().set_calls, sets);
  EXPECT_EQ(fake.state().delete_calls, 0);
  EXPECT_EQ(fake.state().schemes.size(), 3u);
}

TEST_F(PowerPlan, RestoreReportsEachFailingCall) {
  const GUID previous = fake.state().active;
  const Outcome applied = enable_ultimate_performance(fake.functions());
  ASSERT_TRUE(applied.ok);
  const GUID ours = fake.state().active;
  const json document = read_json_file(applied.record_path);

  fake.state().get_error = ERROR_CALL_NOT_IMPLEMENTED;
  Outcome outcome = restore_power_backup(document, fake.functions());
  EXPECT_FALSE(outcome.ok);
  EXPECT_EQ(outcome.message, windows_error_text(ERROR_CALL_NOT_IMPLEMENTED));

  fake.state().get_error = 0;
  fake.state().set_error = ERROR_ACCESS_DENIED;
  outcome = restore_power_backup(document, fake.functions());
  EXPECT_FALSE(outcome.ok);
  EXPECT_EQ(outcome.message, windows_error_text(ERROR_ACCESS_DENIED));
  EXPECT_TRUE(IsEqualGUID(fake.state().active, ours));
  EXPECT_EQ(fake.state().delete_calls, 0);

  fake.state().set_error = 0;
  fake.state().delete_error = ERROR_ACCESS_DENIED;
  outcome = restore_power_backup(document, fake.functions());
  EXPECT_FALSE(outcome.ok);
  EXPECT_EQ(outcome.message, L"Previous plan restored; could not remove the Corvane plan: " +
                                 windows_error_text(ERROR_ACCESS_DENIED));
  EXPECT_TRUE(IsEqualGUID(fake.state().active, previous));
  EXPECT_TRUE(fake.state().exists(ours));
}

TEST_F(PowerPlan, RestoreRefusesBadDocumentsWithoutCallingWindows) {
  const GUID active = fake.state().active;
  json document = power_document(random_guid(), active, "applied");
  document["before"] = "{not-a-guid}";
  Outcome outcome = restore_power_backup(document, fake.functions());
  EXPECT_FALSE(outcome.ok);
  EXPECT_EQ(outcome.message, L"Invalid power backup");

  document = power_document(random_guid(), active, "applied");
  document["after"] = "";
  outcome = restore_power_backup(document, fake.functions());
  EXPECT_EQ(outcome.message, L"Invalid power backup");

  document["after"] = 7;
  EXPECT_THROW(restore_power_backup(document, fake.functions()), json::type_error);
  document.erase("after");
  EXPECT_THROW(restore_power_backup(document, fake.functions()), json::out_of_range);
  EXPECT_THROW(restore_power_backup(json::array({1}), fake.functions()), json::type_error);
  EXPECT_EQ(fake.state().set_calls + fake.state().delete_calls, 0);
}

// The real power functions: under Wine powrprof is a stub (the active scheme cannot be read,
// duplicate and delete do not exist), so this shows the program loads and reports the error.
TEST(PowerPlanSystem, RealFunctionsReportTheWindowsErrorAndWriteNothing) {
  if (!testing::running_under_wine()) GTEST_SKIP() << "would change this machine's power plan";
  BackupsGuard backups;
  ActivityWatch activity;
  const Outcome outcome = enable_ultimate_performance();
  EXPECT_FALSE(outcome.ok);
  EXPECT_EQ(outcome.message, windows_error_text(ERROR_CALL_NOT_IMPLEMENTED));
  EXPECT_TRUE(outcome.record_path.empty());
  EXPECT_TRUE(backups.new_files().empty());
  ASSERT_EQ(activity.lines("power").size(), 1u);

  const Outcome restored = restore_power_backup(power_document(random_guid(), random_guid(), "applied"));
  EXPECT_FALSE(restored.ok);
  EXPECT_EQ(restored.message, windows_error_text(ERROR_CALL_NOT_IMPLEMENTED));
}

}  // namespace
}  // namespace corvane
