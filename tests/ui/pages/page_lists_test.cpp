// Page rebuilds against real windows: the columns and their widths across page switches, the
// value box and the buttons of the Windows customization page, the layout's second pass, and
// the row backgrounds the list paints.
#include "ui/app.h"

#include "support/dib_canvas.h"
#include "support/ui_app.h"

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <utility>

namespace corvane {
namespace {

using testing::DibCanvas;
using testing::pump_messages;
using testing::window_test_options;
using testing::WindowApp;

std::vector<std::wstring> header_titles(HWND list) {
  const HWND header = ListView_GetHeader(list);
  std::vector<std::wstring> titles;
  for (int i = 0; i < Header_GetItemCount(header); ++i) {
    wchar_t text[64] = {};
    HDITEMW item{};
    item.mask = HDI_TEXT;
    item.pszText = text;
    item.cchTextMax = 64;
    Header_GetItem(header, i, &item);
    titles.push_back(text);
  }
  return titles;
}

// The four widths the layout gives the columns of a list of this width on this page.
std::vector<int> expected_widths(const App& app, int page) {
  RECT list{};
  GetWindowRect(app.page_list, &list);
  const int rest = (list.right - list.left) - (GetSystemMetricsForDpi(SM_CXVSCROLL, app.renderer.dpi) +
                                               app.renderer.scale(4)) - app.renderer.scale(96);
  const int first = rest * (page == PAGE_STARTUP ? 42 : 48) / 100;
  const int status = rest * (page == PAGE_STARTUP ? 32 : 27) / 100;
  return {first, app.renderer.scale(96), status, rest - first - status};
}

std::vector<int> column_widths(HWND list) {
  std::vector<int> widths;
  for (int i = 0; i < 4; ++i) widths.push_back(ListView_GetColumnWidth(list, i));
  return widths;
}

TEST(PageColumns, TitlesAndWidthsFollowEverySwitchLanguageAndSize) {
  WindowApp app(window_test_options());
  ASSERT_TRUE(app.created());
  struct Step {
    int page;
    std::vector<std::wstring> titles;
  };
  const std::vector<std::wstring> features = {L"Item", L"Information", L"Status", L"Scope"};
  const Step steps[] = {
      {PAGE_CUSTOMIZATION, features},
      {PAGE_PRIVACY, features},
      {PAGE_STARTUP, {L"Item", L"Information", L"Status", L"Source"}},
      {PAGE_PERFORMANCE, features},
      {PAGE_CLEANUP, {L"Item", L"Information", L"Reclaimable", L"Files / tool"}},
      {PAGE_OVERVIEW, {}},
      {PAGE_BACKUPS, {L"Item", L"Information", L"Status", L"Type"}},
      {PAGE_LICENSES, {}},
      {PAGE_STARTUP, {L"Item", L"Information", L"Status", L"Source"}},
      {PAGE_ADVANCED, features},
  };
  for (const Step& step : steps) {
    app->show_page(step.page);
    EXPECT_EQ(header_titles(app->page_list), step.titles) << "page " << step.page;
    if (!step.titles.empty()) {
      EXPECT_EQ(column_widths(app->page_list), expected_widths(*app, step.page)) << step.page;
    }
  }

  app->switch_language(true);
  EXPECT_EQ(header_titles(app->page_list), (std::vector<std::wstring>{L"Mục", L"Information", L"Trạng thái", L"Phạm vi"}));
  app->show_page(PAGE_STARTUP);
  EXPECT_EQ(header_titles(app->page_list), (std::vector<std::wstring>{L"Mục", L"Information", L"Trạng thái", L"Nguồn"}));

  // A wider window widens the columns of the page shown.
  RECT window{};
  GetWindowRect(app->main_window, &window);
  SetWindowPos(app->main_window, nullptr, 0, 0, window.right - window.left + 160, window.bottom - window.top,
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  EXPECT_EQ(column_widths(app->page_list), expected_widths(*app, PAGE_STARTUP));
  app->show_page(PAGE_PRIVACY);
  EXPECT_EQ(column_widths(app->page_list), expected_widths(*app, PAGE_PRIVACY));
}

// A list that keeps less of column 0's width than it is given, as a list with a minimum or
// fixed-ratio column may; every other message passes unchanged.
LRESULT CALLBACK narrow_first_column(HWND window, UINT message, WPARAM wparam, LPARAM lparam, UINT_PTR, DWORD_PTR) {
  if (message == LVM_SETCOLUMNWIDTH && wparam == 0) lparam -= 10;
  return DefSubclassProc(window, message, wparam, lparam);
}

TEST(PageColumns, TheListsOwnWidthsArePutBackAndColumnThreeTakesWhatTheListReports) {
  WindowApp app(window_test_options());
  ASSERT_TRUE(app.created());
  if (app->renderer.dpi != 96) GTEST_SKIP() << "the prefix does not run at 96 dpi";
  // A client area 1212 pixels wide (the window's first size under Wine) leaves the other three
  // columns 791 pixels.
  RECT want{0, 0, 1212, 823};
  AdjustWindowRectEx(&want, WS_OVERLAPPEDWINDOW, FALSE, 0);
  SetWindowPos(app->main_window, nullptr, 0, 0, want.right - want.left, want.bottom - want.top,
               SWP_NOZORDER | SWP_NOMOVE | SWP_NOACTIVATE);
  pump_messages();
  app->show_page(PAGE_PERFORMANCE);
  ASSERT_EQ(expected_widths(*app, PAGE_PERFORMANCE), (std::vector<int>{379, 96, 213, 199}));
  // The list sizes its columns itself on Ctrl + numeric-keypad Plus or a dragged divider.
  const auto resized_by_the_list = [&] {
    const int widths[4] = {295, 96, 40, 199};
    for (int i = 0; i < 4; ++i) ListView_SetColumnWidth(app->page_list, i, widths[i]);
  };
  const std::pair<const char*, std::function<void()>> steps[] = {
      {"rebuild", [&] { app->populate_page(); }},
      {"page switch", [&] { app->show_page(PAGE_PERFORMANCE); }},
      {"layout", [&] { app->layout(); }},
  };
  for (const auto& [name, step] : steps) {
    resized_by_the_list();
    step();
    EXPECT_EQ(column_widths(app->page_list), (std::vector<int>{379, 96, 213, 199})) << name;
  }

  // Column 3 is the rest after the widths the list reports for columns 0 and 2.
  resized_by_the_list();
  ASSERT_TRUE(SetWindowSubclass(app->page_list, narrow_first_column, 1, 0));
  app->layout();
  EXPECT_EQ(column_widths(app->page_list), (std::vector<int>{369, 96, 213, 209}));
  RemoveWindowSubclass(app->page_list, narrow_first_column, 1);
}

// Counts the messages of one kind that reach a window.
class MessageCount {
 public:
  MessageCount(HWND window, UINT message) : window_(window), message_(message) {
    SetWindowSubclass(window_, count, reinterpret_cast<UINT_PTR>(this), reinterpret_cast<DWORD_PTR>(this));
  }
  ~MessageCount() { RemoveWindowSubclass(window_, count, reinterpret_cast<UINT_PTR>(this)); }
  int take() { return std::exchange(seen_, 0); }

 private:
  static LRESULT CALLBACK count(HWND window, UINT message, WPARAM wparam, LPARAM lparam, UINT_PTR, DWORD_PTR self) {
    auto* counter = reinterpret_cast<MessageCount*>(self);
    if (message == counter->message_) ++counter->seen_;
    return DefSubclassProc(window, message, wparam, lparam);
  }
  HWND window_;
  UINT message_;
  int seen_ = 0;
};

// Two features of the Windows customization page that offer values of their own.
std::vector<const Feature*> choice_features(App& app) {
  app.show_page(PAGE_CUSTOMIZATION);
  std::vector<const Feature*> found;
  for (const Feature* feature : app.shown_features) {
    if (feature->choices.size() >= 2 && app.available_on_build(*feature) &&
        (found.empty() || found.front()->choices.size() != feature->choices.size())) {
      found.push_back(feature);
    }
  }
  return found;
}

std::vector<std::wstring> combo_items(HWND combo) {
  std::vector<std::wstring> items;
  const auto count = SendMessageW(combo, CB_GETCOUNT, 0, 0);
  for (LRESULT i = 0; i < count; ++i) {
    std::wstring text(static_cast<std::size_t>(SendMessageW(combo, CB_GETLBTEXTLEN, static_cast<WPARAM>(i), 0)), L'\0');
    SendMessageW(combo, CB_GETLBTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(text.data()));
    items.push_back(text);
  }
  return items;
}

std::vector<std::wstring> labels(const Feature& feature, bool vietnamese) {
  std::vector<std::wstring> texts;
  for (const FeatureChoice& choice : feature.choices) texts.push_back(vietnamese ? choice.label_vi : choice.label_en);
  return texts;
}

// Makes the feature the only row (selected), through the search box as a user would.
void find(App& app, const Feature& feature) {
  app.search_text = app.options.vietnamese ? feature.title_vi : feature.title_en;
  app.populate_page();
  ASSERT_EQ(app.row_map.size(), 1u);
  ASSERT_EQ(app.shown_features[static_cast<std::size_t>(app.row_map[0])], &feature);
}

TEST(ValueBox, HoldsTheChoicesOfTheSelectedFeatureInTheLanguageShown) {
  WindowApp app(window_test_options());
  ASSERT_TRUE(app.created());
  const std::vector<const Feature*> features = choice_features(*app);
  ASSERT_GE(features.size(), 2u);
  const Feature& first = *features[0];
  const Feature& second = *features[1];
  app->chosen_values[first.id] = 1;
  app->chosen_values[second.id] = 0;

  find(*app, first);
  EXPECT_EQ(combo_items(app->value_combo), labels(first, false));
  EXPECT_EQ(SendMessageW(app->value_combo, CB_GETCURSEL, 0, 0), 1);
  find(*app, second);
  EXPECT_EQ(combo_items(app->value_combo), labels(second, false));
  EXPECT_EQ(SendMessageW(app->value_combo, CB_GETCURSEL, 0, 0), 0);
  find(*app, first);
  EXPECT_EQ(combo_items(app->value_combo), labels(first, false));
  EXPECT_EQ(SendMessageW(app->value_combo, CB_GETCURSEL, 0, 0), 1);
  app->search_text.clear();
  app->switch_language(true);
  find(*app, first);
  EXPECT_EQ(combo_items(app->value_combo), labels(first, true));
  EXPECT_EQ(SendMessageW(app->value_combo, CB_GETCURSEL, 0, 0), 1);
}

TEST(ValueBox, ButtonsEndRightAndNeverSwitchBackAndForthWithinARebuild) {
  WindowApp app(window_test_options());
  ASSERT_TRUE(app.created());
  const std::vector<const Feature*> features = choice_features(*app);
  ASSERT_FALSE(features.empty());
  const Feature& feature = *features[0];
  app->chosen_values[feature.id] = -1;  // no value picked yet
  find(*app, feature);
  EXPECT_FALSE(IsWindowEnabled(app->primary_button)) << "Review & apply waits for a value";
  EXPECT_TRUE(is_window_visible(app->value_combo));
  EXPECT_FALSE(is_window_visible(app->tertiary_button));

  MessageCount primary_enable(app->primary_button, WM_ENABLE);
  MessageCount combo_shown(app->value_combo, WM_SHOWWINDOW);
  MessageCount tertiary_shown(app->tertiary_button, WM_SHOWWINDOW);
  MessageCount primary_text(app->primary_button, WM_SETTEXT);
  app->populate_page();
  EXPECT_EQ(primary_enable.take(), 0);
  EXPECT_EQ(combo_shown.take(), 0);
  EXPECT_EQ(tertiary_shown.take(), 0);
  EXPECT_EQ(primary_text.take(), 0);
  EXPECT_FALSE(IsWindowEnabled(app->primary_button));

  app->chosen_values[feature.id] = 0;
  app->populate_page();
  EXPECT_EQ(primary_enable.take(), 1);
  EXPECT_TRUE(IsWindowEnabled(app->primary_button));

  // A feature without values brings button 203 back in place of the value box.
  app->search_text.clear();
  app->populate_page();
  for (std::size_t row = 0; row < app->row_map.size(); ++row) {
    const Feature& plain = *app->shown_features[static_cast<std::size_t>(app->row_map[row])];
    if (!plain.choices.empty() || !app->available_on_build(plain)) continue;
    ListView_SetItemState(app->page_list, static_cast<int>(row), LVIS_SELECTED | LVIS_FOCUSED,
                          LVIS_SELECTED | LVIS_FOCUSED);
    break;
  }
  EXPECT_FALSE(is_window_visible(app->value_combo));
  EXPECT_TRUE(is_window_visible(app->tertiary_button));
  EXPECT_TRUE(IsWindowEnabled(app->primary_button));
}

TEST(PageLayout, ASecondPassMovesNothingAndAResizeStillMovesTheValueBox) {
  WindowApp app(window_test_options(), true);
  ASSERT_TRUE(app.created());
  const std::vector<const Feature*> features = choice_features(*app);
  ASSERT_FALSE(features.empty());
  find(*app, *features[0]);
  ASSERT_TRUE(IsWindowVisible(app->value_combo));
  UpdateWindow(app->main_window);
  pump_messages();
  ValidateRect(app->main_window, nullptr);
  app->layout();
  RECT dirty{};
  EXPECT_FALSE(GetUpdateRect(app->main_window, &dirty, FALSE))
      << "repainted " << dirty.left << "," << dirty.top << " - " << dirty.right << "," << dirty.bottom;

  const auto combo_top = [&] {
    RECT rect{};
    GetWindowRect(app->value_combo, &rect);
    MapWindowPoints(HWND_DESKTOP, app->main_window, reinterpret_cast<POINT*>(&rect), 2);
    return rect.top;
  };
  const int before = combo_top();
  RECT window{};
  GetWindowRect(app->main_window, &window);
  SetWindowPos(app->main_window, nullptr, 0, 0, window.right - window.left, window.bottom - window.top + 100,
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  EXPECT_EQ(combo_top(), before + 100);
}

TEST(ListPaint, EachRowHasItsOwnBackground) {
  WindowApp app(window_test_options());
  ASSERT_TRUE(app.created());
  app->show_page(PAGE_PRIVACY);
  ASSERT_GE(app->row_map.size(), 3u);
  RECT client{};
  GetClientRect(app->page_list, &client);
  DibCanvas canvas(client.right, client.bottom);
  const auto background = [&](int row) {
    RECT cell{};
    ListView_GetSubItemRect(app->page_list, row, 1, LVIR_BOUNDS, &cell);
    return canvas.pixel(cell.left + 2, (cell.top + cell.bottom) / 2);
  };
  const auto print = [&] {
    canvas.clear(0x00FF00FF);
    SendMessageW(app->page_list, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(canvas.dc()), PRF_CLIENT);
  };
  print();
  EXPECT_EQ(background(0), app->renderer.colors[kColorSelected]);
  EXPECT_EQ(background(1), app->renderer.colors[kColorSurface]);
  EXPECT_EQ(background(2), app->renderer.colors[kColorSurface]);
  app->hot_row = 2;
  ListView_SetItemState(app->page_list, 1, LVIS_SELECTED, LVIS_SELECTED);
  print();
  EXPECT_EQ(background(0), app->renderer.colors[kColorSurface]);
  EXPECT_EQ(background(1), app->renderer.colors[kColorSelected]);
  EXPECT_EQ(background(2), app->renderer.colors[kColorHover]);
}

TEST(ListPaint, TheFirstCellIsAsWideAsTheListsFirstColumn) {
  WindowApp app(window_test_options());
  ASSERT_TRUE(app.created());
  app->show_page(PAGE_CUSTOMIZATION);  // every cell of this page is painted by the program
  ASSERT_FALSE(app->row_map.empty());
  const int laid_out = ListView_GetColumnWidth(app->page_list, 0);
  ListView_SetColumnWidth(app->page_list, 0, laid_out + 120);  // as a dragged divider leaves it
  RECT client{};
  GetClientRect(app->page_list, &client);
  DibCanvas canvas(client.right, client.bottom);
  SendMessageW(app->page_list, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(canvas.dc()), PRF_CLIENT);
  RECT row{};
  ListView_GetItemRect(app->page_list, 0, &row, LVIR_BOUNDS);
  const int y = (row.top + row.bottom) / 2;
  // Row 0 is selected: its first cell has the selection colour up to the column's edge.
  for (const int x : {laid_out + 4, laid_out + 60, laid_out + 116}) {
    EXPECT_EQ(canvas.pixel(row.left + x, y), app->renderer.colors[kColorSelected]) << x;
  }
}

TEST(ListPaint, TheFirstCellFollowsTheFirstColumnWidenedAfterAnEarlierPaint) {
  WindowApp app(window_test_options());
  ASSERT_TRUE(app.created());
  app->show_page(PAGE_CUSTOMIZATION);
  ASSERT_FALSE(app->row_map.empty());
  RECT client{};
  GetClientRect(app->page_list, &client);
  DibCanvas canvas(client.right, client.bottom);
  const auto print = [&] {
    canvas.clear(0x00FF00FF);
    SendMessageW(app->page_list, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(canvas.dc()), PRF_CLIENT);
  };
  const int laid_out = ListView_GetColumnWidth(app->page_list, 0);
  print();
  ListView_SetColumnWidth(app->page_list, 0, laid_out + 120);
  print();
  EXPECT_EQ(app->drawn_first_column_width, laid_out + 120);
  RECT row{};
  ListView_GetItemRect(app->page_list, 0, &row, LVIR_BOUNDS);
  const int y = (row.top + row.bottom) / 2;
  // Row 0 is selected: the second paint gives its first cell the selection colour up to the new edge.
  for (const int x : {laid_out + 4, laid_out + 60, laid_out + 116}) {
    EXPECT_EQ(canvas.pixel(row.left + x, y), app->renderer.colors[kColorSelected]) << x;
  }
}

}  // namespace
}  // namespace corvane
