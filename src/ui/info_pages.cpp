// The information pages (Options, Administrator access, Donate, Licenses, About, Updates).
#include "ui/app.h"

namespace corvane {

void App::paint_info_page(HDC dc, const RECT& client) {
  const int x0 = renderer.scale(272);
  const int right = client.right - renderer.scale(32);
  int bottom = 0;
  switch (page) {
    case PAGE_OPTIONS:
    case PAGE_ADMIN: bottom = renderer.scale(474); break;
    case PAGE_LICENSES: bottom = client.bottom - renderer.scale(54); break;
    case PAGE_UPDATES: bottom = client.bottom - renderer.scale(104); break;
    default: return;
  }
  renderer.fill_round_rect(dc, RECT{x0, renderer.scale(125), right, bottom}, renderer.colors[kColorSurface], 8);
}

}  // namespace corvane
