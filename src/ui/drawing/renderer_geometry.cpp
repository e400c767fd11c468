#include "imgui.h"
#include "ui/drawing/gdi_scope.h"
#include "ui/drawing/renderer.h"

namespace corvane {

void Renderer::fill_round_rect_geometry(HDC dc, const RECT& rect, COLORREF color, int radius) {
  if (draw_list == nullptr || rect.right <= rect.left || rect.bottom <= rect.top) return;
  ImDrawList& list = *draw_list;
  list._ResetForNewFrame();
  // No anti-aliased fill: only the shape's own triangles, no fringe.
  list.Flags = ImDrawListFlags_None;
  const ImVec2 top_left(static_cast<float>(rect.left), static_cast<float>(rect.top));
  const ImVec2 bottom_right(static_cast<float>(rect.right), static_cast<float>(rect.bottom));
  list.PushClipRect(top_left, bottom_right, false);
  list.AddRectFilled(top_left, bottom_right, static_cast<ImU32>(color) | 0xFF000000u,
                     static_cast<float>(scale(radius)), ImDrawFlags_RoundCornersAll);

  SelectionScope pen(dc, GetStockObject(NULL_PEN));
  SelectionScope brush(dc, GetStockObject(DC_BRUSH));
  SetDCBrushColor(dc, color);
  const int index_count = list.IdxBuffer.Size;
  for (int i = 0; i + 2 < index_count; i += 3) {
    POINT triangle[3];
    for (int corner = 0; corner < 3; ++corner) {
      const ImDrawIdx index = list.IdxBuffer[i + corner];
      if (index >= static_cast<unsigned>(list.VtxBuffer.Size)) return;
      const ImVec2& position = list.VtxBuffer[index].pos;
      triangle[corner].x = static_cast<LONG>(position.x + 0.5f);
      triangle[corner].y = static_cast<LONG>(position.y + 0.5f);
    }
    Polygon(dc, triangle, 3);
  }
}

}  // namespace corvane
