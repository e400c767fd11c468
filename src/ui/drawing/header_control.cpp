#include <windows.h>
#include <commctrl.h>

#include <string>

#include "ui/drawing/control_subclass.h"
#include "ui/drawing/controls.h"
#include "ui/drawing/renderer.h"

namespace corvane {

namespace {

void paint_header(HWND header, HDC dc, Renderer& renderer) {
  RECT client{};
  GetClientRect(header, &client);
  renderer.fill_round_rect(dc, client, renderer.colors[kColorSurface], 0);
  const int count = static_cast<int>(SendMessageW(header, HDM_GETITEMCOUNT, 0, 0));
  for (int i = 0; i < count; ++i) {
    RECT item_rect{};
    if (!SendMessageW(header, HDM_GETITEMRECT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&item_rect))) continue;
    wchar_t text[256] = {};
    HDITEMW item{};
    item.mask = HDI_TEXT;
    item.pszText = text;
    item.cchTextMax = 256;
    if (!SendMessageW(header, HDM_GETITEMW, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&item))) continue;
    const RECT text_rect{item_rect.left + renderer.scale(12), item_rect.top, item_rect.right - renderer.scale(8),
                         item_rect.bottom};
    renderer.draw_text(dc, item.pszText != nullptr ? item.pszText : L"", text_rect,
                       renderer.colors[kColorSecondaryText], renderer.fonts[kFontSmall], kSingleLineFormat);
  }
  const RECT line{client.left, client.bottom - 1, client.right, client.bottom};
  renderer.fill_rect(dc, line, renderer.colors[kColorBorder]);
}

}  // namespace

LRESULT CALLBACK header_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam,
                             UINT_PTR id, DWORD_PTR reference) {
  Renderer* renderer = renderer_of(reference);
  switch (message) {
    case HDM_LAYOUT: {
      const LRESULT result = DefSubclassProc(window, message, wparam, lparam);
      auto* layout = reinterpret_cast<HDLAYOUT*>(lparam);
      if (renderer != nullptr && layout != nullptr && layout->pwpos != nullptr && layout->prc != nullptr) {
        const int height = renderer->scale(34);
        layout->pwpos->cy = height;
        layout->prc->top = height;
      }
      return result;
    }
    case WM_ERASEBKGND:
      return 1;
    case WM_PAINT:
      if (renderer != nullptr) {
        PAINTSTRUCT ps{};
        HDC dc = BeginPaint(window, &ps);
        if (dc != nullptr) paint_header(window, dc, *renderer);
        EndPaint(window, &ps);
        return 0;
      }
      break;
    case WM_PRINTCLIENT:
      if (renderer != nullptr && wparam != 0) {
        paint_header(window, reinterpret_cast<HDC>(wparam), *renderer);
        return 0;
      }
      break;
    case WM_NCDESTROY:
      remove_control_properties(window);
      RemoveWindowSubclass(window, header_proc, id);
      break;
    default:
      break;
  }
  return DefSubclassProc(window, message, wparam, lparam);
}

}  // namespace corvane
