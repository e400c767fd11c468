#pragma once
// The figures of the running machine shown on the Overview page.

#include <windows.h>

#include <cstdint>
#include <string>

namespace corvane {

struct SystemInfo {
  std::uint32_t build = 0;
  std::wstring edition;
  std::uint64_t total_memory = 0;
  std::uint64_t available_memory = 0;
  std::uint64_t system_drive_total = 0;
  std::uint64_t system_drive_free = 0;
  bool elevated = false;  // shown: true only when the token reads as elevated
};

// What the process token says about elevation.
enum class Elevation { not_elevated, elevated, unreadable };

// TokenElevation of a token opened with TOKEN_QUERY; unreadable when the query fails.
Elevation token_elevation(HANDLE token);

// The elevation of this process's own token.
Elevation process_elevation();

// Test seam: when set, process_elevation answers with what it returns instead of reading the
// token (under a test platform that runs everything elevated, the unelevated paths need it).
extern Elevation (*process_elevation_override)();

// For the trust checks: anything but a token that reads as not elevated counts as elevated,
// so a failed query never switches a check off.
inline bool treated_as_elevated(Elevation elevation) { return elevation != Elevation::not_elevated; }

// treated_as_elevated(process_elevation()).
bool process_elevated();

// Throws only when the edition cannot be read for a reason other than "not found".
SystemInfo query_system_info();

}  // namespace corvane
