// ctest-own-display
// The sidebar's scroll strip driven by real mouse input, routed by the system's hit test.
#include "ui/app.h"

#include "support/ui_app.h"
#include "support/wine.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <algorithm>

namespace corvane {
namespace {

using testing::pump_until;
using testing::window_test_options;
using testing::WindowApp;

// The pointer is shared by every program on a desktop: these tests move it on one of their own.
// Under Wine that is not enough: the X pointer and the X input focus are one per X display, and
// while other programs work on the same display Wine may drop the clip below and feed back an
// old place of the X pointer as new input, so the program runs on a display of its own too (the
// line at the top).
const bool g_own_desktop = testing::run_on_own_desktop();

// Keeps the pointer inside a rectangle. Wine moves the display's pointer along with every
// input; unless the pointer is held like this, its virtual desktop then reports, late, where
// the pointer was before, which would undo the move.
class PointerClip {
 public:
  explicit PointerClip(const RECT& rect) { ClipCursor(&rect); }
  ~PointerClip() { ClipCursor(nullptr); }
  PointerClip(const PointerClip&) = delete;
  PointerClip& operator=(const PointerClip&) = delete;
};

// One mouse event at a point of the screen, as hardware input.
void send_mouse(DWORD flags, POINT screen) {
  const int width = GetSystemMetrics(SM_CXSCREEN);
  const int height = GetSystemMetrics(SM_CYSCREEN);
  INPUT input{};
  input.type = INPUT_MOUSE;
  // Rounded up, so that scaling back to pixels lands on the point itself.
  input.mi.dx = static_cast<LONG>((static_cast<long long>(screen.x) * 65536 + width - 1) / width);
  input.mi.dy = static_cast<LONG>((static_cast<long long>(screen.y) * 65536 + height - 1) / height);
  input.mi.dwFlags = flags | MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
  ASSERT_EQ(SendInput(1, &input, sizeof input), 1u);
  POINT cursor{};
  GetCursorPos(&cursor);
  ASSERT_TRUE(cursor.x == screen.x && cursor.y == screen.y);
}

// The cursor as the sidebar left it after its last WM_SETCURSOR.
HCURSOR g_sidebar_cursor = nullptr;

LRESULT CALLBACK note_cursor(HWND window, UINT message, WPARAM wparam, LPARAM lparam, UINT_PTR, DWORD_PTR) {
  const LRESULT result = DefSubclassProc(window, message, wparam, lparam);
  if (message == WM_SETCURSOR) g_sidebar_cursor = GetCursor();
  return result;
}

TEST(SidebarMouse, ThePointerLightsAndDragsTheThumb) {
  WindowApp app(window_test_options(), true);
  ASSERT_TRUE(app.created());
  RECT window{};
  GetWindowRect(app->main_window, &window);
  const PointerClip clip(window);
  // A column taller than the sidebar: 13 rows of 42 in 300 pixels.
  const int height = 300;
  SetWindowPos(app->sidebar, nullptr, 0, 0, app->renderer.scale(240), height, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  app->layout_sidebar();
  const int maximum = app->sidebar_max;
  ASSERT_EQ(maximum, 13 * app->renderer.scale(42) - height);
  SetWindowSubclass(app->sidebar, note_cursor, 0xC0, 0);
  RECT client{};
  GetClientRect(app->sidebar, &client);
  const int thumb = std::max(app->renderer.scale(30), height * height / (maximum + height));
  const auto on_sidebar = [&](int x, int y) {
    POINT point{x, y};
    ClientToScreen(app->sidebar, &point);
    return point;
  };
  const int strip_x = client.right - app->renderer.scale(4);

  // Over the thumb: lit, with the hand cursor.
  const POINT thumb_middle = on_sidebar(strip_x, thumb / 2);
  send_mouse(0, thumb_middle);
  EXPECT_TRUE(pump_until([&] { return app->thumb_hot; })) << "the strip never got the pointer";
  EXPECT_EQ(g_sidebar_cursor, LoadCursorW(nullptr, IDC_HAND));

  // A press on the thumb takes the mouse; a move drags the column.
  send_mouse(MOUSEEVENTF_LEFTDOWN, thumb_middle);
  EXPECT_TRUE(pump_until([&] { return GetCapture() == app->sidebar; }));
  EXPECT_EQ(app->sidebar_offset, 0);
  const int travel = (height - thumb) / 2;
  send_mouse(0, on_sidebar(strip_x, thumb / 2 + travel));
  const int dragged = MulDiv(travel, maximum, height - thumb);
  EXPECT_TRUE(pump_until([&] { return app->sidebar_offset == dragged; })) << app->sidebar_offset;
  // Held, the drag goes on outside the strip too, and clamps far below.
  const POINT below = on_sidebar(client.right / 2, height + 300);
  send_mouse(0, below);
  EXPECT_TRUE(pump_until([&] { return app->sidebar_offset == maximum; })) << app->sidebar_offset;
  send_mouse(MOUSEEVENTF_LEFTUP, below);
  EXPECT_TRUE(pump_until([&] { return GetCapture() != app->sidebar; }));
  RECT first{};
  GetWindowRect(app->nav_buttons[0], &first);
  MapWindowPoints(HWND_DESKTOP, app->sidebar, reinterpret_cast<POINT*>(&first), 2);
  EXPECT_EQ(first.top, -maximum);

  // Off the strip, left of the buttons: dark, without the hand.
  send_mouse(0, thumb_middle);
  EXPECT_TRUE(pump_until([&] { return app->thumb_hot; }));
  g_sidebar_cursor = nullptr;
  send_mouse(0, on_sidebar(app->renderer.scale(5), thumb / 2));
  EXPECT_TRUE(pump_until([&] { return g_sidebar_cursor != nullptr; }));
  EXPECT_FALSE(app->thumb_hot);
  EXPECT_NE(g_sidebar_cursor, LoadCursorW(nullptr, IDC_HAND));
  RemoveWindowSubclass(app->sidebar, note_cursor, 0xC0);
}

}  // namespace
}  // namespace corvane
