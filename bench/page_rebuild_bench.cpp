// Page rebuild benchmark: the Windows customization page rebuilt from the status cache (as a page
// switch back to it does) and after a search keystroke, each until painted and idle, against a
// list view with the product's styles, extended styles, row-height image list, font and four
// columns, filled with the same rows and texts with redrawing off and painted once. The target
// holds against that list with its list and header subclassed as ours are (like for like); the
// ratio against the same list without subclassing is printed beside it for scale. Ours and the
// references take turns round by round. Then the page timings of the smoke self-test.
//   page_rebuild_bench [--rounds N]   (default 20; other arguments are ignored)
#include "bench_support.h"
#include "services/documents.h"
#include "services/shell.h"
#include "ui/app.h"

#include <windows.h>
#include <commctrl.h>

#include <array>
#include <filesystem>

using namespace corvane;
using namespace corvane::bench;

namespace {

using RowTexts = std::array<std::wstring, 3>;  // columns 0, 2 and 3

std::wstring cell_text(HWND list, int row, int column) {
  wchar_t buffer[1024] = {};
  LVITEMW item{};
  item.iSubItem = column;
  item.pszText = buffer;
  item.cchTextMax = 1024;
  SendMessageW(list, LVM_GETITEMTEXTW, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
  return buffer;
}

std::vector<RowTexts> rows_of(HWND list) {
  std::vector<RowTexts> rows;
  const int count = ListView_GetItemCount(list);
  for (int row = 0; row < count; ++row) rows.push_back({cell_text(list, row, 0), cell_text(list, row, 2), cell_text(list, row, 3)});
  return rows;
}

LRESULT CALLBACK pass_through(HWND window, UINT message, WPARAM wparam, LPARAM lparam, UINT_PTR, DWORD_PTR) {
  return DefSubclassProc(window, message, wparam, lparam);
}

// The bare list view, in a window of its own at the place and size of the product's list. With
// `subclassed` the list and its header pass every message through an empty subclass procedure,
// as the product's list and header pass theirs through their own.
struct BareList {
  HWND host = nullptr;
  HWND list = nullptr;
  HIMAGELIST row_height = nullptr;
  HFONT font = nullptr;

  BareList(HWND product_list, const Renderer& renderer, bool subclassed) {
    WNDCLASSEXW host_class{};
    host_class.cbSize = sizeof(host_class);
    host_class.lpfnWndProc = DefWindowProcW;
    host_class.hInstance = GetModuleHandleW(nullptr);
    host_class.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    host_class.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    host_class.lpszClassName = L"Corvane.BenchListHost";
    RegisterClassExW(&host_class);  // the second registration fails harmlessly
    RECT place{};
    GetWindowRect(product_list, &place);
    host = CreateWindowExW(0, host_class.lpszClassName, L"Bare list", WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, 0, 0,
                           place.right - place.left + 40, place.bottom - place.top + 40, nullptr, nullptr,
                           GetModuleHandleW(nullptr), nullptr);
    list = CreateWindowExW(0, WC_LISTVIEWW, L"",
                           WS_CHILD | WS_VISIBLE | WS_TABSTOP | LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS |
                               LVS_NOSORTHEADER | LVS_SHAREIMAGELISTS,
                           0, 0, place.right - place.left, place.bottom - place.top, host, nullptr,
                           GetModuleHandleW(nullptr), nullptr);
    ListView_SetExtendedListViewStyle(list, LVS_EX_FULLROWSELECT | LVS_EX_INFOTIP | LVS_EX_DOUBLEBUFFER);
    font = CreateFontW(-renderer.scale(14), 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                       OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, CLEARTYPE_QUALITY, DEFAULT_PITCH, L"Segoe UI");
    SendMessageW(list, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    row_height = ImageList_Create(1, renderer.scale(40), ILC_COLOR32, 1, 0);
    ListView_SetImageList(list, row_height, LVSIL_SMALL);
    const wchar_t* titles[4] = {L"Item", L"Information", L"Status", L"Scope"};
    for (int i = 0; i < 4; ++i) {
      LVCOLUMNW column{};
      column.mask = LVCF_WIDTH | LVCF_TEXT;
      column.cx = ListView_GetColumnWidth(product_list, i);
      column.pszText = const_cast<wchar_t*>(titles[i]);
      ListView_InsertColumn(list, i, &column);
    }
    if (subclassed) {
      SetWindowSubclass(list, pass_through, 1, 0);
      SetWindowSubclass(ListView_GetHeader(list), pass_through, 1, 0);
    }
    ShowWindow(host, SW_SHOWNOACTIVATE);
    UpdateWindow(host);
  }
  ~BareList() {
    DestroyWindow(host);
    ImageList_Destroy(row_height);
    DeleteObject(font);
  }

  // Redrawing off, the rows replaced, redrawing on, one repaint.
  void fill(const std::vector<RowTexts>& rows) {
    SendMessageW(list, WM_SETREDRAW, FALSE, 0);
    ListView_DeleteAllItems(list);
    for (const RowTexts& texts : rows) {
      LVITEMW item{};
      item.mask = LVIF_TEXT;
      item.iItem = ListView_GetItemCount(list);
      item.pszText = const_cast<wchar_t*>(texts[0].c_str());
      const int row = ListView_InsertItem(list, &item);
      ListView_SetItemText(list, row, 2, const_cast<wchar_t*>(texts[1].c_str()));
      ListView_SetItemText(list, row, 3, const_cast<wchar_t*>(texts[2].c_str()));
    }
    ListView_SetItemState(list, 0, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
    SendMessageW(list, WM_SETREDRAW, TRUE, 0);
    RedrawWindow(list, nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN);
    drain_messages();
  }
};

// Runs Corvane's smoke test in each language and theme and prints its page timings.
void print_smoke_timings() {
  const std::filesystem::path build = std::filesystem::path(executable_path()).parent_path().parent_path();
  const std::wstring corvane = (build / L"Corvane.exe").wstring();
  for (const wchar_t* language : {L"en", L"vi"}) {
    for (const wchar_t* theme : {L"light", L"dark"}) {
      run_to_end(corvane, std::wstring(L"--smoke-test --language ") + language + L" --theme " + theme);
      const std::wstring report = (build / (std::wstring(L"ui-smoke-") + language + L"-" + theme + L".json")).wstring();
      try {
        const nlohmann::json document = read_json_file(report);
        const std::vector<double> timings = document.at("page_prepare_draw_ms").get<std::vector<double>>();
        std::printf("  smoke %ls-%ls: page preparation and drawing max %.1f ms (target 16), median %.1f ms (target 4)\n",
                    language, theme, *std::max_element(timings.begin(), timings.end()), median(timings));
      } catch (const std::exception& error) {
        std::printf("  smoke %ls-%ls: no report (%s)\n", language, theme, error.what());
      }
    }
  }
}

}  // namespace

int main(int argc, char** argv) {
  const int rounds = int_argument(argc, argv, "--rounds", 20);
  StartOptions options;
  options.smoke = true;  // no preferences read or written, no dialogs
  options.language_given = true;
  options.theme_given = true;
  options.dark = false;
  App app(options);
  if (!app.create_main_window(GetModuleHandleW(nullptr))) {
    std::fprintf(stderr, "page_rebuild_bench: no window\n");
    return 1;
  }
  ShowWindow(app.main_window, SW_SHOWNOACTIVATE);
  UpdateWindow(app.main_window);
  app.show_page(PAGE_CUSTOMIZATION);
  drain_messages();
  const std::vector<RowTexts> all_rows = rows_of(app.page_list);
  const wchar_t keystroke = L't';
  app.search_text = std::wstring(1, keystroke);
  app.populate_page();
  const std::vector<RowTexts> found_rows = rows_of(app.page_list);
  app.set_search_text_quietly(L"");
  app.populate_page();
  drain_messages();

  BareList bare(app.page_list, app.renderer, false);
  BareList bare_subclassed(app.page_list, app.renderer, true);
  bare.fill(all_rows);  // the first fill pays for loading what the list view needs
  bare_subclassed.fill(all_rows);

  std::vector<double> first;
  Paired cached;         // against the subclassed list
  Paired cached_bare;    // against the bare list
  Paired search;
  Paired search_bare;
  for (int round = 0; round < rounds; ++round) {
    first.push_back(time_ms([&] {
      app.status_text_cache.clear();
      app.current_values.clear();
      app.populate_page();
      drain_messages();
    }));
    const double ours = time_ms([&] {
      app.populate_page();
      drain_messages();
    });
    cached.add(ours, time_ms([&] { bare_subclassed.fill(all_rows); }));
    cached_bare.add(ours, time_ms([&] { bare.fill(all_rows); }));

    app.set_search_text_quietly(L"");
    app.populate_page();
    drain_messages();
    const double typed = time_ms([&] {
      SendMessageW(app.search_edit, WM_CHAR, keystroke, 1);
      drain_messages();
    });
    search.add(typed, time_ms([&] { bare_subclassed.fill(found_rows); }));
    search_bare.add(typed, time_ms([&] { bare.fill(found_rows); }));
    if (app.row_map.size() != found_rows.size()) {
      std::fprintf(stderr, "page_rebuild_bench: the keystroke left %zu rows, expected %zu\n", app.row_map.size(),
                   found_rows.size());
      return 1;
    }
  }
  app.set_search_text_quietly(L"");

  std::printf("page rebuild, Windows customization page (median of %d rounds)\n", rounds);
  std::printf("  %zu rows cached, %zu after the keystroke \"t\"; reference: the same list view with its list and\n"
              "  header subclassed by an empty procedure, as ours are, and without subclassing\n",
              all_rows.size(), found_rows.size());
  print_ratio("cached rebuild / subclassed list", cached, 1.15);
  print_untargeted_ratio("cached rebuild / bare list", cached_bare);
  print_ratio("search keystroke / subclassed list", search, 1.15);
  print_untargeted_ratio("search keystroke / bare list", search_bare);
  std::printf("  %-46s ours %8.2f ms\n", "first build after a refresh (registry reads)", median(first));
  DestroyWindow(app.main_window);
  drain_messages();
  print_smoke_timings();
  return 0;
}
