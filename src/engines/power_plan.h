#pragma once
// The Ultimate Performance power plan: a duplicate of the Windows template scheme is made
// active and recorded in a "power" backup document; the restore reactivates the old scheme.

#include "services/registry_value.h"

#include <windows.h>

#include <nlohmann/json.hpp>

namespace corvane {

// The four power-management calls, bound from powrprof.dll at run time (some Windows
// editions and emulators lack a few of them). A missing call stays null and fails with
// ERROR_PROC_NOT_FOUND. GUIDs handed out through GUID** are freed with LocalFree.
struct PowerFunctions {
  DWORD(WINAPI* get_active_scheme)(HKEY root, GUID** active) = nullptr;
  DWORD(WINAPI* duplicate_scheme)(HKEY root, const GUID* source, GUID** created) = nullptr;
  DWORD(WINAPI* set_active_scheme)(HKEY root, const GUID* scheme) = nullptr;
  DWORD(WINAPI* delete_scheme)(HKEY root, const GUID* scheme) = nullptr;
};

// The system's power functions; powrprof.dll stays loaded for the life of the process.
const PowerFunctions& system_power_functions();

// The Windows "Ultimate Performance" scheme that is duplicated.
extern const GUID kUltimatePerformanceTemplate;

// Never throws: every failure is ok false with its text.
Outcome enable_ultimate_performance();
Outcome enable_ultimate_performance(const PowerFunctions& power);

// document: a parsed "power" document. A missing or non-text "before"/"after" throws the
// JSON library's error; everything else is reported in the Outcome.
Outcome restore_power_backup(const nlohmann::json& document);
Outcome restore_power_backup(const nlohmann::json& document, const PowerFunctions& power);

}  // namespace corvane
