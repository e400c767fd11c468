// ctest-resource-lock: reports_folder data_folder
#include "ui/app.h"

#include "services/documents.h"
#include "services/system_info.h"
#include "services/text.h"
#include "support/file_tree.h"
#include "support/outside_folder.h"
#include "support/scratch.h"
#include "support/startup_scratch.h"
#include "support/ui_app.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <set>

namespace corvane {
namespace {

using testing::pump_until;
using testing::read_file_bytes;
using testing::WindowApp;

struct Shown { std::wstring title, text; };
std::vector<Shown> shown;
int answer = -1;

int respond(const std::wstring& title, const std::wstring& text, const std::vector<std::wstring>&) {
  shown.push_back({title, text});
  return answer;
}

std::set<std::wstring> reports() {
  std::set<std::wstring> files;
  std::error_code ignored;
  for (const auto& item : std::filesystem::directory_iterator(reports_folder(), ignored)) files.insert(item.path());
  return files;
}

class CleanupPage : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(app.created());
    shown.clear();
    answer = -1;
    dialog_responder = respond;
    app->cleanup_areas = {testing::scratch_area("temp", folder.path()), app->cleanup_areas[9]};
    app->selected_area_ids = {"temp"};
    app->show_page(PAGE_CLEANUP);
  }
  void TearDown() override {
    dialog_responder = nullptr;
    for (const std::wstring& file : reports()) {
      if (before.count(file) == 0) std::filesystem::remove(file);
    }
  }
  void scan_by_button() {
    app->command(ID_PRIMARY_BUTTON);
    ASSERT_TRUE(pump_until([&] { return !app->busy; }, 60000));
    ASSERT_TRUE(app->scan_usable);
  }

  testing::ScratchFolder folder;
  WindowApp app{testing::window_test_options()};
  std::set<std::wstring> before = reports();
};

TEST_F(CleanupPage, PreviewShowsAThousandPathsAndTheExportHoldsEveryFile) {
  for (int i = 0; i < 1001; ++i) {
    testing::make_old_file(folder.file(L"f" + std::to_wstring(i) + L".tmp"), "x", 30 * testing::kDay);
  }
  scan_by_button();
  ASSERT_EQ(app->scan_result.items.size(), 1001u);
  answer = 0;  // "Export report"
  app->command(ID_TERTIARY_BUTTON);
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_EQ(shown[0].title, L"Cleanup preview");
  const std::wstring& text = shown[0].text;
  const std::wstring first = app->scan_result.items[0].path + L"  [1 B]\r\n";
  EXPECT_EQ(text.find(L"Scanned files. Deletion is permanent; registry backups cannot recover files.\r\n\r\n" + first),
            0u);
  std::size_t lines = 0;
  for (std::size_t at = 0; (at = text.find(L"  [1 B]\r\n", at + 1)) != std::wstring::npos;) ++lines;
  EXPECT_EQ(lines, 1000u);
  const std::wstring tail = L"B]\r\n\r\nShowing the first 1,000 files. Export for the complete list.";
  EXPECT_EQ(text.compare(text.size() - tail.size(), tail.size(), tail), 0);

  std::vector<std::wstring> exports;
  for (const std::wstring& file : reports()) {
    if (before.count(file) == 0 && file.ends_with(L"-scan.json")) exports.push_back(file);
  }
  ASSERT_EQ(exports.size(), 1u);
  const nlohmann::json document = read_json_file(exports[0]);
  ASSERT_EQ(document.size(), 1001u);
  EXPECT_EQ(document[1000], nlohmann::json({{"bytes", 1}, {"group", "temp"},
                                            {"path", wide_to_utf8(app->scan_result.items[1000].path)}}));
  EXPECT_EQ(document[0].dump().find("\"bytes\":1,\"group\":\"temp\",\"path\":"), 1u);
}

TEST_F(CleanupPage, CleaningAsksFirstAndATickChangeMakesTheScanUnusable) {
  // Twelve files of 3.4 MB together; one more is too new to be found.
  for (int i = 0; i < 12; ++i) {
    testing::make_old_file(folder.file(L"g" + std::to_wstring(i)), std::string(297097, 'z'), 30 * testing::kDay);
  }
  testing::make_old_file(folder.file(L"new"), "n", testing::kMinute);
  scan_by_button();
  app->command(ID_SECONDARY_BUTTON);  // refused in the dialog
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_EQ(shown[0].title, L"Confirm cleanup");
  EXPECT_EQ(shown[0].text.substr(0, shown[0].text.find(L"\r\n")), L"12 files - 3.4 MB");
  EXPECT_FALSE(app->busy);
  EXPECT_TRUE(testing::file_exists(folder.file(L"g0")));

  // Ticking the tool row is undone at once; unticking the scanned area spoils the scan, and
  // then cleaning and reviewing do nothing.
  ListView_SetCheckState(app->page_list, 1, TRUE);
  EXPECT_TRUE(app->scan_usable);
  ListView_SetCheckState(app->page_list, 0, FALSE);
  EXPECT_FALSE(app->scan_usable);
  app->command(ID_SECONDARY_BUTTON);
  app->command(ID_TERTIARY_BUTTON);
  EXPECT_EQ(shown.size(), 1u);
  app->command(ID_PRIMARY_BUTTON);
  EXPECT_FALSE(app->busy);
  EXPECT_EQ(app->status_text, L"Select at least one file area to scan.");

  ListView_SetCheckState(app->page_list, 0, TRUE);
  scan_by_button();
  answer = 0;  // "Delete files", then "Close" on the result
  app->command(ID_SECONDARY_BUTTON);
  ASSERT_TRUE(pump_until([&] { return !app->busy; }, 60000));
  ASSERT_EQ(shown.size(), 3u);
  EXPECT_EQ(shown[2].title, L"Operation result");
  EXPECT_EQ(shown[2].text.find(L"Completed - 12 processed, 0 skipped"), 0u);
  EXPECT_FALSE(testing::file_exists(folder.file(L"g0")));
  EXPECT_TRUE(testing::file_exists(folder.file(L"new")));
  EXPECT_FALSE(app->scan_usable);
  EXPECT_TRUE(app->scan_result.items.empty());
}

TEST_F(CleanupPage, ARunThatFailsBeforeItsReportKeepsTheScan) {
  testing::make_old_file(folder.file(L"a.tmp"), "x", 30 * testing::kDay);
  scan_by_button();
  CleanupItem forged = app->scan_result.items[0];
  forged.path = folder.file(std::wstring(L"b") + wchar_t(0xD800) + L".tmp");
  app->scan_result.items.push_back(forged);
  answer = 0;  // "Delete files", then "Close"
  app->command(ID_SECONDARY_BUTTON);
  ASSERT_TRUE(pump_until([&] { return !app->busy; }, 60000));
  ASSERT_EQ(shown.size(), 2u);
  EXPECT_EQ(shown[1].title, L"Operation result");
  EXPECT_EQ(shown[1].text, L"Not completed\r\nInvalid UTF-16");
  EXPECT_TRUE(app->scan_usable) << "the untouched scan was thrown away";
  EXPECT_EQ(app->scan_result.items.size(), 2u);
  EXPECT_TRUE(testing::file_exists(folder.file(L"a.tmp")));
  EXPECT_EQ(reports(), before) << "a report was written";
}

// Elevated (every process is, under Wine) with "Local AppData" pointed outside the profile: the
// App's own areas under it get no roots, an area rooted there is passed over by the page's scan
// and its file left by the page's run, and the status line says why after what the scan found
// elsewhere, in the window's language.
class CleanupPageOutsideProfile : public ::testing::Test {
 protected:
  void TearDown() override {
    dialog_responder = nullptr;
    for (const std::wstring& file : reports()) {
      if (before.count(file) == 0) std::filesystem::remove(file);
    }
  }
  std::set<std::wstring> before = reports();
};

TEST_F(CleanupPageOutsideProfile, TheStatusLineSaysWhyAndTheRunLeavesTheFolderAlone) {
  ASSERT_TRUE(process_elevated());
  const testing::OutsideFolder outside;
  const std::wstring thesis = outside.path() + L"\\Temp\\thesis.docx";
  testing::make_old_file(thesis, "another user's thesis", 30 * testing::kDay);
  testing::StartupScratch scratch;
  testing::redirect_local_app_data(scratch, outside.path());
  const testing::ScratchFolder own;

  for (const bool vietnamese : {false, true}) {
    testing::make_old_file(own.file(L"old.tmp"), "x", 30 * testing::kDay);
    WindowApp app{testing::window_test_options(vietnamese)};
    ASSERT_TRUE(app.created());
    EXPECT_TRUE(app->cleanup_areas[0].roots_withheld);
    // As areas made without the check would name it.
    const CleanupArea there = testing::scratch_area("there", outside.path() + L"\\Temp");
    app->cleanup_areas.push_back(testing::scratch_area("own", own.path()));
    app->cleanup_areas.push_back(there);
    app->selected_area_ids.insert({"own", "there"});
    ASSERT_EQ(app->selected_area_ids, (std::set<std::string>{"crashes", "own", "temp", "there"}));
    app->show_page(PAGE_CLEANUP);
    app->command(ID_PRIMARY_BUTTON);
    ASSERT_TRUE(pump_until([&] { return !app->busy; }, 60000));
    ASSERT_EQ(app->scan_result.items.size(), 1u);
    EXPECT_EQ(app->status_text,
              vietnamese ? L"1 tập tin - 1 B có thể dọn - Thư mục dữ liệu ứng dụng cục bộ của bạn nằm ngoài hồ sơ người "
                           L"dùng, nên Corvane chạy với quyền quản trị không dọn các vùng trong thư mục đó."
                         : L"1 files - 1 B reclaimable - Your local application data folder is outside your user "
                           L"profile, so Corvane running as administrator does not clean the areas inside it.");

    // The file there, listed as an unelevated scan lists it, and the page's run.
    CancelFlag never{0};
    const ScanResult unchecked = scan_cleanup_areas({there}, &never, {}, false);
    ASSERT_EQ(unchecked.items.size(), 1u);
    app->scan_result.items.push_back(unchecked.items[0]);
    answer = 0;  // "Delete files", then "Close"
    dialog_responder = respond;
    app->command(ID_SECONDARY_BUTTON);
    ASSERT_TRUE(pump_until([&] { return !app->busy; }, 60000));
    dialog_responder = nullptr;
    EXPECT_FALSE(testing::file_exists(own.file(L"old.tmp")));
    EXPECT_EQ(read_file_bytes(thesis), "another user's thesis");
  }
}

}  // namespace
}  // namespace corvane
