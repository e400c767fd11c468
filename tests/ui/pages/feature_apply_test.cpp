// ctest-resource-lock: data_folder reports_folder catalogue_values
// Feature pages against the real registry: status texts, the search, and applying behind a backup.

#include "engines/feature.h"
#include "services/documents.h"
#include "services/registry.h"
#include "services/text.h"
#include "support/backups_guard.h"
#include "support/dialog_script.h"
#include "support/registry_baseline.h"
#include "support/scratch.h"
#include "support/ui_app.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace corvane {
namespace {

using testing::DialogScript;
using testing::ScratchKey;
using testing::ShownDialog;
using testing::WindowApp;

const Feature& catalogue_feature(const std::string& id) {
  const auto& catalogue = feature_catalogue();
  const auto found = std::find_if(catalogue.begin(), catalogue.end(), [&](const Feature& f) { return f.id == id; });
  if (found == catalogue.end()) throw std::runtime_error("no feature " + id);
  return *found;
}

// The feature's single registry value, absent for the test and as a fresh Windows has it afterwards.
class ClearedValue {
 public:
  explicit ClearedValue(const std::string& id)
      : target_(catalogue_feature(id).changes.front()), baseline_({testing::catalogue_baseline(target_)}) {
    set(ValueState{});
  }
  ValueState read() const { return read_registry_value(target_); }
  void set(const ValueState& value) const {
    RegistryValue change = target_;
    change.value = value;
    write_registry_value(change);
  }

 private:
  RegistryValue target_;
  testing::RegistryBaseline baseline_;
};

int row_of(App& app, const std::string& id) {
  for (std::size_t row = 0; row < app.row_map.size(); ++row) {
    if (app.shown_features[static_cast<std::size_t>(app.row_map[row])]->id == id) return static_cast<int>(row);
  }
  return -1;
}

void select_row(App& app, int row) {
  ListView_SetItemState(app.page_list, row, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
}

bool wait_idle(App& app) {
  return testing::pump_until([&] { return !app.busy; }, 20000);
}

TEST(FeatureStatus, TextsOfRegistryAndChoiceFeaturesAndTheCache) {
  ScratchKey key;
  WindowApp app(testing::window_test_options());
  ASSERT_TRUE(app.created());
  Feature plain;
  plain.id = "test-plain";
  plain.changes = {RegistryValue{kHiveCurrentUser, key.path(), L"Plain", make_dword_value(0)}};
  Feature choice;
  choice.id = "test-choice";
  choice.changes = {RegistryValue{kHiveCurrentUser, key.path(), L"Choice", make_dword_value(0)}};
  choice.choices = {{L"Một", L"One", make_dword_value(1)}, {L"Hai", L"Two", make_dword_value(2)},
                    {L"Một lần nữa", L"One again", make_dword_value(1)}};

  EXPECT_EQ(app->feature_status_text(plain), L"Not applied");
  EXPECT_EQ(app->feature_status_text(choice), L"Windows default");
  EXPECT_EQ(app->current_values.at("test-choice"), -1);

  write_registry_value(RegistryValue{kHiveCurrentUser, key.path(), L"Plain", make_dword_value(0)});
  write_registry_value(RegistryValue{kHiveCurrentUser, key.path(), L"Choice", make_dword_value(1)});
  EXPECT_EQ(app->feature_status_text(plain), L"Not applied") << "the cached text stays until a refresh";
  app->status_text_cache.clear();
  EXPECT_EQ(app->feature_status_text(plain), L"Value is set");
  EXPECT_EQ(app->feature_status_text(choice), L"One") << "two equal choices: the first label";
  EXPECT_EQ(app->current_values.at("test-choice"), 0);

  write_registry_value(RegistryValue{kHiveCurrentUser, key.path(), L"Choice", make_dword_value(7)});
  app->status_text_cache.clear();
  EXPECT_EQ(app->feature_status_text(choice), L"Other value");

  // A value that cannot be read: a string where a 4-byte value is compared is fine, but a key
  // path the registry refuses is a read error, shown and not cached.
  Feature broken = plain;
  broken.id = "test-broken";
  broken.changes.front().key = std::wstring(300, L'x');
  EXPECT_EQ(app->feature_status_text(broken), L"Cannot read");
  EXPECT_EQ(app->status_text_cache.count("test-broken"), 0u);

  Feature future = plain;
  future.id = "test-future";
  future.min_build = 99999;
  EXPECT_EQ(app->feature_status_text(future), L"Unavailable on this build");
}

TEST(FeatureSearch, FiltersCaseInsensitivelyAcrossTheColumnsAndNothingLeavesAnEmptyList) {
  WindowApp app(testing::window_test_options());
  ASSERT_TRUE(app.created());
  app->show_page(PAGE_PRIVACY);
  const std::size_t all_rows = app->row_map.size();
  ASSERT_GT(all_rows, 3u);
  SetWindowTextW(app->search_edit, L"ADMINISTRATOR");
  ASSERT_GT(app->row_map.size(), 0u);
  ASSERT_LT(app->row_map.size(), all_rows);
  for (int model : app->row_map) EXPECT_TRUE(app->shown_features[static_cast<std::size_t>(model)]->needs_admin);

  SetWindowTextW(app->search_edit, L"no such feature anywhere");
  EXPECT_TRUE(app->row_map.empty());
  EXPECT_EQ(ListView_GetItemCount(app->page_list), 0);
  EXPECT_EQ(ListView_GetNextItem(app->page_list, -1, LVNI_SELECTED), -1);
  EXPECT_EQ(Header_GetItemCount(ListView_GetHeader(app->page_list)), 4);

  EXPECT_EQ(lower_case(L"ĐÃ ÁP DỤNG"), L"đã áp dụng");
}

TEST(FeatureApply, RefusalsComeInOrderAndWriteNothing) {
  ClearedValue advertising("advertising");
  WindowApp app(testing::window_test_options());
  ASSERT_TRUE(app.created());
  app->system_info.elevated = false;
  const std::size_t backups_before = list_backups().size();

  DialogScript dialogs;
  app->show_page(PAGE_PRIVACY);
  app->checked_features = {"advertising", "telemetry"};  // telemetry needs administrator access
  app->command(ID_PRIMARY_BUTTON);
  ASSERT_EQ(dialogs.shown().size(), 1u);
  EXPECT_EQ(dialogs.shown()[0].text,
            L"This item needs administrator access. Choose Administrator access in the sidebar, then select the "
            L"operation again.");

  app->show_page(PAGE_CUSTOMIZATION);
  const int row = row_of(*app, "task-view");
  ASSERT_GE(row, 0);
  select_row(*app, row);
  app->chosen_values["task-view"] = -1;
  app->command(ID_PRIMARY_BUTTON);
  EXPECT_EQ(app->status_text, L"Choose a value to apply.");
  EXPECT_EQ(dialogs.shown().size(), 1u);

  EXPECT_FALSE(advertising.read().exists);
  EXPECT_EQ(list_backups().size(), backups_before);
}

TEST(FeatureApply, BatchLabelReviewTextAndAValueChangedDuringReview) {
  const testing::BackupsGuard backups;
  ClearedValue animations("animations");
  ClearedValue menu_delay("menu-delay");
  WindowApp app(testing::window_test_options());
  ASSERT_TRUE(app.created());
  app->show_page(PAGE_PERFORMANCE);
  app->checked_features = {"animations", "menu-delay"};
  SetWindowTextW(app->search_edit, L"menu delay");  // hides "animations": it is applied all the same
  ASSERT_EQ(app->row_map.size(), 1u);

  {
    // Someone else writes a value while the review is shown: the job refuses and writes no backup.
    const std::size_t backups_before = list_backups().size();
    DialogScript dialogs([&](const ShownDialog& shown) {
      if (shown.title == L"Review registry changes") animations.set(make_string_value(L"5"));
      return 0;
    });
    app->command(ID_PRIMARY_BUTTON);
    ASSERT_TRUE(wait_idle(*app));
    ASSERT_EQ(dialogs.shown().size(), 2u);
    EXPECT_NE(dialogs.shown()[1].text.find(L"A value changed during review. Refresh before applying."),
              std::wstring::npos);
    EXPECT_EQ(list_backups().size(), backups_before);
    EXPECT_EQ(animations.read(), make_string_value(L"5"));
    EXPECT_FALSE(menu_delay.read().exists);
  }

  animations.set(ValueState{});
  DialogScript dialogs([](const ShownDialog&) { return 0; });
  app->command(ID_PRIMARY_BUTTON);
  ASSERT_TRUE(wait_idle(*app));
  ASSERT_EQ(dialogs.shown().size(), 2u);
  const Feature& first = catalogue_feature("animations");
  const std::wstring expected_head =
      L"Corvane saves the original values and a .reg file before applying changes.\r\n\r\n- " + first.title_en +
      L"\r\n" + first.description_en + L"\r\nHKEY_CURRENT_USER\\" + first.changes.front().key + L"\r\nMinAnimate: " +
      describe_value(ValueState{}) + L" \u2192 " + describe_value(make_string_value(L"0")) +
      L"\r\nSign-out or restart required; Corvane will not restart automatically.\r\n\r\n- ";
  EXPECT_EQ(dialogs.shown()[0].text.substr(0, expected_head.size()), expected_head);
  EXPECT_EQ(animations.read(), make_string_value(L"0"));
  EXPECT_EQ(menu_delay.read(), make_string_value(L"100"));
  const nlohmann::json backup = read_json_file(list_backups().front());
  EXPECT_EQ(backup.at("label"), "Settings batch");
  EXPECT_EQ(backup.at("state"), "applied");
}

TEST(FeatureApply, ChoiceFeatureReviewAndSingleTitleLabel) {
  const testing::BackupsGuard backups;
  ClearedValue task_view("task-view");
  WindowApp app(testing::window_test_options());
  ASSERT_TRUE(app.created());
  app->show_page(PAGE_CUSTOMIZATION);
  const int row = row_of(*app, "task-view");
  ASSERT_GE(row, 0);
  select_row(*app, row);
  ASSERT_NE(GetWindowLongPtrW(app->value_combo, GWL_STYLE) & WS_VISIBLE, 0);
  SendMessageW(app->value_combo, CB_SETCURSEL, 1, 0);
  app->on_value_selected();
  EXPECT_EQ(app->chosen_values.at("task-view"), 1);

  DialogScript dialogs([](const ShownDialog&) { return 0; });
  app->command(ID_PRIMARY_BUTTON);
  ASSERT_TRUE(wait_idle(*app));
  const Feature& feature = catalogue_feature("task-view");
  ASSERT_FALSE(dialogs.shown().empty());
  EXPECT_EQ(dialogs.shown()[0].text,
            L"Corvane saves the original values and a .reg file before applying changes.\r\n\r\n- " + feature.title_en +
                L"\r\n" + feature.description_en + L"\r\nHKEY_CURRENT_USER\\" + feature.changes.front().key +
                L"\r\nShowTaskViewButton: (absent) \u2192 1\r\n"
                L"Sign-out or restart required; Corvane will not restart automatically.\r\n");
  EXPECT_EQ(task_view.read(), make_dword_value(1));
  EXPECT_EQ(read_json_file(list_backups().front()).at("label"), wide_to_utf8(feature.title_en));
  app->status_text_cache.clear();
  EXPECT_EQ(app->feature_status_text(feature), L"Show");
}

TEST(Commands, OnlyStopIsTakenWhileAJobRuns) {
  WindowApp app(testing::window_test_options());
  ASSERT_TRUE(app.created());
  const HANDLE release = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  app->start_work([release] {
    WaitForSingleObject(release, 10000);
    return std::make_unique<Work>();
  });
  app->command(CMD_PAGE_BASE + PAGE_PRIVACY);
  app->command(CMD_PAGE_OPTIONS);
  EXPECT_EQ(app->page, PAGE_OVERVIEW);
  app->command(ID_STOP_BUTTON);
  EXPECT_EQ(app->cancel.load(), 1);
  EXPECT_EQ(app->status_text, L"Stopping...");
  EXPECT_EQ(window_text(app->stop_button), L"Stopping...");
  SetEvent(release);
  EXPECT_TRUE(wait_idle(*app));
  CloseHandle(release);
}

}  // namespace
}  // namespace corvane
