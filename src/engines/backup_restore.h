#pragma once
// Undoes the change that one backup document records: registry documents value by value,
// power-plan and startup documents through their own engines; owner documents only get advice.

#include "services/progress.h"
#include "services/registry_value.h"

#include <nlohmann/json.hpp>

#include <functional>
#include <string>

namespace corvane {

// Why an elevated restore refused a document that unelevated programs could have changed. The
// outcome carries the English text, as every engine outcome does; the Vietnamese one is its
// translation for the user interface.
inline constexpr wchar_t kUnprotectedBackupMessage[] =
    L"This backup can be changed without administrator rights. Restore it with Corvane running without "
    L"administrator access.";
inline constexpr wchar_t kUnprotectedBackupMessageVi[] =
    L"Bản sao lưu này có thể bị thay đổi khi không có quyền quản trị. Hãy khôi phục khi mở Corvane không dùng "
    L"quyền quản trị.";

// What a restore takes from the system: the engines that restore the document kinds not
// handled here (each gets the parsed document), and whether the process runs elevated.
struct RestoreHandlers {
  std::function<Outcome(const nlohmann::json&)> power;
  std::function<Outcome(const nlohmann::json&)> startup;
  // Elevated, a restore acts only on a document that no unelevated program could have changed.
  bool elevated = false;
};

// The product's own handlers (the system's power functions, the startup journal restore) and
// the process's elevation.
RestoreHandlers system_restore_handlers();

// Never throws for a bad or refused document: the Outcome says why. On success the document
// is marked "restored". cancel may be null, progress empty.
Outcome restore_backup(const std::wstring& path, CancelFlag* cancel, const ProgressFn& progress);
Outcome restore_backup(const std::wstring& path, CancelFlag* cancel, const ProgressFn& progress,
                       const RestoreHandlers& handlers);

}  // namespace corvane
