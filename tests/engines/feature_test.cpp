#include "engines/feature.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <set>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace corvane {
namespace {

const Feature& find(const std::string& id) {
  for (const Feature& f : feature_catalogue())
    if (f.id == id) return f;
  throw std::runtime_error("no catalogue entry " + id);
}

std::vector<std::string> ids_where(bool (*pred)(const Feature&)) {
  std::vector<std::string> ids;
  for (const Feature& f : feature_catalogue())
    if (pred(f)) ids.push_back(f.id);
  return ids;
}

bool is_link(const Feature& f) { return f.action.rfind(L"ms-settings:", 0) == 0; }
bool is_builtin(const Feature& f) { return f.action.rfind(L"@", 0) == 0; }

TEST(FeatureCatalogue, CountsOrderAndUniqueIds) {
  const auto& catalogue = feature_catalogue();
  ASSERT_EQ(catalogue.size(), 72u);
  EXPECT_EQ(catalogue.front().id, "classic-menu");
  EXPECT_EQ(catalogue.back().id, "event-logs");

  std::set<std::string> ids;
  for (const Feature& f : catalogue) {
    EXPECT_TRUE(ids.insert(f.id).second) << "duplicate id " << f.id;
    for (char ch : f.id) EXPECT_TRUE((ch >= 'a' && ch <= 'z') || (ch >= '0' && ch <= '9') || ch == '-') << f.id;
  }

  // Pages come in blocks 2, 3, 5, 6 of 53, 7, 6 and 6 entries.
  std::vector<std::pair<int, int>> blocks;
  for (const Feature& f : catalogue) {
    if (blocks.empty() || blocks.back().first != f.page) blocks.push_back({f.page, 0});
    ++blocks.back().second;
  }
  EXPECT_EQ(blocks, (std::vector<std::pair<int, int>>{{2, 53}, {3, 7}, {5, 6}, {6, 6}}));
}

TEST(FeatureCatalogue, CustomizationGroupsAreContiguousWithTheirSizes) {
  std::vector<std::pair<int, int>> groups;
  for (const Feature& f : feature_catalogue()) {
    if (f.page != kPageCustomization) {
      EXPECT_EQ(f.group, kGroupOther) << f.id;
      continue;
    }
    if (groups.empty() || groups.back().first != f.group) groups.push_back({f.group, 0});
    ++groups.back().second;
  }
  EXPECT_EQ(groups, (std::vector<std::pair<int, int>>{{0, 10}, {1, 14}, {2, 8}, {3, 4}, {4, 11}, {5, 5}, {6, 1}}));
}

TEST(FeatureCatalogue, KindsAndTheirInvariants) {
  int links = 0, builtins = 0, choices = 0, registry = 0;
  for (const Feature& f : feature_catalogue()) {
    SCOPED_TRACE(f.id);
    if (is_link(f) || is_builtin(f)) {
      (is_link(f) ? links : builtins)++;
      EXPECT_TRUE(f.changes.empty());
      EXPECT_TRUE(f.choices.empty());
    } else if (!f.choices.empty()) {
      ++choices;
      ASSERT_EQ(f.changes.size(), 1u);
      EXPECT_EQ(f.changes[0].hive, kHiveCurrentUser);
      EXPECT_TRUE(std::any_of(f.choices.begin(), f.choices.end(),
                              [&](const FeatureChoice& c) { return c.value == f.changes[0].value; }));
    } else {
      ++registry;
      EXPECT_TRUE(f.action.empty());
      EXPECT_EQ(f.changes.size(), f.id == "ownership" ? 2u : 1u);
    }
  }
  EXPECT_EQ(links, 16);
  EXPECT_EQ(builtins, 6);
  EXPECT_EQ(choices, 33);
  EXPECT_EQ(registry, 17);
  EXPECT_EQ(ids_where(is_builtin), (std::vector<std::string>{"browser-privacy", "ultimate", "drives", "godmode",
                                                             "registry-audit", "event-logs"}));
}

TEST(FeatureCatalogue, ExactlyTheMachineWideEntriesNeedAdministratorRights) {
  EXPECT_EQ(ids_where([](const Feature& f) { return f.needs_admin; }),
            (std::vector<std::string>{"shortcut-arrow", "hide-3d", "hide-pictures", "numlock", "telemetry",
                                      "activity", "cortana", "hags"}));
  for (const Feature& f : feature_catalogue()) {
    const bool machine_wide =
        std::any_of(f.changes.begin(), f.changes.end(), [](const RegistryValue& c) { return c.hive != 0; });
    EXPECT_EQ(f.needs_admin, machine_wide) << f.id;
  }
}

// The entries not offered on a build, in catalogue order.
std::vector<std::string> withheld_at(std::uint32_t build) {
  std::vector<std::string> ids;
  for (const Feature& f : feature_catalogue())
    if (!f.supported_on(build)) ids.push_back(f.id);
  return ids;
}

TEST(FeatureSupport, EntriesWithheldPerBuild) {
  using Ids = std::vector<std::string>;
  // 18362: everything from 19041, 22000 and later is withheld.
  Ids at_18362{"classic-menu", "taskbar-left", "widgets", "taskbar-flash", "taskbar-desktop", "taskbar-share",
               "web-search", "start-tips", "start-all-pins", "seconds", "compact", "hags"};
  EXPECT_EQ(withheld_at(18362), at_18362);
  EXPECT_EQ(withheld_at(19041), (Ids{"classic-menu", "taskbar-left", "widgets", "taskbar-flash", "taskbar-desktop",
                                      "taskbar-share", "start-tips", "start-all-pins", "seconds", "compact"}));
  EXPECT_EQ(withheld_at(21999), withheld_at(19041));
  // Windows 11 before 22631 loses the two combine entries that Windows 10 offers.
  EXPECT_EQ(withheld_at(22000), (Ids{"taskbar-combine", "taskbar-combine-secondary", "start-tips", "start-all-pins",
                                      "seconds"}));
  EXPECT_EQ(withheld_at(22621), (Ids{"taskbar-combine", "taskbar-combine-secondary", "start-tips",
                                      "start-all-pins"}));
  EXPECT_EQ(withheld_at(22631), (Ids{"start-all-pins"}));
  EXPECT_TRUE(withheld_at(26100).empty());
  EXPECT_EQ(withheld_at(18361).size(), at_18362.size() + 1);  // "windows-shell-mode" from 18362
  EXPECT_EQ(withheld_at(0).size(), 72u);
}

TEST(FeatureSupport, BuildRulesInOrder) {
  Feature f;
  f.min_build = 10240;
  f.max_build = 22000;
  f.win11_min_build = 22631;
  EXPECT_FALSE(f.supported_on(10239));
  EXPECT_TRUE(f.supported_on(10240));
  EXPECT_TRUE(f.supported_on(21999));
  EXPECT_FALSE(f.supported_on(22000));  // win11 minimum not reached
  EXPECT_FALSE(f.supported_on(22631));  // above max_build
  f.max_build = 0;
  EXPECT_TRUE(f.supported_on(22631));
  EXPECT_TRUE(f.supported_on(4000000000u));
  EXPECT_TRUE(find("taskbar-combine").supported_on(19041));
  EXPECT_TRUE(find("taskbar-combine").supported_on(22631));
  EXPECT_FALSE(find("taskbar-combine").supported_on(22000));
  EXPECT_FALSE(find("taskbar-combine").supported_on(22621));
  EXPECT_FALSE(find("classic-menu").supported_on(19041));
}

TEST(FeatureChoices, ChangesForChoiceReplacesOnlyTheValue) {
  const Feature& hidden = find("hidden-files");
  const auto changes = hidden.changes_for_choice(0);
  ASSERT_EQ(changes.size(), 1u);
  EXPECT_EQ(changes[0].hive, 0u);
  EXPECT_EQ(changes[0].key, L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Advanced");
  EXPECT_EQ(changes[0].name, L"Hidden");
  EXPECT_EQ(changes[0].value, make_dword_value(2));
  EXPECT_EQ(hidden.changes_for_choice(1)[0].value, make_dword_value(1));
  EXPECT_EQ(hidden.changes[0].value, make_dword_value(1));  // the catalogue itself is untouched

  // The converted entries keep the value they were built with.
  EXPECT_EQ(find("compact").changes[0].value, make_dword_value(1));
  EXPECT_EQ(find("compact").choices[1].value, make_dword_value(1));
}

TEST(FeatureChoices, InvalidChoicesThrow) {
  auto expect_invalid = [](const Feature& f, std::size_t index) {
    try {
      (void)f.changes_for_choice(index);
      ADD_FAILURE() << f.id << " accepted choice " << index;
    } catch (const std::out_of_range& e) {
      EXPECT_STREQ(e.what(), "Invalid setting choice");
    }
  };
  expect_invalid(find("chat"), 0);       // link: no change
  expect_invalid(find("ownership"), 0);  // two changes
  expect_invalid(find("hidden-files"), 2);
  expect_invalid(find("taskbar-combine"), 3);
  expect_invalid(find("web-search"), 0);  // registry entry: no choices
}

TEST(FeatureChoices, DesktopIconChoicesAreFreshPerEntry) {
  const Feature& pc = find("desktop-pc");
  const Feature& network = find("desktop-network");
  ASSERT_EQ(pc.choices.size(), 2u);
  EXPECT_NE(&pc.choices[0], &network.choices[0]);
  EXPECT_EQ(pc.changes[0].name, L"{20D04FE0-3AEA-1069-A2D8-08002B30309D}");
  EXPECT_EQ(pc.choices[1].value, make_dword_value(1));
}

TEST(FeatureGroups, LabelsInBothLanguages) {
  EXPECT_EQ(customization_group_label(0), (TextPair{L"Desktop - Màn hình nền", L"Desktop"}));
  EXPECT_EQ(customization_group_label(1), (TextPair{L"Taskbar - Thanh tác vụ", L"Taskbar"}));
  EXPECT_EQ(customization_group_label(2), (TextPair{L"Start - Menu bắt đầu", L"Start"}));
  EXPECT_EQ(customization_group_label(3), (TextPair{L"System Tray - Khay hệ thống", L"System tray"}));
  EXPECT_EQ(customization_group_label(4), (TextPair{L"File Explorer - Quản lý tập tin", L"File Explorer"}));
  EXPECT_EQ(customization_group_label(5), (TextPair{L"Màu sắc và hiệu ứng", L"Colors and effects"}));
  EXPECT_EQ(customization_group_label(6), (TextPair{L"Khác", L"Other"}));
  EXPECT_EQ(customization_group_label(-1), (TextPair{L"Khác", L"Other"}));
  EXPECT_EQ(customization_group_label(7), (TextPair{L"Khác", L"Other"}));
}

TEST(FeatureCatalogue, BuiltOnceAndSharedAcrossThreads) {
  std::vector<const std::vector<Feature>*> seen(8, nullptr);
  std::vector<std::thread> threads;
  for (std::size_t i = 0; i < seen.size(); ++i) threads.emplace_back([&seen, i] { seen[i] = &feature_catalogue(); });
  for (auto& t : threads) t.join();
  for (const auto* p : seen) EXPECT_EQ(p, &feature_catalogue());

  // A fresh build gives the same contents.
  const auto fresh = build_feature_catalogue();
  ASSERT_EQ(fresh.size(), feature_catalogue().size());
  for (std::size_t i = 0; i < fresh.size(); ++i) {
    EXPECT_EQ(fresh[i].id, feature_catalogue()[i].id);
    EXPECT_EQ(fresh[i].title_vi, feature_catalogue()[i].title_vi);
  }
}

}  // namespace
}  // namespace corvane
