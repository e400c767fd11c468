#include "ui/drawing/controls.h"

#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include "support/control_host.h"
#include "support/ui_app.h"
#include "ui/drawing/renderer.h"

namespace corvane {
namespace {

using testing::ControlHost;

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

}  // namespace
}  // namespace corvane
