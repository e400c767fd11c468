#include "ui/sidebar.h"

#include "support/ui_app.h"
#include "ui/app.h"
#include "ui/drawing/controls.h"

#include <gtest/gtest.h>

namespace corvane {
namespace {

using testing::child_rect;
using testing::window_test_options;
using testing::WindowApp;

TEST(SidebarMaths, ScrollRangeAndThumb) {
  EXPECT_EQ(sidebar_max_scroll(546, 600), 0);
  EXPECT_EQ(sidebar_max_scroll(546, 300), 246);
  // Thumb: proportional to the visible part, never below the minimum.
  EXPECT_EQ(sidebar_thumb_height(300, 246, 30), 300 * 300 / 546);
  EXPECT_EQ(sidebar_thumb_height(100, 5000, 30), 30);
  EXPECT_EQ(sidebar_thumb_top(0, 300, 164, 246), 0);
  EXPECT_EQ(sidebar_thumb_top(246, 300, 164, 246), 300 - 164);
  EXPECT_EQ(sidebar_thumb_top(123, 300, 164, 246), 68);
}

TEST(SidebarMaths, DragWheelAndReveal) {
  // Dragging the thumb's centre to the top or far below maps to 0 or beyond the maximum
  // (the layout clamps).
  EXPECT_EQ(sidebar_drag_offset(82, 300, 164, 246), 0);
  EXPECT_EQ(sidebar_drag_offset(300 - 82, 300, 164, 246), 246);
  EXPECT_LT(sidebar_drag_offset(-500, 300, 164, 246), 0);
  EXPECT_GT(sidebar_drag_offset(5000, 300, 164, 246), 246);
  // The thumb as tall as the sidebar: no division by zero.
  EXPECT_EQ(sidebar_drag_offset(10, 30, 30, 5), MulDiv(10 - 15, 5, 1));
  // Two rows per notch; a half notch moves half as far, toward zero.
  EXPECT_EQ(sidebar_wheel_offset(100, -120, 84), 184);
  EXPECT_EQ(sidebar_wheel_offset(100, 120, 84), 16);
  EXPECT_EQ(sidebar_wheel_offset(0, -60, 84), 42);
  EXPECT_EQ(sidebar_wheel_offset(0, -1, 84), 0);
  // Reveal: above -> to the top edge, below -> to the bottom edge, inside -> unchanged.
  EXPECT_EQ(sidebar_reveal_offset(84, -42, -4, 300), 42);
  EXPECT_EQ(sidebar_reveal_offset(0, 294, 332, 300), 32);
  EXPECT_EQ(sidebar_reveal_offset(40, 10, 48, 300), 40);
}

TEST(Sidebar, ButtonsInOrderWithTheirTextsInBothLanguages) {
  WindowApp app(window_test_options());
  ASSERT_TRUE(app.created());
  const int ids[] = {100, 101, 102, 103, 104, 105, 106, 107, 317, 333, 303, 305, 304};
  const wchar_t* english[] = {L"Overview", L"Cleanup", L"Windows customization", L"Privacy", L"Startup",
                              L"Performance", L"Advanced tools", L"Backup and restore", L"Options", L"Updates",
                              L"Donate", L"Licenses", L"About Corvane"};
  ASSERT_EQ(app->nav_buttons.size(), 13u);
  ASSERT_EQ(app->nav_items.size(), 13u);
  for (size_t i = 0; i < 13; ++i) {
    EXPECT_EQ(GetDlgCtrlID(app->nav_buttons[i]), ids[i]);
    EXPECT_EQ(GetParent(app->nav_buttons[i]), app->sidebar);
    EXPECT_EQ(window_text(app->nav_buttons[i]), english[i]);
    EXPECT_EQ(control_property(app->nav_buttons[i], kPropNav), 1u);
  }
  EXPECT_EQ(control_property(app->nav_buttons[0], kPropIcon), 0xE80Fu);
  EXPECT_EQ(control_property(app->nav_buttons[12], kPropIcon), 0xE946u);
  EXPECT_EQ(GetParent(app->admin_button), app->main_window);
  EXPECT_EQ(GetDlgCtrlID(app->admin_button), CMD_PAGE_ADMIN);
  EXPECT_EQ(control_property(app->admin_button, kPropIcon), 0xEA18u);
  EXPECT_EQ(window_text(app->admin_button),
            app->system_info.elevated ? L"Administrator" : L"Administrator access");

  app->show_page(PAGE_PRIVACY);
  app->command(CMD_LANGUAGE_VIETNAMESE);
  EXPECT_EQ(window_text(app->nav_buttons[0]), L"Tổng quan");
  EXPECT_EQ(window_text(app->nav_buttons[2]), L"Tùy chỉnh giao diện");
  EXPECT_EQ(window_text(app->nav_buttons[12]), L"Về Corvane");
  EXPECT_EQ(window_text(app->admin_button),
            app->system_info.elevated ? L"Quyền quản trị" : L"Dùng quyền quản trị");
  // The selection stays.
  EXPECT_EQ(control_property(app->nav_buttons[3], kPropSelected), 1u);
}

TEST(Sidebar, SelectionFollowsThePage) {
  WindowApp app(window_test_options());
  ASSERT_TRUE(app.created());
  const auto selected = [&]() {
    std::vector<int> ids;
    for (HWND button : app->nav_buttons) {
      if (control_property(button, kPropSelected) != 0) ids.push_back(GetDlgCtrlID(button));
    }
    if (control_property(app->admin_button, kPropSelected) != 0) ids.push_back(CMD_PAGE_ADMIN);
    return ids;
  };
  EXPECT_EQ(selected(), std::vector<int>{100});
  for (int command : {static_cast<int>(CMD_PAGE_ADMIN), static_cast<int>(CMD_PAGE_UPDATES),
                      static_cast<int>(CMD_PAGE_OPTIONS), CMD_PAGE_BASE + 7}) {
    app->command(command);
    if (command == CMD_PAGE_ADMIN) {
      EXPECT_EQ(app->page, PAGE_ADMIN);
    }
    EXPECT_EQ(selected(), std::vector<int>{command});
  }
  EXPECT_EQ(app->page, PAGE_BACKUPS);
}

TEST(Sidebar, ScrollsWhenTheColumnDoesNotFit) {
  WindowApp app(window_test_options(), true);
  ASSERT_TRUE(app.created());
  const int row = app->renderer.scale(42);
  const auto resize = [&](int height) {
    SetWindowPos(app->sidebar, nullptr, 0, 0, app->renderer.scale(240), height, SWP_NOZORDER | SWP_NOMOVE | SWP_NOACTIVATE);
    app->layout_sidebar();
  };
  // Tall enough: nothing to scroll, the wheel changes nothing.
  resize(13 * row + 50);
  EXPECT_EQ(app->sidebar_max, 0);
  SendMessageW(app->sidebar, WM_MOUSEWHEEL, MAKEWPARAM(0, static_cast<WORD>(-120)), 0);
  EXPECT_EQ(app->sidebar_offset, 0);

  const int height = 300;
  resize(height);
  EXPECT_EQ(app->sidebar_max, 13 * row - height);
  // One notch down: two rows.
  SendMessageW(app->sidebar, WM_MOUSEWHEEL, MAKEWPARAM(0, static_cast<WORD>(-120)), 0);
  EXPECT_EQ(app->sidebar_offset, app->renderer.scale(84));
  EXPECT_EQ(child_rect(app->nav_buttons[0]).top, -app->renderer.scale(84));
  EXPECT_EQ(child_rect(app->nav_buttons[1]).top, row - app->renderer.scale(84));
  // Many notches: clamped at the maximum, and back at 0.
  SendMessageW(app->sidebar, WM_MOUSEWHEEL, MAKEWPARAM(0, static_cast<WORD>(-1200)), 0);
  EXPECT_EQ(app->sidebar_offset, app->sidebar_max);
  SendMessageW(app->sidebar, WM_MOUSEWHEEL, MAKEWPARAM(0, 1200), 0);
  EXPECT_EQ(app->sidebar_offset, 0);
  // Focus on the last button scrolls it just into view at the bottom edge.
  SendMessageW(app->sidebar, WM_NAV_FOCUSED, reinterpret_cast<WPARAM>(app->nav_buttons[12]), 0);
  EXPECT_EQ(child_rect(app->nav_buttons[12]).bottom, height);
  // And the first one back to the top edge.
  SendMessageW(app->sidebar, WM_NAV_FOCUSED, reinterpret_cast<WPARAM>(app->nav_buttons[0]), 0);
  EXPECT_EQ(app->sidebar_offset, 0);
  // Dragging the thumb far below clamps to the maximum.
  RECT client{};
  GetClientRect(app->sidebar, &client);
  const LPARAM strip_point = MAKELPARAM(client.right - 3, 5000);
  SendMessageW(app->sidebar, WM_LBUTTONDOWN, MK_LBUTTON, strip_point);
  EXPECT_EQ(app->sidebar_offset, app->sidebar_max);
  SendMessageW(app->sidebar, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(client.right - 3, static_cast<WORD>(-400)));
  EXPECT_EQ(app->sidebar_offset, 0);
  SendMessageW(app->sidebar, WM_LBUTTONUP, 0, MAKELPARAM(client.right - 3, 0));
  EXPECT_NE(GetCapture(), app->sidebar);
  // A line down through WM_VSCROLL moves one row.
  SendMessageW(app->sidebar, WM_VSCROLL, SB_LINEDOWN, 0);
  EXPECT_EQ(app->sidebar_offset, row);
  // A taller sidebar re-clamps the offset.
  resize(13 * row - row / 2);
  EXPECT_EQ(app->sidebar_max, row / 2);
  EXPECT_EQ(app->sidebar_offset, row / 2);
}

}  // namespace
}  // namespace corvane
