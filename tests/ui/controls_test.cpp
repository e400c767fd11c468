#include "ui/controls.h"

#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "support/dib_canvas.h"
#include "support/control_host.h"
#include "support/gdi_count.h"
#include "support/wine.h"
#include "ui/renderer.h"

namespace corvane {
namespace {

using testing::DibCanvas;

using testing::ControlHost;

bool has_subclass(HWND window, SUBCLASSPROC proc, DWORD_PTR* reference) {
  return testing::has_subclass(window, proc, 1, reference);
}

// ---------------------------------------------------------------------------------------------
// Styling

TEST(StyleControl, GivesEachClassItsFontSubclassAndColours) {
  Renderer renderer;
  renderer.set_theme(false, 96);
  ControlHost& host = ControlHost::shared(renderer);
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
// Clean-up on destruction

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
  ControlHost& host = ControlHost::shared(renderer);
  HWND button = host.child(L"BUTTON", L"OK", BS_PUSHBUTTON, 1, {10, 10, 130, 42});
  HWND edit = host.child(L"EDIT", L"", ES_AUTOHSCROLL, 2, {10, 50, 210, 82});
  HWND combo = host.child(L"COMBOBOX", L"", CBS_DROPDOWNLIST | CBS_OWNERDRAWFIXED | CBS_HASSTRINGS, 3,
                          {10, 90, 210, 300});
  HWND list = host.child(WC_LISTVIEWW, L"", LVS_REPORT, 4, {220, 10, 520, 200});
  ASSERT_TRUE(button && edit && combo && list);
  COMBOBOXINFO info{};
  info.cbSize = sizeof(info);
  ASSERT_TRUE(GetComboBoxInfo(combo, &info));
  HWND header = reinterpret_cast<HWND>(SendMessageW(list, LVM_GETHEADER, 0, 0));
  ASSERT_NE(header, nullptr);

  const HWND controls[] = {button, edit, combo, info.hwndList, header};
  int left[5] = {-1, -1, -1, -1, -1};
  for (int i = 0; i < 5; ++i) {
    SetWindowSubclass(controls[i], property_witness, 99, reinterpret_cast<DWORD_PTR>(&left[i]));
  }
  for (HWND control : {button, edit, combo, list}) renderer.style_control(control);
  for (HWND control : controls) {
    for (const wchar_t* name : kControlProperties) set_control_property(control, name, 1);
    SendMessageW(control, WM_MOUSEMOVE, 0, MAKELPARAM(2, 2));  // hover state of its own
  }
  DestroyWindow(button);
  DestroyWindow(edit);
  DestroyWindow(combo);
  DestroyWindow(list);
  for (int i = 0; i < 5; ++i) EXPECT_EQ(left[i], 0) << "control " << i;
}

TEST(StyleControl, PaintingControlsKeepsTheProcessGdiObjectCount) {
  Renderer renderer;
  ControlHost& host = ControlHost::shared(renderer);
  HWND button = host.child(L"BUTTON", L"OK", BS_PUSHBUTTON, testing::kPrimaryButtonId, {10, 10, 130, 42});
  HWND edit = host.child(L"EDIT", L"", ES_AUTOHSCROLL, 2, {10, 50, 210, 82});
  HWND combo = host.child(L"COMBOBOX", L"", CBS_DROPDOWNLIST | CBS_OWNERDRAWFIXED | CBS_HASSTRINGS, 3,
                          {10, 90, 210, 300});
  HWND list = host.child(WC_LISTVIEWW, L"", LVS_REPORT, 4, {220, 10, 520, 200});
  LVCOLUMNW column{};
  column.mask = LVCF_TEXT | LVCF_WIDTH;
  column.cx = 120;
  column.pszText = const_cast<wchar_t*>(L"Name");
  SendMessageW(list, LVM_INSERTCOLUMNW, 0, reinterpret_cast<LPARAM>(&column));
  SendMessageW(edit, EM_SETCUEBANNER, TRUE, reinterpret_cast<LPARAM>(L"Cue"));
  for (HWND control : {button, edit, combo, list}) renderer.style_control(control);
  RedrawWindow(host.window, nullptr, nullptr, RDW_INVALIDATE | RDW_FRAME | RDW_UPDATENOW | RDW_ALLCHILDREN);
  testing::dispatch_pending_messages();

  const long before = testing::gdi_objects_in_use();
  for (int i = 0; i < 40; ++i) {
    SendMessageW(button, WM_MOUSEMOVE, 0, MAKELPARAM(2, 2));
    SendMessageW(combo, WM_MOUSEMOVE, 0, MAKELPARAM(2, 2));
    RedrawWindow(host.window, nullptr, nullptr, RDW_INVALIDATE | RDW_FRAME | RDW_UPDATENOW | RDW_ALLCHILDREN);
    SendMessageW(button, WM_MOUSELEAVE, 0, 0);
    SendMessageW(combo, WM_MOUSELEAVE, 0, 0);
    RedrawWindow(host.window, nullptr, nullptr, RDW_INVALIDATE | RDW_FRAME | RDW_UPDATENOW | RDW_ALLCHILDREN);
  }
  testing::dispatch_pending_messages();
  EXPECT_EQ(testing::gdi_objects_in_use(), before);
}

}  // namespace
}  // namespace corvane
