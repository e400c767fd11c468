#pragma once
// The registry review: a read-only scan for Run values, uninstall records, shared-DLL counters
// and file associations that point at things no longer present on the local fixed drives,
// the removal of one confirmed finding, and the review report.

#include "services/progress.h"
#include "services/registry_value.h"

#include <nlohmann/json.hpp>

#include <string>
#include <vector>

namespace corvane {

// One finding. target names the value it is about; its value part is always absent, so
// applied as a change it deletes that value.
struct AuditEntry {
  std::wstring title_vi;
  std::wstring title_en;
  RegistryValue target;
  std::wstring evidence;
  bool repairable = false;
};

// Findings in scan order: HKCU Run, HKCU Uninstall, HKLM Run, HKLM Uninstall, SharedDLLs,
// file associations. HKCU Run values are expanded with the process's environment, HKLM ones with
// the machine's (read once per scan; when it cannot be had, no HKLM Run value is listed). A set
// cancel flag ends the scan with what was found so far. Throws only what read_registry_value
// throws.
std::vector<AuditEntry> audit_registry_entries(const CancelFlag* cancel);

// The executable of a command line: the quoted part, the whole command when it has no
// space, else empty.
std::wstring command_executable(const std::wstring& command);

// True only for an absolute path on a local fixed drive that is reported as not found.
bool is_missing_local_file(const std::wstring& path);

// Scans again and, when the same repairable finding is still there, deletes its one value
// through the registry change transaction (backup document and .reg export first).
Outcome remove_audit_entry(const AuditEntry& confirmed, CancelFlag* cancel, const ProgressFn& progress);

// The review report: one {"evidence", "repairable", "target"} object per entry, in order.
nlohmann::json audit_report(const std::vector<AuditEntry>& entries);

// Writes the report into the reports folder as <stamp>-registry.json; returns its path.
std::wstring write_audit_report(const std::vector<AuditEntry>& entries);

}  // namespace corvane
