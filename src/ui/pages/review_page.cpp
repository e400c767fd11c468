// The registry review on the Advanced tools page: starting it, removing a finding, the report.
#include "ui/app.h"

#include "services/registry_value.h"
#include "services/shell.h"

namespace corvane {

void App::audit_registry() {
  if (busy) return;
  hide_list_tip();
  page = PAGE_ADVANCED;
  update_nav_selection();
  review_view = true;
  review_entries.clear();
  set_search_text_quietly(L"");
  populate_page();
  redraw_content();
  start_work([this] {
    auto work = std::make_unique<Work>();
    work->kind = WORK_AUDIT;
    work->audit_entries = audit_registry_entries(&cancel);
    return work;
  });
}

void App::remove_review_finding() {
  const int selected = selected_index();
  if (selected < 0 || selected >= static_cast<int>(review_entries.size())) return;
  const AuditEntry entry = review_entries[static_cast<std::size_t>(selected)];
  if (!entry.repairable) {
    show_dialog(L"Corvane",
                text(L"Mục này chỉ có bằng chứng để kiểm tra thủ công, chưa đủ để xóa tự động.",
                     L"This evidence supports manual review only, not automatic deletion."),
                {text(L"Đóng", L"Close")});
    return;
  }
  if (entry.target.hive != kHiveCurrentUser && !system_info.elevated) {
    show_outcome(Outcome{false, text(L"Cần quyền quản trị", L"Administrator access required"), L"", 0, 0, 0});
    return;
  }
  const std::wstring body = entry.evidence + L"\r\n\r\n" + hive_display_name(entry.target.hive) + L"\\" +
                            entry.target.key + L"\\" + entry.target.name + L"\r\n\r\n" +
                            text(L"Sao lưu .reg trước khi xóa. Việc dọn Registry không bảo đảm tăng hiệu năng.",
                                 L"A .reg backup is saved before deletion. Registry cleaning does not guarantee "
                                 L"better performance.");
  if (!confirm(text(L"Xóa mục Registry", L"Remove registry entry"), body, text(L"Xóa mục", L"Remove entry"))) return;
  start_work([this, entry] {
    auto work = std::make_unique<Work>();
    work->outcome = remove_audit_entry(entry, &cancel, progress_callback());
    return work;
  });
}

void App::export_review_report() {
  const std::wstring path = write_audit_report(review_entries);
  shell_open(main_window, path);
}

}  // namespace corvane
