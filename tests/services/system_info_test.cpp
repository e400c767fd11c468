// ctest-resource-lock: edition
#include "services/system_info.h"

#include "services/handles.h"
#include "services/registry.h"

#include <gtest/gtest.h>

namespace corvane {
namespace {

TEST(SystemInfo, FiguresOfThisMachine) {
  const SystemInfo info = query_system_info();
  EXPECT_GT(info.build, 0u);
  EXPECT_GT(info.total_memory, 0u);
  EXPECT_GT(info.available_memory, 0u);
  EXPECT_LE(info.available_memory, info.total_memory);
  EXPECT_GT(info.system_drive_total, 0u);
  EXPECT_LE(info.system_drive_free, info.system_drive_total);
  const ValueState edition = read_registry_value(
      {kHiveLocalMachine, L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion", L"EditionID", {}});
  EXPECT_EQ(info.edition, describe_value(edition));
}

TEST(SystemInfo, BuildMatchesTheRegistryOfThisWindows) {
  const ValueState current = read_registry_value(
      {kHiveLocalMachine, L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion", L"CurrentBuildNumber", {}});
  if (!current.exists) GTEST_SKIP() << "no CurrentBuildNumber value to compare with";
  EXPECT_EQ(std::to_wstring(query_system_info().build), describe_value(current));
}

TEST(Elevation, ATokenThatCannotBeReadIsTrustedAsElevatedButNotShownSo) {
  const UniqueHandle not_a_token(CreateEventW(nullptr, TRUE, FALSE, nullptr));
  EXPECT_EQ(token_elevation(not_a_token.get()), Elevation::unreadable);
  EXPECT_TRUE(treated_as_elevated(Elevation::unreadable));
  EXPECT_FALSE(treated_as_elevated(Elevation::not_elevated));
  EXPECT_EQ(query_system_info().elevated, process_elevation() == Elevation::elevated);
}

}  // namespace
}  // namespace corvane
