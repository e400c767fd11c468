#pragma once
// Undoes the change that one backup document records: registry documents value by value,
// power-plan and startup documents through their own engines; owner documents only get advice.

#include "services/progress.h"
#include "services/registry_value.h"

#include <nlohmann/json.hpp>

#include <functional>
#include <string>

namespace corvane {

// The engines that restore the document kinds not handled here; each gets the parsed document.
struct RestoreHandlers {
  std::function<Outcome(const nlohmann::json&)> power;
  std::function<Outcome(const nlohmann::json&)> startup;
};

// The product's own handlers (the system's power functions, the startup journal restore).
RestoreHandlers system_restore_handlers();

// Never throws for a bad or refused document: the Outcome says why. On success the document
// is marked "restored". cancel may be null, progress empty.
Outcome restore_backup(const std::wstring& path, CancelFlag* cancel, const ProgressFn& progress);
Outcome restore_backup(const std::wstring& path, CancelFlag* cancel, const ProgressFn& progress,
                       const RestoreHandlers& handlers);

}  // namespace corvane
