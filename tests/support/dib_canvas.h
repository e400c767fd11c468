#pragma once
// A 32-bit top-down DIB section selected into a memory DC, for reading painted pixels back.

#include <windows.h>

#include <cstdint>

namespace corvane::testing {

class DibCanvas {
 public:
  // Every pixel starts as `background` (a COLORREF).
  DibCanvas(int width, int height, COLORREF background = 0x00FF00FF);
  ~DibCanvas();
  DibCanvas(const DibCanvas&) = delete;
  DibCanvas& operator=(const DibCanvas&) = delete;

  HDC dc() const { return dc_; }
  int width() const { return width_; }
  int height() const { return height_; }
  // The pixel as a COLORREF (0x00BBGGRR); GDI work is flushed first.
  COLORREF pixel(int x, int y) const;
  // Number of pixels inside `rect` that equal `color`.
  int count(const RECT& rect, COLORREF color) const;
  // Number of pixels of the whole canvas that equal `color`.
  int count(COLORREF color) const;
  void clear(COLORREF color);

 private:
  int width_;
  int height_;
  HDC dc_ = nullptr;
  HBITMAP bitmap_ = nullptr;
  HGDIOBJ previous_ = nullptr;
  std::uint32_t* bits_ = nullptr;
};

}  // namespace corvane::testing
