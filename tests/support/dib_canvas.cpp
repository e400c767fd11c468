#include "support/dib_canvas.h"

#include <stdexcept>

namespace corvane::testing {

namespace {

std::uint32_t to_bgra(COLORREF color) {
  return (static_cast<std::uint32_t>(GetRValue(color)) << 16) | (static_cast<std::uint32_t>(GetGValue(color)) << 8) |
         GetBValue(color);
}

}  // namespace

DibCanvas::DibCanvas(int width, int height, COLORREF background) : width_(width), height_(height) {
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  dc_ = CreateCompatibleDC(nullptr);
  bitmap_ = CreateDIBSection(dc_, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (dc_ == nullptr || bitmap_ == nullptr || bits == nullptr) throw std::runtime_error("DIB section not created");
  bits_ = static_cast<std::uint32_t*>(bits);
  previous_ = SelectObject(dc_, bitmap_);
  clear(background);
}

DibCanvas::~DibCanvas() {
  if (dc_ != nullptr && previous_ != nullptr) SelectObject(dc_, previous_);
  if (bitmap_ != nullptr) DeleteObject(bitmap_);
  if (dc_ != nullptr) DeleteDC(dc_);
}

COLORREF DibCanvas::pixel(int x, int y) const {
  GdiFlush();
  if (x < 0 || y < 0 || x >= width_ || y >= height_) throw std::out_of_range("pixel outside the canvas");
  const std::uint32_t value = bits_[static_cast<size_t>(y) * static_cast<size_t>(width_) + static_cast<size_t>(x)];
  return RGB((value >> 16) & 0xFF, (value >> 8) & 0xFF, value & 0xFF);
}

int DibCanvas::count(const RECT& rect, COLORREF color) const {
  GdiFlush();
  const std::uint32_t wanted = to_bgra(color);
  int found = 0;
  for (LONG y = rect.top; y < rect.bottom; ++y) {
    for (LONG x = rect.left; x < rect.right; ++x) {
      if (x < 0 || y < 0 || x >= width_ || y >= height_) continue;
      if ((bits_[static_cast<size_t>(y) * static_cast<size_t>(width_) + static_cast<size_t>(x)] & 0x00FFFFFFu) == wanted) {
        ++found;
      }
    }
  }
  return found;
}

int DibCanvas::count(COLORREF color) const {
  return count(RECT{0, 0, width_, height_}, color);
}

void DibCanvas::clear(COLORREF color) {
  GdiFlush();
  const std::uint32_t value = to_bgra(color);
  for (size_t i = 0; i < static_cast<size_t>(width_) * static_cast<size_t>(height_); ++i) bits_[i] = value;
}

}  // namespace corvane::testing
