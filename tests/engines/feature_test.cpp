#include "engines/feature.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <set>
#include <stdexcept>
#include <string>
#include <vector>

namespace corvane {
namespace {

using Ids = std::vector<std::string>;

const Feature& find(const std::string& id) {
  for (const Feature& f : feature_catalogue())
    if (f.id == id) return f;
  throw std::runtime_error("no catalogue entry " + id);
}

template <typename Pred>
Ids ids_where(Pred pred) {
  Ids ids;
  for (const Feature& f : feature_catalogue())
    if (pred(f)) ids.push_back(f.id);
  return ids;
}

// Consecutive runs of equal keys with their lengths.
template <typename Key>
std::vector<std::pair<int, int>> blocks_of(Key key, bool (*include)(const Feature&)) {
  std::vector<std::pair<int, int>> blocks;
  for (const Feature& f : feature_catalogue()) {
    if (!include(f)) continue;
    if (blocks.empty() || blocks.back().first != key(f)) blocks.push_back({key(f), 0});
    ++blocks.back().second;
  }
  return blocks;
}

TEST(FeatureCatalogue, CountsOrderBlocksAndKinds) {
  const auto& catalogue = feature_catalogue();
  ASSERT_EQ(catalogue.size(), 72u);
  EXPECT_EQ(catalogue.front().id, "classic-menu");
  EXPECT_EQ(catalogue.back().id, "event-logs");
  std::set<std::string> ids;
  for (const Feature& f : catalogue) EXPECT_TRUE(ids.insert(f.id).second) << "duplicate id " << f.id;

  const auto all = [](const Feature&) { return true; };
  EXPECT_EQ(blocks_of([](const Feature& f) { return f.page; }, all),
            (std::vector<std::pair<int, int>>{{2, 53}, {3, 7}, {5, 6}, {6, 6}}));
  EXPECT_EQ(blocks_of([](const Feature& f) { return f.group; },
                      [](const Feature& f) { return f.page == kPageCustomization; }),
            (std::vector<std::pair<int, int>>{{0, 10}, {1, 14}, {2, 8}, {3, 4}, {4, 11}, {5, 5}, {6, 1}}));
  EXPECT_EQ(ids_where([](const Feature& f) { return f.page != kPageCustomization && f.group != kGroupOther; }),
            Ids{});

  EXPECT_EQ(ids_where([](const Feature& f) { return f.action.rfind(L"ms-settings:", 0) == 0; }).size(), 16u);
  EXPECT_EQ(ids_where([](const Feature& f) { return f.action.rfind(L"@", 0) == 0; }),
            (Ids{"browser-privacy", "ultimate", "drives", "godmode", "registry-audit", "event-logs"}));
  EXPECT_EQ(ids_where([](const Feature& f) { return !f.choices.empty(); }).size(), 33u);
  EXPECT_EQ(ids_where([](const Feature& f) { return f.needs_admin; }),
            (Ids{"shortcut-arrow", "hide-3d", "hide-pictures", "numlock", "telemetry", "activity", "cortana", "hags"}));
}

// The entries not offered on a build, in catalogue order.
Ids withheld_at(std::uint32_t build) {
  return ids_where([build](const Feature& f) { return !f.supported_on(build); });
}

TEST(FeatureSupport, EntriesWithheldPerBuild) {
  const Ids at_18362{"classic-menu", "taskbar-left", "widgets", "taskbar-flash", "taskbar-desktop", "taskbar-share",
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

  // Links, two-change entries, plain registry entries and choices out of range.
  for (const auto& [id, index] : std::vector<std::pair<std::string, std::size_t>>{
           {"chat", 0}, {"ownership", 0}, {"web-search", 0}, {"hidden-files", 2}, {"taskbar-combine", 3}}) {
    try {
      (void)find(id).changes_for_choice(index);
      ADD_FAILURE() << id << " accepted choice " << index;
    } catch (const std::out_of_range& e) {
      EXPECT_STREQ(e.what(), "Invalid setting choice");
    }
  }
}

TEST(FeatureGroups, LabelsInBothLanguages) {
  const std::vector<TextPair> labels{
      {L"Desktop - Màn hình nền", L"Desktop"},
      {L"Taskbar - Thanh tác vụ", L"Taskbar"},
      {L"Start - Menu bắt đầu", L"Start"},
      {L"System Tray - Khay hệ thống", L"System tray"},
      {L"File Explorer - Quản lý tập tin", L"File Explorer"},
      {L"Màu sắc và hiệu ứng", L"Colors and effects"},
      {L"Khác", L"Other"}};
  for (int group = -1; group <= 7; ++group) {
    const std::size_t index = group < 0 || group > 6 ? 6 : static_cast<std::size_t>(group);
    EXPECT_EQ(customization_group_label(group), labels[index]) << group;
  }
}

}  // namespace
}  // namespace corvane
