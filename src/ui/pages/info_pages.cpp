// The information pages (Options, Administrator access, Donate, Licenses, About, Updates) and the
// controls that live beside the page list.
#include "ui/app.h"

#include <algorithm>

namespace corvane {

HWND App::create_combo(int id) {
  const HINSTANCE instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(main_window, GWLP_HINSTANCE));
  const HWND combo = CreateWindowExW(
      0, L"COMBOBOX", L"", WS_CHILD | WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST | CBS_OWNERDRAWFIXED | CBS_HASSTRINGS,
      0, 0, 1, 1, main_window, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance, nullptr);
  if (combo == nullptr) return nullptr;
  renderer.style_control(combo);
  SendMessageW(combo, CB_SETITEMHEIGHT, static_cast<WPARAM>(-1), renderer.scale(32));
  SendMessageW(combo, CB_SETITEMHEIGHT, 0, renderer.scale(32));
  SendMessageW(combo, CB_SETMINVISIBLE, 6, 0);
  return combo;
}

void App::create_info_controls() {
  value_combo = create_combo(ID_VALUE_COMBO);
}

void App::layout_info_page(DeferredLayout& moves) {
  RECT client{};
  GetClientRect(main_window, &client);
  const int x0 = renderer.scale(272);
  const int width = client.right - renderer.scale(32) - x0;
  moves.add(value_combo, x0, client.bottom - renderer.scale(78), std::max(renderer.scale(210), width - renderer.scale(410)),
            renderer.scale(260));
}

void App::show_info_controls() {
  if (value_combo != nullptr) ShowWindow(value_combo, SW_HIDE);
}

void App::paint_info_page(HDC dc, const RECT& client) {
  const int x0 = renderer.scale(272);
  const int right = client.right - renderer.scale(32);
  int bottom = 0;
  switch (page) {
    case PAGE_OPTIONS:
    case PAGE_ADMIN: bottom = renderer.scale(474); break;
    case PAGE_LICENSES: bottom = client.bottom - renderer.scale(54); break;
    case PAGE_UPDATES: bottom = client.bottom - renderer.scale(104); break;
    default: return;
  }
  renderer.fill_round_rect(dc, RECT{x0, renderer.scale(125), right, bottom}, renderer.colors[kColorSurface], 8);
}

}  // namespace corvane
