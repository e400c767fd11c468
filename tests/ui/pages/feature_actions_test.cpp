// ctest-resource-lock: data_folder reports_folder catalogue_values
// Feature actions, the Backups page and the registry review's commands, through the real window.

#include "engines/backup_restore.h"
#include "engines/feature.h"
#include "services/documents.h"
#include "services/registry.h"
#include "services/registry_transaction.h"
#include "services/text.h"
#include "support/backups_guard.h"
#include "support/dialog_script.h"
#include "support/registry_baseline.h"
#include "support/scratch.h"
#include "support/ui_app.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace corvane {
namespace {

using testing::DialogScript;
using testing::ShownDialog;
using testing::WindowApp;

const RegistryValue kNoDrives{kHiveCurrentUser, L"Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer",
                              L"NoDrives", ValueState{}};

ValueState binary_value() {
  return ValueState{true, REG_BINARY, {1, 0, 0, 0}};
}

bool wait_idle(App& app) {
  return testing::pump_until([&] { return !app.busy; }, 20000);
}

const Feature& catalogue_feature(const std::string& id) {
  for (const Feature& feature : feature_catalogue()) {
    if (feature.id == id) return feature;
  }
  throw std::runtime_error("no feature " + id);
}

TEST(DriveVisibility, MaskOfTheChosenDriveOnly) {
  struct Case {
    ValueState current;
    const wchar_t* path;
    wchar_t letter;
    bool hidden;
    std::uint32_t mask;
  };
  const Case cases[] = {
      {ValueState{}, L"D:\\data", L'D', false, 8},
      {make_dword_value(0x0C), L"D:\\", L'D', true, 4},
      {make_dword_value(0x0C), L"e:\\data", L'E', false, 0x1C},
      {make_dword_value(8), L"D:\\x", L'D', true, 0},
  };
  for (const Case& c : cases) {
    const auto toggle = toggle_drive_visibility(c.current, c.path);
    ASSERT_TRUE(toggle.has_value()) << wide_to_utf8(c.path);
    EXPECT_EQ(toggle->letter, c.letter);
    EXPECT_EQ(toggle->currently_hidden, c.hidden);
    EXPECT_EQ(toggle->new_mask, c.mask);
  }
  EXPECT_FALSE(toggle_drive_visibility(ValueState{}, L"\\\\server\\share").has_value());
  EXPECT_FALSE(toggle_drive_visibility(ValueState{}, L"").has_value());
  EXPECT_THROW(toggle_drive_visibility(binary_value(), L"D:\\"), std::runtime_error);
}

TEST(DriveVisibility, OnlyALocalDriveLetterAndA4ByteValue) {
  const auto toggle = toggle_drive_visibility(make_dword_value(0x0C), L"e:\\data");
  ASSERT_TRUE(toggle.has_value());
  EXPECT_EQ(toggle->letter, L'E');
  EXPECT_EQ(toggle->new_mask, 0x1Cu);
  EXPECT_FALSE(toggle_drive_visibility(ValueState{}, L"\\\\server\\share").has_value());
  EXPECT_FALSE(toggle_drive_visibility(ValueState{}, L"").has_value());
  EXPECT_THROW(toggle_drive_visibility(binary_value(), L"D:\\"), std::runtime_error);
}

// NoDrives is as a fresh Windows has it (absent) when each test starts and when it ends; the
// backups the tests make are removed.
class DriveFlow : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_picker = [](HWND, const std::wstring&) { return std::wstring(L"D:\\data"); };
  }
  void TearDown() override { folder_picker = nullptr; }
  void set(const ValueState& value) {
    RegistryValue change = kNoDrives;
    change.value = value;
    write_registry_value(change);
  }
  testing::RegistryBaseline baseline_{{testing::catalogue_baseline(kNoDrives)}};
  testing::BackupsGuard backups_;
};

TEST_F(DriveFlow, WritesTheToggleAndRefusesAValueChangedMeanwhile) {
  WindowApp app(testing::window_test_options());
  ASSERT_TRUE(app.created());
  const Feature& drives = catalogue_feature("drives");
  set(make_dword_value(0x0C));
  {
    DialogScript dialogs([this](const ShownDialog& shown) {
      if (shown.labels.front() == L"Apply") set(make_dword_value(0x0D));  // a policy refresh, say
      return 0;
    });
    app->feature_action(drives);
    ASSERT_TRUE(wait_idle(*app));
    ASSERT_EQ(dialogs.shown().size(), 3u);
    EXPECT_EQ(dialogs.shown()[1].text.substr(0, 14), L"Show drive D:\r");
    EXPECT_NE(dialogs.shown()[2].text.find(L"A value changed during review. Refresh before applying."),
              std::wstring::npos);
    EXPECT_EQ(read_registry_value(kNoDrives), make_dword_value(0x0D));
  }
  DialogScript dialogs([](const ShownDialog&) { return 0; });
  app->feature_action(drives);
  ASSERT_TRUE(wait_idle(*app));
  EXPECT_EQ(read_registry_value(kNoDrives), make_dword_value(0x05));
  EXPECT_EQ(read_json_file(list_backups().front()).at("label"), "Drive visibility");
}

TEST_F(DriveFlow, UnexpectedTypeIsNeverOverwritten) {
  WindowApp app(testing::window_test_options());
  ASSERT_TRUE(app.created());
  set(binary_value());
  DialogScript dialogs([](const ShownDialog&) { return 0; });
  app->feature_action(catalogue_feature("drives"));
  EXPECT_FALSE(app->busy);
  ASSERT_EQ(dialogs.shown().size(), 2u);
  EXPECT_NE(dialogs.shown()[1].text.find(L"Unexpected NoDrives value type"), std::wstring::npos);
  EXPECT_EQ(read_registry_value(kNoDrives), binary_value());
}

TEST(FeatureAction, TicksAreKeptWhenTheSingleApplyFails) {
  WindowApp app(testing::window_test_options());
  ASSERT_TRUE(app.created());
  app->show_page(PAGE_PERFORMANCE);
  app->checked_features = {"menu-delay"};
  DialogScript dialogs([](const ShownDialog&) -> int { throw std::runtime_error("dialog failed"); });
  EXPECT_THROW(app->feature_action(catalogue_feature("animations")), std::runtime_error);
  EXPECT_EQ(app->checked_features, std::set<std::string>{"menu-delay"});
}

TEST(FeatureAction, UltimateNeedsElevation) {
  WindowApp app(testing::window_test_options());
  ASSERT_TRUE(app.created());
  app->system_info.elevated = false;
  DialogScript dialogs([](const ShownDialog&) { return 0; });
  app->feature_action(catalogue_feature("ultimate"));
  EXPECT_FALSE(app->busy);
  ASSERT_EQ(dialogs.shown().size(), 1u);
  EXPECT_EQ(dialogs.shown()[0].text, L"Run Corvane as administrator to change the power plan.");
}

TEST(BackupsPage, RowsFromReadableDocumentsAndRestoreEndToEnd) {
  const testing::BackupsGuard backups;
  testing::ScratchKey key;
  const RegistryValue target{kHiveCurrentUser, key.path(), L"Value", make_dword_value(1)};
  write_registry_value(RegistryValue{kHiveCurrentUser, key.path(), L"Value", make_dword_value(0)});
  WindowApp app(testing::window_test_options(true));
  ASSERT_TRUE(app.created());
  DialogScript dialogs([](const ShownDialog&) { return 0; });
  const std::wstring label = L"Test " + testing::random_name();
  app->start_work([&] {
    auto work = std::make_unique<Work>();
    work->outcome = apply_registry_changes({target}, label, backups_folder(), nullptr, {});
    return work;
  });
  ASSERT_TRUE(wait_idle(*app));
  ASSERT_EQ(read_registry_value(target), make_dword_value(1));
  std::filesystem::create_directories(std::filesystem::path(backups_folder()));
  testing::write_file_bytes(backups_folder() + L"\\zz-not-json.json", "{ not json");
  testing::write_file_bytes(backups_folder() + L"\\zz-wrong-shape.json", R"({"label": 5, "state": "applied", "kind": "registry"})");

  app->system_info.elevated = false;  // Wine keeps no owner on files: elevated, every document is refused
  app->show_page(PAGE_BACKUPS);
  int row = -1;
  for (int r = 0; r < ListView_GetItemCount(app->page_list); ++r) {
    wchar_t name[256] = {};
    ListView_GetItemText(app->page_list, r, 0, name, 256);
    if (name == label) row = r;
  }
  ASSERT_GE(row, 0);
  wchar_t state[64] = {};
  ListView_GetItemText(app->page_list, row, 2, state, 64);
  EXPECT_STREQ(state, L"Đã áp dụng");
  EXPECT_EQ(static_cast<int>(app->row_map.size()), static_cast<int>(app->backups.size()) - 2);

  ListView_SetItemState(app->page_list, row, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
  // An elevation that cannot be read is trusted as elevated: the unprotected document is refused.
  app->elevation_unreadable = true;
  app->command(ID_PRIMARY_BUTTON);
  ASSERT_TRUE(wait_idle(*app));
  EXPECT_EQ(read_registry_value(target), make_dword_value(1));
  ASSERT_FALSE(dialogs.shown().empty());
  EXPECT_NE(dialogs.shown().back().text.find(kUnprotectedBackupMessageVi), std::wstring::npos);

  app->elevation_unreadable = false;
  app->system_info.elevated = false;  // read again when the job ended
  app->command(ID_PRIMARY_BUTTON);
  ASSERT_TRUE(wait_idle(*app));
  EXPECT_EQ(read_registry_value(target), make_dword_value(0));
}

TEST(RegistryReview, MachineFindingNeedsElevationAndAnEmptyExportIsAnEmptyArray) {
  const testing::ReportsGuard reports;
  WindowApp app(testing::window_test_options());
  ASSERT_TRUE(app.created());
  app->system_info.elevated = false;
  app->page = PAGE_ADVANCED;
  app->review_view = true;
  app->review_entries = {AuditEntry{L"x", L"Stale Run value", {kHiveLocalMachine, L"Software\\X", L"Y", ValueState{}},
                                    L"C:\\missing.exe", true}};
  app->populate_page();
  DialogScript dialogs([](const ShownDialog&) { return 0; });
  app->command(ID_PRIMARY_BUTTON);
  EXPECT_FALSE(app->busy);
  ASSERT_EQ(dialogs.shown().size(), 1u);
  EXPECT_NE(dialogs.shown()[0].text.find(L"Administrator access required"), std::wstring::npos);

  app->review_entries.clear();
  const auto before = std::filesystem::exists(reports_folder())
                          ? std::distance(std::filesystem::directory_iterator(reports_folder()), {})
                          : 0;
  app->command(ID_TERTIARY_BUTTON);
  std::wstring newest;
  for (const auto& entry : std::filesystem::directory_iterator(reports_folder())) {
    const std::wstring name = entry.path().filename().wstring();
    if (name.size() > 14 && name.substr(name.size() - 14) == L"-registry.json" && name > newest) newest = name;
  }
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(reports_folder()), {}), before + 1);
  EXPECT_EQ(testing::read_file_bytes(reports_folder() + L"\\" + newest), "[]");
}

}  // namespace
}  // namespace corvane
