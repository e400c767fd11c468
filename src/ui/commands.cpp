// Command dispatch of the main window: every button, sidebar entry and menu-like control ends here.
#include "ui/app.h"

#include "engines/product_links.h"
#include "engines/update_manifest.h"
#include "services/data_folder_guard.h"
#include "services/documents.h"
#include "services/shell.h"
#include "services/text.h"

#include <shellapi.h>

#include <filesystem>
#include <stdexcept>

namespace corvane {

namespace {

bool shell_launch_elevated(HWND owner, const std::wstring& parameters) {
  const std::wstring program = executable_path();
  SHELLEXECUTEINFOW info{};
  info.cbSize = sizeof(info);
  info.fMask = SEE_MASK_NOCLOSEPROCESS;
  info.hwnd = owner;
  info.lpVerb = L"runas";
  info.lpFile = program.c_str();
  info.lpParameters = parameters.c_str();
  info.nShow = SW_SHOWNORMAL;
  if (!ShellExecuteExW(&info)) return false;
  if (info.hProcess != nullptr) CloseHandle(info.hProcess);
  return true;
}

// Elevated, a folder of the data folder is made, one checked level at a time, and opened only
// inside the user's profile; throws the refusal otherwise.
void open_created_folder(HWND owner, const std::wstring& folder, bool elevated) {
  check_data_folder_path(folder, elevated);
  if (elevated && in_data_folder(folder)) {
    PinnedFolders pins;
    const DWORD error = pin_folder_chain(folder, pins, true);
    if (error == ERROR_REPARSE_POINT_ENCOUNTERED) throw std::runtime_error(wide_to_utf8(kDataFolderThroughLinkMessage));
    if (error != ERROR_SUCCESS) throw_windows_error(error);
    check_pinned_data_folder(folder, pins, true);
  } else {
    create_document_folder(folder);
  }
  shell_open(owner, folder);
}

}  // namespace

ElevatedLauncher elevated_launcher = nullptr;

void App::command(int id) {
  if (busy) {
    if (id == ID_STOP_BUTTON) request_stop();
    return;
  }
  if (id >= CMD_PAGE_BASE && id <= CMD_PAGE_BASE + static_cast<int>(PAGE_BACKUPS)) {
    show_page(id - CMD_PAGE_BASE);
    return;
  }
  const auto open_folder = [this](const std::wstring& folder) {
    try {
      open_created_folder(main_window, folder, acts_elevated());
    } catch (const std::exception& error) {
      set_status(shown_refusal(utf8_to_wide_lenient(error.what()), options.vietnamese));
    }
  };
  const bool feature_page = !review_view && (page == PAGE_CUSTOMIZATION || page == PAGE_PRIVACY ||
                                             page == PAGE_PERFORMANCE || page == PAGE_ADVANCED);
  switch (id) {
    case ID_PRIMARY_BUTTON:
      if (page == PAGE_UPDATES) {
        if (update && is_https_url(update->url)) shell_open(main_window, utf8_to_wide_lenient(update->url));
      } else if (page == PAGE_DONATE) {
        shell_open(main_window, utf8_to_wide(PRODUCT_DONATE_URL));
      } else if (page == PAGE_ABOUT) {
        shell_open(main_window, utf8_to_wide(MAKER_HOME_URL));
      } else if (page == PAGE_ADMIN) {
        if (!system_info.elevated) restart_elevated();
      } else if (review_view) {
        remove_review_finding();
      } else if (page == PAGE_CLEANUP) {
        scan();
      } else if (page == PAGE_BACKUPS) {
        backup_restore();
      } else if (page == PAGE_STARTUP) {
        startup_save();
      } else {
        apply();
      }
      break;
    case ID_SECONDARY_BUTTON:
      if (page == PAGE_UPDATES) {
        check_updates();
      } else if (review_view) {
        audit_registry();
      } else if (page == PAGE_CLEANUP) {
        clean();
      } else if (page == PAGE_BACKUPS) {
        open_folder(backups_folder());
      } else if (page == PAGE_STARTUP) {
        startup_change(false, true);
      } else if (page != PAGE_UPDATES) {
        show_page(PAGE_BACKUPS);
      }
      break;
    case ID_TERTIARY_BUTTON:
      if (page == PAGE_UPDATES) {
        copy_update_sha256();
      } else if (review_view) {
        export_review_report();
      } else if (page == PAGE_CLEANUP) {
        open_cleanup_tool_or_review();
      } else if (page == PAGE_STARTUP) {
        refresh();
      } else if (page == PAGE_BACKUPS) {
        review_files();
      } else if (feature_page) {
        const int selected = selected_index();
        if (selected >= 0 && selected < static_cast<int>(shown_features.size())) {
          feature_action(*shown_features[static_cast<std::size_t>(selected)]);
        }
      }
      break;
    case CMD_REFRESH: refresh(); break;
    case CMD_SCAN:
      show_page(PAGE_CLEANUP);
      scan();
      break;
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
    case CMD_PAGE_UPDATES:
      show_page(PAGE_UPDATES);
      if (update_state == UPDATE_NOT_CHECKED) check_updates();
      break;
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
    case CMD_RESTART_ELEVATED: restart_elevated(); break;
    case CMD_OPEN_DATA_FOLDER: open_folder(app_data_folder()); break;
    case CMD_REGISTRY_REVIEW: audit_registry(); break;
    case CMD_OPEN_REPORTS_FOLDER: open_folder(reports_folder()); break;
    case CMD_OPEN_MAKER_LINK: shell_open(main_window, utf8_to_wide(MAKER_HOME_URL)); break;
    case CMD_OPEN_PRODUCT_LINK:
      shell_open(main_window, utf8_to_wide(page == PAGE_DONATE ? PRODUCT_DONATE_URL : PRODUCT_HOME_URL));
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

void App::restart_elevated() {
  const std::wstring parameters = std::wstring(L"--language ") + (options.vietnamese ? L"vi" : L"en");
  const bool started = elevated_launcher != nullptr ? elevated_launcher(main_window, parameters)
                                                    : shell_launch_elevated(main_window, parameters);
  if (started) {
    DestroyWindow(main_window);
    return;
  }
  show_outcome(Outcome{false, windows_error_text(GetLastError()), L"", 0, 0, 0});
}

void App::refresh() {
  if (busy) return;
  if (page == PAGE_UPDATES) {
    check_updates();
    return;
  }
  if (review_view) {
    audit_registry();
    return;
  }
  if (page == PAGE_STARTUP) {
    start_work([this, elevated = acts_elevated()] {
      auto work = std::make_unique<Work>();
      work->kind = WORK_REFRESH;
      work->startup_entries = list_startup_entries(&cancel, elevated);
      load_startup_icons(*work, cancel, elevated);
      return work;
    });
    return;
  }
  system_info = query_system_info();
  status_text_cache.clear();
  current_values.clear();
  chosen_values.clear();
  const bool listed = page != PAGE_BACKUPS || load_backups();
  populate_page();
  if (listed) set_status(text(L"Đã làm mới", L"Refreshed"));
}

}  // namespace corvane
