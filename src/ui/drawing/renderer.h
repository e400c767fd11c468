#pragma once
// The drawing layer: palettes, fonts, brushes and the painting primitives that every
// surface of the user interface uses. Plain GDI on a DC handed in by the caller; Dear ImGui
// only tessellates rounded rectangles in the dark theme.

#include <windows.h>

#include <array>
#include <string>

struct ImDrawList;
struct ImGuiContext;

namespace corvane {

// COLORREF values (0x00BBGGRR), indexed by role.
using Palette = std::array<COLORREF, 12>;

enum ColorRole : int {
  kColorWindow = 0,         // window background
  kColorSurface = 1,        // cards, list, edits' body, tooltips
  kColorNavigation = 2,     // sidebar
  kColorText = 3,
  kColorSecondaryText = 4,
  kColorBorder = 5,
  kColorAccent = 6,
  kColorOnAccent = 7,       // text on accent
  kColorSelected = 8,
  kColorHover = 9,          // hover, progress track
  kColorField = 10,         // edit background
  kColorStrongBorder = 11,
};

enum FontRole : int {
  kFontBody = 0,      // default of every text primitive
  kFontTitle = 1,     // page title
  kFontLarge = 2,     // large figures of the overview cards
  kFontSmall = 3,     // list header, card captions
  kFontSemibold = 4,  // buttons, navigation, section headings, badge letter
  kFontIcon = 5,      // navigation glyphs, combo chevron
};

enum BrushRole : int {
  kBrushWindow = 0,      // colour 0
  kBrushSurface = 1,     // colour 1
  kBrushNavigation = 2,  // colour 2
  kBrushField = 3,       // colour 10
};

extern const Palette kDarkPalette;
extern const Palette kLightPalette;

// Fixed colours that both themes share.
inline constexpr COLORREF kBadgeColor = 0xDE7E25;
inline constexpr COLORREF kBadgeHotColor = 0xFB9D42;
inline constexpr COLORREF kBadgeLetterColor = 0xFFFFFF;
inline constexpr COLORREF kPrimaryHotDark = 0xFFC385;
inline constexpr COLORREF kPrimaryHotLight = 0xA35311;

// The two DrawText format sets of the user interface.
inline constexpr UINT kSingleLineFormat = DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_END_ELLIPSIS;
inline constexpr UINT kParagraphFormat = DT_WORDBREAK | DT_NOPREFIX;

struct Renderer {
  bool dark = true;
  UINT dpi = 96;
  Palette colors{};
  std::array<HFONT, 6> fonts{};
  std::array<HBRUSH, 4> brushes{};
  ImDrawList* draw_list = nullptr;
  // The library context this Renderer created; its shared data backs draw_list.
  ImGuiContext* imgui_context = nullptr;

  Renderer();
  ~Renderer();
  Renderer(const Renderer&) = delete;
  Renderer& operator=(const Renderer&) = delete;

  // Switches palette and dpi; every font and brush handed out before is destroyed, so the
  // caller restyles its controls afterwards.
  void set_theme(bool dark_theme, UINT new_dpi);
  // A 96-dpi length at the current dpi, rounded to the nearest pixel.
  int scale(int px) const;

  void fill_rect(HDC dc, const RECT& rect, COLORREF color) const;
  // Filled, no outline; radius in 96-dpi pixels. Radius 0 (or less) fills exactly the rect.
  void fill_round_rect(HDC dc, const RECT& rect, COLORREF color, int radius);
  // The dark theme's rounded rectangle: tessellated by the draw list, filled as GDI polygons.
  void fill_round_rect_geometry(HDC dc, const RECT& rect, COLORREF color, int radius);
  // A null font means the body font.
  void draw_text(HDC dc, const std::wstring& text, const RECT& rect, COLORREF color,
                 HFONT font = nullptr, UINT format = kSingleLineFormat) const;
  void draw_info_badge(HDC dc, const RECT& cell, bool hot);
  // fraction is clamped to 0..1.
  void draw_progress_bar(HDC dc, const RECT& rect, float fraction);

  // Themed controls (controls.cpp).
  void style_control(HWND control);
  void draw_button(const DRAWITEMSTRUCT& item, bool primary);
  void draw_combo_item(const DRAWITEMSTRUCT& item);
};

}  // namespace corvane
