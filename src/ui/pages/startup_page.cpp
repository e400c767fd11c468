// The Startup page's model: pending switches, the state they lead to and the status texts.
#include "ui/app.h"

namespace corvane {

std::wstring startup_entry_key(const StartupEntry& entry) {
  return std::to_wstring(static_cast<int>(entry.kind)) + L"|" + std::to_wstring(entry.hive) + L"|" +
         (entry.view32 ? L"32|" : L"64|") + entry.key_path + L"\n" + entry.name;
}

bool App::startup_pending(const StartupEntry& entry) const {
  return pending_startup_changes.count(startup_entry_key(entry)) != 0;
}

bool App::startup_effective_enabled(const StartupEntry& entry) const {
  const auto pending = pending_startup_changes.find(startup_entry_key(entry));
  return pending != pending_startup_changes.end() ? pending->second.enable : entry.enabled;
}

std::wstring App::startup_status_text(const StartupEntry& entry) const {
  if (!entry.approval_known && !startup_pending(entry)) return text(L"Kiểm tra trong Windows", L"Review in Windows");
  return startup_effective_enabled(entry) ? text(L"Đang bật", L"Enabled") : text(L"Đang tắt", L"Disabled");
}

void App::toggle_startup_pending(const StartupEntry& entry) {
  const std::wstring key = startup_entry_key(entry);
  if (pending_startup_changes.erase(key) == 0) pending_startup_changes[key] = PendingStartupChange{entry, !entry.enabled};
}

void App::toggle_selected_startup() {
  if (busy || page != PAGE_STARTUP) return;
  const int index = selected_index();
  if (index < 0 || index >= static_cast<int>(startup_entries.size())) return;
  const StartupEntry& entry = startup_entries[static_cast<std::size_t>(index)];
  toggle_startup_pending(entry);
  const int row = ListView_GetNextItem(page_list, -1, LVNI_SELECTED);
  std::wstring status = startup_status_text(entry);
  ListView_SetItemText(page_list, row, 2, status.data());
  ListView_RedrawItems(page_list, row, row);
  EnableWindow(primary_button, pending_startup_changes.empty() ? FALSE : TRUE);
  const std::size_t count = pending_startup_changes.size();
  set_status(count == 0 ? text(L"Không có thay đổi chưa lưu", L"No unsaved changes")
                        : std::to_wstring(count) + text(L" thay đổi chưa lưu - Bấm Lưu cấu hình để áp dụng",
                                                         L" unsaved changes - Choose Save configuration to apply"));
}

}  // namespace corvane
