#include "ui/drawing/controls.h"

#include <windows.h>
#include <commctrl.h>
#include <dwmapi.h>
#include <uxtheme.h>

#include "ui/drawing/control_subclass.h"
#include "ui/drawing/renderer.h"

#ifndef DWMWA_USE_IMMERSIVE_DARK_MODE
#define DWMWA_USE_IMMERSIVE_DARK_MODE 20
#endif

namespace corvane {

UINT_PTR control_property(HWND control, const wchar_t* name) {
  return reinterpret_cast<UINT_PTR>(GetPropW(control, name));
}

void set_control_property(HWND control, const wchar_t* name, UINT_PTR value) {
  if (value == 0) {
    RemovePropW(control, name);
  } else {
    SetPropW(control, name, reinterpret_cast<HANDLE>(value));
  }
}

void remove_control_properties(HWND control) {
  for (const wchar_t* name : kControlProperties) RemovePropW(control, name);
}

namespace {

void style_edit(HWND edit, Renderer* renderer) {
  SetWindowSubclass(edit, edit_proc, kControlSubclassId, reinterpret_cast<DWORD_PTR>(renderer));
  SetWindowLongPtrW(edit, GWL_STYLE, GetWindowLongPtrW(edit, GWL_STYLE) | WS_BORDER);
  SetWindowLongPtrW(edit, GWL_EXSTYLE, GetWindowLongPtrW(edit, GWL_EXSTYLE) & ~static_cast<LONG_PTR>(WS_EX_CLIENTEDGE));
  SetWindowPos(edit, nullptr, 0, 0, 0, 0,
               SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
}

void style_tooltip(HWND tooltip, const Renderer& renderer) {
  SetWindowTheme(tooltip, L"", L"");
  SendMessageW(tooltip, TTM_SETTIPBKCOLOR, renderer.colors[kColorSurface], 0);
  SendMessageW(tooltip, TTM_SETTIPTEXTCOLOR, renderer.colors[kColorText], 0);
  RECT margin{renderer.scale(10), renderer.scale(8), renderer.scale(10), renderer.scale(8)};
  SendMessageW(tooltip, TTM_SETMARGIN, 0, reinterpret_cast<LPARAM>(&margin));
}

void style_combo(HWND combo, Renderer* renderer) {
  SetWindowSubclass(combo, combo_proc, kControlSubclassId, reinterpret_cast<DWORD_PTR>(renderer));
  const LPARAM height = renderer->scale(32);
  SendMessageW(combo, CB_SETITEMHEIGHT, static_cast<WPARAM>(-1), height);
  SendMessageW(combo, CB_SETITEMHEIGHT, 0, height);
  COMBOBOXINFO info{};
  info.cbSize = sizeof(info);
  if (GetComboBoxInfo(combo, &info) && info.hwndList != nullptr) {
    SetWindowSubclass(info.hwndList, combo_list_proc, kControlSubclassId, 0);
  }
}

void style_list_view(HWND list, Renderer* renderer) {
  const Palette& colors = renderer->colors;
  SendMessageW(list, LVM_SETBKCOLOR, 0, colors[kColorSurface]);
  SendMessageW(list, LVM_SETTEXTBKCOLOR, 0, colors[kColorSurface]);
  SendMessageW(list, LVM_SETTEXTCOLOR, 0, colors[kColorText]);
  LVGROUPMETRICS metrics{};
  metrics.cbSize = sizeof(metrics);
  metrics.mask = LVGMF_TEXTCOLOR;
  metrics.crHeader = colors[kColorAccent];
  metrics.crFooter = colors[kColorSecondaryText];
  SendMessageW(list, LVM_SETGROUPMETRICS, 0, reinterpret_cast<LPARAM>(&metrics));
  HWND header = reinterpret_cast<HWND>(SendMessageW(list, LVM_GETHEADER, 0, 0));
  if (header != nullptr) {
    SendMessageW(header, WM_SETFONT, reinterpret_cast<WPARAM>(renderer->fonts[kFontSemibold]), TRUE);
    SetWindowSubclass(header, header_proc, kControlSubclassId, reinterpret_cast<DWORD_PTR>(renderer));
    SetWindowLongPtrW(header, GWL_STYLE, GetWindowLongPtrW(header, GWL_STYLE) | HDS_NOSIZING);
    InvalidateRect(header, nullptr, FALSE);
  }
}

}  // namespace

void Renderer::style_control(HWND control) {
  if (control == nullptr) return;
  SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(fonts[kFontBody]), FALSE);
  SetWindowTheme(control, dark ? L"DarkMode_Explorer" : L"Explorer", nullptr);
  const BOOL dark_mode = dark ? TRUE : FALSE;
  DwmSetWindowAttribute(control, DWMWA_USE_IMMERSIVE_DARK_MODE, &dark_mode, sizeof(dark_mode));

  wchar_t class_name[64] = {};
  GetClassNameW(control, class_name, 64);
  const std::wstring name = class_name;
  if (name == L"Edit") {
    style_edit(control, this);
  } else if (name == L"tooltips_class32") {
    style_tooltip(control, *this);
  } else if (name == L"Button") {
    SetWindowSubclass(control, button_proc, kControlSubclassId, reinterpret_cast<DWORD_PTR>(this));
  } else if (name == L"ComboBox") {
    style_combo(control, this);
  } else if (name == L"SysListView32") {
    style_list_view(control, this);
  }
  InvalidateRect(control, nullptr, FALSE);
}

}  // namespace corvane
