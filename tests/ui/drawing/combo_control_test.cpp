#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <memory>

#include "support/control_host.h"
#include "support/dib_canvas.h"
#include "support/wine.h"
#include "ui/drawing/controls.h"
#include "ui/drawing/renderer.h"

namespace corvane {
namespace {

using testing::ControlHost;
using testing::DibCanvas;

// Focus tests need the focus to stay with this program while others run.
const bool g_own_desktop = testing::run_on_own_desktop();

class ComboControl : public ::testing::TestWithParam<bool> {
 protected:
  void SetUp() override {
    renderer_.set_theme(GetParam(), 96);
    host_ = &ControlHost::shared(renderer_);
    combo_ = host_->child(L"COMBOBOX", L"", CBS_DROPDOWNLIST | CBS_OWNERDRAWFIXED | CBS_HASSTRINGS | WS_TABSTOP, 40,
                          {10, 10, 250, 300});
    ASSERT_NE(combo_, nullptr);
    SendMessageW(combo_, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(L"Alpha Beta Gamma"));
    SendMessageW(combo_, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(L"Delta"));
    renderer_.style_control(combo_);
  }

  std::unique_ptr<DibCanvas> draw_item(UINT item_id, UINT state) {
    auto canvas = std::make_unique<DibCanvas>(240, 32, testing::kCanvasBlank);
    DRAWITEMSTRUCT item{};
    item.CtlType = ODT_COMBOBOX;
    item.CtlID = 40;
    item.itemID = item_id;
    item.itemState = state;
    item.hwndItem = combo_;
    item.hDC = canvas->dc();
    item.rcItem = RECT{0, 0, 240, 32};
    renderer_.draw_combo_item(item);
    return canvas;
  }

  COLORREF color(int role) const { return renderer_.colors[static_cast<size_t>(role)]; }

  Renderer renderer_;
  ControlHost* host_ = nullptr;
  HWND combo_ = nullptr;
};

TEST_P(ComboControl, ItemsShowTheirTextOnTheSelectionColour) {
  auto plain = draw_item(0, 0);
  EXPECT_EQ(plain->pixel(2, 2), color(kColorSurface));
  EXPECT_GT(plain->count(color(kColorText)), 10);
  EXPECT_EQ(plain->count(RECT{0, 0, 12, 32}, color(kColorText)), 0) << "text starts 12 px in";

  auto selected = draw_item(1, ODS_SELECTED);
  EXPECT_EQ(selected->pixel(2, 2), color(kColorSelected));
  EXPECT_EQ(selected->pixel(239, 31), color(kColorSelected));
  EXPECT_GT(selected->count(color(kColorText)), 5);

  auto disabled = draw_item(0, ODS_DISABLED);
  EXPECT_EQ(disabled->count(color(kColorText)), 0);
  EXPECT_GT(disabled->count(color(kColorSecondaryText)), 10);

  // No item: only the background.
  auto none = draw_item(static_cast<UINT>(-1), 0);
  EXPECT_EQ(none->count(color(kColorSurface)), 240 * 32);
  auto none_selected = draw_item(static_cast<UINT>(-1), ODS_SELECTED);
  EXPECT_EQ(none_selected->count(color(kColorSelected)), 240 * 32);
}

TEST_P(ComboControl, ClosedBoxShowsTheSelectionOrADash) {
  auto empty = testing::capture_window(combo_, false);
  const int width = empty->width();
  const int height = empty->height();
  EXPECT_EQ(empty->pixel(0, 0), color(kColorSurface));
  EXPECT_EQ(empty->pixel(4, height / 2), color(kColorHover));
  const int dash_ink = empty->count(color(kColorText));
  EXPECT_GT(dash_ink, 0);
  EXPECT_EQ(empty->count(RECT{0, 0, 12, height}, color(kColorText)), 0);

  SendMessageW(combo_, CB_SETCURSEL, 0, 0);
  RECT pending{};
  EXPECT_TRUE(GetUpdateRect(combo_, &pending, FALSE)) << "a selection change repaints the box";
  auto chosen = testing::capture_window(combo_, false);
  EXPECT_GT(chosen->count(color(kColorText)), dash_ink * 3);
  EXPECT_EQ(chosen->count(RECT{width - 32, 0, width, height}, color(kColorText)), 0) << "text stops 32 px short";

  EnableWindow(combo_, FALSE);
  auto disabled = testing::capture_window(combo_, false);
  EXPECT_EQ(disabled->count(color(kColorText)), 0);
  EXPECT_GT(disabled->count(color(kColorSecondaryText)), 0);
}

TEST_P(ComboControl, HoverAndFocusLightTheBodyUnderAHand) {
  HWND other = host_->child(L"BUTTON", L"x", BS_PUSHBUTTON, 41, {300, 10, 360, 40});
  SetFocus(other);
  const int middle = testing::capture_window(combo_, false)->height() / 2;
  SendMessageW(combo_, WM_MOUSEMOVE, 0, MAKELPARAM(5, 5));
  EXPECT_EQ(control_property(combo_, kPropHot), 1u);
  EXPECT_EQ(testing::capture_window(combo_, false)->pixel(4, middle), color(kColorSelected));
  SendMessageW(combo_, WM_MOUSELEAVE, 0, 0);
  EXPECT_EQ(control_property(combo_, kPropHot), 0u);
  EXPECT_EQ(testing::capture_window(combo_, false)->pixel(4, middle), color(kColorHover));
  SetFocus(combo_);
  EXPECT_EQ(testing::capture_window(combo_, false)->pixel(4, middle), color(kColorSelected));
  EXPECT_EQ(SendMessageW(combo_, WM_ERASEBKGND, 0, 0), 1);

  // The hand cursor over the box and its list.
  EXPECT_EQ(SendMessageW(combo_, WM_SETCURSOR, reinterpret_cast<WPARAM>(combo_), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE)),
            TRUE);
  COMBOBOXINFO info{};
  info.cbSize = sizeof(info);
  ASSERT_TRUE(GetComboBoxInfo(combo_, &info));
  SetCursor(LoadCursorW(nullptr, IDC_ARROW));
  EXPECT_EQ(SendMessageW(info.hwndList, WM_SETCURSOR, reinterpret_cast<WPARAM>(info.hwndList),
                         MAKELPARAM(HTCLIENT, WM_MOUSEMOVE)),
            TRUE);
  EXPECT_EQ(GetCursor(), LoadCursorW(nullptr, IDC_HAND));
}

INSTANTIATE_TEST_SUITE_P(BothThemes, ComboControl, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& param_info) { return param_info.param ? "Dark" : "Light"; });

}  // namespace
}  // namespace corvane
