#pragma once
// Shared pieces of the control subclass procedures.

#include <windows.h>
#include <uxtheme.h>

namespace corvane {

struct Renderer;

// Every subclass procedure of the program is attached under this id.
inline constexpr UINT_PTR kControlSubclassId = 1;

inline Renderer* renderer_of(DWORD_PTR reference) {
  return reinterpret_cast<Renderer*>(reference);
}

// First WM_MOUSEMOVE over a control: marks it hot and asks for WM_MOUSELEAVE.
// Returns true when the control just became hot.
bool mark_hot(HWND control);
// WM_MOUSELEAVE or WM_ENABLE: returns true when the control was hot.
bool clear_hot(HWND control);
// WM_SETCURSOR over an enabled control: the hand cursor. Returns true when it was set.
bool set_hand_cursor(HWND control);

// Hover and cursor handling shared by buttons and combo boxes: WM_MOUSEMOVE, WM_MOUSELEAVE,
// WM_ENABLE repaint on a change of the hot state; WM_SETCURSOR shows the hand. Returns true
// when the message is answered (answer set); otherwise it goes on to the default handling.
bool track_hover(HWND control, UINT message, LPARAM lparam, LRESULT& answer);

// WM_PAINT through one top-down buffered-paint DIB; paint(dc, client) draws the whole client
// rect. When buffering fails it paints straight into the paint DC.
template <class Paint>
void paint_buffered(HWND control, Paint paint) {
  PAINTSTRUCT ps{};
  HDC target = BeginPaint(control, &ps);
  if (target == nullptr) return;
  RECT client{};
  GetClientRect(control, &client);
  HDC buffer_dc = nullptr;
  HPAINTBUFFER buffer = BeginBufferedPaint(target, &client, BPBF_TOPDOWNDIB, nullptr, &buffer_dc);
  paint(buffer != nullptr && buffer_dc != nullptr ? buffer_dc : target, client);
  if (buffer != nullptr) EndBufferedPaint(buffer, TRUE);
  EndPaint(control, &ps);
}

}  // namespace corvane
