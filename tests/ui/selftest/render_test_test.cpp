#include "ui/app.h"

#include <gtest/gtest.h>

#include <array>

namespace corvane {
namespace {

std::array<int, 4> widths(const std::array<SIZE, 4>& sizes) {
  return {sizes[0].cx, sizes[1].cx, sizes[2].cx, sizes[3].cx};
}

TEST(RenderTestFrames, StepsAndWidthOffsetsFollowTheDpi) {
  // 96 dpi: steps 71 / 43, offsets 0, +13, -7, 0; the smallest width clamps the -7.
  const SIZE small96{1080, 790};
  const SIZE large96{1380, 930};
  EXPECT_EQ(widths(render_test_frame_sizes(0, small96, large96, 96)), (std::array<int, 4>{1080, 1093, 1080, 1080}));
  auto sizes = render_test_frame_sizes(1, small96, large96, 96);
  EXPECT_EQ(widths(sizes), (std::array<int, 4>{1151, 1164, 1144, 1151}));
  EXPECT_EQ(sizes[0].cy, 833);

  // 144 dpi: steps 107 / 65, offsets 0, +20, -11, 0 (each 96-dpi figure scaled and rounded).
  const SIZE small144{1620, 1185};
  const SIZE large144{2070, 1395};
  sizes = render_test_frame_sizes(1, small144, large144, 144);
  EXPECT_EQ(widths(sizes), (std::array<int, 4>{1727, 1747, 1716, 1727}));
  for (const SIZE& size : sizes) EXPECT_EQ(size.cy, 1250);
  // The accumulators wrap within the range: 107 x 47 mod 451 and 65 x 47 mod 211.
  sizes = render_test_frame_sizes(47, small144, large144, 144);
  EXPECT_EQ(sizes[0].cx, 1620 + 68);
  EXPECT_EQ(sizes[0].cy, 1185 + 101);

  // Both ends clamp the offset widths.
  EXPECT_EQ(widths(render_test_frame_sizes(0, SIZE{100, 100}, SIZE{110, 100}, 144)),
            (std::array<int, 4>{100, 110, 100, 100}));
}

}  // namespace
}  // namespace corvane
