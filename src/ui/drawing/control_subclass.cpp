#include "ui/drawing/control_subclass.h"

#include "ui/drawing/controls.h"

namespace corvane {

bool mark_hot(HWND control) {
  if (control_property(control, kPropHot) != 0) return false;
  set_control_property(control, kPropHot, 1);
  TRACKMOUSEEVENT track{};
  track.cbSize = sizeof(track);
  track.dwFlags = TME_LEAVE;
  track.hwndTrack = control;
  TrackMouseEvent(&track);
  return true;
}

bool clear_hot(HWND control) {
  const bool was_hot = control_property(control, kPropHot) != 0;
  RemovePropW(control, kPropHot);
  return was_hot;
}

bool set_hand_cursor(HWND control) {
  if (!IsWindowEnabled(control)) return false;
  SetCursor(LoadCursorW(nullptr, IDC_HAND));
  return true;
}

bool track_hover(HWND control, UINT message, LPARAM lparam, LRESULT& answer) {
  switch (message) {
    case WM_MOUSEMOVE:
      if (mark_hot(control)) InvalidateRect(control, nullptr, FALSE);
      return false;
    case WM_MOUSELEAVE:
    case WM_ENABLE:
      clear_hot(control);
      InvalidateRect(control, nullptr, FALSE);
      return false;
    case WM_SETCURSOR:
      if (LOWORD(lparam) == HTCLIENT && set_hand_cursor(control)) {
        answer = TRUE;
        return true;
      }
      return false;
    default:
      return false;
  }
}

}  // namespace corvane
