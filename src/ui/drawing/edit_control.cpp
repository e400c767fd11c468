#include <windows.h>
#include <commctrl.h>

#include <algorithm>

#include "ui/drawing/control_subclass.h"
#include "ui/drawing/controls.h"
#include "ui/drawing/gdi_scope.h"
#include "ui/drawing/renderer.h"

namespace corvane {

namespace {

bool is_multiline(HWND edit) {
  return (GetWindowLongPtrW(edit, GWL_STYLE) & ES_MULTILINE) != 0;
}

int body_text_height(const Renderer& renderer) {
  WindowDcScope screen(nullptr, false);
  if (screen.get() == nullptr) return 0;
  SelectionScope font(screen.get(), renderer.fonts[kFontBody]);
  TEXTMETRICW metrics{};
  if (!GetTextMetricsW(screen.get(), &metrics)) return 0;
  return metrics.tmHeight;
}

void shrink_client(HWND edit, RECT& client, const Renderer& renderer) {
  const int side = renderer.scale(10);
  client.left += side;
  client.right -= side;
  int vertical = 0;
  if (is_multiline(edit)) {
    vertical = renderer.scale(8);
  } else {
    vertical = std::max(0, static_cast<int>((client.bottom - client.top - body_text_height(renderer)) / 2));
  }
  client.top += vertical;
  client.bottom -= vertical;
  if (client.right < client.left) client.right = client.left;
  if (client.bottom < client.top) client.bottom = client.top;
}

// Converts a screen rect into coordinates relative to the window's top-left corner.
RECT to_window_coordinates(const RECT& screen, const RECT& window) {
  return RECT{screen.left - window.left, screen.top - window.top, screen.right - window.left,
              screen.bottom - window.top};
}

void exclude_visible_scroll_bar(HDC dc, HWND edit, LONG object_id, const RECT& window) {
  SCROLLBARINFO info{};
  info.cbSize = sizeof(info);
  if (!GetScrollBarInfo(edit, object_id, &info)) return;
  if (info.rgstate[0] & (STATE_SYSTEM_INVISIBLE | STATE_SYSTEM_OFFSCREEN)) return;
  const RECT bar = to_window_coordinates(info.rcScrollBar, window);
  ExcludeClipRect(dc, bar.left, bar.top, bar.right, bar.bottom);
}

void paint_frame(HWND edit, const Renderer& renderer) {
  WindowDcScope window_dc(edit, true);
  HDC dc = window_dc.get();
  if (dc == nullptr) return;
  RECT window{};
  GetWindowRect(edit, &window);
  const RECT whole{0, 0, window.right - window.left, window.bottom - window.top};
  {
    SavedDcState saved(dc);
    RECT client{};
    GetClientRect(edit, &client);
    MapWindowPoints(edit, nullptr, reinterpret_cast<POINT*>(&client), 2);
    const RECT inner = to_window_coordinates(client, window);
    ExcludeClipRect(dc, inner.left, inner.top, inner.right, inner.bottom);
    exclude_visible_scroll_bar(dc, edit, OBJID_VSCROLL, window);
    exclude_visible_scroll_bar(dc, edit, OBJID_HSCROLL, window);
    renderer.fill_rect(dc, whole, renderer.colors[kColorField]);
  }
  const bool lit = GetFocus() == edit || control_property(edit, kPropHot) != 0;
  SetDCBrushColor(dc, renderer.colors[lit ? kColorAccent : kColorStrongBorder]);
  FrameRect(dc, &whole, static_cast<HBRUSH>(GetStockObject(DC_BRUSH)));
}

void draw_cue(HWND edit, HDC dc, const Renderer& renderer) {
  if (is_multiline(edit) || GetWindowTextLengthW(edit) != 0) return;
  wchar_t cue[257] = {};
  if (!SendMessageW(edit, EM_GETCUEBANNER, reinterpret_cast<WPARAM>(cue), 256) || cue[0] == L'\0') return;
  RECT client{};
  GetClientRect(edit, &client);
  renderer.fill_rect(dc, client, renderer.colors[kColorField]);
  UINT format = kSingleLineFormat;
  if (GetWindowLongPtrW(edit, GWL_STYLE) & ES_CENTER) format |= DT_CENTER;
  renderer.draw_text(dc, cue, client, renderer.colors[kColorSecondaryText], renderer.fonts[kFontBody], format);
}

void redraw_with_frame(HWND edit) {
  RedrawWindow(edit, nullptr, nullptr, RDW_INVALIDATE | RDW_FRAME);
}

}  // namespace

LRESULT CALLBACK edit_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam,
                           UINT_PTR id, DWORD_PTR reference) {
  Renderer* renderer = renderer_of(reference);
  switch (message) {
    case WM_NCCALCSIZE: {
      const LRESULT result = DefSubclassProc(window, message, wparam, lparam);
      // With wParam TRUE the first rect of NCCALCSIZE_PARAMS is the new client rect.
      if (renderer != nullptr && lparam != 0) shrink_client(window, *reinterpret_cast<RECT*>(lparam), *renderer);
      return result;
    }
    case WM_NCPAINT: {
      const LRESULT result = DefSubclassProc(window, message, wparam, lparam);
      if (renderer != nullptr) paint_frame(window, *renderer);
      return result;
    }
    case WM_MOUSEMOVE:
      if (mark_hot(window)) redraw_with_frame(window);
      break;
    case WM_MOUSELEAVE:
    case WM_ENABLE:
      clear_hot(window);
      redraw_with_frame(window);
      break;
    case WM_SETFOCUS:
    case WM_KILLFOCUS: {
      const LRESULT result = DefSubclassProc(window, message, wparam, lparam);
      redraw_with_frame(window);
      return result;
    }
    case WM_PAINT: {
      const LRESULT result = DefSubclassProc(window, message, wparam, lparam);
      if (renderer != nullptr) {
        WindowDcScope client_dc(window, false);
        if (client_dc.get() != nullptr) draw_cue(window, client_dc.get(), *renderer);
      }
      return result;
    }
    case WM_PRINTCLIENT: {
      const LRESULT result = DefSubclassProc(window, message, wparam, lparam);
      if (renderer != nullptr && wparam != 0) draw_cue(window, reinterpret_cast<HDC>(wparam), *renderer);
      return result;
    }
    case WM_NCDESTROY:
      remove_control_properties(window);
      RemoveWindowSubclass(window, edit_proc, id);
      break;
    default:
      break;
  }
  return DefSubclassProc(window, message, wparam, lparam);
}

}  // namespace corvane
