// The rendering stress test ("--render-test"): resizes and repaints the window through seven pages
// in both themes and checks that a full redraw never changes a pixel left by the resize path.
#include "ui/app.h"

#include "services/documents.h"
#include "services/shell.h"
#include "ui/drawing/gdi_scope.h"

#include <dwmapi.h>

#include <algorithm>
#include <filesystem>

namespace corvane {

namespace {

constexpr int kPages[] = {PAGE_ABOUT, PAGE_LICENSES, PAGE_DONATE, PAGE_CLEANUP, PAGE_OPTIONS, PAGE_OVERVIEW, PAGE_UPDATES};
constexpr int kWidthOffsets[] = {0, 13, -7, 0};
constexpr int kFramesPerTheme = 48;
constexpr COLORREF kUnpainted = 0xFF00FF;

}  // namespace

std::array<SIZE, 4> render_test_frame_sizes(int frame, SIZE smallest, SIZE largest, UINT dpi) {
  const auto scale = [dpi](int px) { return MulDiv(px, static_cast<int>(dpi), 96); };
  const int width = smallest.cx + (scale(71) * frame) % (largest.cx - smallest.cx + 1);
  const int height = smallest.cy + (scale(43) * frame) % (largest.cy - smallest.cy + 1);
  std::array<SIZE, 4> sizes{};
  for (std::size_t i = 0; i < sizes.size(); ++i) {
    sizes[i] = SIZE{std::clamp(width + scale(kWidthOffsets[i]), static_cast<int>(smallest.cx),
                               static_cast<int>(largest.cx)),
                    height};
  }
  return sizes;
}

std::optional<std::vector<std::uint32_t>> capture_window_pixels(HWND window, bool whole_window, int content_left,
                                                                int content_bottom_margin) {
  RECT area{};
  if (whole_window) {
    RECT bounds{};
    if (!GetWindowRect(window, &bounds)) return std::nullopt;
    area = RECT{0, 0, bounds.right - bounds.left, bounds.bottom - bounds.top};
  } else {
    RECT client{};
    if (!GetClientRect(window, &client)) return std::nullopt;
    area = RECT{content_left, 0, client.right, client.bottom - content_bottom_margin};
  }
  const int width = area.right - area.left;
  const int height = area.bottom - area.top;
  if (width <= 0 || height <= 0) return std::nullopt;
  GdiFlush();
  const WindowDcScope source(window, whole_window);
  if (source.get() == nullptr) return std::nullopt;
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  const HDC memory = CreateCompatibleDC(source.get());
  if (memory == nullptr) return std::nullopt;
  const HBITMAP bitmap = CreateDIBSection(memory, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  std::optional<std::vector<std::uint32_t>> pixels;
  if (bitmap != nullptr && bits != nullptr) {
    const HGDIOBJ original = SelectObject(memory, bitmap);
    if (BitBlt(memory, 0, 0, width, height, source.get(), area.left, area.top, SRCCOPY)) {
      GdiFlush();
      const auto* data = static_cast<const std::uint32_t*>(bits);
      pixels.emplace(data, data + static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
      for (std::uint32_t& pixel : *pixels) pixel &= 0x00FFFFFFu;
    }
    SelectObject(memory, original);
  }
  if (bitmap != nullptr) DeleteObject(bitmap);
  DeleteDC(memory);
  return pixels;
}

bool App::render_test() {
  MONITORINFO monitor{};
  monitor.cbSize = sizeof(monitor);
  if (!GetMonitorInfoW(MonitorFromWindow(main_window, MONITOR_DEFAULTTONEAREST), &monitor)) return false;
  const RECT work = monitor.rcWork;
  const int largest_width = std::min(static_cast<int>(work.right - work.left) - renderer.scale(20), renderer.scale(1380));
  const int largest_height = std::min(static_cast<int>(work.bottom - work.top) - renderer.scale(20), renderer.scale(930));
  const int smallest_width = renderer.scale(1080);
  const int smallest_height = renderer.scale(790);
  if (largest_width < smallest_width || largest_height < smallest_height) return false;
  SetWindowPos(main_window, HWND_TOPMOST, work.left + renderer.scale(10), work.top + renderer.scale(10), largest_width,
               largest_height, SWP_NOACTIVATE | SWP_SHOWWINDOW);

  const auto capture_content = [this] {
    return capture_window_pixels(main_window, false, renderer.scale(240), renderer.scale(30));
  };
  nlohmann::json failures = nlohmann::json::array();
  int frames = 0;
  int cases = 0;
  std::uint64_t max_changed = 0;
  for (const ThemeMode theme : {THEME_DARK, THEME_LIGHT}) {
    theme_mode = theme;
    apply_theme();
    for (int frame = 0; frame < kFramesPerTheme; ++frame, ++frames) {
      for (const SIZE size : render_test_frame_sizes(frame, SIZE{smallest_width, smallest_height},
                                                     SIZE{largest_width, largest_height}, renderer.dpi)) {
        SetWindowPos(main_window, nullptr, 0, 0, size.cx, size.cy, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
      }
      const int shown = kPages[frame % 7];
      show_page(shown);
      RedrawWindow(main_window, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
      DwmFlush();
      const auto first = capture_content();
      RedrawWindow(main_window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW | RDW_FRAME);
      DwmFlush();
      const auto second = capture_content();
      // A capture that failed proves nothing: it counts as a failed frame, never as "unchanged".
      std::uint64_t changed = 0;
      const bool captured = first && second && first->size() == second->size();
      if (captured) {
        for (std::size_t i = 0; i < first->size(); ++i) changed += (*first)[i] != (*second)[i] ? 1 : 0;
        max_changed = std::max(max_changed, changed);
      }
      bool controls = is_window_visible(first_link) == (shown == PAGE_DONATE || shown == PAGE_ABOUT) &&
                      is_window_visible(second_link) == (shown == PAGE_ABOUT) &&
                      is_window_visible(licence_text) == (shown == PAGE_LICENSES);
      for (HWND field : update_fields) controls = controls && is_window_visible(field) == (shown == PAGE_UPDATES);
      if (!captured || changed > 0 || !controls) {
        failures.push_back({{"theme", static_cast<int>(theme)},
                            {"frame", frame},
                            {"page", shown},
                            {"changed_pixels", changed},
                            {"controls", controls},
                            {"captured", captured}});
      }
    }
    show_page(PAGE_LICENSES);
    for (const bool short_license : {false, true}) {
      ++cases;
      if (short_license) SetWindowTextW(licence_text, L"Short license fixture");
      RedrawWindow(main_window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW | RDW_FRAME);
      bool marked = false;
      {
        const WindowDcScope frame_dc(licence_text, true);
        RECT window{};
        RECT client{};
        if (frame_dc.get() != nullptr && GetWindowRect(licence_text, &window) && GetClientRect(licence_text, &client)) {
          POINT origin{0, 0};
          ClientToScreen(licence_text, &origin);
          const int left = origin.x - window.left;
          const int top = origin.y - window.top;
          ExcludeClipRect(frame_dc.get(), left, top, left + client.right, top + client.bottom);
          renderer.fill_rect(frame_dc.get(), RECT{0, 0, window.right - window.left, window.bottom - window.top}, kUnpainted);
          marked = true;
        }
      }
      SendMessageW(licence_text, WM_NCPAINT, 1, 0);
      GdiFlush();
      const auto pixels = capture_window_pixels(licence_text, true, 0, 0);
      std::uint64_t unpainted = 0;
      if (pixels) unpainted = static_cast<std::uint64_t>(std::count(pixels->begin(), pixels->end(), kUnpainted));
      if (!marked || !pixels || unpainted > 0) {
        failures.push_back({{"theme", static_cast<int>(theme)},
                            {"short_license", short_license},
                            {"unpainted_frame_pixels", unpainted},
                            {"captured", marked && pixels.has_value()}});
      }
    }
  }

  nlohmann::json report;
  report["version"] = "1.0";
  report["passed"] = failures.empty();
  report["frames"] = frames;
  report["resize_operations"] = frames * 4;
  report["nonclient_coverage_cases"] = cases;
  report["max_changed_pixels"] = max_changed;
  report["failures"] = failures;
  const std::filesystem::path folder = std::filesystem::path(executable_path()).parent_path();
  write_json_atomic((folder / L"render-stress.json").wstring(), report);
  return failures.empty();
}

}  // namespace corvane
