// Painting of the main window: brand, page header, the Overview page and the status strip.
#include "ui/app.h"

#include "services/text.h"

#include <algorithm>

namespace corvane {

namespace {

// The strip has one line: each line break of a status (CR LF, CR or LF) reads " - ".
std::wstring on_one_line(const std::wstring& status) {
  std::wstring line;
  line.reserve(status.size() + 8);
  for (std::size_t i = 0; i < status.size(); ++i) {
    const wchar_t c = status[i];
    if (c != L'\r' && c != L'\n') {
      line += c;
      continue;
    }
    if (c == L'\r' && i + 1 < status.size() && status[i + 1] == L'\n') ++i;
    line += L" - ";
  }
  return line;
}

}  // namespace

std::wstring App::page_title() const {
  if (review_view) return text(L"Kiểm tra Registry", L"Registry review");
  return text(kPageTitles[std::clamp(page, 0, PAGE_COUNT - 1)]);
}

std::wstring App::page_subtitle() const {
  if (review_view) {
    return text(L"Kiểm tra mục không còn hợp lệ. Xem bằng chứng trước khi xử lý.",
                L"Review potentially stale entries. Inspect the evidence before making changes.");
  }
  switch (page) {
    case PAGE_OVERVIEW: return text(L"Thông tin hệ thống", L"System information");
    case PAGE_CLEANUP:
      return text(L"Chọn vùng cần quét. Xem danh sách tập tin trước khi dọn.",
                  L"Choose what to scan. Review the exact files before cleaning.");
    case PAGE_CUSTOMIZATION:
      return text(L"Chọn một mục và giá trị cần đặt. Các mục được chia theo thành phần Windows.",
                  L"Select an item and a value. Settings are grouped by Windows component.");
    case PAGE_PRIVACY: return text(L"Cài đặt quyền riêng tư của Windows.", L"Windows privacy settings.");
    case PAGE_STARTUP:
      return text(L"Nhấp đúp để đổi trạng thái. Bấm Lưu cấu hình để áp dụng.",
                  L"Double-click to change a status. Choose Save configuration to apply.");
    case PAGE_PERFORMANCE:
      return text(L"Cài đặt hiệu ứng, đồ họa và chế độ nguồn.", L"Animation, graphics and power settings.");
    case PAGE_ADVANCED:
      return text(L"Menu chuột phải, ổ đĩa, Registry và nhật ký sự kiện.",
                  L"Context menus, drives, registry entries and event logs.");
    case PAGE_BACKUPS:
      return text(L"Khôi phục đúng giá trị trước khi Corvane thay đổi.",
                  L"Restore the values captured before Corvane changed them.");
    case PAGE_OPTIONS:
      return text(L"Giao diện và ngôn ngữ được lưu tự động.", L"Appearance and language are saved automatically.");
    case PAGE_ADMIN:
      return text(L"Quyền cần thiết cho các thao tác hệ thống.", L"Permissions required for system operations.");
    case PAGE_DONATE: return text(L"Trang ủng hộ tác giả", L"Support the author");
    case PAGE_LICENSES:
      return text(L"Thông tin bản quyền và điều khoản sử dụng", L"Copyright notices and license terms");
    case PAGE_ABOUT: return text(L"Phiên bản ", L"Version ") + kVersion;
    case PAGE_UPDATES: return text(L"Phiên bản đang dùng: ", L"Installed version: ") + kVersion;
    default: return L"";
  }
}

BufferBitmapMaker create_buffer_bitmap = [](HDC dc, int width, int height) {
  return CreateCompatibleBitmap(dc, width, height);
};

void App::paint_window() {
  PAINTSTRUCT ps{};
  const HDC screen = BeginPaint(main_window, &ps);
  RECT client{};
  GetClientRect(main_window, &client);
  if (back_dc == nullptr) back_dc = CreateCompatibleDC(screen);
  bool buffered = back_dc != nullptr;
  if (buffered && (back_bitmap == nullptr || back_width < client.right || back_height < client.bottom)) {
    const auto round_up = [](int value) { return (std::max(value, 1) + 127) / 128 * 128; };
    const int width = std::max(back_width, round_up(client.right));
    const int height = std::max(back_height, round_up(client.bottom));
    // Without a buffer of this size the paint goes straight to the screen: an older, smaller
    // one would copy undefined pixels.
    const HBITMAP bitmap = create_buffer_bitmap(screen, width, height);
    buffered = bitmap != nullptr;
    if (buffered) {
      const HGDIOBJ previous = SelectObject(back_dc, bitmap);
      if (back_bitmap != nullptr) {
        DeleteObject(back_bitmap);
      } else {
        back_original = previous;
      }
      back_bitmap = bitmap;
      back_width = width;
      back_height = height;
    }
  }
  if (!buffered) {
    paint(screen);
    EndPaint(main_window, &ps);
    return;
  }
  const int saved = SaveDC(back_dc);
  IntersectClipRect(back_dc, ps.rcPaint.left, ps.rcPaint.top, ps.rcPaint.right, ps.rcPaint.bottom);
  paint(back_dc);
  RestoreDC(back_dc, saved);
  BitBlt(screen, ps.rcPaint.left, ps.rcPaint.top, ps.rcPaint.right - ps.rcPaint.left,
         ps.rcPaint.bottom - ps.rcPaint.top, back_dc, ps.rcPaint.left, ps.rcPaint.top, SRCCOPY);
  EndPaint(main_window, &ps);
}

namespace {

struct OverviewCard {
  const wchar_t* title_vi;
  const wchar_t* title_en;
  const wchar_t* text_vi;
  const wchar_t* text_en;
};

constexpr OverviewCard kFeatureCards[] = {
    {L"Dọn dẹp", L"Cleanup", L"Quét tập tin tạm và cache để chọn các mục cần xóa.",
     L"Scan temporary files and cache to select items for removal."},
    {L"Tùy chỉnh Windows", L"Windows settings", L"Cài đặt giao diện, quyền riêng tư và hiệu năng.",
     L"Appearance, privacy and performance settings."},
    {L"Ứng dụng khởi động", L"Startup applications", L"Xem ứng dụng đăng nhập và tác vụ đã lên lịch.",
     L"Review sign-in applications and scheduled tasks."},
    {L"Sao lưu cấu hình", L"Settings backups", L"Giá trị Registry gốc được lưu trước mỗi thay đổi.",
     L"Original registry values are saved before each change."},
};

float fraction_of(std::uint64_t part, std::uint64_t whole) {
  return whole == 0 ? 0.0f : static_cast<float>(static_cast<double>(part) / static_cast<double>(whole));
}

}  // namespace

void App::paint(HDC dc) {
  RECT client{};
  GetClientRect(main_window, &client);
  const int W = client.right;
  const int H = client.bottom;
  const auto s = [this](int px) { return renderer.scale(px); };
  const Palette& c = renderer.colors;
  const int L = s(272);
  const int R = W - s(32);

  renderer.fill_rect(dc, client, c[kColorWindow]);
  renderer.fill_rect(dc, RECT{0, 0, s(240), H}, c[kColorNavigation]);

  // Brand.
  const HINSTANCE instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(main_window, GWLP_HINSTANCE));
  if (const auto icon = static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(101), IMAGE_ICON, s(36), s(36),
                                                      LR_SHARED))) {
    DrawIconEx(dc, s(22), s(30), icon, s(36), s(36), 0, nullptr, DI_NORMAL);
  }
  renderer.draw_text(dc, L"Corvane", RECT{s(68), s(28), s(205), s(57)}, c[kColorText], renderer.fonts[kFontSemibold]);
  renderer.draw_text(dc, kVersion, RECT{s(68), s(57), s(205), s(76)}, c[kColorSecondaryText], renderer.fonts[kFontSmall]);
  renderer.draw_text(dc, kVersion, RECT{s(24), H - s(27), s(220), H - s(7)}, c[kColorSecondaryText],
                     renderer.fonts[kFontSmall]);

  // Page header.
  renderer.draw_text(dc, page_title(), RECT{L, s(30), R, s(69)}, c[kColorText], renderer.fonts[kFontTitle]);
  renderer.draw_text(dc, page_subtitle(), RECT{L, s(74), R, s(98)}, c[kColorSecondaryText], renderer.fonts[kFontBody]);

  if (page == PAGE_OVERVIEW) {
    const int gap = s(18);
    const int cw = (R - L - 2 * gap) / 3;
    for (int i = 0; i < 3; ++i) {
      const int left = L + i * (cw + gap);
      const int right = left + cw;
      renderer.fill_round_rect(dc, RECT{left, s(125), right, s(125) + s(148)}, c[kColorSurface], 10);
      std::wstring caption;
      std::wstring figure;
      if (i == 0) {
        caption = text(L"DUNG LƯỢNG TRỐNG", L"AVAILABLE STORAGE");
        figure = format_byte_size(system_info.system_drive_free);
      } else if (i == 1) {
        caption = text(L"RAM CÒN TRỐNG", L"AVAILABLE MEMORY");
        figure = format_byte_size(system_info.available_memory);
      } else {
        caption = text(L"PHIÊN BẢN WINDOWS", L"WINDOWS BUILD");
        figure = std::to_wstring(system_info.build);
      }
      renderer.draw_text(dc, caption, RECT{left + s(20), s(141), right - s(16), s(163)}, c[kColorSecondaryText],
                         renderer.fonts[kFontSmall]);
      renderer.draw_text(dc, figure, RECT{left + s(20), s(173), right - s(16), s(214)}, c[kColorText],
                         renderer.fonts[kFontLarge]);
      if (i == 2) {
        const std::wstring line = (system_info.build < 22000 ? L"Windows 10 - " : L"Windows 11 - ") + system_info.edition;
        renderer.draw_text(dc, line, RECT{left + s(20), s(232), right - s(16), s(260)}, c[kColorSecondaryText],
                           renderer.fonts[kFontSmall]);
      } else {
        const std::uint64_t free = i == 0 ? system_info.system_drive_free : system_info.available_memory;
        const std::uint64_t total = i == 0 ? system_info.system_drive_total : system_info.total_memory;
        renderer.draw_progress_bar(dc, RECT{left + s(20), s(228), right - s(20), s(234)}, fraction_of(free, total));
        renderer.draw_text(dc, text(L"Tổng ", L"Total ") + format_byte_size(total),
                           RECT{left + s(20), s(241), right - s(16), s(263)}, c[kColorSecondaryText],
                           renderer.fonts[kFontSmall]);
      }
    }

    renderer.draw_text(dc, text(L"Chức năng", L"Features"), RECT{L, s(298), R, s(330)}, c[kColorText],
                       renderer.fonts[kFontSemibold]);
    const int cw2 = (R - L - gap) / 2;
    for (int i = 0; i < 4; ++i) {
      const int left = L + (i % 2) * (cw2 + gap);
      const int right = left + cw2;
      const int top = s(346) + (i / 2) * s(120);
      const int bottom = s(452) + (i / 2) * s(120);
      renderer.fill_round_rect(dc, RECT{left, top, right, bottom}, c[kColorSurface], 10);
      const OverviewCard& card = kFeatureCards[i];
      renderer.draw_text(dc, text(card.title_vi, card.title_en), RECT{left + s(20), top + s(16), right - s(20), top + s(43)},
                         c[kColorText], renderer.fonts[kFontSemibold]);
      renderer.draw_text(dc, text(card.text_vi, card.text_en), RECT{left + s(20), top + s(50), right - s(22), bottom - s(14)},
                         c[kColorSecondaryText], renderer.fonts[kFontBody], kParagraphFormat);
    }
    renderer.draw_text(dc, text(L"Chọn một mục trong thanh bên để bắt đầu.", L"Choose a page in the sidebar to get started."),
                       RECT{L, s(595), R, s(629)}, c[kColorSecondaryText], renderer.fonts[kFontSmall]);
  } else if (!is_info_page()) {
    renderer.fill_round_rect(dc, RECT{L, s(107), R, s(143)}, c[kColorSurface], 6);
  } else {
    paint_info_page(dc, client);
  }

  // Status strip.
  renderer.fill_rect(dc, RECT{s(240), H - s(30), W, H}, c[kColorSurface]);
  renderer.draw_text(dc, on_one_line(status_text), RECT{s(260), H - s(30), W - s(20), H}, c[kColorSecondaryText],
                     renderer.fonts[kFontSmall]);
}

}  // namespace corvane
