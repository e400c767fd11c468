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

}  // namespace
}  // namespace corvane
