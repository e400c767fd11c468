#pragma once
// A batch of registry changes as one transaction: backup document and .reg export first,
// re-check and verified write per value, rollback on failure or stop.

#include "services/progress.h"
#include "services/registry_value.h"

#include <nlohmann/json.hpp>

#include <string>
#include <vector>

namespace corvane {

Outcome apply_registry_changes(const std::vector<RegistryValue>& changes, const std::wstring& label,
                               const std::wstring& folder, CancelFlag* cancel = nullptr,
                               const ProgressFn& progress = {});

// [{"hive", "path"}] for every key along the changes' paths that cannot be opened now.
nlohmann::json collect_created_keys(const std::vector<RegistryValue>& changes);

// Deletes the listed keys that are empty, last first; throws on the first failure.
void remove_created_keys(const nlohmann::json& created_keys);

// Undoes a failed run: puts back before[attempted - 1] down to before[0] where they differ now,
// removes the document's created keys, sets outcome (ok false, the failure's text, a second line
// when a step failed) and, when a document is given, records its final state and "attempted" at
// record_path. Never throws.
void rollback_registry_changes(const std::vector<RegistryValue>& before, std::uint64_t attempted,
                               nlohmann::json* document, const std::wstring& record_path,
                               const std::string& failure, Outcome& outcome);

}  // namespace corvane
