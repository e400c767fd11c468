// The page model of the list pages: columns, rows, status texts, button texts and the search.
#include "ui/app.h"

#include "engines/feature_resolution.h"
#include "services/documents.h"
#include "services/registry.h"
#include "services/text.h"

#include <algorithm>

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

bool is_feature_page(int page) {
  return page == PAGE_CUSTOMIZATION || page == PAGE_PRIVACY || page == PAGE_PERFORMANCE || page == PAGE_ADVANCED;
}

// The three texts of a backup row; nullopt for a document that cannot be read or has the wrong shape.
struct BackupRow {
  std::wstring label;
  std::wstring state;
  std::wstring kind;
};

std::optional<BackupRow> read_backup_row(const std::wstring& path, bool elevated) {
  try {
    const nlohmann::json document = parse_json_document(read_document_text(path, nullptr, elevated));
    if (!document.is_object()) return std::nullopt;
    const auto field = [&document](const char* key) -> std::optional<std::wstring> {
      const auto found = document.find(key);
      if (found == document.end()) return std::wstring();
      if (!found->is_string()) return std::nullopt;
      return utf8_to_wide(found->get_ref<const std::string&>());
    };
    const auto label = field("label");
    const auto state = field("state");
    const auto kind = field("kind");
    if (!label || !state || !kind) return std::nullopt;
    return BackupRow{*label, *state, *kind};
  } catch (const std::exception&) {
    return std::nullopt;
  }
}

std::wstring backup_state_text(const std::wstring& state, bool vietnamese) {
  if (!vietnamese) return state;
  if (state == L"applied") return L"Đã áp dụng";
  if (state == L"restored") return L"Đã khôi phục";
  if (state == L"prepared") return L"Đã lưu trước thao tác";
  if (state == L"rolled-back") return L"Đã hoàn tác do lỗi";
  return state;
}

std::wstring file_name_of(const std::wstring& path) {
  const auto slash = path.find_last_of(L"\\/");
  return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

}  // namespace

bool App::available_on_build(const Feature& feature) const {
  return feature.supported_on(system_info.build);
}

std::wstring App::feature_status_text(const Feature& feature) {
  if (!available_on_build(feature)) return text(L"Không phù hợp bản Windows", L"Unavailable on this build");
  if (!feature.action.empty()) return text(L"Mở công cụ", L"Open tool");
  if (const auto cached = status_text_cache.find(feature.id); cached != status_text_cache.end()) return cached->second;
  try {
    std::wstring status;
    if (feature.choices.empty()) {
      status = text(L"Giá trị đã được đặt", L"Value is set");
      for (const RegistryValue& change : resolve_feature_changes(feature)) {
        if (!(read_registry_value(change) == change.value)) {
          status = text(L"Chưa áp dụng", L"Not applied");
          break;
        }
      }
    } else {
      const ValueState current = feature.changes.empty() ? ValueState{} : read_registry_value(feature.changes.front());
      current_values[feature.id] = -1;
      for (std::size_t i = 0; i < feature.choices.size(); ++i) {
        if (feature.choices[i].value == current) {
          current_values[feature.id] = static_cast<int>(i);
          status = text(feature.choices[i].label_vi.c_str(), feature.choices[i].label_en.c_str());
          break;
        }
      }
      if (status.empty()) status = current.exists ? text(L"Giá trị khác", L"Other value") : text(L"Chưa đặt riêng", L"Windows default");
    }
    status_text_cache[feature.id] = status;
    return status;
  } catch (const std::exception&) {
    return text(L"Không đọc được", L"Cannot read");
  }
}

void App::hide_list_tip() {
  if (page_list != nullptr) KillTimer(page_list, TIMER_LIST_TIP);
  if (list_tip == nullptr || page_list == nullptr) return;
  TTTOOLINFOW tool{};
  tool.cbSize = sizeof(tool);
  tool.hwnd = page_list;
  tool.uId = 1;
  SendMessageW(list_tip, TTM_TRACKACTIVATE, FALSE, reinterpret_cast<LPARAM>(&tool));
  SendMessageW(list_tip, TTM_POP, 0, 0);
  ShowWindow(list_tip, SW_HIDE);
}

void App::populate_page() {
  if (page_list == nullptr) return;
  notify_guard = true;
  hide_list_tip();
  hot_row = -1;
  hot_badge_row = -1;
  SendMessageW(page_list, WM_SETREDRAW, FALSE, 0);

  shown_features.clear();
  row_map.clear();
  ListView_DeleteAllItems(page_list);
  ListView_EnableGroupView(page_list, FALSE);
  ListView_RemoveAllGroups(page_list);

  const bool list_page = page != PAGE_OVERVIEW && !is_info_page();
  const ColumnTitles titles = column_titles(review_view ? PAGE_ADVANCED : page);
  const std::vector<std::wstring> columns =
      list_page ? std::vector<std::wstring>{text(L"Mục", L"Item"), L"Information", text(titles.status), text(titles.scope)}
                : std::vector<std::wstring>{};
  // The columns are made afresh only when their titles change: a page switch between two pages
  // with the same columns keeps them, and the layout below sets their widths either way.
  if (columns != list_column_titles) {
    while (ListView_DeleteColumn(page_list, 0)) {
    }
    list_column_titles.clear();
  }

  const int list_show = list_page ? SW_SHOW : SW_HIDE;
  for (HWND control : {search_edit, page_list, primary_button, secondary_button, tertiary_button}) {
    // Button 203 shares its place with the value box of the Windows customization page:
    // update_action_buttons below shows one of the two there.
    if (control == tertiary_button && value_box_page()) continue;
    ShowWindow(control, list_show);
  }
  show_info_controls();

  if (!list_page) {
    SendMessageW(page_list, WM_SETREDRAW, TRUE, 0);
    ShowWindow(page_list, SW_HIDE);
    if (page == PAGE_ADMIN && !system_info.elevated) {
      set_window_text_if_changed(primary_button, L"Run as Administrator");
      ShowWindow(primary_button, SW_SHOW);
      EnableWindow(primary_button, busy ? FALSE : TRUE);
    }
    notify_guard = false;
    update_control_states();
    layout();
    redraw_content();
    return;
  }

  list_check_boxes = !review_view && (page == PAGE_CLEANUP || page == PAGE_PRIVACY || page == PAGE_PERFORMANCE ||
                                      page == PAGE_ADVANCED);
  ListView_SetExtendedListViewStyleEx(page_list, LVS_EX_CHECKBOXES, list_check_boxes ? LVS_EX_CHECKBOXES : 0);

  if (list_column_titles.empty()) {
    for (int i = 0; i < 4; ++i) {
      LVCOLUMNW column{};
      column.mask = LVCF_WIDTH | LVCF_TEXT;
      column.cx = 200;
      column.pszText = const_cast<wchar_t*>(columns[static_cast<std::size_t>(i)].c_str());
      ListView_InsertColumn(page_list, i, &column);
    }
    list_column_titles = columns;
  }

  const ButtonTexts buttons = button_texts(page, review_view);
  set_window_text_if_changed(primary_button, text(buttons.primary));
  set_window_text_if_changed(secondary_button, text(buttons.secondary));
  set_window_text_if_changed(tertiary_button, text(buttons.tertiary));
  add_page_rows();
  // Buttons 201-203 are enabled outside the Cleanup page by update_control_states below, which
  // settles every control's state once, after the selection is known.

  if (!row_map.empty()) {
    ListView_SetItemState(page_list, 0, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
  }
  update_action_buttons();
  layout();
  SendMessageW(page_list, WM_SETREDRAW, TRUE, 0);
  RedrawWindow(page_list, nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN);
  notify_guard = false;
  update_control_states();
}

void App::add_page_rows() {
  const bool check_boxes = list_check_boxes;
  if (review_view) {
    for (std::size_t i = 0; i < review_entries.size(); ++i) {
      const AuditEntry& entry = review_entries[i];
      add_list_row(static_cast<int>(i), text(entry.title_vi.c_str(), entry.title_en.c_str()),
                   entry.repairable ? text(L"Có thể xem xét xóa", L"Removable after review")
                                    : text(L"Kiểm tra thủ công", L"Manual review"),
                   hive_display_name(entry.target.hive), false);
    }
    return;
  }
  switch (page) {
    case PAGE_CLEANUP: {
      for (std::size_t i = 0; i < cleanup_areas.size(); ++i) {
        const CleanupArea& area = cleanup_areas[i];
        std::wstring status = L"-";
        std::wstring scope = text(L"Chưa quét", L"Not scanned");
        if (!area.action.empty()) {
          status = text(L"Windows xử lý", L"Managed by Windows");
          scope = text(L"Mở riêng", L"Open separately");
        } else if (scan_usable && std::find(scan_result.scanned_areas.begin(), scan_result.scanned_areas.end(),
                                            area.id) != scan_result.scanned_areas.end()) {
          std::uint64_t bytes = 0;
          std::uint64_t count = 0;
          for (const CleanupItem& item : scan_result.items) {
            if (item.area_id != area.id) continue;
            bytes += item.size;
            ++count;
          }
          status = format_byte_size(bytes);
          scope = std::to_wstring(count);
        }
        add_list_row(static_cast<int>(i), text(area.name_vi.c_str(), area.name_en.c_str()), status, scope,
                     check_boxes && selected_area_ids.count(area.id) != 0);
      }
      const bool scanned = scan_usable;
      EnableWindow(secondary_button, scanned && !scan_result.items.empty());
      EnableWindow(tertiary_button, scanned);
      return;
    }
    case PAGE_STARTUP:
      for (std::size_t i = 0; i < startup_entries.size(); ++i) {
        const StartupEntry& entry = startup_entries[i];
        add_list_row(static_cast<int>(i), entry.name, startup_status_text(entry), entry.location, false);
      }
      return;
    case PAGE_BACKUPS:
      for (std::size_t i = 0; i < backups.size(); ++i) {
        const auto row = read_backup_row(backups[i], acts_elevated());
        if (!row) continue;
        add_list_row(static_cast<int>(i), row->label, backup_state_text(row->state, options.vietnamese), row->kind,
                     false);
      }
      return;
    default: break;
  }
  if (!is_feature_page(page)) return;
  for (const Feature& feature : feature_catalogue()) {
    if (feature.page == page) shown_features.push_back(&feature);
  }
  if (page == PAGE_CUSTOMIZATION) {
    for (int group = kGroupDesktop; group <= kGroupOther; ++group) {
      const TextPair label = customization_group_label(group);
      std::wstring header = options.vietnamese ? label.first : label.second;
      LVGROUP item{};
      item.cbSize = sizeof(item);
      item.mask = LVGF_HEADER | LVGF_GROUPID;
      item.pszHeader = header.data();
      item.iGroupId = group;
      ListView_InsertGroup(page_list, -1, &item);
    }
    ListView_EnableGroupView(page_list, TRUE);
  }
  for (std::size_t i = 0; i < shown_features.size(); ++i) {
    const Feature& feature = *shown_features[i];
    add_list_row(static_cast<int>(i), text(feature.title_vi.c_str(), feature.title_en.c_str()),
                 feature_status_text(feature),
                 feature.needs_admin ? text(L"Quản trị viên", L"Administrator") : text(L"Người dùng", L"Current user"),
                 check_boxes && checked_features.count(feature.id) != 0);
  }
}

void App::add_list_row(int model_index, const std::wstring& name, const std::wstring& second,
                       const std::wstring& third, bool checked) {
  if (!search_text.empty() &&
      lower_case(name + L" " + second + L" " + third).find(lower_case(search_text)) == std::wstring::npos) {
    return;
  }
  // Rows are only ever appended after the list was emptied, so the row map counts the list's rows.
  LVITEMW item{};
  item.mask = LVIF_TEXT;
  item.iItem = static_cast<int>(row_map.size());
  item.pszText = const_cast<wchar_t*>(name.c_str());
  if (page == PAGE_CUSTOMIZATION && !review_view && model_index >= 0 &&
      model_index < static_cast<int>(shown_features.size())) {
    item.mask |= LVIF_GROUPID;
    item.iGroupId = shown_features[static_cast<std::size_t>(model_index)]->group;
  }
  const int row = ListView_InsertItem(page_list, &item);
  if (row < 0) return;
  ListView_SetItemText(page_list, row, 2, const_cast<wchar_t*>(second.c_str()));
  ListView_SetItemText(page_list, row, 3, const_cast<wchar_t*>(third.c_str()));
  if (list_check_boxes) {
    ListView_SetItemState(page_list, row, INDEXTOSTATEIMAGEMASK(checked ? 2 : 1), LVIS_STATEIMAGEMASK);
  }
  row_map.push_back(model_index);
}

std::wstring App::list_tip_text(int row) const {
  if (row < 0 || row >= static_cast<int>(row_map.size())) return L"";
  const auto model = static_cast<std::size_t>(row_map[static_cast<std::size_t>(row)]);
  if (review_view) {
    if (model >= review_entries.size()) return L"";
    const AuditEntry& entry = review_entries[model];
    return entry.evidence + L"\r\n" + hive_display_name(entry.target.hive) + L"\\" + entry.target.key;
  }
  switch (page) {
    case PAGE_CLEANUP:
      if (model >= cleanup_areas.size()) return L"";
      return text(cleanup_areas[model].description_vi.c_str(), cleanup_areas[model].description_en.c_str());
    case PAGE_STARTUP: {
      if (model >= startup_entries.size()) return L"";
      const StartupEntry& entry = startup_entries[model];
      return entry.target + L"\r\n" + entry.key_path + L"\r\n\r\n" +
             (startup_pending(entry) ? text(L"Thay đổi chưa lưu. ", L"Unsaved change. ") : std::wstring()) +
             text(L"Nhấp đúp để đổi trạng thái; bấm Lưu cấu hình để áp dụng. Mục màu cam cần được kiểm tra trong Windows.",
                  L"Double-click to change the status; choose Save configuration to apply. Orange entries require "
                  L"review in Windows.");
    }
    case PAGE_BACKUPS:
      if (model >= backups.size()) return L"";
      return file_name_of(backups[model]) + L"\r\n" +
             text(L"Khôi phục các giá trị gốc được ghi lại trong bản sao lưu này.",
                  L"Restore the original values recorded in this backup.");
    default:
      if (model >= shown_features.size()) return L"";
      return text(shown_features[model]->description_vi.c_str(), shown_features[model]->description_en.c_str());
  }
}

}  // namespace corvane
