#include "ui/app.h"

#include "support/ui_app.h"
#include "ui/drawing/controls.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace corvane {
namespace {

using testing::pump_messages;
using testing::window_test_options;
using testing::WindowApp;

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
