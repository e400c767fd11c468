#include <windows.h>
#include <commctrl.h>

#include <string>

#include "ui/drawing/control_subclass.h"
#include "ui/drawing/controls.h"
#include "ui/drawing/renderer.h"

namespace corvane {

namespace {

void paint_button(HWND button) {
  paint_buffered(button, [button](HDC dc, const RECT& client) {
    DRAWITEMSTRUCT item{};
    item.CtlType = ODT_BUTTON;
    item.CtlID = static_cast<UINT>(GetDlgCtrlID(button));
    item.itemID = 0;
    item.itemAction = 0;
    if (!IsWindowEnabled(button)) item.itemState |= ODS_DISABLED;
    if (SendMessageW(button, BM_GETSTATE, 0, 0) & BST_PUSHED) item.itemState |= ODS_SELECTED;
    if (GetFocus() == button) item.itemState |= ODS_FOCUS;
    if (SendMessageW(button, WM_QUERYUISTATE, 0, 0) & UISF_HIDEFOCUS) item.itemState |= ODS_NOFOCUSRECT;
    item.hwndItem = button;
    item.hDC = dc;
    item.rcItem = client;
    SendMessageW(GetParent(button), WM_DRAWITEM, item.CtlID, reinterpret_cast<LPARAM>(&item));
  });
}

}  // namespace

LRESULT CALLBACK button_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam,
                             UINT_PTR id, DWORD_PTR reference) {
  (void)reference;
  LRESULT answer = 0;
  if (track_hover(window, message, lparam, answer)) return answer;
  switch (message) {
    case WM_LBUTTONDOWN:
      set_control_property(window, kPropMouseFocus, 1);
      SendMessageW(GetAncestor(window, GA_ROOT), WM_CHANGEUISTATE, MAKEWPARAM(UIS_SET, UISF_HIDEFOCUS), 0);
      break;
    case WM_KEYDOWN:
    case WM_KILLFOCUS:
      RemovePropW(window, kPropMouseFocus);
      break;
    case WM_SETFOCUS:
      if (control_property(window, kPropNav) != 0) {
        SendMessageW(GetParent(window), WM_NAV_FOCUSED, reinterpret_cast<WPARAM>(window), 0);
      }
      break;
    case WM_MOUSEWHEEL:
      if (control_property(window, kPropNav) != 0) {
        return SendMessageW(GetParent(window), WM_MOUSEWHEEL, wparam, lparam);
      }
      break;
    case WM_ERASEBKGND:
      return 1;
    case WM_PAINT:
      paint_button(window);
      return 0;
    case WM_NCDESTROY:
      remove_control_properties(window);
      RemoveWindowSubclass(window, button_proc, id);
      break;
    default:
      break;
  }
  return DefSubclassProc(window, message, wparam, lparam);
}

void Renderer::draw_button(const DRAWITEMSTRUCT& item, bool primary) {
  HWND button = item.hwndItem;
  HDC dc = item.hDC;
  const bool nav = control_property(button, kPropNav) != 0;
  const bool selected = control_property(button, kPropSelected) != 0;
  const bool link = control_property(button, kPropLink) != 0;
  const bool disabled = (item.itemState & ODS_DISABLED) != 0;
  const RECT& whole = item.rcItem;

  fill_rect(dc, whole, colors[nav ? kColorNavigation : kColorWindow]);

  bool hot = false;
  if (!disabled) {
    hot = (item.itemState & (ODS_SELECTED | ODS_HOTLIGHT)) != 0 || control_property(button, kPropHot) != 0;
  }
  const bool focus_bar = (item.itemState & ODS_FOCUS) != 0 && (item.itemState & ODS_NOFOCUSRECT) == 0 &&
                         control_property(button, kPropMouseFocus) == 0;
  const bool accent_body = primary && !disabled;

  COLORREF body;
  if (accent_body) {
    body = hot ? (dark ? kPrimaryHotDark : kPrimaryHotLight) : colors[kColorAccent];
  } else if (hot || focus_bar) {
    body = colors[kColorHover];
  } else if (selected) {
    body = colors[kColorSelected];
  } else if (nav) {
    body = colors[kColorNavigation];
  } else {
    body = colors[kColorSurface];
  }
  const int inset = scale(1);
  const RECT shrunk{whole.left + inset, whole.top + inset, whole.right - inset, whole.bottom - inset};
  fill_round_rect(dc, shrunk, body, 6);

  if (link) {
    const bool lit = hot || focus_bar;
    fill_rect(dc, whole, colors[kColorWindow]);
    fill_rect(dc, shrunk, colors[lit ? kColorSelected : kColorHover]);
    SetDCBrushColor(dc, colors[lit ? kColorAccent : kColorStrongBorder]);
    FrameRect(dc, &shrunk, static_cast<HBRUSH>(GetStockObject(DC_BRUSH)));
  }

  wchar_t label[512] = {};
  GetWindowTextW(button, label, 512);
  RECT text = shrunk;
  if (nav) {
    const int level = static_cast<int>(control_property(button, kPropLevel));
    text.left += scale((level + 1) * 12);
  } else {
    text.left += scale(10);
  }
  text.right -= scale(10);

  const auto icon = static_cast<wchar_t>(control_property(button, kPropIcon));
  if (icon != 0) {
    const RECT box{text.left, text.top, text.left + scale(20), text.bottom};
    const COLORREF icon_color = selected && !disabled ? colors[kColorAccent] : colors[kColorSecondaryText];
    draw_text(dc, std::wstring(1, icon), box, icon_color, fonts[kFontIcon], kSingleLineFormat);
    text.left = box.left + scale(29);
  }

  const UINT format = nav ? kSingleLineFormat : (kSingleLineFormat | DT_CENTER);
  HFONT font = nav || primary ? fonts[kFontSemibold] : fonts[kFontBody];
  COLORREF text_color;
  if (disabled) {
    text_color = colors[kColorSecondaryText];
  } else if (primary) {
    text_color = colors[kColorOnAccent];
  } else if (selected) {
    text_color = colors[kColorAccent];
  } else {
    text_color = colors[kColorText];
  }
  draw_text(dc, label, text, text_color, font, format);

  if (focus_bar) {
    const RECT bar{shrunk.left + scale(8), shrunk.bottom - scale(3), shrunk.right - scale(8),
                   shrunk.bottom - scale(1)};
    fill_rect(dc, bar, colors[primary ? kColorOnAccent : kColorAccent]);
  }
}

}  // namespace corvane
