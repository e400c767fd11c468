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

TEST(Renderer, ThemeAndDpiSwitchesKeepTheProcessGdiObjectCount) {
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

TEST(Renderer, EmptyOrReversedRectsDrawNothing) {
  Renderer renderer;
  DibCanvas canvas(60, 40, kBlank);
  for (const RECT& rect : {RECT{50, 30, 10, 5}, RECT{10, 5, 10, 30}, RECT{10, 30, 50, 5}, RECT{10, 5, 50, 5}}) {
    renderer.fill_round_rect(canvas.dc(), rect, 0x0000FF, 6);
    renderer.fill_round_rect(canvas.dc(), rect, 0x0000FF, 0);
    renderer.fill_round_rect_geometry(canvas.dc(), rect, 0x0000FF, 6);
    renderer.draw_progress_bar(canvas.dc(), rect, 0.5f);
  }
  EXPECT_EQ(canvas.count(kBlank), 60 * 40);
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

class RendererTheme : public ::testing::TestWithParam<bool> {
 protected:
  void SetUp() override { renderer.set_theme(GetParam(), 96); }
  Renderer renderer;
};

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

}  // namespace
}  // namespace corvane
