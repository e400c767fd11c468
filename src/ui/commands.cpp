// Command dispatch of the main window.
#include "ui/app.h"

#include "services/documents.h"

namespace corvane {

void App::command(int id) {
  if (busy) {
    if (id == ID_STOP_BUTTON) request_stop();
    return;
  }
  if (id >= CMD_PAGE_BASE && id <= CMD_PAGE_BASE + static_cast<int>(PAGE_BACKUPS)) {
    show_page(id - CMD_PAGE_BASE);
    return;
  }
  switch (id) {
    case CMD_REFRESH: refresh(); break;
    case CMD_PAGE_BACKUPS: show_page(PAGE_BACKUPS); break;
    case CMD_PAGE_DONATE: show_page(PAGE_DONATE); break;
    case CMD_PAGE_ABOUT: show_page(PAGE_ABOUT); break;
    case CMD_PAGE_LICENSES: show_page(PAGE_LICENSES); break;
    case CMD_PAGE_OPTIONS:
    case CMD_PAGE_ADMIN:
      hide_list_tip();
      page = id == CMD_PAGE_OPTIONS ? PAGE_OPTIONS : PAGE_ADMIN;
      review_view = false;
      update_nav_selection();
      set_search_text_quietly(L"");
      populate_page();
      redraw_content();
      break;
    case CMD_PAGE_UPDATES: show_page(PAGE_UPDATES); break;
    case CMD_CLOSE: SendMessageW(main_window, WM_CLOSE, 0, 0); break;
    case CMD_LANGUAGE_ENGLISH:
    case CMD_LANGUAGE_VIETNAMESE: switch_language(id == CMD_LANGUAGE_VIETNAMESE); break;
    case CMD_THEME_DARK:
    case CMD_THEME_LIGHT:
    case CMD_THEME_SYSTEM:
      theme_mode = id == CMD_THEME_DARK ? THEME_DARK : id == CMD_THEME_LIGHT ? THEME_LIGHT : THEME_SYSTEM;
      apply_theme();
      redraw_content();
      break;
    default: break;
  }
}

void App::switch_language(bool vietnamese) {
  options.vietnamese = vietnamese;
  status_text_cache.clear();
  save_preferences();
  update_nav_texts();
  if (search_edit != nullptr) {
    SendMessageW(search_edit, EM_SETCUEBANNER, TRUE,
                 reinterpret_cast<LPARAM>(text(L"Tìm trong danh sách...", L"Search this list...").c_str()));
  }
  populate_page();
  redraw_content();
  set_status(vietnamese ? L"Đã chọn tiếng Việt" : L"English selected");
}

void App::refresh() {
  if (busy) return;
  system_info = query_system_info();
  status_text_cache.clear();
  current_values.clear();
  chosen_values.clear();
  if (page == PAGE_BACKUPS) backups = list_backups();
  populate_page();
  redraw_content();
  set_status(text(L"Đã làm mới", L"Refreshed"));
}

}  // namespace corvane
