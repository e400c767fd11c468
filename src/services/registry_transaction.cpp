#include "services/registry_transaction.h"

#include "services/activity_log.h"
#include "services/documents.h"
#include "services/reg_file.h"
#include "services/registry.h"
#include "services/text.h"

#include <windows.h>

#include <cwctype>
#include <filesystem>
#include <set>
#include <stdexcept>
#include <utility>

namespace corvane {

namespace {

constexpr char kRollbackIncomplete[] = "\nRollback incomplete. Use the saved .reg backup.";

std::wstring normalised_target(const RegistryValue& change) {
  std::wstring text = hive_display_name(change.hive) + L"\\" + change.key + L"\n" + change.name;
  for (wchar_t& c : text) c = static_cast<wchar_t>(std::towlower(c));
  return text;
}

nlohmann::json values_json(const std::vector<RegistryValue>& values) {
  nlohmann::json list = nlohmann::json::array();
  for (const RegistryValue& value : values) list.push_back(value);
  return list;
}

// Everything one run knows; what the rollback needs survives a failure at any step.
struct TransactionRun {
  std::vector<RegistryValue> before;
  nlohmann::json document;
  bool document_built = false;
  std::wstring record_path;
  std::uint64_t attempted = 0;
  Outcome outcome;
};

void apply_steps(TransactionRun& run, const std::vector<RegistryValue>& changes, const std::wstring& label,
                 const std::wstring& folder, const CancelFlag* cancel, const ProgressFn& progress) {
  std::set<std::wstring> targets;
  for (const RegistryValue& change : changes) {
    if (!targets.insert(normalised_target(change)).second) throw std::runtime_error("Duplicate registry target");
    RegistryValue snapshot = change;
    snapshot.value = read_registry_value(change);
    run.before.push_back(std::move(snapshot));
  }

  nlohmann::json created = collect_created_keys(changes);

  nlohmann::json document = nlohmann::json::object();
  document["schema"] = 1;
  document["kind"] = "registry";
  document["label"] = wide_to_utf8(label);
  document["state"] = "prepared";
  document["before"] = values_json(run.before);
  document["after"] = values_json(changes);
  document["created_keys"] = std::move(created);
  run.document = std::move(document);
  run.document_built = true;

  run.record_path = (std::filesystem::path(folder) / (utf8_to_wide(make_stamp()) + L"-registry.json")).wstring();
  write_json_atomic(run.record_path, run.document);
  // Named in the outcome only once it is on disk.
  run.outcome.record_path = run.record_path;
  write_reg_file(std::filesystem::path(run.record_path).replace_extension(L".reg").wstring(), run.before);

  const std::uint64_t total = changes.size();
  for (std::uint64_t i = 0; i < total; ++i) {
    if (is_cancelled(cancel)) throw std::runtime_error("Operation stopped; changes are being restored.");
    if (read_registry_value(changes[i]) != run.before[i].value) {
      throw std::runtime_error("Registry changed during review; retry");
    }
    run.attempted = i + 1;  // before the write: a write that fails half-way is checked too
    write_registry_value(changes[i]);
    report_progress(progress, i + 1, total, changes[i].name);
  }
  if (is_cancelled(cancel)) throw std::runtime_error("Operation stopped; changes are being restored.");

  run.document["state"] = "applied";
  write_json_atomic(run.record_path, run.document);
  run.outcome.affected = total;
  broadcast_settings_change();
}

HKEY open_for_reading(std::uint32_t hive, const std::wstring& path, LSTATUS& status) {
  HKEY key = nullptr;
  status = RegOpenKeyExW(hive_root(hive), path.c_str(), 0, KEY_READ | KEY_WOW64_64KEY, &key);
  return status == ERROR_SUCCESS ? key : nullptr;
}

}  // namespace

void rollback_registry_changes(const std::vector<RegistryValue>& before, std::uint64_t attempted,
                               nlohmann::json* document, const std::wstring& record_path, const std::string& failure,
                               Outcome& outcome) {
  outcome.ok = false;
  outcome.affected = 0;
  outcome.message = utf8_to_wide_lenient(failure);
  bool complete = true;

  if (attempted > before.size()) attempted = before.size();
  for (std::uint64_t i = attempted; i-- > 0;) {
    try {
      if (read_registry_value(before[i]) != before[i].value) write_registry_value(before[i]);
    } catch (...) {
      complete = false;
    }
  }

  if (document != nullptr) {
    try {
      remove_created_keys(document->value("created_keys", nlohmann::json::array()));
    } catch (...) {
      complete = false;
    }
  }

  if (!complete) outcome.message += utf8_to_wide_lenient(kRollbackIncomplete);

  if (document != nullptr && !record_path.empty()) {
    try {
      (*document)["state"] = complete ? "rolled-back" : "rollback-incomplete";
      (*document)["attempted"] = attempted;
      write_json_atomic(record_path, *document);
      outcome.record_path = record_path;
    } catch (...) {
      // The document keeps its previous state on disk (or was never written).
    }
  }
}

Outcome apply_registry_changes(const std::vector<RegistryValue>& changes, const std::wstring& label,
                               const std::wstring& folder, CancelFlag* cancel, const ProgressFn& progress) {
  Outcome refused;
  refused.ok = false;
  if (changes.empty()) {
    refused.message = L"No changes selected";
    return refused;
  }
  if (is_cancelled(cancel)) {
    refused.message = L"Operation stopped before any changes.";
    return refused;
  }

  TransactionRun run;
  std::string failure;
  bool failed = false;
  try {
    apply_steps(run, changes, label, folder, cancel, progress);
  } catch (const std::exception& error) {
    failed = true;
    failure = error.what();
  } catch (...) {
    failed = true;
    failure = "Unexpected failure";
  }
  if (failed) {
    rollback_registry_changes(run.before, run.attempted, run.document_built ? &run.document : nullptr,
                              run.record_path, failure, run.outcome);
  }
  append_activity("registry", run.outcome);
  return run.outcome;
}

nlohmann::json collect_created_keys(const std::vector<RegistryValue>& changes) {
  std::set<std::pair<std::uint32_t, std::wstring>> considered;
  nlohmann::json created = nlohmann::json::array();
  for (const RegistryValue& change : changes) {
    std::vector<std::wstring> prefixes;
    for (std::size_t pos = change.key.find(L'\\'); pos != std::wstring::npos; pos = change.key.find(L'\\', pos + 1)) {
      prefixes.push_back(change.key.substr(0, pos));
    }
    prefixes.push_back(change.key);
    for (const std::wstring& prefix : prefixes) {
      if (prefix.empty() || !considered.insert({change.hive, prefix}).second) continue;
      LSTATUS status = ERROR_SUCCESS;
      const UniqueRegKey key(open_for_reading(change.hive, prefix, status));
      if (status == ERROR_FILE_NOT_FOUND) {
        created.push_back({{"hive", change.hive}, {"path", wide_to_utf8(prefix)}});
      } else if (status != ERROR_SUCCESS) {
        // An existing key that cannot be read is not ours to remove later.
        throw_windows_error(static_cast<std::uint32_t>(status));
      }
    }
  }
  return created;
}

void remove_created_keys(const nlohmann::json& created_keys) {
  for (std::size_t i = created_keys.size(); i-- > 0;) {
    const nlohmann::json& entry = created_keys.at(i);
    const auto hive = entry.at("hive").get<std::uint32_t>();
    const std::wstring path = utf8_to_wide(entry.at("path").get<std::string>());
    LSTATUS status = ERROR_SUCCESS;
    const UniqueRegKey key(open_for_reading(hive, path, status));
    if (status == ERROR_FILE_NOT_FOUND) continue;
    if (status != ERROR_SUCCESS) throw_windows_error(static_cast<std::uint32_t>(status));
    DWORD subkeys = 0;
    DWORD values = 0;
    status = RegQueryInfoKeyW(key.get(), nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values, nullptr,
                              nullptr, nullptr, nullptr);
    if (status != ERROR_SUCCESS) throw_windows_error(static_cast<std::uint32_t>(status));
    if (subkeys != 0 || values != 0) continue;  // someone else's content: leave the key
    status = RegDeleteKeyExW(hive_root(hive), path.c_str(), KEY_WOW64_64KEY, 0);
    if (status != ERROR_SUCCESS && status != ERROR_FILE_NOT_FOUND) {
      throw_windows_error(static_cast<std::uint32_t>(status));
    }
  }
}

}  // namespace corvane
