#include "ui/controls.h"

#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "support/dib_canvas.h"
#include "support/gdi_count.h"
#include "support/wine.h"
#include "ui/renderer.h"

namespace corvane {
namespace {

using testing::DibCanvas;

constexpr COLORREF kBlank = 0x00FF00FF;
constexpr int kPrimaryId = 201;

// A top-level window that answers WM_DRAWITEM like the main window does and records what
// its children send it.
struct Host {
  Renderer* renderer = nullptr;
  HWND window = nullptr;
  std::vector<DRAWITEMSTRUCT> draws;
  std::vector<WPARAM> nav_focused;
  int wheels = 0;

  static LRESULT CALLBACK proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    auto* host = reinterpret_cast<Host*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (host != nullptr && host->renderer != nullptr) {
      Renderer& renderer = *host->renderer;
      switch (message) {
        case WM_DRAWITEM: {
          const auto& item = *reinterpret_cast<const DRAWITEMSTRUCT*>(lparam);
          host->draws.push_back(item);
          if (item.CtlType == ODT_BUTTON) renderer.draw_button(item, item.CtlID == kPrimaryId);
          if (item.CtlType == ODT_COMBOBOX) renderer.draw_combo_item(item);
          return TRUE;
        }
        case WM_MEASUREITEM:
          reinterpret_cast<MEASUREITEMSTRUCT*>(lparam)->itemHeight = static_cast<UINT>(renderer.scale(32));
          return TRUE;
        case WM_CTLCOLOREDIT:
          SetBkColor(reinterpret_cast<HDC>(wparam), renderer.colors[kColorField]);
          SetTextColor(reinterpret_cast<HDC>(wparam), renderer.colors[kColorText]);
          return reinterpret_cast<LRESULT>(renderer.brushes[kBrushField]);
        case WM_NAV_FOCUSED:
          host->nav_focused.push_back(wparam);
          return 0;
        case WM_MOUSEWHEEL:
          ++host->wheels;
          return 77;
        default:
          break;
      }
    }
    return DefWindowProcW(window, message, wparam, lparam);
  }

  // One visible host for the whole program: under Wine without a window manager, hiding or
  // destroying a visible top-level window waits two seconds for the X server.
  static Host& shared(Renderer& r) {
    static Host* host = new Host();
    host->renderer = &r;
    host->clear();
    return *host;
  }

  Host() {
    WNDCLASSW window_class{};
    window_class.lpfnWndProc = proc;
    window_class.hInstance = GetModuleHandleW(nullptr);
    window_class.lpszClassName = L"CorvaneControlsTestHost";
    window_class.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    RegisterClassW(&window_class);
    window = CreateWindowExW(WS_EX_CONTROLPARENT, L"CorvaneControlsTestHost", L"host",
                             WS_POPUP | WS_VISIBLE | WS_CLIPCHILDREN, 0, 0, 600, 400, nullptr, nullptr,
                             GetModuleHandleW(nullptr), nullptr);
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  }

  // Destroys every child and forgets what was recorded.
  void clear() {
    std::vector<HWND> children;
    for (HWND c = GetWindow(window, GW_CHILD); c != nullptr; c = GetWindow(c, GW_HWNDNEXT)) children.push_back(c);
    for (HWND c : children) DestroyWindow(c);
    draws.clear();
    nav_focused.clear();
    wheels = 0;
    SendMessageW(window, WM_CHANGEUISTATE, MAKEWPARAM(UIS_CLEAR, UISF_HIDEFOCUS), 0);
  }

  HWND child(const wchar_t* class_name, const wchar_t* text, DWORD style, int id, RECT r, DWORD ex_style = 0) {
    return CreateWindowExW(ex_style, class_name, text, WS_CHILD | WS_VISIBLE | style, r.left, r.top,
                           r.right - r.left, r.bottom - r.top, window, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                           GetModuleHandleW(nullptr), nullptr);
  }
};

void pump() {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
}

// What the control shows on screen: its client area, or the whole window with the frame.
std::unique_ptr<DibCanvas> capture(HWND control, bool whole_window) {
  RedrawWindow(control, nullptr, nullptr, RDW_INVALIDATE | RDW_FRAME | RDW_UPDATENOW | RDW_ALLCHILDREN);
  pump();
  RECT r{};
  if (whole_window) {
    GetWindowRect(control, &r);
    OffsetRect(&r, -r.left, -r.top);
  } else {
    GetClientRect(control, &r);
  }
  auto canvas = std::make_unique<DibCanvas>(r.right, r.bottom, kBlank);
  HDC source = whole_window ? GetWindowDC(control) : GetDC(control);
  BitBlt(canvas->dc(), 0, 0, r.right, r.bottom, source, 0, 0, SRCCOPY);
  ReleaseDC(control, source);
  return canvas;
}

// The import library of the cross toolchain lacks GetWindowSubclass: bind it at run time.
bool has_subclass(HWND window, SUBCLASSPROC proc, DWORD_PTR* reference) {
  using GetWindowSubclassFn = BOOL(WINAPI*)(HWND, SUBCLASSPROC, UINT_PTR, DWORD_PTR*);
  static const auto get_window_subclass = [] {
    HMODULE comctl = GetModuleHandleW(L"comctl32.dll");
    FARPROC address = GetProcAddress(comctl, "GetWindowSubclass");
    if (address == nullptr) address = GetProcAddress(comctl, MAKEINTRESOURCEA(411));
    return reinterpret_cast<GetWindowSubclassFn>(reinterpret_cast<void*>(address));
  }();
  if (get_window_subclass == nullptr) ADD_FAILURE() << "GetWindowSubclass not found";
  return get_window_subclass != nullptr && get_window_subclass(window, proc, 1, reference) != FALSE;
}

// ---------------------------------------------------------------------------------------------
// Styling

TEST(StyleControl, GivesEachClassItsFontSubclassAndColours) {
  Renderer renderer;
  renderer.set_theme(false, 96);
  Host& host = Host::shared(renderer);
  HWND button = host.child(L"BUTTON", L"OK", BS_PUSHBUTTON, 1, {10, 10, 130, 42});
  HWND edit = host.child(L"EDIT", L"", ES_AUTOHSCROLL, 2, {10, 50, 210, 82}, WS_EX_CLIENTEDGE);
  HWND combo = host.child(L"COMBOBOX", L"", CBS_DROPDOWNLIST | CBS_OWNERDRAWFIXED | CBS_HASSTRINGS, 3,
                          {10, 90, 210, 300});
  HWND list = host.child(WC_LISTVIEWW, L"", LVS_REPORT, 4, {220, 10, 520, 200});
  HWND label = host.child(L"STATIC", L"Text", 0, 5, {220, 210, 320, 230});
  HWND tooltip = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP, 0, 0, 0, 0,
                                 host.window, nullptr, GetModuleHandleW(nullptr), nullptr);
  ASSERT_TRUE(button && edit && combo && list && label && tooltip);
  LVCOLUMNW column{};
  column.mask = LVCF_TEXT | LVCF_WIDTH;
  column.cx = 120;
  column.pszText = const_cast<wchar_t*>(L"Name");
  SendMessageW(list, LVM_INSERTCOLUMNW, 0, reinterpret_cast<LPARAM>(&column));

  for (int round = 0; round < 2; ++round) {
    if (round == 1) renderer.set_theme(true, 144);
    for (HWND control : {button, edit, combo, list, label, tooltip}) renderer.style_control(control);
    for (HWND control : {button, edit, combo, label}) {
      EXPECT_EQ(reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0)), renderer.fonts[kFontBody]);
    }
    DWORD_PTR reference = 0;
    EXPECT_TRUE(has_subclass(button, button_proc, &reference));
    EXPECT_EQ(reference, reinterpret_cast<DWORD_PTR>(&renderer));
    EXPECT_TRUE(has_subclass(edit, edit_proc, &reference));
    EXPECT_TRUE(has_subclass(combo, combo_proc, &reference));
    EXPECT_FALSE(has_subclass(button, edit_proc, &reference));

    EXPECT_TRUE(GetWindowLongPtrW(edit, GWL_STYLE) & WS_BORDER);
    EXPECT_FALSE(GetWindowLongPtrW(edit, GWL_EXSTYLE) & WS_EX_CLIENTEDGE);

    const LRESULT item_height = renderer.scale(32);
    const LRESULT field_height = SendMessageW(combo, CB_GETITEMHEIGHT, static_cast<WPARAM>(-1), 0);
    // Wine reports the selection field two pixels taller than it was set.
    if (testing::running_under_wine()) {
      EXPECT_TRUE(field_height == item_height || field_height == item_height + 2) << field_height;
    } else {
      EXPECT_EQ(field_height, item_height);
    }
    EXPECT_EQ(SendMessageW(combo, CB_GETITEMHEIGHT, 0, 0), item_height);
    COMBOBOXINFO info{};
    info.cbSize = sizeof(info);
    ASSERT_TRUE(GetComboBoxInfo(combo, &info));
    ASSERT_NE(info.hwndList, nullptr);
    reference = 99;
    EXPECT_TRUE(has_subclass(info.hwndList, combo_list_proc, &reference));
    EXPECT_EQ(reference, 0u);

    EXPECT_EQ(static_cast<COLORREF>(SendMessageW(list, LVM_GETBKCOLOR, 0, 0)), renderer.colors[kColorSurface]);
    EXPECT_EQ(static_cast<COLORREF>(SendMessageW(list, LVM_GETTEXTBKCOLOR, 0, 0)), renderer.colors[kColorSurface]);
    EXPECT_EQ(static_cast<COLORREF>(SendMessageW(list, LVM_GETTEXTCOLOR, 0, 0)), renderer.colors[kColorText]);
    HWND header = reinterpret_cast<HWND>(SendMessageW(list, LVM_GETHEADER, 0, 0));
    ASSERT_NE(header, nullptr);
    EXPECT_EQ(reinterpret_cast<HFONT>(SendMessageW(header, WM_GETFONT, 0, 0)), renderer.fonts[kFontSemibold]);
    EXPECT_TRUE(GetWindowLongPtrW(header, GWL_STYLE) & HDS_NOSIZING);
    EXPECT_TRUE(has_subclass(header, header_proc, &reference));

    EXPECT_EQ(static_cast<COLORREF>(SendMessageW(tooltip, TTM_GETTIPBKCOLOR, 0, 0)), renderer.colors[kColorSurface]);
    EXPECT_EQ(static_cast<COLORREF>(SendMessageW(tooltip, TTM_GETTIPTEXTCOLOR, 0, 0)), renderer.colors[kColorText]);
    RECT margin{};
    SendMessageW(tooltip, TTM_GETMARGIN, 0, reinterpret_cast<LPARAM>(&margin));
    EXPECT_EQ(margin.left, renderer.scale(10));
    EXPECT_EQ(margin.top, renderer.scale(8));
    EXPECT_EQ(margin.right, renderer.scale(10));
    EXPECT_EQ(margin.bottom, renderer.scale(8));
  }
  DestroyWindow(tooltip);
}

// ---------------------------------------------------------------------------------------------
// Owner-drawn buttons, painted directly into a DIB

class ButtonPaint : public ::testing::TestWithParam<bool> {
 protected:
  void SetUp() override {
    renderer_.set_theme(GetParam(), 96);
    host_ = &Host::shared(renderer_);
    button_ = host_->child(L"BUTTON", L"OK", BS_PUSHBUTTON, 7, {0, 0, kWidth, kHeight});
    ASSERT_NE(button_, nullptr);
  }

  // Paints the button with the given state into a fresh canvas.
  std::unique_ptr<DibCanvas> paint(UINT state, bool primary = false) {
    auto canvas = std::make_unique<DibCanvas>(kWidth, kHeight, kBlank);
    DRAWITEMSTRUCT item{};
    item.CtlType = ODT_BUTTON;
    item.CtlID = 7;
    item.itemState = state;
    item.hwndItem = button_;
    item.hDC = canvas->dc();
    item.rcItem = RECT{0, 0, kWidth, kHeight};
    renderer_.draw_button(item, primary);
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
  Host* host_ = nullptr;
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

}  // namespace
}  // namespace corvane
