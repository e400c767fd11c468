#include "engines/backup_restore.h"

#include "engines/power_plan.h"
#include "engines/startup_change.h"
#include "services/activity_log.h"
#include "services/documents.h"
#include "services/protected_documents.h"
#include "services/registry.h"
#include "services/registry_transaction.h"
#include "services/system_info.h"
#include "services/text.h"

#include <exception>
#include <stdexcept>
#include <vector>

namespace corvane {
namespace {

using nlohmann::json;

Outcome stopped_before_restoring() {
  Outcome outcome;
  outcome.ok = false;
  outcome.message = L"Operation stopped before restoring.";
  return outcome;
}

bool restorable_state(const std::string& state) {
  return state == "applied" || state == "prepared" || state == "rollback-incomplete";
}

// A present value of the wrong type fails with the JSON library's own type error.
const json& require_array(const json& value) {
  if (!value.is_array()) (void)value.get<std::vector<json>>();
  return value;
}

// The created keys are only removed after the values were written back, so they are checked
// with everything else before anything changes.
json checked_created_keys(const json& document) {
  json created = document.value("created_keys", json::array());
  if (!created.is_array()) throw std::runtime_error("Invalid backup");
  for (const json& key : created) {
    if (!key.is_object()) throw std::runtime_error("Invalid backup");
    const auto hive = key.find("hive");
    const auto path = key.find("path");
    if (hive == key.end() || !hive->is_number() || path == key.end() || !path->is_string()) {
      throw std::runtime_error("Invalid backup");
    }
    (void)utf8_to_wide(path->get<std::string>());
  }
  return created;
}

// Fills queue with the "before" values that need writing back. Returns false when stopped.
// Throws when the document is unusable or any value was changed since the backup.
bool plan_registry_restore(const json& document, CancelFlag* cancel, std::vector<RegistryValue>& queue) {
  const json& before = require_array(document.at("before"));
  const json& after = require_array(document.at("after"));
  if (before.size() != after.size()) throw std::runtime_error("Invalid backup");
  for (std::size_t i = 0; i < before.size(); ++i) {
    if (is_cancelled(cancel)) return false;
    const RegistryValue old_value = before[i].get<RegistryValue>();
    const RegistryValue new_value = after[i].get<RegistryValue>();
    if (old_value.hive != new_value.hive || old_value.key != new_value.key || old_value.name != new_value.name) {
      throw std::runtime_error("Backup targets differ");
    }
    const ValueState current = read_registry_value(new_value);
    if (current == old_value.value) continue;
    if (current != new_value.value) {
      throw std::runtime_error("Registry changed after this backup. Restore cancelled to preserve newer changes.");
    }
    queue.push_back(old_value);
  }
  return true;
}

}  // namespace

RestoreHandlers system_restore_handlers() {
  RestoreHandlers handlers;
  handlers.power = [](const json& document) { return restore_power_backup(document); };
  handlers.startup = [](const json& document) { return restore_startup_journal(document); };
  handlers.elevated = process_elevated();
  return handlers;
}

Outcome restore_backup(const std::wstring& path, CancelFlag* cancel, const ProgressFn& progress) {
  return restore_backup(path, cancel, progress, system_restore_handlers());
}

Outcome restore_backup(const std::wstring& path, CancelFlag* cancel, const ProgressFn& progress,
                       const RestoreHandlers& handlers) {
  if (is_cancelled(cancel)) return stopped_before_restoring();
  Outcome outcome;
  try {
    // Read with its rights through one handle, so the checked file is the file restored.
    DocumentRights rights;
    const std::string text = read_document_text(path, handlers.elevated ? &rights : nullptr, handlers.elevated);
    if (handlers.elevated && !is_protected_document(rights)) {
      throw std::runtime_error(wide_to_utf8(kUnprotectedBackupMessage));
    }
    json document = parse_json_document(text);
    if (document.at("schema") != 1) throw std::runtime_error("Unsupported backup schema");
    const std::string kind = document.at("kind").get<std::string>();
    const std::string state = document.contains("state") ? document.at("state").get<std::string>() : std::string();
    if (!restorable_state(state)) {
      throw std::runtime_error("This backup has already been restored or was not applied");
    }

    if (kind == "registry") {
      const json created_keys = checked_created_keys(document);
      std::vector<RegistryValue> queue;
      if (!plan_registry_restore(document, cancel, queue)) return stopped_before_restoring();
      if (queue.empty()) {
        outcome.message = L"Already matches the original values";
      } else {
        // Read only now: a document with nothing to write back needs no label.
        const std::wstring label = utf8_to_wide(document.value("label", std::string()));
        outcome = apply_registry_changes(queue, L"Restore: " + label, backups_folder(), cancel, progress);
      }
      if (outcome.ok) remove_created_keys(created_keys);
    } else if (kind == "power") {
      if (!handlers.power) throw std::runtime_error("Power plan backups cannot be restored here");
      outcome = handlers.power(document);
    } else if (kind == "startup") {
      if (!handlers.startup) throw std::runtime_error("Startup journals cannot be restored here");
      outcome = handlers.startup(document);
    } else {
      Outcome advice;
      advice.ok = false;
      advice.message = L"Use Windows Advanced Security to restore the owner SID recorded in this backup.";
      return advice;
    }

    if (outcome.ok) {
      document["state"] = "restored";
      write_json_atomic(path, document);
    }
  } catch (const std::exception& error) {
    outcome.ok = false;
    outcome.message = utf8_to_wide_lenient(error.what());
  }
  append_activity("restore", outcome);
  return outcome;
}

}  // namespace corvane
