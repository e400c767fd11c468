// ctest-resource-lock: focus
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <memory>

#include "support/control_host.h"
#include "support/dib_canvas.h"
#include "ui/controls.h"
#include "ui/renderer.h"

namespace corvane {
namespace {

using testing::ControlHost;
using testing::DibCanvas;

void pump_messages_and_settle() { testing::dispatch_pending_messages(); }

// ---------------------------------------------------------------------------------------------
// Owner-drawn buttons, painted directly into a DIB

class ButtonPaint : public ::testing::TestWithParam<bool> {
 protected:
  void SetUp() override {
    renderer_.set_theme(GetParam(), 96);
    host_ = &ControlHost::shared(renderer_);
    button_ = host_->child(L"BUTTON", L"OK", BS_PUSHBUTTON, 7, {0, 0, kWidth, kHeight});
    ASSERT_NE(button_, nullptr);
  }

  // Paints the button with the given state into a fresh canvas, through a WM_DRAWITEM to the
  // host (which paints id 201 as the primary button).
  std::unique_ptr<DibCanvas> paint(UINT state, bool primary = false) {
    auto canvas = std::make_unique<DibCanvas>(kWidth, kHeight, testing::kCanvasBlank);
    DRAWITEMSTRUCT item{};
    item.CtlType = ODT_BUTTON;
    item.CtlID = primary ? static_cast<UINT>(testing::kPrimaryButtonId) : 7u;
    item.itemState = state;
    item.hwndItem = button_;
    item.hDC = canvas->dc();
    item.rcItem = RECT{0, 0, kWidth, kHeight};
    EXPECT_EQ(SendMessageW(host_->window, WM_DRAWITEM, item.CtlID, reinterpret_cast<LPARAM>(&item)), TRUE);
    return canvas;
  }

  COLORREF color(int role) const { return renderer_.colors[static_cast<size_t>(role)]; }
  COLORREF body(const DibCanvas& canvas) const { return canvas.pixel(4, kHeight / 2); }
  COLORREF bar(const DibCanvas& canvas) const { return canvas.pixel(kWidth / 2, kHeight - 3); }
  // Pixels of exactly one colour in the label area.
  int label_ink(const DibCanvas& canvas, COLORREF c, int left = 0, int right = kWidth) const {
    return canvas.count(RECT{left, 4, right, kHeight - 5}, c);
  }

  static constexpr int kWidth = 160;
  static constexpr int kHeight = 36;
  Renderer renderer_;
  ControlHost* host_ = nullptr;
  HWND button_ = nullptr;
};

TEST_P(ButtonPaint, NormalHotPressedAndFocused) {
  auto normal = paint(0);
  EXPECT_EQ(normal->pixel(0, 0), color(kColorWindow));
  EXPECT_EQ(body(*normal), color(kColorSurface));
  EXPECT_EQ(bar(*normal), color(kColorSurface));
  EXPECT_GT(label_ink(*normal, color(kColorText)), 0);

  set_control_property(button_, kPropHot, 1);
  EXPECT_EQ(body(*paint(0)), color(kColorHover));
  set_control_property(button_, kPropHot, 0);
  EXPECT_EQ(body(*paint(ODS_SELECTED)), color(kColorHover));
  EXPECT_EQ(body(*paint(ODS_HOTLIGHT)), color(kColorHover));

  auto focused = paint(ODS_FOCUS);
  EXPECT_EQ(body(*focused), color(kColorHover));
  EXPECT_EQ(bar(*focused), color(kColorAccent));
  EXPECT_EQ(focused->pixel(kWidth / 2, kHeight - 4), color(kColorAccent));
  EXPECT_EQ(focused->pixel(kWidth / 2, kHeight - 5), color(kColorHover));
  EXPECT_EQ(focused->pixel(8, kHeight - 3), color(kColorHover));  // the bar starts 8 px in

  // Focus cues hidden, or focus that came from the mouse: no bar, normal body.
  auto hidden = paint(ODS_FOCUS | ODS_NOFOCUSRECT);
  EXPECT_EQ(body(*hidden), color(kColorSurface));
  EXPECT_EQ(bar(*hidden), color(kColorSurface));
  set_control_property(button_, kPropMouseFocus, 1);
  EXPECT_EQ(bar(*paint(ODS_FOCUS)), color(kColorSurface));
}

TEST_P(ButtonPaint, DisabledButtonsNeverTurnHot) {
  set_control_property(button_, kPropHot, 1);
  for (bool primary : {false, true}) {
    auto disabled = paint(ODS_DISABLED | ODS_SELECTED, primary);
    EXPECT_EQ(body(*disabled), color(kColorSurface)) << primary;
    EXPECT_GT(label_ink(*disabled, color(kColorSecondaryText)), 0) << primary;
    EXPECT_EQ(label_ink(*disabled, color(kColorText)), 0) << primary;
    EXPECT_EQ(disabled->count(color(kColorAccent)), 0) << primary;
  }
}

TEST_P(ButtonPaint, PrimaryButtonsAreAccentFilled) {
  auto primary = paint(0, true);
  EXPECT_EQ(body(*primary), color(kColorAccent));
  EXPECT_GT(label_ink(*primary, color(kColorOnAccent)), 0);
  auto hot = paint(ODS_HOTLIGHT, true);
  EXPECT_EQ(body(*hot), GetParam() ? 0xFFC385u : 0xA35311u);
  auto focused = paint(ODS_FOCUS, true);
  EXPECT_EQ(body(*focused), color(kColorAccent));
  EXPECT_EQ(bar(*focused), color(kColorOnAccent));
}

TEST_P(ButtonPaint, NavigationButtonsSitFlatAndShowTheirSelection) {
  set_control_property(button_, kPropNav, 1);
  auto flat = paint(0);
  EXPECT_EQ(flat->pixel(0, 0), color(kColorNavigation));
  EXPECT_EQ(body(*flat), color(kColorNavigation));
  EXPECT_GT(label_ink(*flat, color(kColorText), 0, 40), 0) << "left-aligned label";

  set_control_property(button_, kPropSelected, 1);
  auto selected = paint(0);
  EXPECT_EQ(body(*selected), color(kColorSelected));
  EXPECT_GT(label_ink(*selected, color(kColorAccent)), 0);
  EXPECT_EQ(label_ink(*selected, color(kColorText)), 0);

  set_control_property(button_, kPropHot, 1);
  auto hot = paint(0);
  EXPECT_EQ(body(*hot), color(kColorHover));  // hover wins over selection
  EXPECT_GT(label_ink(*hot, color(kColorAccent)), 0);
}

TEST_P(ButtonPaint, NavigationLevelAndIconMoveTheLabel) {
  set_control_property(button_, kPropNav, 1);
  // Level 0: the label starts at 1 + 12.
  EXPECT_GT(label_ink(*paint(0), color(kColorText), 13, 20), 0);
  set_control_property(button_, kPropLevel, 1);
  EXPECT_EQ(label_ink(*paint(0), color(kColorText), 0, 25), 0);
  EXPECT_GT(label_ink(*paint(0), color(kColorText), 25, 32), 0);
  set_control_property(button_, kPropLevel, 0);
  // An icon box of 20 px and a gap: the label moves to 13 + 29.
  set_control_property(button_, kPropIcon, 0xE80F);
  EXPECT_EQ(label_ink(*paint(0), color(kColorText), 0, 42), 0);
  EXPECT_GT(label_ink(*paint(0), color(kColorText), 42, 50), 0);
}

TEST_P(ButtonPaint, LinkButtonsAreSquareWithAFrame) {
  set_control_property(button_, kPropLink, 1);
  auto link = paint(0);
  EXPECT_EQ(link->pixel(0, 0), color(kColorWindow));
  EXPECT_EQ(link->pixel(1, 1), color(kColorStrongBorder));
  EXPECT_EQ(link->pixel(kWidth - 2, kHeight - 2), color(kColorStrongBorder));
  EXPECT_EQ(link->pixel(2, 2), color(kColorHover));  // square: no rounded corner
  EXPECT_EQ(body(*link), color(kColorHover));

  auto focused = paint(ODS_FOCUS);
  EXPECT_EQ(focused->pixel(1, 1), color(kColorAccent));
  EXPECT_EQ(focused->pixel(2, 2), color(kColorSelected));
}

INSTANTIATE_TEST_SUITE_P(BothThemes, ButtonPaint, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& param_info) { return param_info.param ? "Dark" : "Light"; });

// ---------------------------------------------------------------------------------------------
// button_proc on real buttons

class ButtonProc : public ::testing::Test {
 protected:
  void SetUp() override {
    renderer_.set_theme(true, 96);
    host_ = &ControlHost::shared(renderer_);
    button_ = host_->child(L"BUTTON", L"Apply", BS_PUSHBUTTON | WS_TABSTOP, testing::kPrimaryButtonId, {10, 10, 170, 46});
    other_ = host_->child(L"BUTTON", L"Other", BS_PUSHBUTTON | WS_TABSTOP, 8, {10, 60, 170, 96});
    ASSERT_TRUE(button_ && other_);
    renderer_.style_control(button_);
    renderer_.style_control(other_);
  }

  // The state of the last WM_DRAWITEM the host got for `button`.
  UINT last_state(HWND button) {
    host_->draws.clear();
    RedrawWindow(button, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    for (auto it = host_->draws.rbegin(); it != host_->draws.rend(); ++it) {
      if (it->hwndItem == button) return it->itemState;
    }
    ADD_FAILURE() << "no WM_DRAWITEM";
    return 0xFFFFFFFF;
  }

  Renderer renderer_;
  ControlHost* host_ = nullptr;
  HWND button_ = nullptr;
  HWND other_ = nullptr;
};

TEST_F(ButtonProc, PaintGoesThroughTheParentIntoABufferAndReachesTheScreen) {
  host_->draws.clear();
  auto shown = testing::capture_window(button_, false);
  const DRAWITEMSTRUCT* found = nullptr;
  for (const DRAWITEMSTRUCT& draw : host_->draws) {
    if (draw.hwndItem == button_) found = &draw;
  }
  ASSERT_NE(found, nullptr);
  const DRAWITEMSTRUCT& item = *found;
  EXPECT_EQ(item.CtlType, static_cast<UINT>(ODT_BUTTON));
  EXPECT_EQ(item.CtlID, static_cast<UINT>(testing::kPrimaryButtonId));
  EXPECT_EQ(item.itemID, 0u);
  EXPECT_EQ(item.itemAction, 0u);
  EXPECT_EQ(item.hwndItem, button_);
  EXPECT_EQ(item.rcItem.right, 160);
  EXPECT_EQ(item.rcItem.bottom, 36);
  EXPECT_EQ(item.itemState & (ODS_DISABLED | ODS_SELECTED | ODS_FOCUS), 0u);
  // The primary body in accent, its corners in the window colour, on screen.
  EXPECT_EQ(shown->pixel(4, 18), renderer_.colors[kColorAccent]);
  EXPECT_EQ(shown->pixel(0, 0), renderer_.colors[kColorWindow]);

  EnableWindow(button_, FALSE);
  EXPECT_EQ(last_state(button_) & ODS_DISABLED, static_cast<UINT>(ODS_DISABLED));
  EXPECT_EQ(testing::capture_window(button_, false)->pixel(4, 18), renderer_.colors[kColorSurface]);
  EnableWindow(button_, TRUE);

  SendMessageW(button_, BM_SETSTATE, TRUE, 0);
  EXPECT_EQ(last_state(button_) & ODS_SELECTED, static_cast<UINT>(ODS_SELECTED));
  SendMessageW(button_, BM_SETSTATE, FALSE, 0);

  SetFocus(button_);
  EXPECT_EQ(last_state(button_) & ODS_FOCUS, static_cast<UINT>(ODS_FOCUS));
}

TEST_F(ButtonProc, HoverAndCursor) {
  SendMessageW(other_, WM_MOUSEMOVE, 0, MAKELPARAM(5, 5));
  EXPECT_EQ(control_property(other_, kPropHot), 1u);
  EXPECT_EQ(testing::capture_window(other_, false)->pixel(4, 18), renderer_.colors[kColorHover]);
  SendMessageW(other_, WM_MOUSELEAVE, 0, 0);
  EXPECT_EQ(control_property(other_, kPropHot), 0u);
  EXPECT_EQ(testing::capture_window(other_, false)->pixel(4, 18), renderer_.colors[kColorSurface]);

  SendMessageW(other_, WM_MOUSEMOVE, 0, MAKELPARAM(5, 5));
  EnableWindow(other_, FALSE);
  EXPECT_EQ(control_property(other_, kPropHot), 0u);
  EXPECT_NE(SendMessageW(other_, WM_SETCURSOR, reinterpret_cast<WPARAM>(other_), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE)),
            TRUE);
  EnableWindow(other_, TRUE);
  EXPECT_EQ(SendMessageW(other_, WM_SETCURSOR, reinterpret_cast<WPARAM>(other_), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE)),
            TRUE);
  EXPECT_EQ(GetCursor(), LoadCursorW(nullptr, IDC_HAND));
  EXPECT_EQ(SendMessageW(other_, WM_ERASEBKGND, 0, 0), 1);
}

TEST_F(ButtonProc, MouseFocusHidesTheBarUntilTheKeyboardMovesTheFocus) {
  SendMessageW(button_, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
  SendMessageW(button_, WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
  pump_messages_and_settle();
  EXPECT_EQ(control_property(button_, kPropMouseFocus), 1u);
  BOOL keyboard_cues = FALSE;
  SystemParametersInfoW(SPI_GETKEYBOARDCUES, 0, &keyboard_cues, 0);
  if (!keyboard_cues) {
    // With "always show keyboard cues" on (Wine's default) the system keeps focus cues visible.
    EXPECT_EQ(SendMessageW(host_->window, WM_QUERYUISTATE, 0, 0) & UISF_HIDEFOCUS,
              static_cast<LRESULT>(UISF_HIDEFOCUS));
  }
  ASSERT_EQ(GetFocus(), button_);
  auto clicked = testing::capture_window(button_, false);
  EXPECT_GT(clicked->count(renderer_.colors[kColorOnAccent]), 0);
  EXPECT_EQ(clicked->pixel(80, 33), renderer_.colors[kColorAccent]) << "no focus bar after a click";

  // A key press clears the mouse focus; the focus moves on by keyboard.
  SendMessageW(button_, WM_KEYDOWN, VK_TAB, 0);
  EXPECT_EQ(control_property(button_, kPropMouseFocus), 0u);
  SendMessageW(host_->window, WM_CHANGEUISTATE, MAKEWPARAM(UIS_CLEAR, UISF_HIDEFOCUS), 0);
  SetFocus(other_);
  EXPECT_EQ(last_state(other_) & (ODS_FOCUS | ODS_NOFOCUSRECT), static_cast<UINT>(ODS_FOCUS));
  EXPECT_EQ(testing::capture_window(other_, false)->pixel(80, 33), renderer_.colors[kColorAccent]) << "focus bar";
}

TEST_F(ButtonProc, KillFocusClearsMouseFocus) {
  set_control_property(other_, kPropMouseFocus, 1);
  SetFocus(other_);
  SetFocus(button_);
  EXPECT_EQ(control_property(other_, kPropMouseFocus), 0u);
}

TEST_F(ButtonProc, NavigationButtonsReportFocusAndForwardTheWheel) {
  SetFocus(other_);
  EXPECT_TRUE(host_->nav_focused.empty());

  set_control_property(button_, kPropNav, 1);
  EXPECT_EQ(SendMessageW(button_, WM_MOUSEWHEEL, MAKEWPARAM(0, WHEEL_DELTA), 0), testing::kHostWheelResult);
  EXPECT_EQ(host_->wheels, 1);
  SetFocus(button_);
  ASSERT_EQ(host_->nav_focused.size(), 1u);
  EXPECT_EQ(host_->nav_focused[0], reinterpret_cast<WPARAM>(button_));
}

}  // namespace
}  // namespace corvane
