// The sidebar: page titles, navigation buttons, selection, texts and the scrollable column.
#include "ui/sidebar.h"

#include "ui/app.h"
#include "ui/drawing/controls.h"

#include <algorithm>

namespace corvane {

const Bilingual kPageTitles[PAGE_COUNT] = {
    {L"Tổng quan", L"Overview"},
    {L"Dọn dẹp", L"Cleanup"},
    {L"Tùy chỉnh giao diện", L"Windows customization"},
    {L"Quyền riêng tư", L"Privacy"},
    {L"Khởi động", L"Startup"},
    {L"Hiệu năng", L"Performance"},
    {L"Công cụ nâng cao", L"Advanced tools"},
    {L"Sao lưu và khôi phục", L"Backup and restore"},
    {L"Tùy chọn", L"Options"},
    {L"Quyền quản trị", L"Administrator access"},
    {L"Ủng hộ", L"Donate"},
    {L"Giấy phép", L"Licenses"},
    {L"Về Corvane", L"About Corvane"},
    {L"Cập nhật", L"Updates"},
};

int sidebar_max_scroll(int content, int height) {
  return std::max(0, content - height);
}

int sidebar_thumb_height(int height, int maximum, int min_thumb) {
  if (maximum + height <= 0) return min_thumb;
  return std::max(min_thumb, height * height / (maximum + height));
}

int sidebar_thumb_top(int offset, int height, int thumb, int maximum) {
  return maximum > 0 ? MulDiv(offset, height - thumb, maximum) : 0;
}

int sidebar_drag_offset(int y, int height, int thumb, int maximum) {
  return MulDiv(y - thumb / 2, maximum, std::max(1, height - thumb));
}

int sidebar_wheel_offset(int offset, int delta, int notch) {
  return offset - notch * delta / 120;
}

int sidebar_reveal_offset(int offset, int top, int bottom, int height) {
  if (top < 0) return offset + top;
  if (bottom > height) return offset + (bottom - height);
  return offset;
}

namespace {

struct NavEntry {
  int id;
  int page;
  int glyph;
};

constexpr NavEntry kNavEntries[] = {
    {100, PAGE_OVERVIEW, 0xE80F},      {101, PAGE_CLEANUP, 0xE74D},    {102, PAGE_CUSTOMIZATION, 0xE8B7},
    {103, PAGE_PRIVACY, 0xE72E},       {104, PAGE_STARTUP, 0xE7E8},    {105, PAGE_PERFORMANCE, 0xE9D9},
    {106, PAGE_ADVANCED, 0xE90F},      {107, PAGE_BACKUPS, 0xE777},    {CMD_PAGE_OPTIONS, PAGE_OPTIONS, 0xE713},
    {CMD_PAGE_UPDATES, PAGE_UPDATES, 0xE895}, {CMD_PAGE_DONATE, PAGE_DONATE, 0xEB51},
    {CMD_PAGE_LICENSES, PAGE_LICENSES, 0xE8A5}, {CMD_PAGE_ABOUT, PAGE_ABOUT, 0xE946},
};

int page_of_nav_id(int id) {
  for (const NavEntry& entry : kNavEntries) {
    if (entry.id == id) return entry.page;
  }
  return -1;
}

LRESULT CALLBACK sidebar_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam, UINT_PTR, DWORD_PTR reference) {
  auto* app = reinterpret_cast<App*>(reference);
  if (message == WM_NCDESTROY) {
    RemoveWindowSubclass(window, sidebar_proc, 1);
    return DefSubclassProc(window, message, wparam, lparam);
  }
  if (app == nullptr) return DefSubclassProc(window, message, wparam, lparam);
  return app->sidebar_message(window, message, wparam, lparam);
}

}  // namespace

void App::create_sidebar() {
  const HINSTANCE instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(main_window, GWLP_HINSTANCE));
  sidebar = CreateWindowExW(WS_EX_CONTROLPARENT, L"STATIC", L"", WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN, 0, 0, 1, 1,
                            main_window, nullptr, instance, nullptr);
  SetWindowSubclass(sidebar, sidebar_proc, 1, reinterpret_cast<DWORD_PTR>(this));
  renderer.style_control(sidebar);
  for (const NavEntry& entry : kNavEntries) add_nav_button(entry.id, kPageTitles[entry.page], entry.glyph, 0);

  admin_button = CreateWindowExW(0, L"BUTTON", L"", WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_OWNERDRAW, 0, 0, 1, 1,
                                 main_window, reinterpret_cast<HMENU>(static_cast<INT_PTR>(CMD_PAGE_ADMIN)), instance,
                                 nullptr);
  set_control_property(admin_button, kPropNav, 1);
  set_control_property(admin_button, kPropIcon, 0xEA18);
  renderer.style_control(admin_button);
  update_nav_texts();
}

void App::add_nav_button(int id, const Bilingual& label, int glyph, int level) {
  const HINSTANCE instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(main_window, GWLP_HINSTANCE));
  const HWND button = CreateWindowExW(0, L"BUTTON", text(label).c_str(), WS_CHILD | WS_TABSTOP | BS_OWNERDRAW, 0, 0,
                                      1, 1, sidebar, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance,
                                      nullptr);
  set_control_property(button, kPropNav, 1);
  set_control_property(button, kPropIcon, static_cast<UINT_PTR>(glyph));
  set_control_property(button, kPropLevel, static_cast<UINT_PTR>(level));
  renderer.style_control(button);
  nav_items.push_back(NavItem{button, id, level, label.vi, label.en, glyph});
  nav_buttons.push_back(button);
}

void App::update_nav_selection() {
  const auto mark = [](HWND button, bool selected) {
    if (button == nullptr) return;
    if ((control_property(button, kPropSelected) != 0) == selected) return;
    set_control_property(button, kPropSelected, selected ? 1 : 0);
    InvalidateRect(button, nullptr, FALSE);
  };
  for (const NavItem& item : nav_items) mark(item.button, page_of_nav_id(item.id) == page);
  mark(admin_button, page == PAGE_ADMIN);
}

void App::update_nav_texts() {
  // A button repaints on every new text: only the texts that differ are set.
  for (const NavItem& item : nav_items) {
    set_window_text_if_changed(item.button, options.vietnamese ? item.label_vi : item.label_en);
  }
  if (admin_button != nullptr) {
    set_window_text_if_changed(admin_button, system_info.elevated ? text(L"Quyền quản trị", L"Administrator")
                                                                  : text(L"Dùng quyền quản trị", L"Administrator access"));
  }
  update_nav_selection();
}

void App::layout_sidebar() {
  if (sidebar == nullptr) return;
  RECT client{};
  GetClientRect(sidebar, &client);
  const int row = renderer.scale(42);
  const int height = client.bottom;
  sidebar_max = sidebar_max_scroll(static_cast<int>(nav_items.size()) * row, height);
  sidebar_offset = std::clamp(sidebar_offset, 0, sidebar_max);
  if (HDWP batch = BeginDeferWindowPos(static_cast<int>(nav_items.size())); batch != nullptr) {
    int index = 0;
    for (const NavItem& item : nav_items) {
      batch = DeferWindowPos(batch, item.button, nullptr, renderer.scale(10), -sidebar_offset + index * row,
                             client.right - renderer.scale(20), renderer.scale(38),
                             SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOCOPYBITS | SWP_SHOWWINDOW);
      ++index;
      if (batch == nullptr) break;
    }
    if (batch != nullptr) EndDeferWindowPos(batch);
  }
  InvalidateRect(sidebar, nullptr, FALSE);
}

void App::redraw_content() {
  if (main_window == nullptr) return;
  RECT client{};
  GetClientRect(main_window, &client);
  client.left = renderer.scale(240);
  RedrawWindow(main_window, &client, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_FRAME);
}

LRESULT App::sidebar_message(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  RECT client{};
  GetClientRect(window, &client);
  const int height = client.bottom;
  const int strip_left = client.right - renderer.scale(10);
  const int thumb = sidebar_thumb_height(height, sidebar_max, renderer.scale(30));
  const auto scroll_to = [&](int offset) {
    sidebar_offset = offset;
    layout_sidebar();
  };
  const auto repaint_strip = [&] {
    RECT strip{strip_left, 0, client.right, client.bottom};
    InvalidateRect(window, &strip, FALSE);
  };
  switch (message) {
    case WM_COMMAND:
    case WM_DRAWITEM:
      return SendMessageW(main_window, message, wparam, lparam);
    case WM_ERASEBKGND:
      return 1;
    case WM_NCHITTEST: {
      // A STATIC without SS_NOTIFY is transparent to the mouse; the scroll strip needs it.
      POINT point{static_cast<short>(LOWORD(lparam)), static_cast<short>(HIWORD(lparam))};
      ScreenToClient(window, &point);
      if (PtInRect(&client, point)) return HTCLIENT;
      break;
    }
    case WM_ENABLE:
      InvalidateRect(window, nullptr, FALSE);
      return 0;
    case WM_PAINT: {
      PAINTSTRUCT ps{};
      const HDC dc = BeginPaint(window, &ps);
      renderer.fill_rect(dc, ps.rcPaint, renderer.colors[kColorNavigation]);
      if (sidebar_max > 0) {
        const int top = sidebar_thumb_top(sidebar_offset, height, thumb, sidebar_max);
        const RECT bar{client.right - renderer.scale(6), top, client.right - renderer.scale(2), top + thumb};
        const bool lit = thumb_hot || GetCapture() == window;
        renderer.fill_round_rect(dc, bar, renderer.colors[lit ? kColorAccent : kColorSecondaryText], 2);
      }
      EndPaint(window, &ps);
      return 0;
    }
    case WM_MOUSEMOVE:
    case WM_MOUSELEAVE: {
      const int x = static_cast<short>(LOWORD(lparam));
      const bool hot = message == WM_MOUSEMOVE && x >= strip_left && sidebar_max > 0;
      if (hot != thumb_hot) {
        thumb_hot = hot;
        repaint_strip();
      }
      if (message == WM_MOUSEMOVE) {
        TRACKMOUSEEVENT track{sizeof(track), TME_LEAVE, window, 0};
        TrackMouseEvent(&track);
        if (GetCapture() == window) {
          scroll_to(sidebar_drag_offset(static_cast<short>(HIWORD(lparam)), height, thumb, sidebar_max));
          return 0;
        }
      }
      break;
    }
    case WM_SETCURSOR:
      if (LOWORD(lparam) == HTCLIENT && sidebar_max > 0) {
        POINT cursor{};
        GetCursorPos(&cursor);
        ScreenToClient(window, &cursor);
        if (cursor.x >= strip_left) {
          SetCursor(LoadCursorW(nullptr, IDC_HAND));
          return TRUE;
        }
      }
      break;
    case WM_LBUTTONDOWN: {
      const int x = static_cast<short>(LOWORD(lparam));
      if (sidebar_max > 0 && x >= strip_left) {
        SetCapture(window);
        scroll_to(sidebar_drag_offset(static_cast<short>(HIWORD(lparam)), height, thumb, sidebar_max));
        return 0;
      }
      break;
    }
    case WM_LBUTTONUP:
      if (GetCapture() == window) {
        ReleaseCapture();
        InvalidateRect(window, nullptr, FALSE);
        return 0;
      }
      break;
    case WM_MOUSEWHEEL:
      scroll_to(std::clamp(sidebar_wheel_offset(sidebar_offset, GET_WHEEL_DELTA_WPARAM(wparam), renderer.scale(84)), 0,
                           sidebar_max));
      return 0;
    case WM_VSCROLL: {
      SCROLLINFO info{};
      info.cbSize = sizeof(info);
      info.fMask = SIF_ALL;
      if (!GetScrollInfo(window, SB_VERT, &info)) info = SCROLLINFO{};
      int offset = sidebar_offset;
      switch (LOWORD(wparam)) {
        case SB_LINEUP: offset -= renderer.scale(42); break;
        case SB_LINEDOWN: offset += renderer.scale(42); break;
        case SB_PAGEUP: offset -= static_cast<int>(info.nPage); break;
        case SB_PAGEDOWN: offset += static_cast<int>(info.nPage); break;
        case SB_THUMBTRACK: offset = info.nTrackPos; break;
        default: break;
      }
      scroll_to(std::clamp(offset, 0, sidebar_max));
      return 0;
    }
    case WM_NAV_FOCUSED: {
      const HWND button = reinterpret_cast<HWND>(wparam);
      RECT rect{};
      GetWindowRect(button, &rect);
      MapWindowPoints(HWND_DESKTOP, window, reinterpret_cast<POINT*>(&rect), 2);
      const int offset = sidebar_reveal_offset(sidebar_offset, rect.top, rect.bottom, height);
      if (offset != sidebar_offset) scroll_to(offset);
      return 0;
    }
    default:
      break;
  }
  return DefSubclassProc(window, message, wparam, lparam);
}

}  // namespace corvane
