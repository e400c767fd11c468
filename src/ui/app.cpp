#include "ui/app.h"

#include "services/documents.h"
#include "services/text.h"
#include "ui/preferences.h"

#include <objbase.h>

#include <system_error>

namespace corvane {

ComScope::ComScope(DWORD apartment) : result_(CoInitializeEx(nullptr, apartment)) {}

ComScope::~ComScope() {
  if (SUCCEEDED(result_)) CoUninitialize();
}

bool system_uses_dark_theme() {
  DWORD light = 1;
  DWORD size = sizeof(light);
  RegGetValueW(HKEY_CURRENT_USER, L"Software\\Microsoft\\Windows\\CurrentVersion\\Themes\\Personalize",
               L"AppsUseLightTheme", RRF_RT_REG_DWORD, nullptr, &light, &size);
  return light == 0;
}

App::App(const StartOptions& start_options) : options(start_options) {
  theme_mode = options.theme_given ? (options.dark ? THEME_DARK : THEME_LIGHT) : THEME_SYSTEM;
  if (!options.smoke) {
    try {
      // A missing file leaves the defaults; it is not opened, so nothing is thrown for it.
      const std::wstring path = preferences_path();
      if (GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES) {
        apply_preferences(read_json_file(path), options, theme_mode);
      }
    } catch (const std::exception&) {
      // A missing or unreadable file leaves what was taken so far.
    }
  }
  options.dark = theme_mode == THEME_SYSTEM ? system_uses_dark_theme() : theme_mode == THEME_DARK;
  system_info = query_system_info();
  elevation_unreadable = process_elevation() == Elevation::unreadable;
  cleanup_areas = default_cleanup_areas(acts_elevated());
  for (const CleanupArea& area : cleanup_areas) {
    if (area.selected_by_default) selected_area_ids.insert(area.id);
  }
  status_text = text(L"Sẵn sàng - Chưa thay đổi hệ thống", L"Ready - No system changes made");
}

App::~App() {
  cancel.exchange(1);
  if (worker.joinable()) worker.join();
  if (row_height_images != nullptr) ImageList_Destroy(row_height_images);
  if (back_dc != nullptr) {
    if (back_original != nullptr) SelectObject(back_dc, back_original);
    if (back_bitmap != nullptr) DeleteObject(back_bitmap);
    DeleteDC(back_dc);
  }
}

void App::register_window_classes(HINSTANCE instance) {
  const auto icon = [instance](int size) {
    return static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(101), IMAGE_ICON, size, size, 0));
  };
  WNDCLASSEXW main_class{};
  main_class.cbSize = sizeof(main_class);
  main_class.lpfnWndProc = main_window_proc;
  main_class.hInstance = instance;
  main_class.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  main_class.hIcon = icon(48);
  main_class.hIconSm = icon(20);
  main_class.lpszClassName = kMainClass;
  RegisterClassExW(&main_class);

  WNDCLASSEXW dialog_class = main_class;
  dialog_class.lpfnWndProc = dialog_window_proc;
  dialog_class.hIcon = icon(48);
  dialog_class.hIconSm = icon(20);
  dialog_class.lpszClassName = kDialogClass;
  RegisterClassExW(&dialog_class);
}

bool App::create_main_window(HINSTANCE instance) {
  register_window_classes(instance);
  renderer.set_theme(options.dark, GetDpiForSystem());
  const HWND window =
      CreateWindowExW(0, kMainClass, kMainTitle, WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, CW_USEDEFAULT,
                      CW_USEDEFAULT, renderer.scale(1220), renderer.scale(850), nullptr, nullptr, instance, this);
  return window != nullptr;
}

int App::message_loop() {
  MSG message{};
  BOOL got = 0;
  while ((got = GetMessageW(&message, nullptr, 0, 0)) > 0) {
    if (message.message == WM_KEYDOWN && message.wParam == VK_F5) {
      // Outside the window procedure, so the same guard that protects handlers is applied here.
      run_guarded([this] { refresh(); });
      continue;
    }
    if (main_window != nullptr && IsDialogMessageW(main_window, &message)) continue;
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  if (smoke_failed) return 2;
  return got == 0 ? static_cast<int>(message.wParam) : 1;
}

int App::run(HINSTANCE instance, int show_command) {
  if (!create_main_window(instance)) return 1;
  if (options.render_test) {
    const bool passed = render_test();
    DestroyWindow(main_window);
    return passed ? 0 : 2;
  }
  ShowWindow(main_window, options.smoke ? SW_HIDE : show_command);
  UpdateWindow(main_window);
  if (options.smoke) SetTimer(main_window, TIMER_SMOKE_STEP, 30, nullptr);
  return message_loop();
}

void App::apply_theme() {
  options.dark = theme_mode != THEME_SYSTEM ? theme_mode == THEME_DARK : system_uses_dark_theme();
  hide_list_tip();
  renderer.set_theme(options.dark, main_window != nullptr ? GetDpiForWindow(main_window) : GetDpiForSystem());
  const auto style = [this](HWND control) {
    if (control != nullptr) renderer.style_control(control);
  };
  style(main_window);
  for (HWND button : nav_buttons) style(button);
  for (HWND control : {admin_button, sidebar, list_tip, page_list, search_edit, primary_button, secondary_button,
                       tertiary_button, value_combo, progress_panel, progress_bar, progress_title, progress_item_label,
                       progress_count_label, stop_button}) {
    style(control);
  }
  for (HWND control : {theme_combo, language_combo, licence_text, reports_button, first_link, second_link}) style(control);
  for (HWND field : update_fields) style(field);
  if (progress_title != nullptr) SendMessageW(progress_title, WM_SETFONT, reinterpret_cast<WPARAM>(renderer.fonts[4]), FALSE);
  update_nav_selection();
  save_preferences();
  if (main_window != nullptr) RedrawWindow(main_window, nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN);
}

void App::save_preferences() {
  if (options.smoke) return;
  try {
    write_json_atomic(preferences_path(), preferences_document(options.vietnamese, theme_mode));
  } catch (const std::exception&) {
    // A preference that cannot be saved is not reported.
  }
}

}  // namespace corvane
