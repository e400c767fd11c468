// The Backup and restore page's action: restoring the selected backup document.
#include "ui/app.h"

#include "engines/backup_restore.h"
#include "services/documents.h"
#include "services/text.h"

namespace corvane {

bool App::load_backups() {
  try {
    backups = list_backups(acts_elevated());
    return true;
  } catch (const std::exception& error) {
    backups.clear();
    set_status(shown_refusal(utf8_to_wide_lenient(error.what()), options.vietnamese));
    return false;
  }
}

void App::backup_restore() {
  const int selected = selected_index();
  if (selected < 0 || selected >= static_cast<int>(backups.size())) return;
  const std::wstring path = backups[static_cast<std::size_t>(selected)];
  const auto slash = path.find_last_of(L"\\/");
  const std::wstring name = slash == std::wstring::npos ? path : path.substr(slash + 1);
  const std::wstring body =
      name + L"\r\n\r\n" +
      text(L"Khôi phục các giá trị trước thay đổi. Thao tác sẽ dừng nếu phát hiện giá trị đã được sửa tiếp sau bản "
           L"sao lưu này.",
           L"Restore the pre-change values. Stop if values have been modified again since this backup.");
  if (!confirm(text(L"Khôi phục cấu hình", L"Restore settings"), body, text(L"Khôi phục", L"Restore"))) return;
  RestoreHandlers handlers = system_restore_handlers();
  handlers.elevated = acts_elevated();
  start_work([this, path, handlers, vietnamese = options.vietnamese] {
    auto work = std::make_unique<Work>();
    work->kind = WORK_RESTORE;
    work->outcome = restore_backup(path, &cancel, progress_callback(), handlers);
    if (!work->outcome.ok) work->outcome.message = shown_refusal(work->outcome.message, vietnamese);
    return work;
  });
}

}  // namespace corvane
