#pragma once
// A visible top-level window for control tests that answers WM_DRAWITEM, WM_MEASUREITEM and
// WM_CTLCOLOREDIT the way the main window does, and records what its children send it.
// UI tests only (it calls into the Renderer).

#include <windows.h>
#include <commctrl.h>

#include <memory>
#include <vector>

#include "support/dib_canvas.h"

namespace corvane {
struct Renderer;
}

namespace corvane::testing {

// Buttons with this id are painted as primary buttons.
inline constexpr int kPrimaryButtonId = 201;

struct ControlHost {
  Renderer* renderer = nullptr;
  HWND window = nullptr;
  std::vector<DRAWITEMSTRUCT> draws;

  // One host for the whole program: under Wine without a window manager, hiding or
  // destroying a visible top-level window waits two seconds for the X server. Each call
  // destroys the previous children, clears the records and the hidden-focus state.
  static ControlHost& shared(Renderer& renderer);

  HWND child(const wchar_t* class_name, const wchar_t* text, DWORD style, int id, RECT rect, DWORD ex_style = 0);

 private:
  ControlHost();
  void clear();
  static LRESULT CALLBACK proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
};

// What the control shows on screen after a full repaint: its client area, or the whole
// window with the non-client frame. Unpainted pixels read as kCanvasBlank.
inline constexpr COLORREF kCanvasBlank = 0x00FF00FF;
std::unique_ptr<DibCanvas> capture_window(HWND control, bool whole_window);

}  // namespace corvane::testing
