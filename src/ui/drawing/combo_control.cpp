#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <string>
#include <vector>

#include "ui/drawing/control_subclass.h"
#include "ui/drawing/controls.h"
#include "ui/drawing/renderer.h"

namespace corvane {

namespace {

// The text of one combo item; empty when the index is invalid.
std::wstring combo_item_text(HWND combo, LRESULT index) {
  if (index < 0) return {};
  const LRESULT length = SendMessageW(combo, CB_GETLBTEXTLEN, static_cast<WPARAM>(index), 0);
  if (length == CB_ERR || length < 0) return {};
  std::vector<wchar_t> buffer(static_cast<size_t>(length) + 1, L'\0');
  const LRESULT copied =
      SendMessageW(combo, CB_GETLBTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(buffer.data()));
  if (copied == CB_ERR || copied < 0) return {};
  return std::wstring(buffer.data(), std::min(static_cast<size_t>(copied), static_cast<size_t>(length)));
}

void paint_combo(HWND combo, Renderer& renderer) {
  paint_buffered(combo, [combo, &renderer](HDC dc, const RECT& client) {
    const Palette& colors = renderer.colors;
    const bool enabled = IsWindowEnabled(combo) != FALSE;
    const bool lit = control_property(combo, kPropHot) != 0 || GetFocus() == combo;
    renderer.fill_rect(dc, client, colors[kColorSurface]);
    renderer.fill_round_rect(dc, client, colors[lit ? kColorSelected : kColorHover], 5);

    const LRESULT selection = SendMessageW(combo, CB_GETCURSEL, 0, 0);
    const std::wstring text = selection == CB_ERR ? std::wstring(L"-") : combo_item_text(combo, selection);
    const RECT text_rect{client.left + renderer.scale(12), client.top, client.right - renderer.scale(32),
                         client.bottom};
    renderer.draw_text(dc, text, text_rect, colors[enabled ? kColorText : kColorSecondaryText],
                       renderer.fonts[kFontBody], kSingleLineFormat);
    const RECT chevron{client.right - renderer.scale(28), client.top, client.right, client.bottom};
    renderer.draw_text(dc, std::wstring(1, wchar_t{0xE70D}), chevron, colors[kColorSecondaryText],
                       renderer.fonts[kFontIcon], kSingleLineFormat | DT_CENTER);
  });
}

}  // namespace

LRESULT CALLBACK combo_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam,
                            UINT_PTR id, DWORD_PTR reference) {
  LRESULT answer = 0;
  if (track_hover(window, message, lparam, answer)) return answer;
  switch (message) {
    case WM_ERASEBKGND:
      return 1;
    case WM_PAINT:
      if (Renderer* renderer = renderer_of(reference)) {
        paint_combo(window, *renderer);
        return 0;
      }
      break;
    case CB_SETCURSEL:
    case CB_SHOWDROPDOWN:
    case WM_SETFOCUS:
    case WM_KILLFOCUS: {
      const LRESULT result = DefSubclassProc(window, message, wparam, lparam);
      InvalidateRect(window, nullptr, FALSE);
      return result;
    }
    case WM_NCDESTROY:
      remove_control_properties(window);
      RemoveWindowSubclass(window, combo_proc, id);
      break;
    default:
      break;
  }
  return DefSubclassProc(window, message, wparam, lparam);
}

LRESULT CALLBACK combo_list_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam,
                                 UINT_PTR id, DWORD_PTR reference) {
  (void)reference;
  switch (message) {
    case WM_SETCURSOR:
      if (set_hand_cursor(window)) return TRUE;
      break;
    case WM_NCDESTROY:
      remove_control_properties(window);
      RemoveWindowSubclass(window, combo_list_proc, id);
      break;
    default:
      break;
  }
  return DefSubclassProc(window, message, wparam, lparam);
}

void Renderer::draw_combo_item(const DRAWITEMSTRUCT& item) {
  HDC dc = item.hDC;
  fill_rect(dc, item.rcItem, colors[(item.itemState & ODS_SELECTED) ? kColorSelected : kColorSurface]);
  if (item.itemID == static_cast<UINT>(-1)) return;
  const std::wstring text = combo_item_text(item.hwndItem, static_cast<LRESULT>(item.itemID));
  const RECT text_rect{item.rcItem.left + scale(12), item.rcItem.top, item.rcItem.right - scale(8),
                       item.rcItem.bottom};
  draw_text(dc, text, text_rect,
            colors[(item.itemState & ODS_DISABLED) ? kColorSecondaryText : kColorText], fonts[kFontBody],
            kSingleLineFormat);
}

}  // namespace corvane
