#include "ui/app.h"

#include "services/text.h"
#include "support/dib_canvas.h"
#include "support/ui_app.h"
#include "ui/drawing/controls.h"

#include <gtest/gtest.h>

#include <memory>

namespace corvane {
namespace {

using testing::child_rect;
using testing::DibCanvas;
using testing::pump_messages;
using testing::window_test_options;
using testing::WindowApp;

struct Look {
  bool vietnamese;
  bool dark;
};

class OverviewPaint : public ::testing::TestWithParam<Look> {};

// Paints the whole client area the way WM_PAINT does, into a DIB.
void paint_into(App& app, DibCanvas& canvas) {
  app.paint(canvas.dc());
  GdiFlush();
}

TEST_P(OverviewPaint, PaletteColoursWhereTheyBelong) {
  const Look look = GetParam();
  WindowApp app(window_test_options(look.vietnamese, look.dark));
  ASSERT_TRUE(app.created());
  EXPECT_EQ(app->renderer.dark, look.dark);
  RECT client{};
  GetClientRect(app->main_window, &client);
  DibCanvas canvas(client.right, client.bottom);
  paint_into(*app, canvas);
  const Palette& c = app->renderer.colors;
  const auto s = [&](int px) { return app->renderer.scale(px); };
  const int H = client.bottom;
  const int W = client.right;
  const int L = s(272);
  const int R = W - s(32);
  const int cw = (R - L - 2 * s(18)) / 3;   // three cards in the first row
  const int cw2 = (R - L - s(18)) / 2;      // two in the second
  const struct {
    int x, y, role;
  } points[] = {
      // Sidebar band, window background, status strip.
      {s(5), s(90), kColorNavigation}, {s(239), H / 2, kColorNavigation}, {s(250), s(10), kColorWindow},
      {W - 2, s(110), kColorWindow}, {s(242), H - 2, kColorSurface}, {W - 2, H - s(29), kColorSurface},
      // Cards: surface inside, window colour between them.
      {L + s(12), s(135), kColorSurface}, {L + cw + s(9), s(200), kColorWindow},
      {L + cw + s(18) + s(12), s(135), kColorSurface}, {L + s(12), s(450), kColorSurface},
      {L + cw2 + s(9), s(400), kColorWindow}, {L + cw2 + s(18) + s(12), s(570), kColorSurface},
  };
  for (const auto& p : points) EXPECT_EQ(canvas.pixel(p.x, p.y), c[p.role]) << p.x << "," << p.y;
  EXPECT_EQ(canvas.count(0x00FF00FF), 0) << "nothing left unpainted";
  // Title text: somewhere in the title band there is text-coloured ink.
  EXPECT_GT(canvas.count(RECT{L, s(30), L + s(300), s(69)}, c[kColorText]), 20);
  // Memory bar: accent where the fraction is filled.
  const float fraction = app->system_info.total_memory == 0
                             ? 0.0f
                             : static_cast<float>(static_cast<double>(app->system_info.available_memory) /
                                                  static_cast<double>(app->system_info.total_memory));
  const int bar_left = L + cw + s(18) + s(20);
  if (fraction > 0.1f) {
    EXPECT_EQ(canvas.pixel(bar_left + s(6), s(231)), c[kColorAccent]);
  }
}

INSTANTIATE_TEST_SUITE_P(LanguagesAndThemes, OverviewPaint,
                         ::testing::Values(Look{false, false}, Look{false, true}, Look{true, false},
                                           Look{true, true}));

TEST(OverviewPaint, FiguresComeFromTheSystem) {
  WindowApp app(window_test_options());
  ASSERT_TRUE(app.created());
  const SystemInfo now = query_system_info();
  EXPECT_EQ(app->system_info.build, now.build);
  EXPECT_EQ(app->system_info.total_memory, now.total_memory);
  EXPECT_EQ(app->system_info.system_drive_total, now.system_drive_total);
  EXPECT_EQ(app->system_info.edition, now.edition);
  // The figures are what is drawn: other figures give other pixels in the figure band only.
  RECT client{};
  GetClientRect(app->main_window, &client);
  DibCanvas before(client.right, client.bottom);
  paint_into(*app, before);
  app->system_info.build = app->system_info.build == 22631 ? 19045 : 22631;
  DibCanvas after(client.right, client.bottom);
  paint_into(*app, after);
  const auto s = [&](int px) { return app->renderer.scale(px); };
  int changed_in_build_card = 0;
  int changed_elsewhere = 0;
  const int L = s(272);
  const int cw = (client.right - s(32) - L - 2 * s(18)) / 3;
  const RECT build_card{L + 2 * (cw + s(18)), s(125), client.right - s(32), s(273)};
  for (int y = 0; y < client.bottom; ++y) {
    for (int x = 0; x < client.right; ++x) {
      if (before.pixel(x, y) == after.pixel(x, y)) continue;
      const POINT point{x, y};
      (PtInRect(&build_card, point) ? changed_in_build_card : changed_elsewhere)++;
    }
  }
  EXPECT_GT(changed_in_build_card, 50);
  EXPECT_EQ(changed_elsewhere, 0);
}

TEST(OverviewPaint, SelectedNavigationButtonShowsTheSelectionColour) {
  WindowApp app(window_test_options(false, false));
  ASSERT_TRUE(app.created());
  ASSERT_EQ(control_property(app->nav_buttons[0], kPropSelected), 1u);
  // Drawn through the sidebar, as the button's own painting does.
  for (size_t i : {0u, 1u}) {
    const HWND button = app->nav_buttons[i];
    RECT rect{};
    GetClientRect(button, &rect);
    DibCanvas canvas(rect.right, rect.bottom);
    DRAWITEMSTRUCT item{};
    item.CtlType = ODT_BUTTON;
    item.CtlID = static_cast<UINT>(GetDlgCtrlID(button));
    item.hwndItem = button;
    item.hDC = canvas.dc();
    item.rcItem = rect;
    SendMessageW(app->sidebar, WM_DRAWITEM, item.CtlID, reinterpret_cast<LPARAM>(&item));
    GdiFlush();
    EXPECT_EQ(canvas.pixel(rect.right / 2, 3), app->renderer.colors[i == 0 ? kColorSelected : kColorNavigation]);
  }
}

TEST(OverviewPaint, StatusLineRepaintsOnlyItsStrip) {
  WindowApp app(window_test_options(), true);
  ASSERT_TRUE(app.created());
  pump_messages();
  ValidateRect(app->main_window, nullptr);
  app->set_status(L"Working on it");
  RECT update{};
  ASSERT_TRUE(GetUpdateRect(app->main_window, &update, FALSE));
  RECT client{};
  GetClientRect(app->main_window, &client);
  EXPECT_EQ(update.left, app->renderer.scale(240));
  EXPECT_EQ(update.top, client.bottom - app->renderer.scale(30));
  EXPECT_EQ(update.right, client.right);
  EXPECT_EQ(update.bottom, client.bottom);
  EXPECT_EQ(app->status_text, L"Working on it");
}

// A result of several lines stays readable on the strip's one line: each line break, whichever
// of CR LF, CR or LF, is drawn as the separator the program's own status texts use.
TEST(OverviewPaint, TheStatusStripDrawsEachLineBreakAsASeparator) {
  WindowApp app(window_test_options(true, true));
  ASSERT_TRUE(app.created());
  RECT client{};
  GetClientRect(app->main_window, &client);
  const RECT strip{app->renderer.scale(240), client.bottom - app->renderer.scale(30), client.right, client.bottom};
  const auto painted = [&](const std::wstring& status) {
    app->set_status(status);
    auto canvas = std::make_unique<DibCanvas>(client.right, client.bottom);
    paint_into(*app, *canvas);
    return canvas;
  };
  const auto one_line = painted(L"Không hoàn tất - Access is denied. - Z:\\Reports\\cleanup.json - 2.8 MB - end");
  EXPECT_GT(one_line->count(strip, app->renderer.colors[kColorSecondaryText]), 30) << "the text is drawn";
  const std::wstring broken = L"Không hoàn tất\r\nAccess is denied.\rZ:\\Reports\\cleanup.json\n2.8 MB - end";
  const auto lines = painted(broken);
  EXPECT_EQ(app->status_text, broken) << "the status text itself keeps its line breaks";
  int differing = 0;
  for (int y = strip.top; y < strip.bottom; ++y) {
    for (int x = strip.left; x < strip.right; ++x) differing += one_line->pixel(x, y) != lines->pixel(x, y) ? 1 : 0;
  }
  EXPECT_EQ(differing, 0);
}

TEST(OverviewPaint, WindowOnScreenMatchesThePaintedBuffer) {
  WindowApp app(window_test_options(false, true), true);
  ASSERT_TRUE(app.created());
  pump_messages();
  RedrawWindow(app->main_window, nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN | RDW_UPDATENOW);
  RECT client{};
  GetClientRect(app->main_window, &client);
  DibCanvas screen(client.right, client.bottom);
  const HDC window_dc = GetDC(app->main_window);
  BitBlt(screen.dc(), 0, 0, client.right, client.bottom, window_dc, 0, 0, SRCCOPY);
  ReleaseDC(app->main_window, window_dc);
  GdiFlush();
  const Palette& c = app->renderer.colors;
  // Back-buffered painting reached the window: window colour in the content, surface in the strip.
  EXPECT_EQ(screen.pixel(app->renderer.scale(250), app->renderer.scale(10)), c[kColorWindow]);
  EXPECT_EQ(screen.pixel(client.right - 2, client.bottom - 2), c[kColorSurface]);
}

}  // namespace
}  // namespace corvane
