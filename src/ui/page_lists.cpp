// The page list, the search box and the action buttons of the list pages.
#include "ui/app.h"

namespace corvane {

namespace {

struct ColumnTitles {
  Bilingual status;
  Bilingual scope;
};

ColumnTitles column_titles(int page) {
  switch (page) {
    case PAGE_CLEANUP: return {{L"Có thể dọn", L"Reclaimable"}, {L"Tập tin / công cụ", L"Files / tool"}};
    case PAGE_STARTUP: return {{L"Trạng thái", L"Status"}, {L"Nguồn", L"Source"}};
    case PAGE_BACKUPS: return {{L"Trạng thái", L"Status"}, {L"Loại", L"Type"}};
    default: return {{L"Trạng thái", L"Status"}, {L"Phạm vi", L"Scope"}};
  }
}

struct ButtonTexts {
  Bilingual primary;
  Bilingual secondary;
  Bilingual tertiary;
};

ButtonTexts button_texts(int page, bool review_view) {
  if (review_view) return {{L"Xem & xóa mục", L"Review & remove"}, {L"Quét lại", L"Scan again"}, {L"Xuất báo cáo", L"Export report"}};
  switch (page) {
    case PAGE_CLEANUP:
      return {{L"Quét vùng đã chọn", L"Scan selected areas"}, {L"Dọn tập tin đã quét", L"Clean scanned files"},
              {L"Xem tập tin", L"Review files"}};
    case PAGE_STARTUP:
      return {{L"Lưu cấu hình", L"Save configuration"}, {L"Xóa mục...", L"Remove entry..."}, {L"Làm mới", L"Refresh"}};
    case PAGE_BACKUPS:
      return {{L"Khôi phục bản đã chọn", L"Restore selected backup"}, {L"Mở thư mục sao lưu", L"Open backup folder"},
              {L"Xem bản sao lưu", L"Review backup"}};
    default:
      return {{L"Xem & áp dụng", L"Review & apply"}, {L"Khôi phục thay đổi", L"Restore changes"},
              {L"Mở mục đã chọn", L"Open selected item"}};
  }
}

}  // namespace

void App::hide_list_tip() {
  if (list_tip == nullptr || page_list == nullptr) return;
  TTTOOLINFOW tool{};
  tool.cbSize = sizeof(tool);
  tool.hwnd = page_list;
  tool.uId = 1;
  SendMessageW(list_tip, TTM_TRACKACTIVATE, FALSE, reinterpret_cast<LPARAM>(&tool));
}

void App::populate_page() {
  if (page_list == nullptr) return;
  const bool list_page = page >= PAGE_CLEANUP && page <= PAGE_BACKUPS;
  notify_guard = true;
  ListView_DeleteAllItems(page_list);
  row_map.clear();
  hot_row = -1;
  hot_subitem = -1;
  const HWND header = ListView_GetHeader(page_list);
  while (header != nullptr && Header_GetItemCount(header) > 0) ListView_DeleteColumn(page_list, 0);
  if (list_page) {
    const ColumnTitles titles = column_titles(page);
    const std::wstring names[4] = {text(L"Mục", L"Item"), L"Information", text(titles.status), text(titles.scope)};
    for (int i = 0; i < 4; ++i) {
      LVCOLUMNW column{};
      column.mask = LVCF_WIDTH | LVCF_TEXT;
      column.cx = 200;
      column.pszText = const_cast<wchar_t*>(names[i].c_str());
      ListView_InsertColumn(page_list, i, &column);
    }
    const ButtonTexts buttons = button_texts(page, review_view);
    SetWindowTextW(primary_button, text(buttons.primary).c_str());
    SetWindowTextW(secondary_button, text(buttons.secondary).c_str());
    SetWindowTextW(tertiary_button, text(buttons.tertiary).c_str());
  }
  notify_guard = false;

  const bool admin_action = page == PAGE_ADMIN && !system_info.elevated;
  if (admin_action) SetWindowTextW(primary_button, L"Run as Administrator");
  const int list_show = list_page ? SW_SHOW : SW_HIDE;
  ShowWindow(search_edit, list_show);
  ShowWindow(page_list, list_show);
  ShowWindow(primary_button, list_page || admin_action ? SW_SHOW : SW_HIDE);
  ShowWindow(secondary_button, list_show);
  ShowWindow(tertiary_button, list_show);
  layout();
  update_action_buttons();
}

}  // namespace corvane
