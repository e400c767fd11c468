// ctest-resource-lock: data_folder reports_folder
#include "engines/power_plan.h"

#include "services/documents.h"
#include "services/text.h"
#include "support/activity_watch.h"
#include "support/backups_guard.h"
#include "support/fake_power.h"
#include "support/scratch.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

namespace corvane {
namespace {

using nlohmann::json;
using testing::ActivityWatch;
using testing::BackupsGuard;
using testing::FakePower;

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

}  // namespace
}  // namespace corvane
