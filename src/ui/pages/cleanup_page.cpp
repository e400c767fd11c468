// The Cleanup page's actions: scanning the ticked areas, the confirmed cleanup run, the review
// of the scanned files with its export, and the review of a backup document.
#include "ui/app.h"

#include "engines/cleanup_run.h"
#include "services/directory_listing.h"
#include "services/documents.h"
#include "services/shell.h"
#include "services/text.h"

#include <nlohmann/json.hpp>

namespace corvane {

namespace {

constexpr std::size_t kPreviewLines = 1000;

}  // namespace

std::wstring write_scan_export(const ScanResult& scan) {
  nlohmann::json items = nlohmann::json::array();
  for (const CleanupItem& item : scan.items) {
    items.push_back({{"bytes", item.size}, {"group", item.area_id}, {"path", wide_to_utf8(item.path)}});
  }
  const std::wstring path = join_path(reports_folder(), utf8_to_wide(make_stamp()) + L"-scan.json");
  write_json_atomic(path, items);
  return path;
}

std::vector<CleanupArea> App::selected_cleanup_areas() const {
  std::vector<CleanupArea> areas;
  for (const CleanupArea& area : cleanup_areas) {
    if (area.action.empty() && selected_area_ids.count(area.id) != 0) areas.push_back(area);
  }
  return areas;
}

void App::scan() {
  std::vector<CleanupArea> areas = selected_cleanup_areas();
  if (areas.empty()) {
    set_status(text(L"Chọn ít nhất một vùng tập tin để quét.", L"Select at least one file area to scan."));
    return;
  }
  start_work([this, areas = std::move(areas), elevated = acts_elevated()] {
    auto work = std::make_unique<Work>();
    work->kind = WORK_SCAN;
    work->scan = scan_cleanup_areas(areas, &cancel, progress_callback(), elevated);
    return work;
  });
}

void App::clean() {
  if (!scan_usable || scan_result.items.empty()) return;
  std::uint64_t total = 0;
  for (const CleanupItem& item : scan_result.items) total += item.size;
  const std::wstring body =
      std::to_wstring(scan_result.items.size()) + text(L" tập tin - ", L" files - ") + format_byte_size(total) +
      L"\r\n\r\n" +
      text(L"Xóa vĩnh viễn các tập tin trong lần quét này. Tập tin đã thay đổi, đang được dùng hoặc bị chuyển hướng "
           L"sẽ được bỏ qua. Dùng Xem tập tin để kiểm tra từng đường dẫn trước khi tiếp tục.",
           L"Permanently delete the files in this scan. Changed, in-use or redirected files will be skipped. Use "
           L"Review files to inspect every path before continuing.");
  if (!confirm(text(L"Xác nhận dọn dẹp", L"Confirm cleanup"), body, text(L"Xóa tập tin", L"Delete files"))) return;
  // The areas ticked now, after the dialog; the scan is read in place by the worker.
  start_work([this, areas = selected_cleanup_areas(), elevated = acts_elevated()] {
    auto work = std::make_unique<Work>();
    work->kind = WORK_CLEAN;
    work->outcome = execute_cleanup(scan_result, areas, &cancel, progress_callback(), elevated);
    return work;
  });
}

void App::review_files() {
  if (page == PAGE_BACKUPS) {
    const int selected = selected_index();
    if (selected < 0 || selected >= static_cast<int>(backups.size())) return;
    const std::wstring& path = backups[static_cast<std::size_t>(selected)];
    const nlohmann::json document = parse_json_document(read_document_text(path, nullptr, acts_elevated()));
    const std::wstring body = utf8_to_wide(document.dump(2, ' ', false));
    show_dialog(text(L"Bản sao lưu", L"Backup"), body, {text(L"Đóng", L"Close")});
    return;
  }
  if (page != PAGE_CLEANUP || !scan_usable) return;
  std::wstring body = text(L"Các tập tin đã quét. Việc xóa là vĩnh viễn; bản sao lưu Registry không khôi phục được "
                           L"tập tin.\r\n\r\n",
                           L"Scanned files. Deletion is permanent; registry backups cannot recover files.\r\n\r\n");
  const std::size_t shown = std::min(scan_result.items.size(), kPreviewLines);
  for (std::size_t i = 0; i < shown; ++i) {
    const CleanupItem& item = scan_result.items[i];
    body += item.path + L"  [" + format_byte_size(item.size) + L"]\r\n";
  }
  if (scan_result.items.size() > kPreviewLines) {
    body += text(L"\r\nChỉ hiển thị 1.000 tập tin đầu tiên. Hãy xuất báo cáo để xem danh sách đầy đủ.",
                 L"\r\nShowing the first 1,000 files. Export for the complete list.");
  }
  const int answer = show_dialog(text(L"Xem trước dọn dẹp", L"Cleanup preview"), body,
                                 {text(L"Xuất báo cáo", L"Export report"), text(L"Đóng", L"Close")});
  if (answer != 0) return;
  const std::wstring path = write_scan_export(scan_result);
  shell_open(main_window, path);
}

void App::open_cleanup_tool_or_review() {
  const int selected = selected_index();
  if (selected >= 0 && selected < static_cast<int>(cleanup_areas.size())) {
    const std::wstring& action = cleanup_areas[static_cast<std::size_t>(selected)].action;
    if (action == L"@recycle") {
      shell_open(main_window, L"shell:RecycleBinFolder");
      return;
    }
    if (!action.empty()) {
      shell_open(main_window, join_path(windows_folder(), L"System32/cleanmgr.exe"));
      return;
    }
  }
  review_files();
}

}  // namespace corvane
