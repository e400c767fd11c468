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

}  // namespace
}  // namespace corvane
