#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <algorithm>

#include "support/control_host.h"
#include "support/dib_canvas.h"
#include "support/ui_app.h"
#include "support/gdi_count.h"
#include "support/wine.h"
#include "ui/drawing/controls.h"
#include "ui/drawing/renderer.h"

namespace corvane {
namespace {

using testing::ControlHost;
using testing::DibCanvas;

// Focus tests need the focus to stay with this program while others run.
const bool g_own_desktop = testing::run_on_own_desktop();

class EditControl : public ::testing::TestWithParam<bool> {
 protected:
  void SetUp() override {
    renderer_.set_theme(GetParam(), 96);
    host_ = &ControlHost::shared(renderer_);
  }

  HWND make_edit(DWORD style, RECT rect) {
    HWND edit = host_->child(L"EDIT", L"", style, 30, rect, WS_EX_CLIENTEDGE);
    EXPECT_NE(edit, nullptr);
    renderer_.style_control(edit);
    return edit;
  }

  int body_text_height() {
    HDC screen = GetDC(nullptr);
    HGDIOBJ old = SelectObject(screen, renderer_.fonts[kFontBody]);
    TEXTMETRICW metrics{};
    GetTextMetricsW(screen, &metrics);
    SelectObject(screen, old);
    ReleaseDC(nullptr, screen);
    return metrics.tmHeight;
  }

  COLORREF color(int role) const { return renderer_.colors[static_cast<size_t>(role)]; }

  Renderer renderer_;
  ControlHost* host_ = nullptr;
};

TEST_P(EditControl, ClientAreaIsPaddedAndOneLineIsCentred) {
  HWND single = make_edit(ES_AUTOHSCROLL, {10, 10, 210, 42});
  RECT client{};
  GetClientRect(single, &client);
  // 1-px border, then 10 px each side.
  EXPECT_EQ(client.right, 200 - 2 - 20);
  const int inner = 32 - 2;
  const int pad = std::max(0, (inner - body_text_height()) / 2);
  EXPECT_EQ(client.bottom, inner - 2 * pad);

  HWND multi = make_edit(ES_MULTILINE, {10, 50, 210, 150});
  GetClientRect(multi, &client);
  EXPECT_EQ(client.right, 200 - 2 - 20);
  EXPECT_EQ(client.bottom, 100 - 2 - 16);
}

TEST_P(EditControl, FrameFollowsFocusAndHover) {
  HWND edit = make_edit(ES_AUTOHSCROLL, {10, 10, 210, 42});
  HWND other = make_edit(ES_AUTOHSCROLL, {10, 60, 210, 92});
  SetFocus(other);
  auto idle = testing::capture_window(edit, true);
  EXPECT_EQ(idle->pixel(0, 0), color(kColorStrongBorder));
  EXPECT_EQ(idle->pixel(199, 31), color(kColorStrongBorder));
  EXPECT_EQ(idle->pixel(0, 16), color(kColorStrongBorder));
  EXPECT_EQ(idle->pixel(4, 16), color(kColorField));   // the left padding
  EXPECT_EQ(idle->pixel(195, 16), color(kColorField));  // the right padding

  SetFocus(edit);
  EXPECT_EQ(testing::capture_window(edit, true)->pixel(0, 0), color(kColorAccent));
  SetFocus(other);
  EXPECT_EQ(testing::capture_window(edit, true)->pixel(0, 0), color(kColorStrongBorder));

  SendMessageW(edit, WM_MOUSEMOVE, 0, MAKELPARAM(3, 3));
  EXPECT_EQ(control_property(edit, kPropHot), 1u);
  EXPECT_EQ(testing::capture_window(edit, true)->pixel(100, 0), color(kColorAccent));
  SendMessageW(edit, WM_MOUSELEAVE, 0, 0);
  EXPECT_EQ(control_property(edit, kPropHot), 0u);
  EXPECT_EQ(testing::capture_window(edit, true)->pixel(100, 0), color(kColorStrongBorder));
}

TEST_P(EditControl, VisibleScrollBarIsLeftToTheSystem) {
  HWND edit = make_edit(ES_MULTILINE | WS_VSCROLL, {10, 10, 210, 110});
  ShowScrollBar(edit, SB_VERT, TRUE);
  SCROLLBARINFO info{};
  info.cbSize = sizeof(info);
  ASSERT_TRUE(GetScrollBarInfo(edit, OBJID_VSCROLL, &info));
  if (info.rgstate[0] & (STATE_SYSTEM_INVISIBLE | STATE_SYSTEM_OFFSCREEN)) GTEST_SKIP() << "no visible scroll bar";
  RECT window{};
  GetWindowRect(edit, &window);
  const int x = (info.rcScrollBar.left + info.rcScrollBar.right) / 2 - window.left;
  const int y = (info.rcScrollBar.top + info.rcScrollBar.bottom) / 2 - window.top;
  auto shown = testing::capture_window(edit, true);
  EXPECT_NE(shown->pixel(x, y), color(kColorField));
  EXPECT_EQ(shown->pixel(0, 0), color(kColorStrongBorder));
  EXPECT_EQ(shown->pixel(4, 50), color(kColorField));
}

TEST_P(EditControl, CueShowsOnlyInEmptySingleLineEdits) {
  const COLORREF cue = color(kColorSecondaryText);
  const auto cue_ink = [&](HWND edit, int left = 0, int right = 1000, const wchar_t* text = L"Search features") {
    SendMessageW(edit, EM_SETCUEBANNER, TRUE, reinterpret_cast<LPARAM>(text));
    auto shown = testing::capture_window(edit, false);
    return shown->count(RECT{left, 0, std::min(right, shown->width()), shown->height()}, cue);
  };
  HWND edit = make_edit(ES_AUTOHSCROLL, {10, 10, 210, 42});
  EXPECT_GT(cue_ink(edit), 10);
  EXPECT_GT(cue_ink(edit, 0, 20), 0) << "left-aligned";
  auto shown = testing::capture_window(edit, false);
  EXPECT_GT(shown->count(color(kColorField)), shown->width() * shown->height() / 2);
  // The same through WM_PRINTCLIENT into a DC of our own.
  DibCanvas printed(shown->width(), shown->height(), testing::kCanvasBlank);
  SendMessageW(edit, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(printed.dc()), PRF_CLIENT);
  EXPECT_GT(printed.count(cue), 10);
  SetWindowTextW(edit, L"abc");
  EXPECT_EQ(cue_ink(edit), 0);

  HWND centred = make_edit(ES_AUTOHSCROLL | ES_CENTER, {10, 50, 310, 82});
  EXPECT_GT(cue_ink(centred, 0, 1000, L"Cue"), 0);
  EXPECT_EQ(cue_ink(centred, 0, 100, L"Cue"), 0);
  EXPECT_EQ(cue_ink(make_edit(ES_MULTILINE, {10, 90, 210, 190})), 0) << "never in a multi-line edit";
}

TEST_P(EditControl, NonClientPaintingReleasesEveryDc) {
  HWND edit = make_edit(ES_MULTILINE | WS_VSCROLL, {10, 10, 210, 110});
  SendMessageW(edit, EM_SETCUEBANNER, TRUE, reinterpret_cast<LPARAM>(L"Cue"));
  testing::capture_window(edit, true);
  const long before = testing::gdi_objects_in_use();
  for (int i = 0; i < 100; ++i) {
    RedrawWindow(edit, nullptr, nullptr, RDW_INVALIDATE | RDW_FRAME | RDW_UPDATENOW);
    SendMessageW(edit, WM_NCPAINT, 1, 0);
  }
  testing::pump_messages();
  EXPECT_EQ(testing::gdi_objects_in_use(), before);
}

INSTANTIATE_TEST_SUITE_P(BothThemes, EditControl, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& param_info) { return param_info.param ? "Dark" : "Light"; });

}  // namespace
}  // namespace corvane
