// ctest-resource-lock: startup data_folder reports_folder
// The Backups page and the data folder commands of an elevated Corvane whose data folder the
// user's folder settings put outside the user's profile.
#include "services/data_folder_guard.h"
#include "services/documents.h"
#include "support/backups_guard.h"
#include "support/outside_folder.h"
#include "support/scratch.h"
#include "support/ui_app.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <memory>

namespace corvane {
namespace {

TEST(BackupsPage, AnElevatedCorvaneListsNothingFromADataFolderOutsideTheProfile) {
  const testing::OutsideFolder outside;
  testing::StartupScratch scratch;
  testing::redirect_local_app_data(scratch, outside.path());
  const std::wstring document = backups_folder() + L"\\20260101-000000-000-1-1-registry.json";
  std::filesystem::create_directories(backups_folder());
  testing::write_file_bytes(document, R"({"label": "x", "state": "applied", "kind": "registry"})");

  testing::WindowApp app(testing::window_test_options(true));
  ASSERT_TRUE(app.created());
  app->system_info.elevated = true;
  app->elevation_unreadable = false;
  app->show_page(PAGE_BACKUPS);
  EXPECT_TRUE(app->backups.empty());
  EXPECT_EQ(ListView_GetItemCount(app->page_list), 0);
  EXPECT_EQ(app->status_text, kDataFolderOutsideProfileMessageVi);
  app->refresh();  // the process's own elevation, read again
  EXPECT_TRUE(app->backups.empty());
  EXPECT_EQ(app->status_text, kDataFolderOutsideProfileMessageVi);

  // An action's refusal, as any page shows it.
  Outcome refused;
  refused.ok = false;
  refused.message = kDataFolderOutsideProfileMessage;
  app->show_outcome(refused);
  EXPECT_NE(app->status_text.find(kDataFolderOutsideProfileMessageVi), std::wstring::npos);

  // Opening the data folder makes nothing there either.
  std::filesystem::remove_all(app_data_folder());
  app->set_status(L"");
  app->command(CMD_OPEN_DATA_FOLDER);
  EXPECT_EQ(app->status_text, kDataFolderOutsideProfileMessageVi);
  EXPECT_TRUE(std::filesystem::is_empty(outside.path()));

  // Unelevated, the page lists the folder as ever.
  std::filesystem::create_directories(backups_folder());
  testing::write_file_bytes(document, R"({"label": "x", "state": "applied", "kind": "registry"})");
  app->system_info.elevated = false;
  app->show_page(PAGE_BACKUPS);
  EXPECT_EQ(app->backups, std::vector<std::wstring>{document});
  EXPECT_EQ(ListView_GetItemCount(app->page_list), 1);
}

// Runs one job on the Backups page that ends with this outcome, as a restore does.
void restore_ending_with(App& app, const Outcome& outcome) {
  app.start_work([outcome] {
    auto work = std::make_unique<Work>();
    work->kind = WORK_RESTORE;
    work->outcome = outcome;
    return work;
  });
  ASSERT_TRUE(testing::pump_until([&] { return !app.busy; }));
}

TEST(BackupsPage, AnActionsOutcomeStaysOnTheStatusLineBeforeTheRefusedListingsReason) {
  Outcome restored;
  restored.message = L"Restored 2 values";
  restored.record_path = L"C:\\backup-registry.json";
  const std::wstring restored_status = L"Completed\r\nRestored 2 values\r\nC:\\backup-registry.json";
  testing::WindowApp app(testing::window_test_options());
  ASSERT_TRUE(app.created());
  {
    const testing::OutsideFolder outside;
    testing::StartupScratch scratch;
    testing::redirect_local_app_data(scratch, outside.path());
    app->system_info.elevated = true;
    app->show_page(PAGE_BACKUPS);
    restore_ending_with(*app, restored);
    ASSERT_TRUE(app->acts_elevated());
    EXPECT_TRUE(app->backups.empty());
    EXPECT_EQ(app->status_text, restored_status + L"\r\n" + kDataFolderOutsideProfileMessage);

    // An outcome that already gives the listing's reason gives it once.
    app->switch_language(true);
    Outcome refused;
    refused.ok = false;
    refused.message = kDataFolderOutsideProfileMessage;
    restore_ending_with(*app, refused);
    EXPECT_EQ(app->status_text, std::wstring(L"Không hoàn tất\r\n") + kDataFolderOutsideProfileMessageVi);
    app->switch_language(false);
  }

  // A listing that is not refused leaves the outcome alone.
  const testing::BackupsGuard guard;
  const std::wstring document = backups_folder() + L"\\20260101-000000-000-1-1-registry.json";
  std::filesystem::create_directories(backups_folder());
  testing::write_file_bytes(document, R"({"label": "x", "state": "applied", "kind": "registry"})");
  restore_ending_with(*app, restored);
  ASSERT_TRUE(app->acts_elevated());
  EXPECT_EQ(app->status_text, restored_status);
  EXPECT_NE(std::find(app->backups.begin(), app->backups.end(), document), app->backups.end());
}

}  // namespace
}  // namespace corvane
