// The information pages (Options, Administrator access, Donate, Licenses, About, Updates) and the
// controls that live beside the page list.
#include "ui/app.h"

#include "engines/product_links.h"
#include "services/documents.h"
#include "services/text.h"

#include <algorithm>
#include <stdexcept>

namespace corvane {

namespace {

// The bytes of one data resource; nullopt when it is missing, cannot be loaded or is empty.
std::optional<std::string_view> resource_bytes(HMODULE module, int id) {
  const HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(id), RT_RCDATA);
  if (found == nullptr) return std::nullopt;
  const HGLOBAL loaded = LoadResource(module, found);
  const DWORD size = SizeofResource(module, found);
  const void* bytes = loaded != nullptr ? LockResource(loaded) : nullptr;
  if (bytes == nullptr || size == 0) return std::nullopt;
  return std::string_view(static_cast<const char*>(bytes), size);
}

std::wstring with_crlf(const std::wstring& text) {
  std::wstring out;
  out.reserve(text.size() + text.size() / 32);
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == L'\n' && (i == 0 || text[i - 1] != L'\r')) out += L'\r';
    out += text[i];
  }
  return out;
}

HWND create_child(HWND parent, const wchar_t* window_class, DWORD style, int id) {
  const HINSTANCE instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(parent, GWLP_HINSTANCE));
  return CreateWindowExW(0, window_class, L"", WS_CHILD | style, 0, 0, 1, 1, parent,
                         reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance, nullptr);
}

}  // namespace

std::wstring licence_notices_text(HMODULE module, bool vietnamese) {
  const auto pick = [vietnamese](const wchar_t* vi, const wchar_t* en) { return std::wstring(vietnamese ? vi : en); };
  struct Notice {
    int id;
    const wchar_t* heading_vi;
    const wchar_t* heading_en;
  };
  static constexpr Notice kNotices[] = {
      {201, L"Thành phần giao diện", L"Interface component"},
      {202, L"Thành phần dữ liệu", L"Data component"},
      {203, L"Thông báo bổ sung", L"Additional notices"},
  };
  std::wstring text = pick(L"Thông tin bản quyền các thành phần được phân phối cùng Corvane.\r\n\r\n",
                           L"Copyright notices for components distributed with Corvane.\r\n\r\n");
  for (const Notice& notice : kNotices) {
    text += pick(notice.heading_vi, notice.heading_en) + L"\r\n\r\n";
    std::wstring body;
    if (const auto bytes = resource_bytes(module, notice.id)) {
      try {
        body = utf8_to_wide(*bytes);
      } catch (const std::exception&) {
        // Bytes that are not UTF-8 count as a notice that cannot be read.
      }
    }
    if (body.empty()) {
      body = pick(L"Không đọc được nội dung giấy phép trong ứng dụng.", L"The embedded license text could not be read.");
    }
    text += body + L"\r\n\r\n";
  }
  return with_crlf(text);
}

std::wstring App::licenses_text() const {
  return licence_notices_text(GetModuleHandleW(nullptr), options.vietnamese);
}

HWND App::create_combo(int id) {
  const HWND combo = create_child(main_window, L"COMBOBOX",
                                  WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST | CBS_OWNERDRAWFIXED | CBS_HASSTRINGS, id);
  if (combo == nullptr) return nullptr;
  renderer.style_control(combo);
  SendMessageW(combo, CB_SETITEMHEIGHT, static_cast<WPARAM>(-1), renderer.scale(32));
  SendMessageW(combo, CB_SETITEMHEIGHT, 0, renderer.scale(32));
  SendMessageW(combo, CB_SETMINVISIBLE, 6, 0);
  return combo;
}

void App::create_info_controls() {
  theme_combo = create_combo(ID_THEME_COMBO);
  language_combo = create_combo(ID_LANGUAGE_COMBO);
  value_combo = create_combo(ID_VALUE_COMBO);
  licence_text = create_child(main_window, L"EDIT",
                              WS_TABSTOP | WS_VSCROLL | ES_MULTILINE | ES_AUTOVSCROLL | ES_READONLY, 0);
  reports_button = create_child(main_window, L"BUTTON", WS_TABSTOP | BS_OWNERDRAW, CMD_OPEN_REPORTS_FOLDER);
  first_link = create_child(main_window, L"BUTTON", WS_TABSTOP | BS_OWNERDRAW, CMD_OPEN_PRODUCT_LINK);
  second_link = create_child(main_window, L"BUTTON", WS_TABSTOP | BS_OWNERDRAW, CMD_OPEN_MAKER_LINK);
  for (HWND link : {first_link, second_link}) {
    if (link != nullptr) SetPropW(link, L"Corvane.Link", reinterpret_cast<HANDLE>(1));
  }
  for (HWND control : {licence_text, reports_button, first_link, second_link}) {
    if (control != nullptr) renderer.style_control(control);
  }
  create_update_edit();
}

void App::layout_info_page(DeferredLayout& moves) {
  if (licence_text == nullptr) return;
  RECT client{};
  GetClientRect(main_window, &client);
  const auto s = [this](int px) { return renderer.scale(px); };
  const int x0 = s(272);
  const int width = client.right - s(32) - x0;
  const int combo_width = std::min(width - s(254), s(350));
  moves.add(theme_combo, x0 + s(230), s(149), combo_width, s(220));
  moves.add(language_combo, x0 + s(230), s(217), combo_width, s(180));
  moves.add(reports_button, x0 + s(24), s(370), s(200), s(36));
  moves.add(licence_text, x0 + s(24), s(145), width - s(48), std::max(s(150), static_cast<int>(client.bottom) - s(220)));
  moves.add(first_link, x0, s(212), width, s(36));
  moves.add(second_link, x0, s(260), width, s(36));
  moves.add(value_combo, x0, client.bottom - s(78), std::max(s(210), width - s(410)), s(260));
  layout_update_buttons(moves);
}

void App::show_info_controls() {
  for (HWND field : update_fields) {
    if (field != nullptr) ShowWindow(field, SW_HIDE);
  }
  for (HWND control : {theme_combo, language_combo, value_combo, licence_text, reports_button, first_link, second_link}) {
    // The value box of the Windows customization page is shown or hidden by update_action_buttons.
    if (control == value_combo && value_box_page()) continue;
    if (control != nullptr) ShowWindow(control, SW_HIDE);
  }
  if (licence_text == nullptr) return;
  switch (page) {
    case PAGE_OPTIONS: {
      SendMessageW(theme_combo, CB_RESETCONTENT, 0, 0);
      for (const std::wstring& item : {text(L"Mặc định (Theo Windows)", L"Default (Windows)"), text(L"Sáng", L"Light"),
                                       text(L"Tối", L"Dark")}) {
        SendMessageW(theme_combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item.c_str()));
      }
      SendMessageW(theme_combo, CB_SETCURSEL, static_cast<WPARAM>(theme_mode), 0);
      SendMessageW(language_combo, CB_RESETCONTENT, 0, 0);
      for (const wchar_t* item : {L"Tiếng Việt", L"English"}) {
        SendMessageW(language_combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item));
      }
      SendMessageW(language_combo, CB_SETCURSEL, options.vietnamese ? 0 : 1, 0);
      SetWindowTextW(reports_button, text(L"Mở thư mục báo cáo", L"Open reports folder").c_str());
      for (HWND control : {theme_combo, language_combo, reports_button}) ShowWindow(control, SW_SHOW);
      break;
    }
    case PAGE_LICENSES:
      SetWindowTextW(licence_text, licenses_text().c_str());
      ShowWindow(licence_text, SW_SHOW);
      break;
    case PAGE_DONATE:
      SetWindowTextW(first_link, utf8_to_wide(PRODUCT_DONATE_URL).c_str());
      ShowWindow(first_link, SW_SHOW);
      break;
    case PAGE_ABOUT:
      SetWindowTextW(first_link, utf8_to_wide(PRODUCT_HOME_URL).c_str());
      SetWindowTextW(second_link, utf8_to_wide(MAKER_HOME_URL).c_str());
      ShowWindow(first_link, SW_SHOW);
      ShowWindow(second_link, SW_SHOW);
      break;
    case PAGE_UPDATES:
      show_update_controls();
      break;
    default:
      break;
  }
}

void App::paint_info_page(HDC dc, const RECT& client) {
  const auto s = [this](int px) { return renderer.scale(px); };
  const auto& c = renderer.colors;
  const int x0 = s(272);
  const int right = client.right - s(32);
  int bottom = 0;
  switch (page) {
    case PAGE_OPTIONS:
    case PAGE_ADMIN: bottom = s(474); break;
    case PAGE_LICENSES: bottom = client.bottom - s(54); break;
    case PAGE_UPDATES: bottom = client.bottom - s(104); break;
    default: break;
  }
  if (bottom != 0) renderer.fill_round_rect(dc, RECT{x0, s(125), right, bottom}, c[kColorSurface], 8);

  const HFONT heading = renderer.fonts[kFontSemibold];
  const HFONT body = renderer.fonts[kFontBody];
  switch (page) {
    case PAGE_UPDATES:
      paint_update_page(dc, client);
      break;
    case PAGE_OPTIONS:
      renderer.draw_text(dc, text(L"Giao diện", L"Appearance"), RECT{x0 + s(24), s(149), x0 + s(210), s(185)}, c[kColorText],
                         heading);
      renderer.draw_text(dc, text(L"Ngôn ngữ", L"Language"), RECT{x0 + s(24), s(217), x0 + s(210), s(253)}, c[kColorText],
                         heading);
      renderer.draw_text(dc, text(L"Thư mục báo cáo", L"Reports folder"), RECT{x0 + s(24), s(295), right - s(24), s(323)},
                         c[kColorText], heading);
      renderer.draw_text(dc, reports_folder(), RECT{x0 + s(24), s(329), right - s(24), s(355)}, c[kColorSecondaryText],
                         body);
      break;
    case PAGE_ADMIN: {
      const bool elevated = system_info.elevated;
      const std::wstring title = elevated ? text(L"Đang chạy với quyền quản trị", L"Running as administrator")
                                          : text(L"Sử dụng quyền quản trị", L"Administrator access");
      const std::wstring paragraph =
          elevated
              ? text(L"Corvane có thể thay đổi cấu hình toàn máy, mục khởi động của hệ thống và các vùng dọn dẹp được "
                     L"bảo vệ.\r\n\r\nChỉ những thao tác được chọn mới được thực hiện. Cấu hình gốc được sao lưu trước "
                     L"khi thay đổi.",
                     L"Corvane can change machine-wide settings, system startup entries and protected cleanup "
                     L"areas.\r\n\r\nOnly selected operations are performed. Original settings are backed up before "
                     L"changes.")
              : text(L"Cần quyền quản trị cho cấu hình toàn máy, mục khởi động của hệ thống và các thư mục được bảo "
                     L"vệ.\r\n\r\nDữ liệu và cấu hình của người dùng hiện tại thường không cần quyền này.\r\n\r\nNút bên "
                     L"dưới khởi động lại Corvane qua Windows UAC. Các thay đổi chưa lưu cần được chọn lại sau khi khởi "
                     L"động lại.",
                     L"Administrator access is required for machine-wide settings, system startup entries and "
                     L"protected folders.\r\n\r\nCurrent-user data and settings usually do not require this "
                     L"access.\r\n\r\nThe button below relaunches Corvane through Windows UAC. Unsaved changes must be "
                     L"selected again after relaunching.");
      renderer.draw_text(dc, title, RECT{x0 + s(24), s(148), right - s(24), s(184)}, c[kColorText], heading);
      renderer.draw_text(dc, paragraph, RECT{x0 + s(24), s(203), right - s(24), s(418)}, c[kColorText], body,
                         kParagraphFormat);
      break;
    }
    case PAGE_DONATE:
    case PAGE_ABOUT: {
      const bool about = page == PAGE_ABOUT;
      const std::wstring first =
          about ? text(L"Phần mềm dọn dẹp, quản lý khởi động và tùy chỉnh Windows.",
                       L"A utility for Windows cleanup, startup management and customization.")
                : text(L"Corvane được cung cấp miễn phí.", L"Corvane is free to use.");
      const std::wstring second =
          about ? text(L"Phát triển bởi nhóm Corvane tại Halbrook.", L"Developed by the Corvane team at Halbrook.")
                : text(L"Sự ủng hộ của bạn giúp tác giả tiếp tục phát triển Corvane. Cảm ơn bạn!",
                       L"Your support helps us continue developing Corvane. Thank you!");
      renderer.draw_text(dc, first, RECT{x0, s(140), right, s(164)}, c[kColorText], body, kParagraphFormat);
      renderer.draw_text(dc, second, RECT{x0, s(172), right, s(196)}, c[kColorText], body, kParagraphFormat);
      if (!about) {
        renderer.draw_text(dc,
                           text(L"Ủng hộ không mở khóa tính năng hoặc mang lại đặc quyền nào.",
                                L"Donations do not unlock features or grant any privileges."),
                           RECT{x0, s(312), right, s(344)}, c[kColorText], body, kParagraphFormat);
      }
      break;
    }
    default:
      break;
  }
}

}  // namespace corvane
