#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include "support/control_host.h"
#include "support/dib_canvas.h"
#include "ui/drawing/controls.h"
#include "ui/drawing/renderer.h"

namespace corvane {
namespace {

using testing::ControlHost;
using testing::DibCanvas;

class HeaderControl : public ::testing::TestWithParam<bool> {
 protected:
  void SetUp() override {
    renderer_.set_theme(GetParam(), 96);
    host_ = &ControlHost::shared(renderer_);
    list_ = host_->child(WC_LISTVIEWW, L"", LVS_REPORT, 50, {10, 10, 410, 210});
    ASSERT_NE(list_, nullptr);
    const wchar_t* titles[] = {L"Name", L"Status"};
    for (int i = 0; i < 2; ++i) {
      LVCOLUMNW column{};
      column.mask = LVCF_TEXT | LVCF_WIDTH;
      column.cx = 150;
      column.pszText = const_cast<wchar_t*>(titles[i]);
      SendMessageW(list_, LVM_INSERTCOLUMNW, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&column));
    }
    renderer_.style_control(list_);
    header_ = reinterpret_cast<HWND>(SendMessageW(list_, LVM_GETHEADER, 0, 0));
    ASSERT_NE(header_, nullptr);
  }

  COLORREF color(int role) const { return renderer_.colors[static_cast<size_t>(role)]; }

  void expect_header_look(const DibCanvas& canvas) {
    const int width = canvas.width();
    const int height = canvas.height();
    // Filled to the last column and row: no edge left unpainted.
    EXPECT_EQ(canvas.pixel(0, 0), color(kColorSurface));
    EXPECT_EQ(canvas.pixel(width - 1, 0), color(kColorSurface));
    EXPECT_EQ(canvas.pixel(width - 1, height - 2), color(kColorSurface));
    EXPECT_EQ(canvas.count(RECT{0, height - 1, width, height}, color(kColorBorder)), width);
    // Column texts in the secondary colour, 12 px in from each column's left edge.
    EXPECT_GT(canvas.count(RECT{12, 0, 142, height - 1}, color(kColorSecondaryText)), 0);
    EXPECT_GT(canvas.count(RECT{162, 0, 292, height - 1}, color(kColorSecondaryText)), 0);
    EXPECT_EQ(canvas.count(RECT{0, 0, 12, height - 1}, color(kColorSecondaryText)), 0);
    EXPECT_EQ(canvas.count(RECT{150, 0, 162, height - 1}, color(kColorSecondaryText)), 0);
  }

  Renderer renderer_;
  ControlHost* host_ = nullptr;
  HWND list_ = nullptr;
  HWND header_ = nullptr;
};

TEST_P(HeaderControl, LayoutIs34PixelsHigh) {
  RECT area{0, 0, 400, 200};
  WINDOWPOS position{};
  HDLAYOUT layout{&area, &position};
  SendMessageW(header_, HDM_LAYOUT, 0, reinterpret_cast<LPARAM>(&layout));
  EXPECT_EQ(position.cy, 34);
  EXPECT_EQ(area.top, 34);
  // The list lays its header out the same way.
  SetWindowPos(list_, nullptr, 0, 0, 420, 220, SWP_NOMOVE | SWP_NOZORDER);
  RECT header_rect{};
  GetClientRect(header_, &header_rect);
  EXPECT_EQ(header_rect.bottom, 34);
}

TEST_P(HeaderControl, PaintsItsOwnLookOnScreenAndIntoAGivenDc) {
  expect_header_look(*testing::capture_window(header_, false));
  RECT client{};
  GetClientRect(header_, &client);
  DibCanvas printed(client.right, client.bottom, testing::kCanvasBlank);
  SendMessageW(header_, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(printed.dc()), PRF_CLIENT);
  expect_header_look(printed);
  EXPECT_EQ(SendMessageW(header_, WM_ERASEBKGND, 0, 0), 1);
}

INSTANTIATE_TEST_SUITE_P(BothThemes, HeaderControl, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& param_info) { return param_info.param ? "Dark" : "Light"; });

}  // namespace
}  // namespace corvane
