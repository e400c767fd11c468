#include "engines/power_plan.h"

#include "services/activity_log.h"
#include "services/documents.h"
#include "services/handles.h"
#include "services/text.h"

#include <objbase.h>

#include <exception>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>

namespace corvane {

// {e9a42b02-d5df-448d-aa00-03f14749eb61}
const GUID kUltimatePerformanceTemplate = {
    0xe9a42b02, 0xd5df, 0x448d, {0xaa, 0x00, 0x03, 0xf1, 0x47, 0x49, 0xeb, 0x61}};

namespace {

using nlohmann::json;
using OwnedGuid = std::unique_ptr<GUID, LocalFreer>;

template <typename Function>
Function bind_function(HMODULE module, const char* name) {
  if (module == nullptr) return nullptr;
  // Through a generic function pointer type, as GetProcAddress results are meant to be used.
  return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
}

PowerFunctions load_power_functions() {
  PowerFunctions functions;
  const HMODULE module = LoadLibraryExW(L"powrprof.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
  functions.get_active_scheme = bind_function<decltype(functions.get_active_scheme)>(module, "PowerGetActiveScheme");
  functions.duplicate_scheme = bind_function<decltype(functions.duplicate_scheme)>(module, "PowerDuplicateScheme");
  functions.set_active_scheme = bind_function<decltype(functions.set_active_scheme)>(module, "PowerSetActiveScheme");
  functions.delete_scheme = bind_function<decltype(functions.delete_scheme)>(module, "PowerDeleteScheme");
  return functions;
}

DWORD read_active_scheme(const PowerFunctions& power, GUID& active) {
  if (power.get_active_scheme == nullptr) return ERROR_PROC_NOT_FOUND;
  GUID* raw = nullptr;
  const DWORD code = power.get_active_scheme(nullptr, &raw);
  const OwnedGuid owned(raw);
  if (code != ERROR_SUCCESS) return code;
  if (raw == nullptr) return ERROR_INVALID_DATA;
  active = *raw;
  return ERROR_SUCCESS;
}

DWORD duplicate_scheme(const PowerFunctions& power, const GUID& source, GUID& created) {
  if (power.duplicate_scheme == nullptr) return ERROR_PROC_NOT_FOUND;
  GUID* raw = nullptr;
  const DWORD code = power.duplicate_scheme(nullptr, &source, &raw);
  const OwnedGuid owned(raw);
  if (code != ERROR_SUCCESS) return code;
  if (raw == nullptr) return ERROR_INVALID_DATA;
  created = *raw;
  return ERROR_SUCCESS;
}

DWORD activate_scheme(const PowerFunctions& power, const GUID& scheme) {
  if (power.set_active_scheme == nullptr) return ERROR_PROC_NOT_FOUND;
  return power.set_active_scheme(nullptr, &scheme);
}

DWORD delete_scheme(const PowerFunctions& power, const GUID& scheme) {
  if (power.delete_scheme == nullptr) return ERROR_PROC_NOT_FOUND;
  return power.delete_scheme(nullptr, &scheme);
}

void throw_if_failed(DWORD code) {
  if (code != ERROR_SUCCESS) throw_windows_error(code);
}

std::optional<GUID> parse_guid(const std::string& text) {
  try {
    const std::wstring wide = utf8_to_wide(text);
    GUID guid{};
    if (FAILED(CLSIDFromString(wide.c_str(), &guid))) return std::nullopt;
    return guid;
  } catch (const std::exception&) {
    return std::nullopt;
  }
}

// A key that is missing or holds anything but text reads as empty text, so a foreign or
// damaged document can never stop the search.
std::string text_or_empty(const json& document, const char* key) {
  const auto found = document.find(key);
  if (found == document.end() || !found->is_string()) return {};
  return found->get<std::string>();
}

// The newest "applied" power document whose duplicate is the active scheme.
std::optional<std::wstring> find_document_of_active_plan(const GUID& active) {
  for (const std::wstring& path : list_backups()) {
    try {
      const json document = read_json_file(path);
      if (!document.is_object()) continue;
      if (text_or_empty(document, "kind") != "power" || text_or_empty(document, "state") != "applied") continue;
      const auto after = document.find("after");
      if (after == document.end() || !after->is_string()) continue;
      const std::optional<GUID> scheme = parse_guid(after->get<std::string>());
      if (scheme && IsEqualGUID(*scheme, active)) return path;
    } catch (const std::exception&) {
      // Unreadable or not JSON: not one of ours to consider.
    }
  }
  return std::nullopt;
}

std::wstring new_power_document_path() {
  const std::filesystem::path folder(backups_folder());
  return (folder / (utf8_to_wide(make_stamp()) + L"-power.json")).wstring();
}

}  // namespace

const PowerFunctions& system_power_functions() {
  static const PowerFunctions functions = load_power_functions();
  return functions;
}

Outcome enable_ultimate_performance() { return enable_ultimate_performance(system_power_functions()); }

Outcome enable_ultimate_performance(const PowerFunctions& power) {
  Outcome outcome;
  try {
    GUID active{};
    throw_if_failed(read_active_scheme(power, active));

    if (const std::optional<std::wstring> existing = find_document_of_active_plan(active)) {
      outcome.message = L"Corvane Ultimate Performance is already active.";
      outcome.record_path = *existing;
      return outcome;
    }

    GUID created{};
    throw_if_failed(duplicate_scheme(power, kUltimatePerformanceTemplate, created));

    json document = {{"schema", 1},
                     {"kind", "power"},
                     {"label", "Ultimate Performance"},
                     {"before", guid_to_string(active)},
                     {"after", guid_to_string(created)},
                     {"state", "prepared"}};
    std::wstring path;
    try {
      path = new_power_document_path();
      write_json_atomic(path, document);
    } catch (const std::exception&) {
      delete_scheme(power, created);
      throw;
    }

    const DWORD activation = activate_scheme(power, created);
    if (activation != ERROR_SUCCESS) {
      delete_scheme(power, created);
      document["state"] = "failed";
      try {
        write_json_atomic(path, document);
      } catch (const std::exception&) {
        // The activation error is the one to report; the document then still says "prepared".
      }
      throw_windows_error(activation);
    }

    outcome.record_path = path;
    outcome.affected = 1;
    document["state"] = "applied";
    write_json_atomic(path, document);
  } catch (const std::exception& error) {
    outcome.ok = false;
    outcome.message = utf8_to_wide_lenient(error.what());
  }
  append_activity("power", outcome);
  return outcome;
}

Outcome restore_power_backup(const json& document) {
  return restore_power_backup(document, system_power_functions());
}

Outcome restore_power_backup(const json& document, const PowerFunctions& power) {
  const std::string before_text = document.at("before").get<std::string>();
  const std::string after_text = document.at("after").get<std::string>();

  Outcome outcome;
  const std::optional<GUID> before = parse_guid(before_text);
  const std::optional<GUID> after = parse_guid(after_text);
  if (!before || !after) {
    outcome.ok = false;
    outcome.message = L"Invalid power backup";
    return outcome;
  }

  GUID active{};
  if (const DWORD code = read_active_scheme(power, active); code != ERROR_SUCCESS) {
    outcome.ok = false;
    outcome.message = windows_error_text(code);
    return outcome;
  }
  if (!IsEqualGUID(active, *after)) {
    outcome.ok = false;
    outcome.message = L"Power plan changed after this backup; restore cancelled.";
    return outcome;
  }
  if (const DWORD code = activate_scheme(power, *before); code != ERROR_SUCCESS) {
    outcome.ok = false;
    outcome.message = windows_error_text(code);
    return outcome;
  }
  if (const DWORD code = delete_scheme(power, *after); code != ERROR_SUCCESS) {
    outcome.ok = false;
    outcome.message = L"Previous plan restored; could not remove the Corvane plan: " + windows_error_text(code);
    return outcome;
  }
  outcome.affected = 1;
  return outcome;
}

}  // namespace corvane
