#include "ui/renderer.h"

#include <gtest/gtest.h>

#include "support/dib_canvas.h"

namespace corvane {
namespace {

using testing::DibCanvas;

TEST(Renderer, StartsDarkAt96Dpi) {
  Renderer renderer;
  EXPECT_TRUE(renderer.dark);
  EXPECT_EQ(renderer.dpi, 96u);
  EXPECT_EQ(renderer.colors, kDarkPalette);
  for (HFONT font : renderer.fonts) EXPECT_NE(font, nullptr);
  for (HBRUSH brush : renderer.brushes) EXPECT_NE(brush, nullptr);
  EXPECT_NE(renderer.draw_list, nullptr);
}

}  // namespace
}  // namespace corvane
