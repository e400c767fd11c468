// The page list's painting, hover, tooltip and keys.
#include "ui/app.h"

#include "ui/drawing/gdi_scope.h"

#include <windowsx.h>

#include <algorithm>

namespace corvane {

namespace {

constexpr COLORREF kUnavailableColor = 0x369BEF;
constexpr COLORREF kActionColor = 0xE79740;
constexpr COLORREF kEnabledDotColor = 0x77BA2F;
constexpr COLORREF kDisabledDotColor = 0x94897D;

std::wstring item_text(HWND list, int row, int column, int limit) {
  std::wstring buffer(static_cast<std::size_t>(limit) + 1, L'\0');
  LVITEMW item{};
  item.iSubItem = column;
  item.pszText = buffer.data();
  item.cchTextMax = limit + 1;
  const auto length = SendMessageW(list, LVM_GETITEMTEXTW, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
  buffer.resize(static_cast<std::size_t>(std::clamp<LRESULT>(length, 0, limit)));
  return buffer;
}

bool group_header_rect(HWND list, int group, RECT& rect) {
  rect = RECT{LVGGR_HEADER, 0, 0, 0};
  return SendMessageW(list, LVM_GETGROUPRECT, static_cast<WPARAM>(group), reinterpret_cast<LPARAM>(&rect)) != 0;
}

}  // namespace

void App::draw_group_header(HDC dc, int group, const RECT& header_rect) {
  renderer.fill_rect(dc, header_rect, renderer.colors[kColorHover]);
  RECT label = header_rect;
  label.left += renderer.scale(12);
  label.right -= renderer.scale(12);
  const TextPair pair = customization_group_label(group);
  renderer.draw_text(dc, options.vietnamese ? pair.first : pair.second, label, renderer.colors[kColorAccent],
                     renderer.fonts[kFontSemibold]);
}

LRESULT App::custom_draw_list(NMLVCUSTOMDRAW* draw) {
  NMCUSTOMDRAW& nmcd = draw->nmcd;
  const bool customization = page == PAGE_CUSTOMIZATION && !review_view;
  if (nmcd.dwDrawStage == CDDS_PREPAINT) {
    drawn_row = -1;
    drawn_first_column_width = ListView_GetColumnWidth(page_list, 0);
    return CDRF_NOTIFYITEMDRAW | CDRF_NOTIFYPOSTPAINT;
  }
  if (nmcd.dwDrawStage == CDDS_POSTPAINT) {
    if (!customization) return CDRF_DODEFAULT;
    const SavedDcState saved(nmcd.hdc);
    RECT header_rect{};
    const HWND header = ListView_GetHeader(page_list);
    if (header != nullptr) {
      GetWindowRect(header, &header_rect);
      MapWindowPoints(HWND_DESKTOP, page_list, reinterpret_cast<POINT*>(&header_rect), 2);
    }
    RECT client{};
    GetClientRect(page_list, &client);
    IntersectClipRect(nmcd.hdc, client.left, header_rect.bottom, client.right, client.bottom);
    for (int group = kGroupDesktop; group <= kGroupOther; ++group) {
      RECT rect{};
      if (!group_header_rect(page_list, group, rect)) continue;
      if (rect.bottom <= header_rect.bottom || rect.top >= client.bottom) continue;
      draw_group_header(nmcd.hdc, group, rect);
    }
    return CDRF_DODEFAULT;
  }
  if (draw->dwItemType == LVCDI_GROUP) {
    if (nmcd.dwDrawStage != CDDS_ITEMPREPAINT) return CDRF_DODEFAULT;
    const int group = static_cast<int>(nmcd.dwItemSpec);
    RECT rect{};
    if (group > kGroupOther || !group_header_rect(page_list, group, rect)) return CDRF_DODEFAULT;
    draw_group_header(nmcd.hdc, group, rect);
    return CDRF_SKIPDEFAULT;
  }

  const int row = static_cast<int>(nmcd.dwItemSpec);
  if (row < 0 || row >= static_cast<int>(row_map.size())) return CDRF_DODEFAULT;
  const auto model = static_cast<std::size_t>(row_map[static_cast<std::size_t>(row)]);
  const bool startup = page == PAGE_STARTUP && !review_view && model < startup_entries.size();
  const bool pending = startup && startup_pending(startup_entries[model]);
  // The row's background is chosen at its pre-paint; its cells, drawn right after, reuse it.
  if (nmcd.dwDrawStage == CDDS_ITEMPREPAINT || row != drawn_row) {
    const bool selected = (ListView_GetItemState(page_list, row, LVIS_SELECTED) & LVIS_SELECTED) != 0;
    drawn_row = row;
    drawn_row_background = renderer.colors[row == hot_row ? kColorHover : selected ? kColorSelected : kColorSurface];
  }
  const COLORREF background = drawn_row_background;

  if (nmcd.dwDrawStage == CDDS_ITEMPREPAINT) {
    // The cells the list draws itself take the row background chosen here, not the system's
    // selection colours.
    nmcd.uItemState &= ~static_cast<UINT>(CDIS_SELECTED | CDIS_FOCUS);
    draw->clrText = renderer.colors[kColorText];
    draw->clrTextBk = background;
    SelectObject(nmcd.hdc, renderer.fonts[pending ? kFontSemibold : kFontBody]);
    return CDRF_NEWFONT | CDRF_NOTIFYSUBITEMDRAW;
  }
  if (nmcd.dwDrawStage != (CDDS_ITEMPREPAINT | CDDS_SUBITEM)) return CDRF_DODEFAULT;

  const int column = draw->iSubItem;
  if (column != 1 && !customization && !startup) return CDRF_DODEFAULT;
  RECT cell{};
  ListView_GetSubItemRect(page_list, row, column, LVIR_BOUNDS, &cell);
  if (column == 0) {
    cell.right = cell.left + drawn_first_column_width;
  }
  renderer.fill_rect(nmcd.hdc, cell, background);
  if (column == 1) {
    renderer.draw_info_badge(nmcd.hdc, cell, row == hot_badge_row);
    return CDRF_SKIPDEFAULT;
  }
  RECT inner = cell;
  inner.left += renderer.scale(12);
  inner.right -= renderer.scale(8);
  const COLORREF text_color = renderer.colors[kColorText];

  if (customization) {
    if (column == 2 && model < shown_features.size()) {
      const Feature& feature = *shown_features[model];
      wchar_t glyph = 0xE738;
      COLORREF glyph_color = renderer.colors[kColorSecondaryText];
      if (!available_on_build(feature)) {
        glyph = 0xE7BA;
        glyph_color = kUnavailableColor;
      } else if (!feature.action.empty()) {
        glyph = 0xE8A7;
        glyph_color = kActionColor;
      } else {
        bool value_set = false;
        if (feature.choices.empty()) {
          const auto cached = status_text_cache.find(feature.id);
          value_set = cached != status_text_cache.end() && cached->second == text(L"Giá trị đã được đặt", L"Value is set");
        } else {
          const auto current = current_values.find(feature.id);
          value_set = current != current_values.end() && current->second >= 0;
        }
        if (value_set) glyph = 0xE73E;
      }
      const RECT glyph_box{inner.left, inner.top, inner.left + renderer.scale(20), inner.bottom};
      renderer.draw_text(nmcd.hdc, std::wstring(1, glyph), glyph_box, glyph_color, renderer.fonts[kFontIcon]);
      RECT label = inner;
      label.left += renderer.scale(26);
      renderer.draw_text(nmcd.hdc, item_text(page_list, row, column, 255), label, text_color);
    } else {
      renderer.draw_text(nmcd.hdc, item_text(page_list, row, column, 1023), inner, text_color);
    }
    return CDRF_SKIPDEFAULT;
  }

  // Startup rows.
  const StartupEntry& entry = startup_entries[model];
  if (column == 0) {
    const auto icon = startup_icons.find(startup_entry_key(entry));
    const HICON handle = icon != startup_icons.end() && icon->second ? icon->second.get() : LoadIconW(nullptr, IDI_APPLICATION);
    const int size = renderer.scale(20);
    DrawIconEx(nmcd.hdc, inner.left, (inner.top + inner.bottom - size) / 2, handle, size, size, 0, nullptr, DI_NORMAL);
    inner.left += renderer.scale(30);
  } else if (column == 2) {
    const COLORREF dot = !entry.approval_known && !pending ? kUnavailableColor
                         : startup_effective_enabled(entry) ? kEnabledDotColor
                                                            : kDisabledDotColor;
    const int size = renderer.scale(9);
    const int top = (inner.top + inner.bottom - size) / 2;
    const SelectionScope pen(nmcd.hdc, GetStockObject(NULL_PEN));
    const SelectionScope brush(nmcd.hdc, GetStockObject(DC_BRUSH));
    SetDCBrushColor(nmcd.hdc, dot);
    Ellipse(nmcd.hdc, inner.left, top, inner.left + size + 1, top + size + 1);
    inner.left += renderer.scale(20);
  }
  renderer.draw_text(nmcd.hdc, item_text(page_list, row, column, 1023), inner, text_color,
                     renderer.fonts[pending ? kFontSemibold : kFontBody]);
  return CDRF_SKIPDEFAULT;
}

LRESULT CALLBACK App::list_view_proc(HWND list, UINT message, WPARAM wparam, LPARAM lparam, UINT_PTR id,
                                     DWORD_PTR reference) {
  auto* app = reinterpret_cast<App*>(reference);
  const auto redraw_row = [list](int row) {
    if (row >= 0) ListView_RedrawItems(list, row, row);
  };
  switch (message) {
    case WM_ENABLE:
      InvalidateRect(list, nullptr, FALSE);
      return 0;
    case WM_ERASEBKGND:
      if (app->busy) return 1;
      break;
    case WM_PAINT:
      if (app->busy) {
        PAINTSTRUCT ps{};
        const HDC dc = BeginPaint(list, &ps);
        app->renderer.fill_rect(dc, ps.rcPaint, app->renderer.colors[kColorSurface]);
        EndPaint(list, &ps);
        return 0;
      }
      break;
    case WM_LBUTTONDOWN:
      SendMessageW(GetAncestor(list, GA_ROOT), WM_CHANGEUISTATE, MAKEWPARAM(UIS_SET, UISF_HIDEFOCUS), 0);
      break;
    case WM_MOUSEMOVE: {
      LVHITTESTINFO hit{};
      hit.pt = POINT{GET_X_LPARAM(lparam), GET_Y_LPARAM(lparam)};
      const int row = ListView_SubItemHitTest(list, &hit) >= 0 ? hit.iItem : -1;
      const int badge_row = row >= 0 && hit.iSubItem == 1 ? row : -1;
      if (row != app->hot_row || badge_row != app->hot_badge_row) {
        redraw_row(app->hot_row);
        app->hot_row = row;
        app->hot_badge_row = badge_row;
        redraw_row(row);
        app->hide_list_tip();
        if (badge_row >= 0) SetTimer(list, TIMER_LIST_TIP, 350, nullptr);
      }
      TRACKMOUSEEVENT track{};
      track.cbSize = sizeof(track);
      track.dwFlags = TME_LEAVE;
      track.hwndTrack = list;
      TrackMouseEvent(&track);
      break;
    }
    case WM_TIMER:
      if (wparam != TIMER_LIST_TIP) break;
      KillTimer(list, TIMER_LIST_TIP);
      if (app->hot_badge_row >= 0 && app->list_tip != nullptr) {
        app->tip_text = app->list_tip_text(app->hot_badge_row);
        TTTOOLINFOW tool{};
        tool.cbSize = sizeof(tool);
        tool.hwnd = list;
        tool.uId = 1;
        tool.lpszText = app->tip_text.data();
        SendMessageW(app->list_tip, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&tool));
        POINT cursor{};
        GetCursorPos(&cursor);
        RECT window{};
        GetWindowRect(app->main_window, &window);
        const int x = std::max(static_cast<int>(window.left) + app->renderer.scale(8),
                               std::min(static_cast<int>(cursor.x) + app->renderer.scale(12),
                                        static_cast<int>(window.right) - app->renderer.scale(500)));
        const int y = cursor.y + app->renderer.scale(20);
        SendMessageW(app->list_tip, TTM_TRACKPOSITION, 0, MAKELPARAM(x, y));
        SendMessageW(app->list_tip, TTM_TRACKACTIVATE, TRUE, reinterpret_cast<LPARAM>(&tool));
      }
      return 0;
    case WM_MOUSELEAVE:
    case WM_MOUSEWHEEL:
    case WM_HSCROLL:
    case WM_VSCROLL:
      app->hide_list_tip();
      redraw_row(app->hot_row);
      app->hot_row = -1;
      app->hot_badge_row = -1;
      break;
    case WM_SETCURSOR: {
      const int area = LOWORD(lparam);
      bool hand = area == HTHSCROLL || area == HTVSCROLL;
      if (!hand && area == HTCLIENT) {
        LVHITTESTINFO hit{};
        GetCursorPos(&hit.pt);
        ScreenToClient(list, &hit.pt);
        hand = ListView_HitTest(list, &hit) >= 0;
      }
      if (hand) {
        SetCursor(LoadCursorW(nullptr, IDC_HAND));
        return 1;
      }
      break;
    }
    case WM_KEYDOWN:
      if (wparam == VK_SPACE && app->page == PAGE_STARTUP) {
        app->toggle_selected_startup();
        return 0;
      }
      break;
    case WM_NCDESTROY:
      RemoveWindowSubclass(list, list_view_proc, id);
      break;
    default:
      break;
  }
  return DefSubclassProc(list, message, wparam, lparam);
}

}  // namespace corvane
