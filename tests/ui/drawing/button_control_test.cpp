// ctest-resource-lock: focus
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
  Renderer renderer_;
  ControlHost* host_ = nullptr;
  HWND button_ = nullptr;
};

struct PointCheck {
  const char* name;
  std::vector<std::pair<const wchar_t*, int>> properties;
  UINT state;
  bool primary;
  std::vector<std::pair<POINT, int>> expected;
};

TEST_P(ButtonPaint, StatesShowTheirColoursAtKnownPoints) {
  const POINT corner{0, 0};
  const POINT body{4, kHeight / 2};
  const POINT bar{kWidth / 2, kHeight - 3};
  const std::vector<std::pair<const wchar_t*, int>> link{{kPropLink, 1}};
  const PointCheck checks[] = {
      {"normal", {}, 0, false, {{corner, kColorWindow}, {body, kColorSurface}, {bar, kColorSurface}}},
      // The focus bar: two rows high, 8 px in from the sides.
      {"focused", {}, ODS_FOCUS, false,
       {{body, kColorHover}, {bar, kColorAccent}, {{kWidth / 2, kHeight - 4}, kColorAccent},
        {{kWidth / 2, kHeight - 5}, kColorHover}, {{8, kHeight - 3}, kColorHover}}},
      // Focus cues hidden, or focus that came from the mouse: no bar, normal body.
      {"cues hidden", {}, ODS_FOCUS | ODS_NOFOCUSRECT, false, {{body, kColorSurface}, {bar, kColorSurface}}},
      {"mouse focus", {{kPropMouseFocus, 1}}, ODS_FOCUS, false, {{bar, kColorSurface}}},
      {"primary", {}, 0, true, {{body, kColorAccent}}},
      {"primary focused", {}, ODS_FOCUS, true, {{body, kColorAccent}, {bar, kColorOnAccent}}},
      {"nav selected", {{kPropNav, 1}, {kPropSelected, 1}}, 0, false, {{body, kColorSelected}}},
      // Link buttons are square with a frame.
      {"link", link, 0, false,
       {{corner, kColorWindow}, {{1, 1}, kColorStrongBorder}, {{kWidth - 2, kHeight - 2}, kColorStrongBorder},
        {{2, 2}, kColorHover}, {body, kColorHover}}},
  };
  for (const PointCheck& check : checks) {
    auto canvas = paint_with(check.properties, check.state, check.primary);
    for (const auto& [point, role] : check.expected) {
      EXPECT_EQ(canvas->pixel(point.x, point.y), color(role))
          << check.name << " at " << point.x << "," << point.y;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(BothThemes, ButtonPaint, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& param_info) { return param_info.param ? "Dark" : "Light"; });

// Focus tests need the focus to stay with this program while others run.
class OwnDesktop : public ::testing::Environment {
 public:
  void SetUp() override { testing::use_own_desktop(); }
};
const auto* const g_own_desktop = ::testing::AddGlobalTestEnvironment(new OwnDesktop);

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
  COLORREF shown(HWND button, int x = 4, int y = 18) { return testing::capture_window(button, false)->pixel(x, y); }

  Renderer renderer_;
  ControlHost* host_ = nullptr;
  HWND button_ = nullptr;
  HWND other_ = nullptr;
};

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

}  // namespace
}  // namespace corvane
