#include "support/control_host.h"

#include <gtest/gtest.h>

#include "support/common_controls.h"
#include "support/ui_app.h"
#include "ui/drawing/controls.h"
#include "ui/drawing/renderer.h"

namespace corvane::testing {

LRESULT CALLBACK ControlHost::proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  auto* host = reinterpret_cast<ControlHost*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  if (host != nullptr && host->renderer != nullptr) {
    Renderer& renderer = *host->renderer;
    switch (message) {
      case WM_DRAWITEM: {
        const auto& item = *reinterpret_cast<const DRAWITEMSTRUCT*>(lparam);
        host->draws.push_back(item);
        if (item.CtlType == ODT_BUTTON) renderer.draw_button(item, item.CtlID == kPrimaryButtonId);
        if (item.CtlType == ODT_COMBOBOX) renderer.draw_combo_item(item);
        return TRUE;
      }
      case WM_MEASUREITEM:
        reinterpret_cast<MEASUREITEMSTRUCT*>(lparam)->itemHeight = static_cast<UINT>(renderer.scale(32));
        return TRUE;
      case WM_CTLCOLOREDIT:
        SetBkColor(reinterpret_cast<HDC>(wparam), renderer.colors[kColorField]);
        SetTextColor(reinterpret_cast<HDC>(wparam), renderer.colors[kColorText]);
        return reinterpret_cast<LRESULT>(renderer.brushes[kBrushField]);
      default:
        break;
    }
  }
  return DefWindowProcW(window, message, wparam, lparam);
}

ControlHost& ControlHost::shared(Renderer& renderer) {
  static ControlHost* host = new ControlHost();
  host->renderer = &renderer;
  host->clear();
  return *host;
}

ControlHost::ControlHost() {
  EXPECT_TRUE(activate_common_controls_v6());
  WNDCLASSW window_class{};
  window_class.lpfnWndProc = proc;
  window_class.hInstance = GetModuleHandleW(nullptr);
  window_class.lpszClassName = L"CorvaneControlTestHost";
  window_class.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  RegisterClassW(&window_class);
  window = CreateWindowExW(WS_EX_CONTROLPARENT, L"CorvaneControlTestHost", L"host",
                           WS_POPUP | WS_VISIBLE | WS_CLIPCHILDREN, 0, 0, 600, 400, nullptr, nullptr,
                           GetModuleHandleW(nullptr), nullptr);
  SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  SetForegroundWindow(window);
}

void ControlHost::clear() {
  std::vector<HWND> children;
  for (HWND c = GetWindow(window, GW_CHILD); c != nullptr; c = GetWindow(c, GW_HWNDNEXT)) children.push_back(c);
  for (HWND c : children) DestroyWindow(c);
  pump_messages();
  draws.clear();
  SendMessageW(window, WM_CHANGEUISTATE, MAKEWPARAM(UIS_CLEAR, UISF_HIDEFOCUS), 0);
}

HWND ControlHost::child(const wchar_t* class_name, const wchar_t* text, DWORD style, int id, RECT rect,
                        DWORD ex_style) {
  return CreateWindowExW(ex_style, class_name, text, WS_CHILD | WS_VISIBLE | style, rect.left, rect.top,
                         rect.right - rect.left, rect.bottom - rect.top, window,
                         reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleW(nullptr), nullptr);
}

std::unique_ptr<DibCanvas> capture_window(HWND control, bool whole_window) {
  RedrawWindow(control, nullptr, nullptr, RDW_INVALIDATE | RDW_FRAME | RDW_UPDATENOW | RDW_ALLCHILDREN);
  pump_messages();
  RECT r{};
  if (whole_window) {
    GetWindowRect(control, &r);
    OffsetRect(&r, -r.left, -r.top);
  } else {
    GetClientRect(control, &r);
  }
  auto canvas = std::make_unique<DibCanvas>(r.right, r.bottom, kCanvasBlank);
  HDC source = whole_window ? GetWindowDC(control) : GetDC(control);
  BitBlt(canvas->dc(), 0, 0, r.right, r.bottom, source, 0, 0, SRCCOPY);
  ReleaseDC(control, source);
  return canvas;
}

}  // namespace corvane::testing
