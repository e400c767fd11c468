// The Startup page: pending switches, the state they lead to and the status texts; saving them,
// removing an entry, and taking a listing or a save into the page.
#include "ui/app.h"

#include "engines/startup_change.h"
#include "services/text.h"

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

std::unique_ptr<Work> save_startup_changes(const std::map<std::wstring, PendingStartupChange>& changes,
                                           const CancelFlag* cancel, const ProgressFn& progress,
                                           StartupChanger change, bool vietnamese) {
  auto work = std::make_unique<Work>();
  work->kind = WORK_STARTUP_SAVE;
  const std::uint64_t total = changes.size();
  report_progress(progress, 0, total, L"");
  std::uint64_t done = 0;
  for (const auto& [key, pending] : changes) {
    if (is_cancelled(cancel)) {
      work->outcome.ok = false;
      break;
    }
    Outcome result;
    try {
      result = change(pending.entry, pending.enable, false);
    } catch (const std::exception& error) {
      // A platform or library text may not be UTF-8; it must not cost the other results.
      result.ok = false;
      result.message = utf8_to_wide_lenient(error.what());
    }
    if (result.ok) {
      work->saved_startup_keys.push_back(key);
      ++work->outcome.affected;
    } else {
      work->outcome.ok = false;
      ++work->outcome.skipped;
      work->outcome.message += pending.entry.name + L": " + shown_refusal(result.message, vietnamese) + L"\r\n";
    }
    report_progress(progress, ++done, total, pending.entry.name);
  }
  return work;
}

void App::startup_save() {
  if (busy || pending_startup_changes.empty()) return;
  for (const auto& [key, pending] : pending_startup_changes) {
    if (pending.entry.needs_admin && !system_info.elevated) {
      show_page(PAGE_ADMIN);
      set_status(text(L"Các thay đổi vẫn chưa lưu. Cần quyền quản trị cho mục hệ thống.",
                      L"Changes remain unsaved. System entries require administrator access."));
      return;
    }
  }
  start_work([this, changes = pending_startup_changes, vietnamese = options.vietnamese] {
    return save_startup_changes(changes, &cancel, progress_callback(), change_startup_entry, vietnamese);
  });
}

void App::startup_change(bool enable, bool remove) {
  const int index = selected_index();
  if (index < 0 || index >= static_cast<int>(startup_entries.size())) return;
  const StartupEntry entry = startup_entries[static_cast<std::size_t>(index)];
  if (entry.needs_admin && !system_info.elevated) {
    show_dialog(L"Corvane",
                text(L"Mục hệ thống cần mở Corvane với quyền quản trị.",
                     L"System entries require running Corvane as administrator."),
                {text(L"Đóng", L"Close")});
    return;
  }
  const std::wstring body = entry.name + L"\r\n" + entry.target + L"\r\n\r\n" +
                            text(L"Thao tác ảnh hưởng lần đăng nhập hoặc lần chạy tác vụ tiếp theo. Corvane lưu bản "
                                 L"sao trước khi thay đổi.",
                                 L"This affects the next sign-in or task run. Corvane saves a backup before changing "
                                 L"it.");
  if (!confirm(text(L"Xóa mục", L"Remove entry"), body, text(L"Xóa mục", L"Remove entry"))) return;
  start_work([entry, enable, remove, vietnamese = options.vietnamese] {
    auto work = std::make_unique<Work>();
    work->outcome = change_startup_entry(entry, enable, remove);
    if (!work->outcome.ok) work->outcome.message = shown_refusal(work->outcome.message, vietnamese);
    return work;
  });
}

void App::take_startup_listing(Work& work) {
  startup_entries = std::move(work.startup_entries);
  // An entry with an unsaved change stays visible even when the listing no longer has it.
  std::set<std::wstring> listed;
  for (const StartupEntry& entry : startup_entries) listed.insert(startup_entry_key(entry));
  for (const auto& [key, pending] : pending_startup_changes) {
    if (listed.count(key) == 0) startup_entries.push_back(pending.entry);
  }
  startup_icons.swap(work.startup_icons);
  startup_loaded = cancel.load() == 0;
  set_status(std::to_wstring(startup_entries.size()) + text(L" mục đã tải", L" entries loaded"));
}

void App::take_saved_startup_keys(const Work& work) {
  for (const std::wstring& key : work.saved_startup_keys) {
    const auto pending = pending_startup_changes.find(key);
    if (pending == pending_startup_changes.end()) continue;
    for (StartupEntry& entry : startup_entries) {
      if (startup_entry_key(entry) == key) entry.enabled = pending->second.enable;
    }
    pending_startup_changes.erase(pending);
  }
}

}  // namespace corvane
