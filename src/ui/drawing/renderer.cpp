#include "ui/drawing/renderer.h"

#include <uxtheme.h>

#include <algorithm>
#include <cmath>

#include "imgui.h"
#include "imgui_internal.h"
#include "ui/drawing/gdi_scope.h"

namespace corvane {

namespace {

struct FontSpec {
  const wchar_t* face;
  int size;  // character height at 96 dpi
  int weight;
};

constexpr FontSpec kFontSpecs[6] = {
    {L"Segoe UI", 14, 400},           // body
    {L"Segoe UI", 28, 600},           // title
    {L"Segoe UI", 31, 600},           // large figures
    {L"Segoe UI", 12, 400},           // small
    {L"Segoe UI", 14, 600},           // semibold
    {L"Segoe MDL2 Assets", 17, 400},  // icon
};

constexpr int kBrushColorRoles[4] = {kColorWindow, kColorSurface, kColorNavigation, kColorField};

template <class Handles>
void delete_all(Handles& handles) {
  for (auto& handle : handles) {
    if (handle != nullptr) DeleteObject(handle);
    handle = nullptr;
  }
}

}  // namespace

Renderer::Renderer() {
  BufferedPaintInit();
  IMGUI_CHECKVERSION();
  // The context of this Renderer becomes current only while it is set up, so a second
  // Renderer never binds its draw list to another one's shared data.
  ImGuiContext* previous = ImGui::GetCurrentContext();
  imgui_context = ImGui::CreateContext(nullptr);
  ImGui::SetCurrentContext(imgui_context);
  ImGui::GetIO().IniFilename = nullptr;
  ImDrawListSharedData* shared = ImGui::GetDrawListSharedData();
  shared->SetCircleTessellationMaxError(0.3f);
  shared->CurveTessellationTol = 0.3f;
  draw_list = IM_NEW(ImDrawList)(shared);
  if (previous != nullptr) ImGui::SetCurrentContext(previous);
  set_theme(true, 96);
}

Renderer::~Renderer() {
  delete_all(fonts);
  delete_all(brushes);
  IM_DELETE(draw_list);
  draw_list = nullptr;
  ImGui::DestroyContext(imgui_context);
  imgui_context = nullptr;
  BufferedPaintUnInit();
}

void Renderer::set_theme(bool dark_theme, UINT new_dpi) {
  dark = dark_theme;
  dpi = new_dpi == 0 ? 96 : new_dpi;
  colors = dark ? kDarkPalette : kLightPalette;
  delete_all(fonts);
  delete_all(brushes);
  for (size_t i = 0; i < fonts.size(); ++i) {
    const FontSpec& font = kFontSpecs[i];
    fonts[i] = CreateFontW(-scale(font.size), 0, 0, 0, font.weight, FALSE, FALSE, FALSE,
                           DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                           CLEARTYPE_QUALITY, DEFAULT_PITCH, font.face);
  }
  for (size_t i = 0; i < brushes.size(); ++i) {
    brushes[i] = CreateSolidBrush(colors[static_cast<size_t>(kBrushColorRoles[i])]);
  }
}

int Renderer::scale(int px) const {
  return MulDiv(px, static_cast<int>(dpi), 96);
}

void Renderer::fill_rect(HDC dc, const RECT& rect, COLORREF color) const {
  SetDCBrushColor(dc, color);
  FillRect(dc, &rect, static_cast<HBRUSH>(GetStockObject(DC_BRUSH)));
}

void Renderer::fill_round_rect(HDC dc, const RECT& rect, COLORREF color, int radius) {
  // RoundRect would draw a reversed rect as if it were normalised; FillRect draws nothing.
  if (rect.right <= rect.left || rect.bottom <= rect.top) return;
  // RoundRect without a pen leaves the last column and row unpainted, so a square corner
  // is always a plain fill of exactly the rect.
  if (radius <= 0) {
    fill_rect(dc, rect, color);
    return;
  }
  if (dark) {
    fill_round_rect_geometry(dc, rect, color, radius);
    return;
  }
  SelectionScope pen(dc, GetStockObject(NULL_PEN));
  SelectionScope brush(dc, GetStockObject(DC_BRUSH));
  SetDCBrushColor(dc, color);
  const int diameter = scale(2 * radius);
  RoundRect(dc, rect.left, rect.top, rect.right, rect.bottom, diameter, diameter);
}

void Renderer::draw_text(HDC dc, const std::wstring& text, const RECT& rect, COLORREF color,
                         HFONT font, UINT format) const {
  HFONT chosen = font != nullptr ? font : fonts[kFontBody];
  SelectionScope selection(dc, chosen);
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, color);
  RECT area = rect;
  DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &area, format);
}

void Renderer::draw_info_badge(HDC dc, const RECT& cell, bool hot) {
  const int diameter = scale(18);
  const int left = (cell.left + cell.right - diameter) / 2;
  const int top = (cell.top + cell.bottom - diameter) / 2;
  {
    SelectionScope pen(dc, GetStockObject(NULL_PEN));
    SelectionScope brush(dc, GetStockObject(DC_BRUSH));
    SetDCBrushColor(dc, hot ? kBadgeHotColor : kBadgeColor);
    Ellipse(dc, left, top, left + diameter, top + diameter);
  }
  const int lift = scale(1);
  const RECT letter{left, top - lift, left + diameter, top + diameter - lift};
  HFONT font = fonts[kFontSemibold] != nullptr ? fonts[kFontSemibold] : fonts[kFontBody];
  draw_text(dc, L"i", letter, kBadgeLetterColor, font, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
}

void Renderer::draw_progress_bar(HDC dc, const RECT& rect, float fraction) {
  fill_round_rect(dc, rect, colors[kColorHover], 4);
  // NaN compares false both ways and counts as nothing done.
  const float clamped = fraction > 0.0f ? std::min(fraction, 1.0f) : 0.0f;
  const int width = static_cast<int>(std::trunc(static_cast<float>(rect.right - rect.left) * clamped));
  if (width <= 0) return;
  const RECT filled{rect.left, rect.top, rect.left + width, rect.bottom};
  fill_round_rect(dc, filled, colors[kColorAccent], 4);
}

}  // namespace corvane
