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

}  // namespace
}  // namespace corvane
