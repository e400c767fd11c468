#pragma once
// The program's own modal dialog: its state and geometry.

#include "ui/drawing/renderer.h"

#include <windows.h>

#include <string>
#include <vector>

namespace corvane {

constexpr int ID_DIALOG_TEXT = 900;
constexpr int ID_DIALOG_BUTTON_BASE = 1000;

// Lives on the stack of App::show_dialog; the dialog window keeps a pointer to it.
struct DialogState {
  Renderer* renderer = nullptr;
  HWND owner = nullptr;
  HWND text_edit = nullptr;
  std::wstring text;  // line breaks already "\r\n"
  std::vector<std::wstring> labels;
  int result = -1;
  bool done = false;
};

// Every "\n" not preceded by "\r" becomes "\r\n".
std::wstring normalize_line_breaks(const std::wstring& text);

// Button `index` of `count` in a client area `width` x `height`; `scale` maps 96-dpi pixels.
template <typename Scale>
RECT dialog_button_rect(int index, int count, int width, int height, Scale scale) {
  const int left = width - (count - index) * scale(160) - scale(24) + scale(10);
  const int top = height - scale(36) - scale(24);
  return RECT{left, top, left + scale(150), top + scale(36)};
}

}  // namespace corvane
