#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <memory>
#include <utility>
#include <vector>

#include "support/control_host.h"
#include "support/dib_canvas.h"
#include "support/ui_app.h"
#include "support/wine.h"
#include "ui/drawing/controls.h"
#include "ui/drawing/renderer.h"

namespace corvane {
namespace {

using testing::ControlHost;
using testing::DibCanvas;

constexpr int kWidth = 160;
constexpr int kHeight = 36;

// Owner-drawn buttons painted into a DIB through a WM_DRAWITEM to the host, in both themes.
class ButtonPaint : public ::testing::TestWithParam<bool> {
 protected:
  void SetUp() override {
    renderer_.set_theme(GetParam(), 96);
    host_ = &ControlHost::shared(renderer_);
    button_ = host_->child(L"BUTTON", L"OK", BS_PUSHBUTTON, 7, {0, 0, kWidth, kHeight});
    ASSERT_NE(button_, nullptr);
  }

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

  // Sets the button's properties (name, value) and paints it.
  std::unique_ptr<DibCanvas> paint_with(std::vector<std::pair<const wchar_t*, int>> properties, UINT state,
                                        bool primary = false) {
    for (const wchar_t* name : kControlProperties) set_control_property(button_, name, 0);
    for (const auto& [name, value] : properties) set_control_property(button_, name, value);
    return paint(state, primary);
  }

  COLORREF color(int role) const { return renderer_.colors[static_cast<size_t>(role)]; }
  // Pixels of exactly one colour in the label area.
  static int label_ink(const DibCanvas& canvas, COLORREF c, int left = 0, int right = kWidth) {
    return canvas.count(RECT{left, 4, right, kHeight - 5}, c);
  }

  Renderer renderer_;
  ControlHost* host_ = nullptr;
  HWND button_ = nullptr;
};

struct PointCheck {
  const char* name;
  std::vector<std::pair<const wchar_t*, int>> properties;
  UINT state;
  bool primary;
  std::vector<std::pair<POINT, int>> expected;  // role -1: the hot primary colour
};

TEST_P(ButtonPaint, StatesShowTheirColoursAtKnownPoints) {
  const POINT corner{0, 0};
  const POINT body{4, kHeight / 2};
  const POINT bar{kWidth / 2, kHeight - 3};
  const std::vector<std::pair<const wchar_t*, int>> nav{{kPropNav, 1}};
  const std::vector<std::pair<const wchar_t*, int>> link{{kPropLink, 1}};
  const PointCheck checks[] = {
      {"normal", {}, 0, false, {{corner, kColorWindow}, {body, kColorSurface}, {bar, kColorSurface}}},
      {"hot", {{kPropHot, 1}}, 0, false, {{body, kColorHover}}},
      {"pressed", {}, ODS_SELECTED, false, {{body, kColorHover}}},
      {"hotlight", {}, ODS_HOTLIGHT, false, {{body, kColorHover}}},
      // The focus bar: two rows high, 8 px in from the sides.
      {"focused", {}, ODS_FOCUS, false,
       {{body, kColorHover}, {bar, kColorAccent}, {{kWidth / 2, kHeight - 4}, kColorAccent},
        {{kWidth / 2, kHeight - 5}, kColorHover}, {{8, kHeight - 3}, kColorHover}}},
      // Focus cues hidden, or focus that came from the mouse: no bar, normal body.
      {"cues hidden", {}, ODS_FOCUS | ODS_NOFOCUSRECT, false, {{body, kColorSurface}, {bar, kColorSurface}}},
      {"mouse focus", {{kPropMouseFocus, 1}}, ODS_FOCUS, false, {{bar, kColorSurface}}},
      {"primary", {}, 0, true, {{body, kColorAccent}}},
      {"primary hot", {}, ODS_HOTLIGHT, true, {{body, -1}}},
      {"primary focused", {}, ODS_FOCUS, true, {{body, kColorAccent}, {bar, kColorOnAccent}}},
      {"nav", nav, 0, false, {{corner, kColorNavigation}, {body, kColorNavigation}}},
      {"nav selected", {{kPropNav, 1}, {kPropSelected, 1}}, 0, false, {{body, kColorSelected}}},
      {"nav hover wins", {{kPropNav, 1}, {kPropSelected, 1}, {kPropHot, 1}}, 0, false, {{body, kColorHover}}},
      // Link buttons are square with a frame.
      {"link", link, 0, false,
       {{corner, kColorWindow}, {{1, 1}, kColorStrongBorder}, {{kWidth - 2, kHeight - 2}, kColorStrongBorder},
        {{2, 2}, kColorHover}, {body, kColorHover}}},
      {"link focused", link, ODS_FOCUS, false, {{{1, 1}, kColorAccent}, {{2, 2}, kColorSelected}}},
  };
  const COLORREF hot_primary = GetParam() ? 0xFFC385u : 0xA35311u;
  for (const PointCheck& check : checks) {
    auto canvas = paint_with(check.properties, check.state, check.primary);
    for (const auto& [point, role] : check.expected) {
      EXPECT_EQ(canvas->pixel(point.x, point.y), role < 0 ? hot_primary : color(role))
          << check.name << " at " << point.x << "," << point.y;
    }
  }
}

TEST_P(ButtonPaint, LabelsInTheirColours) {
  EXPECT_GT(label_ink(*paint_with({}, 0), color(kColorText)), 0);
  EXPECT_GT(label_ink(*paint_with({}, 0, true), color(kColorOnAccent)), 0);
  EXPECT_GT(label_ink(*paint_with({{kPropNav, 1}}, 0), color(kColorText), 0, 40), 0) << "left-aligned";
  auto selected = paint_with({{kPropNav, 1}, {kPropSelected, 1}}, 0);
  EXPECT_GT(label_ink(*selected, color(kColorAccent)), 0);
  EXPECT_EQ(label_ink(*selected, color(kColorText)), 0);
  EXPECT_GT(label_ink(*paint_with({{kPropNav, 1}, {kPropSelected, 1}, {kPropHot, 1}}, 0), color(kColorAccent)), 0);
}

TEST_P(ButtonPaint, DisabledButtonsNeverTurnHot) {
  for (bool primary : {false, true}) {
    auto disabled = paint_with({{kPropHot, 1}}, ODS_DISABLED | ODS_SELECTED, primary);
    EXPECT_EQ(disabled->pixel(4, kHeight / 2), color(kColorSurface)) << primary;
    EXPECT_GT(label_ink(*disabled, color(kColorSecondaryText)), 0) << primary;
    EXPECT_EQ(label_ink(*disabled, color(kColorText)), 0) << primary;
    EXPECT_EQ(disabled->count(color(kColorAccent)), 0) << primary;
  }
}

TEST_P(ButtonPaint, NavigationLevelAndIconMoveTheLabel) {
  // Level 0: the label starts at 1 + 12; level 1 indents it; an icon box of 20 px and a gap
  // move it to 13 + 29. Ink must show within the first few columns from there.
  const struct {
    std::vector<std::pair<const wchar_t*, int>> properties;
    int starts;
    int ink_ends;
  } cases[] = {{{{kPropNav, 1}}, 13, 20},
               {{{kPropNav, 1}, {kPropLevel, 1}}, 25, 32},
               {{{kPropNav, 1}, {kPropIcon, 0xE80F}}, 42, 50}};
  for (const auto& c : cases) {
    auto canvas = paint_with(c.properties, 0);
    EXPECT_EQ(label_ink(*canvas, color(kColorText), 0, c.starts), 0) << c.starts;
    EXPECT_GT(label_ink(*canvas, color(kColorText), c.starts, c.ink_ends), 0) << c.starts;
  }
}

INSTANTIATE_TEST_SUITE_P(BothThemes, ButtonPaint, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& param_info) { return param_info.param ? "Dark" : "Light"; });

// Focus tests need the focus to stay with this program while others run.
const bool g_own_desktop = testing::run_on_own_desktop();

// What WM_MOUSEWHEEL returns from the host.
constexpr LRESULT kHostWheelResult = 77;

// button_proc on real buttons
class ButtonProc : public ::testing::Test {
 protected:
  void SetUp() override {
    renderer_.set_theme(true, 96);
    host_ = &ControlHost::shared(renderer_);
    ASSERT_TRUE(SetWindowSubclass(host_->window, record_host, 1, reinterpret_cast<DWORD_PTR>(this)));
    button_ = host_->child(L"BUTTON", L"Apply", BS_PUSHBUTTON | WS_TABSTOP, testing::kPrimaryButtonId, {10, 10, 170, 46});
    other_ = host_->child(L"BUTTON", L"Other", BS_PUSHBUTTON | WS_TABSTOP, 8, {10, 60, 170, 96});
    ASSERT_TRUE(button_ && other_);
    renderer_.style_control(button_);
    renderer_.style_control(other_);
  }
  void TearDown() override { RemoveWindowSubclass(host_->window, record_host, 1); }

  // Records what navigation buttons send their parent, and answers the wheel.
  static LRESULT CALLBACK record_host(HWND window, UINT message, WPARAM wparam, LPARAM lparam, UINT_PTR,
                                      DWORD_PTR reference) {
    auto* test = reinterpret_cast<ButtonProc*>(reference);
    if (message == WM_NAV_FOCUSED) {
      test->nav_focused_.push_back(wparam);
      return 0;
    }
    if (message == WM_MOUSEWHEEL) {
      ++test->wheels_;
      return kHostWheelResult;
    }
    return DefSubclassProc(window, message, wparam, lparam);
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
  COLORREF shown(HWND button, int x = 4, int y = 18) { return testing::capture_window(button, false)->pixel(x, y); }

  Renderer renderer_;
  ControlHost* host_ = nullptr;
  HWND button_ = nullptr;
  HWND other_ = nullptr;
  std::vector<WPARAM> nav_focused_;
  int wheels_ = 0;
};

TEST_F(ButtonProc, PaintGoesThroughTheParentIntoABufferAndReachesTheScreen) {
  // The primary body in accent, its corners in the window colour, on screen.
  EXPECT_EQ(shown(button_), renderer_.colors[kColorAccent]);
  EXPECT_EQ(shown(button_, 0, 0), renderer_.colors[kColorWindow]);
  const UINT normal = last_state(button_);
  EXPECT_EQ(normal & (ODS_DISABLED | ODS_SELECTED | ODS_FOCUS), 0u);
  ASSERT_FALSE(host_->draws.empty());
  const DRAWITEMSTRUCT& item = host_->draws.back();
  EXPECT_EQ(item.CtlType, static_cast<UINT>(ODT_BUTTON));
  EXPECT_EQ(item.CtlID, static_cast<UINT>(testing::kPrimaryButtonId));
  EXPECT_EQ(item.itemID, 0u);
  EXPECT_EQ(item.itemAction, 0u);
  EXPECT_EQ(item.hwndItem, button_);
  EXPECT_EQ(item.rcItem.right, 160);
  EXPECT_EQ(item.rcItem.bottom, 36);

  EnableWindow(button_, FALSE);
  EXPECT_EQ(last_state(button_) & ODS_DISABLED, static_cast<UINT>(ODS_DISABLED));
  EXPECT_EQ(shown(button_), renderer_.colors[kColorSurface]);
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
  EXPECT_EQ(shown(other_), renderer_.colors[kColorHover]);
  SendMessageW(other_, WM_MOUSELEAVE, 0, 0);
  EXPECT_EQ(control_property(other_, kPropHot), 0u);
  EXPECT_EQ(shown(other_), renderer_.colors[kColorSurface]);

  const LPARAM hit = MAKELPARAM(HTCLIENT, WM_MOUSEMOVE);
  SendMessageW(other_, WM_MOUSEMOVE, 0, MAKELPARAM(5, 5));
  EnableWindow(other_, FALSE);
  EXPECT_EQ(control_property(other_, kPropHot), 0u);
  EXPECT_NE(SendMessageW(other_, WM_SETCURSOR, reinterpret_cast<WPARAM>(other_), hit), TRUE);
  EnableWindow(other_, TRUE);
  EXPECT_EQ(SendMessageW(other_, WM_SETCURSOR, reinterpret_cast<WPARAM>(other_), hit), TRUE);
  EXPECT_EQ(GetCursor(), LoadCursorW(nullptr, IDC_HAND));
  EXPECT_EQ(SendMessageW(other_, WM_ERASEBKGND, 0, 0), 1);
}

TEST_F(ButtonProc, MouseFocusHidesTheBarUntilTheKeyboardMovesTheFocus) {
  SendMessageW(button_, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
  SendMessageW(button_, WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
  testing::pump_messages();
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
  EXPECT_EQ(shown(other_, 80, 33), renderer_.colors[kColorAccent]) << "focus bar";

  // Losing the focus clears a mouse focus too.
  set_control_property(other_, kPropMouseFocus, 1);
  SetFocus(button_);
  EXPECT_EQ(control_property(other_, kPropMouseFocus), 0u);
}

TEST_F(ButtonProc, NavigationButtonsReportFocusAndForwardTheWheel) {
  SetFocus(other_);
  EXPECT_TRUE(nav_focused_.empty());
  set_control_property(button_, kPropNav, 1);
  EXPECT_EQ(SendMessageW(button_, WM_MOUSEWHEEL, MAKEWPARAM(0, WHEEL_DELTA), 0), kHostWheelResult);
  EXPECT_EQ(wheels_, 1);
  SetFocus(button_);
  ASSERT_EQ(nav_focused_.size(), 1u);
  EXPECT_EQ(nav_focused_[0], reinterpret_cast<WPARAM>(button_));
}

}  // namespace
}  // namespace corvane
