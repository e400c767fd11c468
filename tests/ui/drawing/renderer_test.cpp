#include "ui/drawing/renderer.h"

#include <gtest/gtest.h>

#include <limits>
#include <memory>

#include "support/dib_canvas.h"
#include "support/gdi_count.h"
#include "ui/drawing/imgui_config.h"

namespace corvane {
namespace {

using testing::DibCanvas;

constexpr COLORREF kBlank = 0x00FF00FF;  // canvas background no palette uses

LOGFONTW font_of(HFONT font) {
  LOGFONTW log{};
  EXPECT_EQ(GetObjectW(font, sizeof(log), &log), static_cast<int>(sizeof(log)));
  return log;
}

COLORREF brush_color(HBRUSH brush) {
  LOGBRUSH log{};
  EXPECT_EQ(GetObjectW(brush, sizeof(log), &log), static_cast<int>(sizeof(log)));
  return log.lbColor;
}

struct ThemeCase {
  bool dark;
  UINT dpi;
  int heights[6];
  COLORREF brushes[4];  // window, surface, navigation, field
};

TEST(Renderer, StartsWithTheDarkPaletteAt96Dpi) {
  Renderer renderer;
  EXPECT_TRUE(renderer.dark);
  EXPECT_EQ(renderer.dpi, 96u);
  EXPECT_EQ(renderer.colors, kDarkPalette);
  EXPECT_NE(renderer.draw_list, nullptr);
  const int heights[6] = {-14, -28, -31, -12, -14, -17};
  const int weights[6] = {400, 600, 600, 400, 600, 400};
  for (int i = 0; i < 6; ++i) {
    const LOGFONTW log = font_of(renderer.fonts[i]);
    EXPECT_EQ(log.lfHeight, heights[i]) << "font " << i;
    EXPECT_EQ(log.lfWeight, weights[i]) << "font " << i;
    EXPECT_EQ(log.lfQuality, CLEARTYPE_QUALITY);
    EXPECT_EQ(log.lfCharSet, DEFAULT_CHARSET);
    EXPECT_FALSE(log.lfItalic || log.lfUnderline || log.lfStrikeOut);
    EXPECT_STREQ(log.lfFaceName, i == kFontIcon ? L"Segoe MDL2 Assets" : L"Segoe UI");
  }
  EXPECT_EQ(brush_color(renderer.brushes[kBrushWindow]), 0x211912u);
  EXPECT_EQ(brush_color(renderer.brushes[kBrushSurface]), 0x2C231Au);
  EXPECT_EQ(brush_color(renderer.brushes[kBrushNavigation]), 0x261D15u);
  EXPECT_EQ(brush_color(renderer.brushes[kBrushField]), 0x1F160Fu);
}

TEST(Renderer, SetThemeSwapsPaletteAndRebuildsFontsAndBrushesForTheDpi) {
  Renderer renderer;  // starts dark at 96 dpi
  EXPECT_TRUE(renderer.dark);
  EXPECT_EQ(renderer.dpi, 96u);
  EXPECT_NE(renderer.draw_list, nullptr);
  for (int i = 0; i < 6; ++i) {
    EXPECT_STREQ(font_of(renderer.fonts[i]).lfFaceName, i == kFontIcon ? L"Segoe MDL2 Assets" : L"Segoe UI");
  }
  // Heights at 144 dpi are 1.5 times those at 96, rounded to nearest.
  const ThemeCase cases[] = {
      {true, 96, {-14, -28, -31, -12, -14, -17}, {0x211912, 0x2C231A, 0x261D15, 0x1F160F}},
      {false, 144, {-21, -42, -47, -18, -21, -26}, {0xF9F7F5, 0xFFFFFF, 0xF5F2ED, 0xF8F1EB}},
      {true, 96, {-14, -28, -31, -12, -14, -17}, {0x211912, 0x2C231A, 0x261D15, 0x1F160F}},
      {true, 120, {-18, -35, -39, -15, -18, -21}, {0x211912, 0x2C231A, 0x261D15, 0x1F160F}},
  };
  for (const ThemeCase& c : cases) {
    const auto old_fonts = renderer.fonts;
    const auto old_brushes = renderer.brushes;
    renderer.set_theme(c.dark, c.dpi);
    EXPECT_EQ(renderer.dark, c.dark);
    EXPECT_EQ(renderer.dpi, c.dpi);
    EXPECT_EQ(renderer.colors, c.dark ? kDarkPalette : kLightPalette);
    for (int i = 0; i < 6; ++i) EXPECT_EQ(font_of(renderer.fonts[i]).lfHeight, c.heights[i]) << c.dpi << " font " << i;
    for (int i = 0; i < 4; ++i) EXPECT_EQ(brush_color(renderer.brushes[i]), c.brushes[i]) << c.dpi << " brush " << i;
    // The handles handed out before are gone.
    for (HFONT font : old_fonts) EXPECT_EQ(GetObjectType(font), 0u);
    for (HBRUSH brush : old_brushes) EXPECT_EQ(GetObjectType(brush), 0u);
  }
  EXPECT_EQ(kLightPalette[kColorAccent], 0xC46918u);
}

TEST(Renderer, ScaleRoundsToTheNearestPixel) {
  Renderer renderer;
  EXPECT_EQ(renderer.scale(18), 18);
  renderer.set_theme(true, 144);
  EXPECT_EQ(renderer.scale(31), 47);
  EXPECT_EQ(renderer.scale(17), 26);
  EXPECT_EQ(renderer.scale(-14), -21);
  renderer.set_theme(true, 120);
  EXPECT_EQ(renderer.scale(2), 3);  // 2.5
  EXPECT_EQ(renderer.scale(1), 1);  // 1.25
}

TEST(Renderer, ThemeAndDpiSwitchesKeepTheProcessGdiObjectCount) {
  // The measurement itself must see single objects.
  const long probe_before = testing::gdi_objects_in_use();
  HBRUSH a = CreateSolidBrush(1), b = CreateSolidBrush(2), c = CreateSolidBrush(3);
  EXPECT_EQ(testing::gdi_objects_in_use(), probe_before + 3);
  for (HBRUSH brush : {a, b, c}) DeleteObject(brush);

  {
    Renderer warm_up;  // first use of the library and of font mapping may cache objects
    warm_up.set_theme(false, 144);
  }
  const long before = testing::gdi_objects_in_use();
  {
    Renderer renderer;
    EXPECT_EQ(testing::gdi_objects_in_use(), before + 10);  // six fonts, four brushes
    for (int i = 0; i < 50; ++i) {
      renderer.set_theme(i % 2 == 0, i % 3 == 0 ? 144u : 96u);
      DibCanvas canvas(40, 20);
      renderer.fill_round_rect(canvas.dc(), RECT{0, 0, 40, 20}, renderer.colors[kColorAccent], 6);
      renderer.draw_text(canvas.dc(), L"Ag", RECT{0, 0, 40, 20}, renderer.colors[kColorText]);
      renderer.draw_info_badge(canvas.dc(), RECT{0, 0, 40, 20}, i % 2 == 1);
    }
    EXPECT_EQ(testing::gdi_objects_in_use(), before + 10);
  }
  EXPECT_EQ(testing::gdi_objects_in_use(), before);
}

TEST(Renderer, TwoRenderersLiveSideBySide) {
  auto first = std::make_unique<Renderer>();
  {
    Renderer second;
    DibCanvas canvas(60, 40, kBlank);
    second.fill_round_rect(canvas.dc(), RECT{0, 0, 60, 40}, 0x123456, 6);
    EXPECT_EQ(canvas.pixel(30, 20), 0x123456u);
  }
  DibCanvas canvas(60, 40, kBlank);
  first->fill_round_rect(canvas.dc(), RECT{0, 0, 60, 40}, 0x654321, 6);
  EXPECT_EQ(canvas.pixel(30, 20), 0x654321u);
}

TEST(Renderer, EmptyOrReversedRectsDrawNothing) {
  for (bool dark : {false, true}) {
    Renderer renderer;
    renderer.set_theme(dark, 96);
    DibCanvas canvas(60, 40, kBlank);
    for (const RECT& rect : {RECT{50, 30, 10, 5}, RECT{10, 5, 10, 30}, RECT{10, 30, 50, 5}, RECT{10, 5, 50, 5}}) {
      renderer.fill_round_rect(canvas.dc(), rect, 0x0000FF, 6);
      renderer.fill_round_rect(canvas.dc(), rect, 0x0000FF, 0);
      renderer.fill_round_rect_geometry(canvas.dc(), rect, 0x0000FF, 6);
      renderer.draw_progress_bar(canvas.dc(), rect, 0.5f);
    }
    EXPECT_EQ(canvas.count(kBlank), 60 * 40) << (dark ? "dark" : "light");
  }
}

TEST(Renderer, AFailedLibraryAssertionIsCountedAndTheProgramGoesOn) {
  const unsigned before = imgui_assertion_count();
  const int two = 2;
  IM_ASSERT(two == 3);
  EXPECT_EQ(imgui_assertion_count(), before + 1);
}

TEST(Renderer, TessellationRaisesNoLibraryAssertion) {
  const unsigned before = imgui_assertion_count();
  {
    Renderer renderer;
    DibCanvas canvas(300, 200, kBlank);
    // Radii from none to far beyond half the rect, at two densities.
    for (UINT dpi : {96u, 192u}) {
      renderer.set_theme(true, dpi);
      for (int radius = 0; radius <= 120; radius += 7) {
        renderer.fill_round_rect(canvas.dc(), RECT{5, 5, 5 + radius + 3, 50}, 0x00FF00, radius);
        renderer.fill_round_rect_geometry(canvas.dc(), RECT{0, 0, 300, 200}, 0x00FF00, radius);
      }
    }
  }
  EXPECT_EQ(imgui_assertion_count(), before);
}

TEST(Renderer, FillRectPaintsExactlyTheRect) {
  Renderer renderer;
  DibCanvas canvas(50, 40, kBlank);
  const RECT rect{10, 5, 30, 25};
  renderer.fill_rect(canvas.dc(), rect, renderer.colors[kColorSurface]);
  EXPECT_EQ(canvas.count(rect, renderer.colors[kColorSurface]), 20 * 20);
  EXPECT_EQ(canvas.count(kBlank), 50 * 40 - 20 * 20);
}

class RendererTheme : public ::testing::TestWithParam<bool> {
 protected:
  void SetUp() override { renderer.set_theme(GetParam(), 96); }
  Renderer renderer;
};

TEST_P(RendererTheme, FillRectAndRadiusZeroPaintExactlyTheRect) {
  const RECT rect{7, 9, 47, 39};
  const COLORREF color = renderer.colors[kColorSurface];
  for (bool rounded : {false, true}) {
    DibCanvas canvas(60, 50, kBlank);
    if (rounded) {
      renderer.fill_round_rect(canvas.dc(), rect, color, 0);
    } else {
      renderer.fill_rect(canvas.dc(), rect, color);
    }
    EXPECT_EQ(canvas.count(rect, color), 40 * 30) << rounded;
    EXPECT_EQ(canvas.count(kBlank), 60 * 50 - 40 * 30) << rounded;
  }
}

TEST_P(RendererTheme, RoundedBodyKeepsItsCornersAndStaysInside) {
  DibCanvas canvas(140, 80, kBlank);
  const RECT rect{10, 10, 110, 60};
  const COLORREF color = renderer.colors[kColorAccent];
  renderer.fill_round_rect(canvas.dc(), rect, color, 6);
  EXPECT_EQ(canvas.count(color), canvas.count(rect, color));  // nothing outside
  EXPECT_GT(canvas.count(rect, color), 100 * 50 * 9 / 10);
  // Body and the edges' middles painted; the very corners untouched.
  for (const POINT p : {POINT{60, 35}, POINT{10, 35}, POINT{60, 10}, POINT{108, 35}, POINT{60, 58}, POINT{17, 17}}) {
    EXPECT_EQ(canvas.pixel(p.x, p.y), color) << p.x << "," << p.y;
  }
  for (const POINT p : {POINT{10, 10}, POINT{11, 10}, POINT{10, 11}, POINT{109, 10}, POINT{10, 59}, POINT{109, 59}}) {
    EXPECT_EQ(canvas.pixel(p.x, p.y), kBlank) << p.x << "," << p.y;
  }
  // Every pixel is either the colour or untouched: no blended fringe.
  EXPECT_EQ(canvas.count(color) + canvas.count(kBlank), 140 * 80);
}

TEST_P(RendererTheme, ProgressFractionIsClampedAndOnlyAWidthAboveZeroIsFilled) {
  const RECT bar{10, 10, 210, 20};
  const COLORREF track = renderer.colors[kColorHover];
  const COLORREF accent = renderer.colors[kColorAccent];
  const auto draw = [&](float fraction) {
    auto canvas = std::make_unique<DibCanvas>(220, 30, kBlank);
    renderer.draw_progress_bar(canvas->dc(), bar, fraction);
    return canvas;
  };
  // The accent-coloured pixels of the bar's middle row.
  const auto accent_run = [&](const DibCanvas& canvas) { return canvas.count(RECT{0, 15, 220, 16}, accent); };

  for (float fraction : {-0.5f, 0.0f, 0.004f, std::numeric_limits<float>::quiet_NaN()}) {
    auto empty = draw(fraction);
    EXPECT_EQ(empty->count(accent), 0) << fraction;
    EXPECT_EQ(empty->pixel(110, 15), track) << fraction;
  }
  auto half = draw(0.5f);  // 100 px filled from the left edge
  EXPECT_EQ(half->pixel(60, 15), accent);
  EXPECT_EQ(half->pixel(150, 15), track);
  EXPECT_EQ(half->pixel(111, 15), track);
  EXPECT_GE(accent_run(*half), 99);
  EXPECT_LE(accent_run(*half), 100);

  auto over = draw(1.7f);
  auto full = draw(1.0f);
  EXPECT_GE(accent_run(*over), 199);
  EXPECT_EQ(over->count(accent), full->count(accent));
  EXPECT_EQ(over->count(kBlank), full->count(kBlank));
  EXPECT_EQ(over->count(RECT{0, 0, 10, 30}, accent) + over->count(RECT{210, 0, 220, 30}, accent), 0);
}

INSTANTIATE_TEST_SUITE_P(BothThemes, RendererTheme, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& param_info) { return param_info.param ? "Dark" : "Light"; });

TEST(Renderer, GeometryScalesTheRadiusWithTheDpi) {
  Renderer renderer;
  renderer.set_theme(true, 192);
  DibCanvas canvas(100, 60, kBlank);
  renderer.fill_round_rect_geometry(canvas.dc(), RECT{0, 0, 100, 60}, 0x0000FF, 6);  // 12 px at 192 dpi
  // A 12-px radius leaves the pixel two in from the corner blank; a 6-px one would paint it.
  EXPECT_EQ(canvas.pixel(2, 2), kBlank);
  for (const POINT p : {POINT{6, 6}, POINT{50, 0}, POINT{0, 30}}) EXPECT_EQ(canvas.pixel(p.x, p.y), 0x0000FFu);
}

TEST(Renderer, InfoBadgeIsAnExactDiscWithAWhiteLetter) {
  Renderer renderer;
  // The 20 x 20 cell and a 10-wide cell both centre an 18-px disc on columns 11..28.
  for (const RECT cell : {RECT{10, 10, 30, 30}, RECT{15, 10, 25, 30}}) {
    for (bool hot : {false, true}) {
      DibCanvas canvas(40, 40, kBlank);
      renderer.draw_info_badge(canvas.dc(), cell, hot);
      const COLORREF disc = hot ? 0xFB9D42 : 0xDE7E25;
      for (const POINT p : {POINT{13, 20}, POINT{11, 19}, POINT{28, 19}, POINT{19, 11}, POINT{19, 28}}) {
        EXPECT_EQ(canvas.pixel(p.x, p.y), disc) << p.x << "," << p.y;
      }
      for (const POINT p : {POINT{10, 19}, POINT{29, 19}, POINT{11, 11}, POINT{28, 28}}) {
        EXPECT_EQ(canvas.pixel(p.x, p.y), kBlank) << p.x << "," << p.y;
      }
      EXPECT_GT(canvas.count(RECT{11, 11, 29, 29}, 0xFFFFFF), 5) << "letter in white";
      EXPECT_EQ(canvas.count(RECT{0, 0, 40, 11}, disc) + canvas.count(RECT{0, 29, 40, 40}, disc), 0);
    }
  }
}

TEST(Renderer, DrawTextUsesTheGivenColourAndFontAndRestoresTheDc) {
  Renderer renderer;
  renderer.set_theme(false, 96);
  DibCanvas canvas(120, 30, renderer.colors[kColorWindow]);
  HGDIOBJ before = GetCurrentObject(canvas.dc(), OBJ_FONT);
  renderer.draw_text(canvas.dc(), L"HHHH", RECT{0, 0, 120, 30}, renderer.colors[kColorText], nullptr,
                     kSingleLineFormat | DT_CENTER);
  EXPECT_EQ(GetCurrentObject(canvas.dc(), OBJ_FONT), before);
  EXPECT_GT(canvas.count(renderer.colors[kColorText]), 10);
  EXPECT_EQ(GetBkMode(canvas.dc()), TRANSPARENT);
  EXPECT_EQ(canvas.count(RECT{0, 0, 20, 30}, renderer.colors[kColorWindow]), 20 * 30);

  // Without a font the body font is used.
  const auto ink = [&](HFONT font) {
    DibCanvas text(200, 40, 0);
    renderer.draw_text(text.dc(), L"Wide text", RECT{0, 0, 200, 40}, 0xFFFFFF, font, kSingleLineFormat);
    return text.count(0);
  };
  EXPECT_EQ(ink(nullptr), ink(renderer.fonts[kFontBody]));
  EXPECT_NE(ink(nullptr), ink(renderer.fonts[kFontTitle]));
}

}  // namespace
}  // namespace corvane
