// The main window: its procedure, message dispatch, child controls and layout.
#include "ui/app.h"

#include "services/documents.h"
#include "services/text.h"
#include "ui/drawing/controls.h"

#include <algorithm>

namespace corvane {

std::wstring window_text(HWND window) {
  const int length = GetWindowTextLengthW(window);
  std::wstring result(static_cast<size_t>(std::max(length, 0)) + 1, L'\0');
  const int copied = GetWindowTextW(window, result.data(), static_cast<int>(result.size()));
  result.resize(static_cast<size_t>(std::max(copied, 0)));
  return result;
}

void set_window_text_if_changed(HWND window, const std::wstring& text) {
  if (window != nullptr && window_text(window) != text) SetWindowTextW(window, text.c_str());
}

LRESULT CALLBACK main_window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_NCCREATE) {
    const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lparam);
    auto* app = static_cast<App*>(create->lpCreateParams);
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(app));
    if (app != nullptr) app->main_window = window;
    return DefWindowProcW(window, message, wparam, lparam);
  }
  auto* app = reinterpret_cast<App*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  if (app == nullptr) return DefWindowProcW(window, message, wparam, lparam);
  try {
    return app->handle_message(message, wparam, lparam);
  } catch (const std::exception& error) {
    app->set_status(utf8_to_wide_lenient(error.what()));
    return 0;
  }
}

void App::run_guarded(const std::function<void()>& action) {
  try {
    action();
  } catch (const std::exception& error) {
    set_status(utf8_to_wide_lenient(error.what()));
  }
}

LRESULT App::handle_message(UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_CREATE:
      create_controls();
      return 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    case WM_SIZE:
      if (wparam == SIZE_MINIMIZED) return 0;
      layout();
      RedrawWindow(main_window, nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN | RDW_FRAME);
      return 0;
    case WM_PAINT:
      paint_window();
      return 0;
    case WM_CLOSE:
      on_close();
      return 0;
    case WM_ERASEBKGND:
      return 1;
    case WM_SETTINGCHANGE:
    case WM_THEMECHANGED:
      if (theme_mode == THEME_SYSTEM && system_uses_dark_theme() != options.dark) apply_theme();
      return 0;
    case WM_GETMINMAXINFO: {
      auto* info = reinterpret_cast<MINMAXINFO*>(lparam);
      info->ptMinTrackSize = POINT{renderer.scale(1080), renderer.scale(790)};
      return 0;
    }
    case WM_DRAWITEM: {
      const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lparam);
      if (item->CtlType == ODT_COMBOBOX) {
        renderer.draw_combo_item(*item);
      } else {
        renderer.draw_button(*item, item->CtlID == ID_PRIMARY_BUTTON || item->CtlID == ID_STOP_BUTTON);
      }
      return 1;
    }
    case WM_MEASUREITEM:
      reinterpret_cast<MEASUREITEMSTRUCT*>(lparam)->itemHeight = static_cast<UINT>(renderer.scale(32));
      return 1;
    case WM_NOTIFY: {
      const auto* header = reinterpret_cast<const NMHDR*>(lparam);
      if (header->hwndFrom != page_list || page_list == nullptr) return 0;
      return on_notify(*header, lparam);
    }
    case WM_COMMAND:
      on_command_message(wparam, lparam);
      return 0;
    case WM_TIMER:
      if (wparam == TIMER_PROGRESS_ANIMATION) {
        if (busy && progress_total == 0) repaint_progress_bar();
      } else if (wparam == TIMER_SMOKE_STEP) {
        smoke();
      }
      return 0;
    case WM_CTLCOLOREDIT: {
      const HDC dc = reinterpret_cast<HDC>(wparam);
      SetTextColor(dc, renderer.colors[kColorText]);
      SetBkColor(dc, renderer.colors[kColorField]);
      return reinterpret_cast<LRESULT>(renderer.brushes[kBrushField]);
    }
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORSTATIC: {
      // The read-only licence text looks like the other edits.
      if (message == WM_CTLCOLORSTATIC && licence_text != nullptr && reinterpret_cast<HWND>(lparam) == licence_text) {
        return handle_message(WM_CTLCOLOREDIT, wparam, lparam);
      }
      const HDC dc = reinterpret_cast<HDC>(wparam);
      SetTextColor(dc, renderer.colors[kColorText]);
      SetBkColor(dc, renderer.colors[kColorSurface]);
      return reinterpret_cast<LRESULT>(renderer.brushes[kBrushSurface]);
    }
    case WM_EXITSIZEMOVE:
      RedrawWindow(main_window, nullptr, nullptr,
                   RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW | RDW_FRAME);
      return 0;
    case WM_DPICHANGED:
      on_dpi_changed(HIWORD(wparam), *reinterpret_cast<const RECT*>(lparam));
      return 0;
    case WM_JOB_DONE:
      on_job_done(std::unique_ptr<Work>(reinterpret_cast<Work*>(lparam)));
      return 0;
    case WM_JOB_PROGRESS: {
      const std::unique_ptr<ProgressReport> report(reinterpret_cast<ProgressReport*>(lparam));
      if (busy && report) on_progress(*report);
      return 0;
    }
    default:
      return DefWindowProcW(main_window, message, wparam, lparam);
  }
}

void App::on_close() {
  if (!busy) {
    DestroyWindow(main_window);
    return;
  }
  close_requested = true;
  cancel.exchange(1);
  set_status(text(L"Đang dừng để đóng ứng dụng...", L"Stopping before closing..."));
}

void App::on_command_message(WPARAM wparam, LPARAM lparam) {
  const int id = LOWORD(wparam);
  const int code = HIWORD(wparam);
  const HWND control = reinterpret_cast<HWND>(lparam);
  if (control != nullptr) {
    if (code == CBN_SELCHANGE) {
      if (busy) return;
      const auto selection = SendMessageW(control, CB_GETCURSEL, 0, 0);
      if (id == ID_THEME_COMBO) {
        command(selection == 0 ? CMD_THEME_SYSTEM : selection == 1 ? CMD_THEME_LIGHT : CMD_THEME_DARK);
      } else if (id == ID_LANGUAGE_COMBO) {
        command(selection == 0 ? CMD_LANGUAGE_VIETNAMESE : CMD_LANGUAGE_ENGLISH);
      } else if (id == ID_VALUE_COMBO) {
        on_value_selected();
      }
      return;
    }
    if (id == ID_SEARCH_EDIT) {
      if (code == EN_CHANGE && !notify_guard && !busy) {
        search_text = window_text(search_edit);
        populate_page();
      }
      return;
    }
    // Owner-drawn buttons also report double clicks; a command runs once per click.
    if (code != BN_CLICKED) return;
  }
  command(id);
}

LRESULT App::on_notify(const NMHDR& header, LPARAM lparam) {
  switch (header.code) {
    case LVN_ITEMCHANGING:
      return busy ? 1 : 0;
    case LVN_ITEMCHANGED:
      on_list_item_changed(*reinterpret_cast<const NMLISTVIEW*>(lparam));
      return 0;
    case NM_DBLCLK: {
      const auto& activate = *reinterpret_cast<const NMITEMACTIVATE*>(lparam);
      // Nothing for empty space or the information column.
      if (activate.iItem < 0 || activate.iSubItem == 1) return 0;
      if (page == PAGE_STARTUP) {
        toggle_selected_startup();
      } else if (page == PAGE_CUSTOMIZATION && value_combo != nullptr && IsWindowVisible(value_combo)) {
        SendMessageW(value_combo, CB_SHOWDROPDOWN, TRUE, 0);
      } else {
        command(page == PAGE_CLEANUP ? ID_TERTIARY_BUTTON : ID_PRIMARY_BUTTON);
      }
      return 0;
    }
    case NM_CUSTOMDRAW:
      return custom_draw_list(reinterpret_cast<NMLVCUSTOMDRAW*>(lparam));
    default:
      return 0;
  }
}

void App::set_row_checked_quietly(int row, bool checked) {
  notify_guard = true;
  ListView_SetItemState(page_list, row, INDEXTOSTATEIMAGEMASK(checked ? 2 : 1), LVIS_STATEIMAGEMASK);
  notify_guard = false;
}

void App::on_list_item_changed(const NMLISTVIEW& change) {
  if (notify_guard || busy) return;
  const bool valid_row = change.iItem >= 0 && change.iItem < static_cast<int>(row_map.size());
  if (valid_row && (change.uChanged & LVIF_STATE) != 0 &&
      ((change.uNewState ^ change.uOldState) & LVIS_STATEIMAGEMASK) != 0) {
    const bool checked = (change.uNewState & LVIS_STATEIMAGEMASK) != INDEXTOSTATEIMAGEMASK(1);
    const int model = row_map[static_cast<size_t>(change.iItem)];
    if (page == PAGE_CLEANUP && model >= 0 && model < static_cast<int>(cleanup_areas.size())) {
      const CleanupArea& area = cleanup_areas[static_cast<size_t>(model)];
      if (!area.action.empty()) {
        // A tool entry only opens a Windows tool: it is never ticked.
        if (checked) set_row_checked_quietly(change.iItem, false);
      } else {
        if (checked) {
          selected_area_ids.insert(area.id);
        } else {
          selected_area_ids.erase(area.id);
        }
        // Another selection needs a new scan before anything is cleaned.
        scan_usable = false;
        scan_result = ScanResult{};
        EnableWindow(secondary_button, FALSE);
      }
    } else if (page != PAGE_CLEANUP && !review_view && model >= 0 &&
               model < static_cast<int>(shown_features.size())) {
      const Feature& feature = *shown_features[static_cast<size_t>(model)];
      if (!checked) {
        checked_features.erase(feature.id);
      } else if (!feature.action.empty()) {
        checked_features.erase(feature.id);
        set_row_checked_quietly(change.iItem, false);
      } else {
        checked_features.insert(feature.id);
      }
    }
  }
  update_action_buttons();
}

void App::set_search_text_quietly(const std::wstring& value) {
  search_text = value;
  if (search_edit == nullptr) return;
  notify_guard = true;
  SetWindowTextW(search_edit, value.c_str());
  notify_guard = false;
}

void App::make_row_height_list() {
  const HIMAGELIST fresh = ImageList_Create(1, renderer.scale(40), ILC_COLOR32, 1, 0);
  // The list view shares the image list (LVS_SHAREIMAGELISTS): the App alone destroys it,
  // and only after the list holds the new one.
  if (page_list != nullptr) ListView_SetImageList(page_list, fresh, LVSIL_SMALL);
  if (row_height_images != nullptr) ImageList_Destroy(row_height_images);
  row_height_images = fresh;
}

void App::create_controls() {
  const HINSTANCE instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(main_window, GWLP_HINSTANCE));
  renderer.set_theme(options.dark, GetDpiForWindow(main_window));
  renderer.style_control(main_window);
  create_sidebar();

  // The list, the search box and the three buttons are made where the layout puts them, so its
  // first pass has nothing to move for them.
  RECT client{};
  GetClientRect(main_window, &client);
  const PagePlaces places = page_places(renderer, client);
  const auto child = [&](const wchar_t* cls, DWORD style, int id, const RECT& rect) {
    const HWND control = CreateWindowExW(0, cls, L"", WS_CHILD | style, rect.left, rect.top, rect.right - rect.left,
                                         rect.bottom - rect.top, main_window,
                                         reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance, nullptr);
    return control;
  };
  search_edit = child(L"EDIT", WS_TABSTOP | ES_AUTOHSCROLL, ID_SEARCH_EDIT, places.search);
  SendMessageW(search_edit, EM_SETLIMITTEXT, 120, 0);
  SendMessageW(search_edit, EM_SETCUEBANNER, TRUE,
               reinterpret_cast<LPARAM>(text(L"Tìm trong danh sách...", L"Search this list...").c_str()));
  renderer.style_control(search_edit);

  page_list = child(WC_LISTVIEWW,
                    WS_TABSTOP | LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS | LVS_NOSORTHEADER |
                        LVS_SHAREIMAGELISTS,
                    ID_PAGE_LIST, places.list);
  ListView_SetExtendedListViewStyle(page_list, LVS_EX_FULLROWSELECT | LVS_EX_INFOTIP | LVS_EX_DOUBLEBUFFER);
  renderer.style_control(page_list);
  SetWindowSubclass(page_list, list_view_proc, 1, reinterpret_cast<DWORD_PTR>(this));

  list_tip = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, L"", WS_POPUP | TTS_NOPREFIX | TTS_ALWAYSTIP, 0, 0, 0,
                             0, main_window, nullptr, instance, nullptr);
  TTTOOLINFOW tool{};
  tool.cbSize = sizeof(tool);
  tool.uFlags = TTF_TRACK | TTF_ABSOLUTE;
  tool.hwnd = page_list;
  tool.uId = 1;
  tool.lpszText = const_cast<wchar_t*>(L"");
  SendMessageW(list_tip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
  SendMessageW(list_tip, TTM_SETMAXTIPWIDTH, 0, renderer.scale(460));
  renderer.style_control(list_tip);

  make_row_height_list();

  primary_button = child(L"BUTTON", WS_TABSTOP | BS_OWNERDRAW, ID_PRIMARY_BUTTON, places.primary);
  secondary_button = child(L"BUTTON", WS_TABSTOP | BS_OWNERDRAW, ID_SECONDARY_BUTTON, places.secondary);
  tertiary_button = child(L"BUTTON", WS_TABSTOP | BS_OWNERDRAW, ID_TERTIARY_BUTTON, places.tertiary);
  for (HWND button : {primary_button, secondary_button, tertiary_button}) renderer.style_control(button);

  create_info_controls();
  create_progress_panel();

  if (!busy) {
    hide_list_tip();
    review_view = false;
    page = PAGE_OVERVIEW;
    update_nav_selection();
    set_search_text_quietly(L"");
    populate_page();
    redraw_content();
  }
}

DeferredLayout::DeferredLayout(HWND parent, int capacity, PlacementMemory* memory)
    : parent_(parent), memory_(memory) {
  moves_.reserve(static_cast<size_t>(capacity));
}

namespace {

RECT rect_in_parent(HWND window, HWND parent) {
  RECT rect{};
  GetWindowRect(window, &rect);
  MapWindowPoints(HWND_DESKTOP, parent, reinterpret_cast<POINT*>(&rect), 2);
  return rect;
}

}  // namespace

void DeferredLayout::add(HWND window, int x, int y, int width, int height) {
  if (window == nullptr) return;
  const RECT current = rect_in_parent(window, parent_);
  const RECT target{x, y, x + width, y + height};
  if (EqualRect(&current, &target)) return;
  if (memory_ != nullptr) {
    const auto placed = memory_->find(window);
    if (placed != memory_->end() && EqualRect(&placed->second.target, &target) &&
        EqualRect(&placed->second.result, &current)) {
      return;
    }
  }
  moves_.push_back(Move{window, target, current});
}

void DeferredLayout::apply() {
  if (moves_.empty()) return;
  constexpr UINT flags = SWP_NOZORDER | SWP_NOREDRAW | SWP_NOACTIVATE | SWP_NOCOPYBITS;
  bool deferred = false;
  if (HDWP batch = BeginDeferWindowPos(static_cast<int>(moves_.size())); batch != nullptr) {
    for (const Move& move : moves_) {
      batch = DeferWindowPos(batch, move.window, nullptr, move.target.left, move.target.top,
                             move.target.right - move.target.left, move.target.bottom - move.target.top, flags);
      if (batch == nullptr) break;
    }
    deferred = batch != nullptr && EndDeferWindowPos(batch);
  }
  if (!deferred) {
    for (const Move& move : moves_) {
      SetWindowPos(move.window, nullptr, move.target.left, move.target.top, move.target.right - move.target.left,
                   move.target.bottom - move.target.top, flags);
    }
  }
  for (const Move& move : moves_) {
    const RECT result = rect_in_parent(move.window, parent_);
    if (memory_ != nullptr) (*memory_)[move.window] = Placement{move.target, result};
    if (!IsWindowVisible(move.window)) continue;
    RECT both{};
    UnionRect(&both, &move.old, &move.target);
    RedrawWindow(parent_, &both, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_FRAME);
  }
  moves_.clear();
}

PagePlaces page_places(const Renderer& renderer, const RECT& client) {
  const auto s = [&renderer](int px) { return renderer.scale(px); };
  const int H = client.bottom;
  const int L = s(272);
  const int R = client.right - s(32);
  PagePlaces places;
  places.search = RECT{L, s(107), R, s(107) + s(36)};
  places.list = RECT{L, s(156), R, s(156) + std::max(s(80), H - s(250))};
  places.primary = RECT{R - s(190), H - s(78), R, H - s(78) + s(36)};
  places.secondary = RECT{R - s(390), H - s(78), R - s(390) + s(190), H - s(78) + s(36)};
  places.tertiary = RECT{L, H - s(78), L + s(190), H - s(78) + s(36)};
  return places;
}

void App::layout() {
  if (page_list == nullptr) return;
  RECT client{};
  GetClientRect(main_window, &client);
  const int W = client.right;
  const int H = client.bottom;
  const int L = renderer.scale(272);
  const int R = W - renderer.scale(32);
  const auto s = [this](int px) { return renderer.scale(px); };

  DeferredLayout moves(main_window, 20, &placements);
  const int sidebar_height = std::max(s(250), H - s(186));
  moves.add(sidebar, 0, s(104), s(240), sidebar_height);
  moves.add(admin_button, s(10), H - s(70), s(220), s(38));
  const PagePlaces places = page_places(renderer, client);
  const auto place = [&moves](HWND window, const RECT& rect) {
    moves.add(window, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top);
  };
  place(search_edit, places.search);
  place(page_list, places.list);
  place(primary_button, places.primary);
  place(secondary_button, places.secondary);
  place(tertiary_button, places.tertiary);
  layout_info_page(moves);
  moves.apply();

  if (sidebar_size.cx != s(240) || sidebar_size.cy != sidebar_height) {
    sidebar_size = SIZE{s(240), sidebar_height};
    layout_sidebar();
  }

  if (list_column_titles.size() == 4) {
    const int avail = (R - L) - (GetSystemMetricsForDpi(SM_CXVSCROLL, renderer.dpi) + s(4));
    const int rest = avail - s(96);
    set_column_width(0, rest * (page == PAGE_STARTUP ? 42 : 48) / 100);
    set_column_width(2, rest * (page == PAGE_STARTUP ? 32 : 27) / 100);
    set_column_width(3, rest - ListView_GetColumnWidth(page_list, 0) - ListView_GetColumnWidth(page_list, 2));
    set_column_width(1, s(96));
  }
  if (busy) layout_progress_panel();
}

// The list changes its widths on its own too (Ctrl + numeric-keypad Plus sizes every column to
// its content, a header divider can be dragged), so the width it reports is what is compared.
void App::set_column_width(int column, int width) {
  if (ListView_GetColumnWidth(page_list, column) != width) ListView_SetColumnWidth(page_list, column, width);
}

void App::on_dpi_changed(UINT dpi, const RECT& suggested) {
  renderer.set_theme(options.dark, dpi);
  SetWindowPos(main_window, nullptr, suggested.left, suggested.top, suggested.right - suggested.left,
               suggested.bottom - suggested.top, SWP_NOZORDER | SWP_NOACTIVATE);
  apply_theme();
  make_row_height_list();
  layout();
}

void App::set_status(const std::wstring& status) {
  status_text = status;
  if (main_window == nullptr) return;
  RECT client{};
  GetClientRect(main_window, &client);
  const RECT strip{renderer.scale(240), client.bottom - renderer.scale(30), client.right, client.bottom};
  InvalidateRect(main_window, &strip, FALSE);
}

void App::show_page(int new_page) {
  if (busy) return;
  hide_list_tip();
  review_view = false;
  page = new_page;
  update_nav_selection();
  set_search_text_quietly(L"");
  if (page == PAGE_BACKUPS) load_backups();
  populate_page();
  redraw_content();
  if (page == PAGE_STARTUP && !options.smoke && !startup_loaded) refresh();
}

int App::selected_index() const {
  if (page_list == nullptr) return -1;
  const int row = ListView_GetNextItem(page_list, -1, LVNI_SELECTED);
  if (row < 0 || row >= static_cast<int>(row_map.size())) return -1;
  return row_map[static_cast<size_t>(row)];
}

void App::update_control_states() {
  // Every control's state is decided first and set once: a button switched off and on again in
  // one pass would repaint twice for nothing.
  std::vector<std::pair<HWND, bool>> states;
  const auto decide = [&states](HWND control, bool enabled) {
    if (control == nullptr) return;
    for (auto& state : states) {
      if (state.first == control) {
        state.second = enabled;
        return;
      }
    }
    states.emplace_back(control, enabled);
  };
  const bool idle = !busy;
  for (HWND button : nav_buttons) decide(button, idle);
  for (HWND control : {sidebar, admin_button, search_edit, page_list, primary_button, secondary_button,
                       tertiary_button, value_combo}) {
    decide(control, idle);
  }
  for (HWND control : {theme_combo, language_combo, licence_text, reports_button, first_link, second_link,
                       update_fields[0], update_fields[1], update_fields[2], update_fields[3], update_fields[4]}) {
    decide(control, idle);
  }
  decide(stop_button, busy && cancel.load() == 0);
  if (idle) {
    const int selected = selected_index();
    const bool area_has_action = page == PAGE_CLEANUP && selected >= 0 &&
                                 selected < static_cast<int>(cleanup_areas.size()) &&
                                 !cleanup_areas[static_cast<size_t>(selected)].action.empty();
    if (page == PAGE_STARTUP) decide(primary_button, !pending_startup_changes.empty());
    if (page == PAGE_CLEANUP) {
      decide(secondary_button, scan_usable && !scan_result.items.empty());
      decide(tertiary_button, scan_usable || area_has_action);
    }
    if (page == PAGE_UPDATES) {
      decide(primary_button, update.has_value());
      decide(secondary_button, true);
      decide(tertiary_button, update.has_value() && !update->sha256.empty());
    }
    if (page == PAGE_CUSTOMIZATION && !review_view) {
      const Feature* feature = selected >= 0 && selected < static_cast<int>(shown_features.size())
                                   ? shown_features[static_cast<size_t>(selected)]
                                   : nullptr;
      if (feature != nullptr && available_on_build(*feature)) {
        const auto chosen = chosen_values.find(feature->id);
        const bool no_choice = !feature->choices.empty() && (chosen == chosen_values.end() || chosen->second < 0);
        decide(value_combo, true);
        decide(tertiary_button, true);
        decide(primary_button, !no_choice);
      } else {
        for (HWND control : {primary_button, value_combo, tertiary_button}) decide(control, false);
      }
    }
  }
  for (const auto& [control, enabled] : states) {
    if ((IsWindowEnabled(control) != FALSE) != enabled) EnableWindow(control, enabled ? TRUE : FALSE);
  }
}

void App::update_action_buttons() {
  const int selected = selected_index();
  if (page == PAGE_CUSTOMIZATION && !review_view) {
    // The value combo stands in for button 203 while the selected feature offers values; each
    // is shown or hidden once, after the choice is made.
    bool combo_shown = false;
    if (selected >= 0 && selected < static_cast<int>(shown_features.size())) {
      const Feature& feature = *shown_features[static_cast<size_t>(selected)];
      set_window_text_if_changed(primary_button, feature.action.empty() ? text(L"Xem & áp dụng", L"Review & apply")
                                                                        : text(L"Mở trong Windows", L"Open in Windows"));
      if (!feature.choices.empty() && value_combo != nullptr) {
        const std::string choices = feature.id + (options.vietnamese ? "|vi" : "|en");
        if (choices != value_combo_choices) {
          SendMessageW(value_combo, CB_RESETCONTENT, 0, 0);
          for (const FeatureChoice& choice : feature.choices) {
            SendMessageW(value_combo, CB_ADDSTRING, 0,
                         reinterpret_cast<LPARAM>(text(choice.label_vi.c_str(), choice.label_en.c_str()).c_str()));
          }
          value_combo_choices = choices;
        }
        if (chosen_values.count(feature.id) == 0) {
          const auto current = current_values.find(feature.id);
          chosen_values[feature.id] = current != current_values.end() ? current->second : -1;
        }
        const int chosen = chosen_values[feature.id];
        if (SendMessageW(value_combo, CB_GETCURSEL, 0, 0) != chosen) {
          SendMessageW(value_combo, CB_SETCURSEL, static_cast<WPARAM>(chosen), 0);
        }
        combo_shown = true;
      }
    }
    ShowWindow(value_combo, combo_shown ? SW_SHOW : SW_HIDE);
    ShowWindow(tertiary_button, combo_shown ? SW_HIDE : SW_SHOW);
    if (selected >= 0 && selected < static_cast<int>(shown_features.size())) update_control_states();
  } else if (page == PAGE_CLEANUP && !review_view) {
    const bool tool = selected >= 0 && selected < static_cast<int>(cleanup_areas.size()) &&
                      !cleanup_areas[static_cast<size_t>(selected)].action.empty();
    set_window_text_if_changed(tertiary_button, tool ? text(L"Mở công cụ Windows", L"Open Windows tool")
                                                     : text(L"Xem tập tin", L"Review files"));
    EnableWindow(tertiary_button, !busy && (tool || scan_usable) ? TRUE : FALSE);
  }
}

}  // namespace corvane
