#include "ui/app.h"

#include "support/ui_app.h"
#include "ui/drawing/controls.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace corvane {
namespace {

using testing::child_rect;
using testing::pump_messages;
using testing::window_test_options;
using testing::WindowApp;

std::wstring class_name(HWND window) {
  wchar_t name[64] = {};
  GetClassNameW(window, name, 64);
  return name;
}

TEST(MainWindow, ClassTitleSizeAndNoMenu) {
  WindowApp app(window_test_options());
  ASSERT_TRUE(app.created());
  EXPECT_EQ(class_name(app->main_window), L"Corvane.Main");
  EXPECT_EQ(window_text(app->main_window), L"Corvane 1.0");
  EXPECT_EQ(GetMenu(app->main_window), nullptr);
  EXPECT_FALSE(IsWindowVisible(app->main_window));
  const UINT dpi = GetDpiForSystem();
  RECT rect{};
  GetWindowRect(app->main_window, &rect);
  EXPECT_EQ(rect.right - rect.left, MulDiv(1220, static_cast<int>(dpi), 96));
  EXPECT_EQ(rect.bottom - rect.top, MulDiv(850, static_cast<int>(dpi), 96));
  EXPECT_EQ(app->renderer.dpi, GetDpiForWindow(app->main_window));
  WNDCLASSEXW dialog_class{};
  dialog_class.cbSize = sizeof(dialog_class);
  EXPECT_TRUE(GetClassInfoExW(GetModuleHandleW(nullptr), L"Corvane.Dialog", &dialog_class));
}

TEST(MainWindow, MinimumTrackSizeFollowsTheDpi) {
  WindowApp app(window_test_options());
  ASSERT_TRUE(app.created());
  MINMAXINFO info{};
  SendMessageW(app->main_window, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&info));
  EXPECT_EQ(info.ptMinTrackSize.x, app->renderer.scale(1080));
  EXPECT_EQ(info.ptMinTrackSize.y, app->renderer.scale(790));
  // Wine keeps one system DPI; the 144-dpi answer comes from the renderer's scale.
  app->renderer.set_theme(false, 144);
  SendMessageW(app->main_window, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&info));
  EXPECT_EQ(info.ptMinTrackSize.x, 1620);
  EXPECT_EQ(info.ptMinTrackSize.y, 1185);
}

TEST(MainWindow, ResizingBelowTheMinimumIsRefused) {
  WindowApp app(window_test_options(), true);
  ASSERT_TRUE(app.created());
  if (GetDpiForWindow(app->main_window) != 96) GTEST_SKIP() << "the prefix does not run at 96 dpi";
  SetWindowPos(app->main_window, nullptr, 0, 0, 900, 600, SWP_NOZORDER | SWP_NOMOVE | SWP_NOACTIVATE);
  RECT rect{};
  GetWindowRect(app->main_window, &rect);
  EXPECT_GE(rect.right - rect.left, 1080);
  EXPECT_GE(rect.bottom - rect.top, 790);
}

TEST(MainWindow, LayoutFollowsTheClientArea) {
  WindowApp app(window_test_options(), true);
  ASSERT_TRUE(app.created());
  if (GetDpiForWindow(app->main_window) != 96) GTEST_SKIP() << "the prefix does not run at 96 dpi";
  // A client area 1300 x 900: find the window size that gives it.
  RECT want{0, 0, 1300, 900};
  AdjustWindowRectEx(&want, WS_OVERLAPPEDWINDOW, FALSE, 0);
  SetWindowPos(app->main_window, nullptr, 0, 0, want.right - want.left, want.bottom - want.top,
               SWP_NOZORDER | SWP_NOMOVE | SWP_NOACTIVATE);
  pump_messages();
  RECT client{};
  GetClientRect(app->main_window, &client);
  const int W = client.right;
  const int H = client.bottom;
  app->show_page(PAGE_CLEANUP);  // a list page shows the list and its buttons

  const RECT sidebar = child_rect(app->sidebar);
  EXPECT_EQ(sidebar.left, 0);
  EXPECT_EQ(sidebar.top, 104);
  EXPECT_EQ(sidebar.right, 240);
  EXPECT_EQ(sidebar.bottom - sidebar.top, std::max(250, H - 186));
  const RECT admin = child_rect(app->admin_button);
  EXPECT_EQ(admin.left, 10);
  EXPECT_EQ(admin.top, H - 70);
  EXPECT_EQ(admin.right - admin.left, 220);
  EXPECT_EQ(admin.bottom - admin.top, 38);
  const RECT search = child_rect(app->search_edit);
  EXPECT_EQ(search.left, 272);
  EXPECT_EQ(search.top, 107);
  EXPECT_EQ(search.right, W - 32);
  EXPECT_EQ(search.bottom, 143);
  const RECT list = child_rect(app->page_list);
  EXPECT_EQ(list.top, 156);
  EXPECT_EQ(list.bottom - list.top, std::max(80, H - 250));
  const RECT primary = child_rect(app->primary_button);
  const RECT secondary = child_rect(app->secondary_button);
  const RECT tertiary = child_rect(app->tertiary_button);
  EXPECT_EQ(primary.left, W - 32 - 190);
  EXPECT_EQ(secondary.left, W - 32 - 390);
  EXPECT_EQ(tertiary.left, 272);
  for (const RECT& button : {primary, secondary, tertiary}) {
    EXPECT_EQ(button.top, H - 78);
    EXPECT_EQ(button.right - button.left, 190);
    EXPECT_EQ(button.bottom - button.top, 36);
  }
  EXPECT_GE(primary.left, secondary.right);
  // Four columns fill the list: 96 for the information column, the rest by percentage.
  const int rest = (W - 32 - 272) - (GetSystemMetricsForDpi(SM_CXVSCROLL, 96) + 4) - 96;
  EXPECT_EQ(ListView_GetColumnWidth(app->page_list, 0), rest * 48 / 100);
  EXPECT_EQ(ListView_GetColumnWidth(app->page_list, 1), 96);
  EXPECT_EQ(ListView_GetColumnWidth(app->page_list, 2), rest * 27 / 100);
  EXPECT_EQ(ListView_GetColumnWidth(app->page_list, 3), rest - rest * 48 / 100 - rest * 27 / 100);
}

TEST(MainWindow, TitlesAndSubtitlesInBothLanguages) {
  WindowApp app(window_test_options());
  ASSERT_TRUE(app.created());
  app->show_page(PAGE_OVERVIEW);
  EXPECT_EQ(app->page_title(), L"Overview");
  EXPECT_EQ(app->page_subtitle(), L"System information");
  app->show_page(PAGE_ABOUT);
  EXPECT_EQ(app->page_title(), L"About Corvane");
  EXPECT_EQ(app->page_subtitle(), L"Version 1.0");
  app->show_page(PAGE_UPDATES);
  EXPECT_EQ(app->page_subtitle(), L"Installed version: 1.0");
  app->command(CMD_LANGUAGE_VIETNAMESE);
  EXPECT_EQ(app->page_title(), L"Cập nhật");
  EXPECT_EQ(app->page_subtitle(), L"Phiên bản đang dùng: 1.0");
  EXPECT_EQ(app->status_text, L"Đã chọn tiếng Việt");
  app->show_page(PAGE_STARTUP);
  EXPECT_EQ(app->page_title(), L"Khởi động");
  EXPECT_EQ(app->page_subtitle(), L"Nhấp đúp để đổi trạng thái. Bấm Lưu cấu hình để áp dụng.");
  app->review_view = true;
  EXPECT_EQ(app->page_title(), L"Kiểm tra Registry");
  app->command(CMD_LANGUAGE_ENGLISH);
  EXPECT_EQ(app->page_title(), L"Registry review");
  EXPECT_EQ(app->status_text, L"English selected");
}

TEST(MainWindow, PageSwitchShowsListControlsOnlyOnListPages) {
  WindowApp app(window_test_options());
  ASSERT_TRUE(app.created());
  const auto visible = [](HWND window) { return (GetWindowLongPtrW(window, GWL_STYLE) & WS_VISIBLE) != 0; };
  EXPECT_FALSE(visible(app->page_list));
  app->command(CMD_PAGE_BASE + PAGE_BACKUPS);
  EXPECT_EQ(app->page, PAGE_BACKUPS);
  EXPECT_TRUE(visible(app->page_list));
  EXPECT_TRUE(visible(app->search_edit));
  EXPECT_EQ(window_text(app->primary_button), L"Restore selected backup");
  EXPECT_EQ(Header_GetItemCount(ListView_GetHeader(app->page_list)), 4);
  app->command(CMD_PAGE_LICENSES);
  EXPECT_EQ(app->page, PAGE_LICENSES);
  EXPECT_FALSE(visible(app->page_list));
  EXPECT_FALSE(visible(app->primary_button));
}

TEST(MainWindow, ActionButtonsFollowThePageState) {
  WindowApp app(window_test_options());
  ASSERT_TRUE(app.created());
  const auto enabled = [&](bool primary, bool secondary, bool tertiary) {
    return IsWindowEnabled(app->primary_button) == (primary ? TRUE : FALSE) &&
           IsWindowEnabled(app->secondary_button) == (secondary ? TRUE : FALSE) &&
           IsWindowEnabled(app->tertiary_button) == (tertiary ? TRUE : FALSE);
  };
  // A page switch sets the buttons by itself; a state change within a page takes an update.
  app->show_page(PAGE_CLEANUP);
  EXPECT_TRUE(enabled(true, false, false));
  app->scan_usable = true;
  app->scan_result.items.resize(2);
  app->update_control_states();
  EXPECT_TRUE(enabled(true, true, true));
  app->scan_result.items.clear();
  app->update_control_states();
  EXPECT_TRUE(enabled(true, false, true));

  app->show_page(PAGE_UPDATES);
  EXPECT_TRUE(enabled(false, true, false));
  app->update = UpdateInfo{};
  app->update_control_states();
  EXPECT_TRUE(enabled(true, true, false));
  app->update->sha256 = std::string(64, 'a');
  app->update_control_states();
  EXPECT_TRUE(enabled(true, true, true));

  app->show_page(PAGE_STARTUP);
  EXPECT_FALSE(IsWindowEnabled(app->primary_button));
  EXPECT_TRUE(IsWindowEnabled(app->tertiary_button));
}

TEST(MainWindow, TickingCleanupAreas) {
  WindowApp app(window_test_options());
  ASSERT_TRUE(app.created());
  app->show_page(PAGE_CLEANUP);
  ListView_SetExtendedListViewStyleEx(app->page_list, LVS_EX_CHECKBOXES, LVS_EX_CHECKBOXES);
  ASSERT_FALSE(app->cleanup_areas.empty());
  int tool = -1;
  int scanned = -1;
  app->notify_guard = true;
  for (size_t i = 0; i < app->cleanup_areas.size(); ++i) {
    const CleanupArea& area = app->cleanup_areas[i];
    app->add_list_row(static_cast<int>(i), L"area", L"", L"", app->selected_area_ids.count(area.id) != 0);
    if (!area.action.empty() && tool < 0) tool = static_cast<int>(i);
    if (area.action.empty() && scanned < 0) scanned = static_cast<int>(i);
  }
  app->notify_guard = false;
  ASSERT_GE(tool, 0);
  ASSERT_GE(scanned, 0);
  const std::string scanned_id = app->cleanup_areas[static_cast<size_t>(scanned)].id;
  const auto checked = [&](int row) { return ListView_GetCheckState(app->page_list, row) != 0; };

  // Ticking or unticking a scanned area changes the selection and throws the scan away.
  app->scan_usable = true;
  app->scan_result.items.resize(3);
  const bool was = checked(scanned);
  ListView_SetCheckState(app->page_list, scanned, !was);
  EXPECT_EQ(app->selected_area_ids.count(scanned_id) != 0, !was);
  EXPECT_FALSE(app->scan_usable);
  EXPECT_TRUE(app->scan_result.items.empty());
  EXPECT_FALSE(IsWindowEnabled(app->secondary_button));
  ListView_SetCheckState(app->page_list, scanned, was);
  EXPECT_EQ(app->selected_area_ids.count(scanned_id) != 0, was);

  // A tool entry never stays ticked.
  ListView_SetCheckState(app->page_list, tool, TRUE);
  EXPECT_FALSE(checked(tool));
  EXPECT_EQ(app->selected_area_ids.count(app->cleanup_areas[static_cast<size_t>(tool)].id), 0u);
  // Selecting the tool row offers to open the tool.
  ListView_SetItemState(app->page_list, tool, LVIS_SELECTED, LVIS_SELECTED);
  EXPECT_EQ(window_text(app->tertiary_button), L"Open Windows tool");
  EXPECT_TRUE(IsWindowEnabled(app->tertiary_button));
  ListView_SetItemState(app->page_list, scanned, LVIS_SELECTED, LVIS_SELECTED);
  EXPECT_EQ(window_text(app->tertiary_button), L"Review files");
  EXPECT_FALSE(IsWindowEnabled(app->tertiary_button));

  // While busy, a click on a check box is refused.
  app->busy = true;
  const bool before = checked(scanned);
  ListView_SetCheckState(app->page_list, scanned, !before);
  EXPECT_EQ(checked(scanned), before);
  app->busy = false;
}

TEST(MainWindow, GuardPutsExceptionsOnTheStatusLine) {
  WindowApp app(window_test_options());
  ASSERT_TRUE(app.created());
  app->run_guarded([] { throw std::runtime_error("Something failed"); });
  EXPECT_EQ(app->status_text, L"Something failed");
  EXPECT_TRUE(IsWindow(app->main_window));
}

TEST(MainWindow, F5InTheMessageLoopRefreshes) {
  WindowApp app(window_test_options());
  ASSERT_TRUE(app.created());
  app->status_text.clear();
  PostMessageW(app->page_list, WM_KEYDOWN, VK_F5, 0);
  PostMessageW(app->main_window, WM_CLOSE, 0, 0);
  EXPECT_EQ(app->message_loop(), 0);
  EXPECT_EQ(app->status_text, L"Refreshed");
  EXPECT_FALSE(IsWindow(app->main_window));
}

TEST(MainWindow, DoubleClicksOfOwnerDrawnButtonsDoNotRunCommands) {
  WindowApp app(window_test_options());
  ASSERT_TRUE(app.created());
  app->show_page(PAGE_OVERVIEW);
  const HWND about = app->nav_buttons.back();
  ASSERT_EQ(GetDlgCtrlID(about), CMD_PAGE_ABOUT);
  SendMessageW(app->main_window, WM_COMMAND, MAKEWPARAM(CMD_PAGE_ABOUT, BN_DOUBLECLICKED),
               reinterpret_cast<LPARAM>(about));
  EXPECT_EQ(app->page, PAGE_OVERVIEW);
  SendMessageW(app->main_window, WM_COMMAND, MAKEWPARAM(CMD_PAGE_ABOUT, BN_CLICKED), reinterpret_cast<LPARAM>(about));
  EXPECT_EQ(app->page, PAGE_ABOUT);
  // A click inside the sidebar reaches the main window too.
  SendMessageW(app->sidebar, WM_COMMAND, MAKEWPARAM(CMD_PAGE_BASE + PAGE_PRIVACY, BN_CLICKED),
               reinterpret_cast<LPARAM>(app->nav_buttons[PAGE_PRIVACY]));
  EXPECT_EQ(app->page, PAGE_PRIVACY);
}

TEST(MainWindow, RowHeightImageListIsSharedAndReplacedSafely) {
  WindowApp app(window_test_options());
  ASSERT_TRUE(app.created());
  EXPECT_NE(GetWindowLongPtrW(app->page_list, GWL_STYLE) & LVS_SHAREIMAGELISTS, 0);
  const HIMAGELIST first = app->row_height_images;
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(ListView_GetImageList(app->page_list, LVSIL_SMALL), first);
  int cx = 0;
  int cy = 0;
  ImageList_GetIconSize(first, &cx, &cy);
  EXPECT_EQ(cy, app->renderer.scale(40));
  // A DPI change: the list gets the new image list before the old one goes.
  RECT rect{};
  GetWindowRect(app->main_window, &rect);
  const UINT dpi = app->renderer.dpi;
  SendMessageW(app->main_window, WM_DPICHANGED, MAKEWPARAM(dpi, dpi), reinterpret_cast<LPARAM>(&rect));
  const HIMAGELIST second = app->row_height_images;
  EXPECT_NE(second, nullptr);
  EXPECT_EQ(ListView_GetImageList(app->page_list, LVSIL_SMALL), second);
  // Destroying the window leaves the App's list alone: the App frees it once.
  DestroyWindow(app->main_window);
  pump_messages();
  ImageList_GetIconSize(second, &cx, &cy);
  EXPECT_EQ(cy, app->renderer.scale(40));
}

TEST(MainWindow, GuardedExceptionsReachTheStatusLineAndIdleCloseQuits) {
  WindowApp app(window_test_options());
  ASSERT_TRUE(app.created());
  app->run_guarded([] { throw std::runtime_error("Something failed"); });
  EXPECT_EQ(app->status_text, L"Something failed");
  SendMessageW(app->main_window, WM_CLOSE, 0, 0);
  EXPECT_FALSE(IsWindow(app->main_window));
  MSG message{};
  EXPECT_TRUE(PeekMessageW(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
  EXPECT_EQ(message.wParam, 0u);
}

TEST(MainWindow, ListColumnsAreLaidOutAtTheRenderersDpi) {
  WindowApp app(window_test_options());
  ASSERT_TRUE(app.created());
  // Wine keeps one system DPI; other DPIs reach the layout through the renderer.
  for (const UINT dpi : {96u, 144u}) {
    app->renderer.set_theme(false, dpi);
    for (const int page : {PAGE_PRIVACY, PAGE_STARTUP}) {
      app->show_page(page);
      app->layout();
      RECT list{};
      GetWindowRect(app->page_list, &list);
      const int rest = (list.right - list.left) - GetSystemMetricsForDpi(SM_CXVSCROLL, dpi) - MulDiv(4, dpi, 96) -
                       MulDiv(96, dpi, 96);
      const int column[4] = {ListView_GetColumnWidth(app->page_list, 0), ListView_GetColumnWidth(app->page_list, 1),
                             ListView_GetColumnWidth(app->page_list, 2), ListView_GetColumnWidth(app->page_list, 3)};
      EXPECT_EQ(column[1], dpi == 144 ? 144 : 96) << dpi;
      EXPECT_EQ(column[0], rest * (page == PAGE_STARTUP ? 42 : 48) / 100) << dpi;
      EXPECT_EQ(column[2], rest * (page == PAGE_STARTUP ? 32 : 27) / 100) << dpi;
      EXPECT_EQ(column[0] + column[2] + column[3], rest) << dpi;
    }
  }
}

TEST(MainWindow, WithoutABufferForTheNewSizeThePaintGoesStraightToTheScreen) {
  WindowApp app(window_test_options(), true);
  ASSERT_TRUE(app.created());
  UpdateWindow(app->main_window);
  const int old_width = app->back_width;
  ASSERT_GT(old_width, 0);
  const BufferBitmapMaker real = create_buffer_bitmap;
  create_buffer_bitmap = [](HDC, int, int) -> HBITMAP { return nullptr; };
  SetWindowPos(app->main_window, nullptr, 0, 0, old_width + 300, app->back_height + 40,
               SWP_NOZORDER | SWP_NOACTIVATE);
  RECT client{};
  GetClientRect(app->main_window, &client);
  ASSERT_GT(client.right, old_width);
  // Marked, then painted afresh: the part beyond the old buffer must show the page too.
  const HDC screen = GetDC(app->main_window);
  const HBRUSH mark = CreateSolidBrush(0xFF00FF);
  FillRect(screen, &client, mark);
  DeleteObject(mark);
  RedrawWindow(app->main_window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
  create_buffer_bitmap = real;
  const COLORREF window_colour = app->renderer.colors[kColorWindow];
  const int y = app->renderer.scale(12);  // above the page title
  EXPECT_EQ(GetPixel(screen, old_width + 20, y), window_colour);
  EXPECT_EQ(GetPixel(screen, client.right - 40, y), window_colour);
  EXPECT_EQ(GetPixel(screen, app->renderer.scale(400), y), window_colour);
  ReleaseDC(app->main_window, screen);
  EXPECT_EQ(app->back_width, old_width);

  // Once a bitmap can be had again, the buffer grows.
  RedrawWindow(app->main_window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
  EXPECT_GE(app->back_width, client.right);
}

}  // namespace
}  // namespace corvane
