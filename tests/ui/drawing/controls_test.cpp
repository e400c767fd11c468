#include "ui/drawing/controls.h"

#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include "support/control_host.h"
#include "support/gdi_count.h"
#include "support/ui_app.h"
#include "support/wine.h"
#include "ui/drawing/renderer.h"

namespace corvane {
namespace {

using testing::ControlHost;

// GetWindowSubclass, bound at run time (the cross toolchain's import library lacks it).
bool has_subclass(HWND window, SUBCLASSPROC proc, DWORD_PTR* reference) {
  using GetWindowSubclassFn = BOOL(WINAPI*)(HWND, SUBCLASSPROC, UINT_PTR, DWORD_PTR*);
  static const auto get_window_subclass = [] {
    // Under the version 6 activation context the name may resolve to the other copy of the
    // library; both keep their subclass records in the same window property.
    HMODULE comctl = GetModuleHandleW(L"comctl32.dll");
    if (comctl == nullptr) comctl = LoadLibraryW(L"comctl32.dll");
    FARPROC address = GetProcAddress(comctl, "GetWindowSubclass");
    if (address == nullptr) address = GetProcAddress(comctl, MAKEINTRESOURCEA(411));
    return reinterpret_cast<GetWindowSubclassFn>(reinterpret_cast<void*>(address));
  }();
  if (get_window_subclass == nullptr) {
    ADD_FAILURE() << "GetWindowSubclass not found";
    return false;
  }
  return get_window_subclass(window, proc, 1, reference) != FALSE;
}

// A button, an edit, an owner-drawn combo box and a report list with one column.
struct Controls {
  HWND button, edit, combo, list;
};

Controls make_controls(ControlHost& host, int button_id = 1) {
  Controls c{host.child(L"BUTTON", L"OK", BS_PUSHBUTTON, button_id, {10, 10, 130, 42}),
             host.child(L"EDIT", L"", ES_AUTOHSCROLL, 2, {10, 50, 210, 82}, WS_EX_CLIENTEDGE),
             host.child(L"COMBOBOX", L"", CBS_DROPDOWNLIST | CBS_OWNERDRAWFIXED | CBS_HASSTRINGS, 3, {10, 90, 210, 300}),
             host.child(WC_LISTVIEWW, L"", LVS_REPORT, 4, {220, 10, 520, 200})};
  EXPECT_TRUE(c.button && c.edit && c.combo && c.list);
  LVCOLUMNW column{};
  column.mask = LVCF_TEXT | LVCF_WIDTH;
  column.cx = 120;
  column.pszText = const_cast<wchar_t*>(L"Name");
  SendMessageW(c.list, LVM_INSERTCOLUMNW, 0, reinterpret_cast<LPARAM>(&column));
  return c;
}

HWND header_of(HWND list) { return reinterpret_cast<HWND>(SendMessageW(list, LVM_GETHEADER, 0, 0)); }

HWND list_of(HWND combo) {
  COMBOBOXINFO info{};
  info.cbSize = sizeof(info);
  EXPECT_TRUE(GetComboBoxInfo(combo, &info));
  return info.hwndList;
}

TEST(StyleControl, GivesEachClassItsFontSubclassAndColours) {
  Renderer renderer;
  renderer.set_theme(false, 96);
  ControlHost& host = ControlHost::shared(renderer);
  const Controls c = make_controls(host);
  HWND label = host.child(L"STATIC", L"Text", 0, 5, {220, 210, 320, 230});
  HWND tooltip = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP, 0, 0, 0, 0,
                                 host.window, nullptr, GetModuleHandleW(nullptr), nullptr);
  ASSERT_TRUE(label && tooltip);
  const HWND header = header_of(c.list);
  ASSERT_NE(header, nullptr);

  for (int round = 0; round < 2; ++round) {
    if (round == 1) renderer.set_theme(true, 144);
    for (HWND control : {c.button, c.edit, c.combo, c.list, label, tooltip}) renderer.style_control(control);
    for (HWND control : {c.button, c.edit, c.combo, label}) {
      EXPECT_EQ(reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0)), renderer.fonts[kFontBody]);
    }
    DWORD_PTR reference = 0;
    EXPECT_TRUE(has_subclass(c.button, button_proc, &reference));
    EXPECT_EQ(reference, reinterpret_cast<DWORD_PTR>(&renderer));
    EXPECT_TRUE(has_subclass(c.edit, edit_proc, &reference));
    EXPECT_TRUE(has_subclass(c.combo, combo_proc, &reference));
    EXPECT_FALSE(has_subclass(c.button, edit_proc, &reference));
    EXPECT_TRUE(has_subclass(header, header_proc, &reference));
    reference = 99;
    EXPECT_TRUE(has_subclass(list_of(c.combo), combo_list_proc, &reference));
    EXPECT_EQ(reference, 0u);

    EXPECT_TRUE(GetWindowLongPtrW(c.edit, GWL_STYLE) & WS_BORDER);
    EXPECT_FALSE(GetWindowLongPtrW(c.edit, GWL_EXSTYLE) & WS_EX_CLIENTEDGE);

    const LRESULT item_height = renderer.scale(32);
    const LRESULT field_height = SendMessageW(c.combo, CB_GETITEMHEIGHT, static_cast<WPARAM>(-1), 0);
    // Wine reports the selection field two pixels taller than it was set.
    EXPECT_TRUE(field_height == item_height || (testing::running_under_wine() && field_height == item_height + 2))
        << field_height;
    EXPECT_EQ(SendMessageW(c.combo, CB_GETITEMHEIGHT, 0, 0), item_height);

    const COLORREF surface = renderer.colors[kColorSurface];
    const COLORREF text = renderer.colors[kColorText];
    EXPECT_EQ(static_cast<COLORREF>(SendMessageW(c.list, LVM_GETBKCOLOR, 0, 0)), surface);
    EXPECT_EQ(static_cast<COLORREF>(SendMessageW(c.list, LVM_GETTEXTBKCOLOR, 0, 0)), surface);
    EXPECT_EQ(static_cast<COLORREF>(SendMessageW(c.list, LVM_GETTEXTCOLOR, 0, 0)), text);
    EXPECT_EQ(reinterpret_cast<HFONT>(SendMessageW(header, WM_GETFONT, 0, 0)), renderer.fonts[kFontSemibold]);
    EXPECT_TRUE(GetWindowLongPtrW(header, GWL_STYLE) & HDS_NOSIZING);

    EXPECT_EQ(static_cast<COLORREF>(SendMessageW(tooltip, TTM_GETTIPBKCOLOR, 0, 0)), surface);
    EXPECT_EQ(static_cast<COLORREF>(SendMessageW(tooltip, TTM_GETTIPTEXTCOLOR, 0, 0)), text);
    RECT margin{};
    SendMessageW(tooltip, TTM_GETMARGIN, 0, reinterpret_cast<LPARAM>(&margin));
    const RECT expected{renderer.scale(10), renderer.scale(8), renderer.scale(10), renderer.scale(8)};
    EXPECT_TRUE(EqualRect(&margin, &expected));
  }
  DestroyWindow(tooltip);
}

// Attached before the program's own subclass, so it sees WM_NCDESTROY after it.
LRESULT CALLBACK property_witness(HWND window, UINT message, WPARAM wparam, LPARAM lparam, UINT_PTR id,
                                  DWORD_PTR reference) {
  if (message == WM_NCDESTROY) {
    int left = 0;
    for (const wchar_t* name : kControlProperties) {
      if (GetPropW(window, name) != nullptr) ++left;
    }
    *reinterpret_cast<int*>(reference) = left;
    RemoveWindowSubclass(window, property_witness, id);
  }
  return DefSubclassProc(window, message, wparam, lparam);
}

TEST(StyleControl, EveryPropertyIsRemovedWhenTheControlIsDestroyed) {
  Renderer renderer;
  const Controls c = make_controls(ControlHost::shared(renderer));
  const HWND controls[] = {c.button, c.edit, c.combo, list_of(c.combo), header_of(c.list)};
  int left[5] = {-1, -1, -1, -1, -1};
  for (int i = 0; i < 5; ++i) {
    ASSERT_NE(controls[i], nullptr);
    SetWindowSubclass(controls[i], property_witness, 99, reinterpret_cast<DWORD_PTR>(&left[i]));
  }
  for (HWND control : {c.button, c.edit, c.combo, c.list}) renderer.style_control(control);
  for (HWND control : controls) {
    for (const wchar_t* name : kControlProperties) set_control_property(control, name, 1);
    SendMessageW(control, WM_MOUSEMOVE, 0, MAKELPARAM(2, 2));  // hover state of its own
  }
  for (HWND control : {c.button, c.edit, c.combo, c.list}) DestroyWindow(control);
  for (int i = 0; i < 5; ++i) EXPECT_EQ(left[i], 0) << "control " << i;
}

TEST(StyleControl, PaintingControlsKeepsTheProcessGdiObjectCount) {
  Renderer renderer;
  ControlHost& host = ControlHost::shared(renderer);
  const Controls c = make_controls(host, testing::kPrimaryButtonId);
  SendMessageW(c.edit, EM_SETCUEBANNER, TRUE, reinterpret_cast<LPARAM>(L"Cue"));
  for (HWND control : {c.button, c.edit, c.combo, c.list}) renderer.style_control(control);
  const auto repaint = [&] {
    RedrawWindow(host.window, nullptr, nullptr, RDW_INVALIDATE | RDW_FRAME | RDW_UPDATENOW | RDW_ALLCHILDREN);
  };
  repaint();
  testing::pump_messages();

  const long before = testing::gdi_objects_in_use();
  for (int i = 0; i < 40; ++i) {
    for (HWND control : {c.button, c.combo}) SendMessageW(control, WM_MOUSEMOVE, 0, MAKELPARAM(2, 2));
    repaint();
    for (HWND control : {c.button, c.combo}) SendMessageW(control, WM_MOUSELEAVE, 0, 0);
    repaint();
  }
  testing::pump_messages();
  EXPECT_EQ(testing::gdi_objects_in_use(), before);
}

}  // namespace
}  // namespace corvane
