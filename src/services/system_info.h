#pragma once
// The figures of the running machine shown on the Overview page.

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
  bool elevated = false;
};

// True when the process token is elevated; false also when the token cannot be read.
bool process_elevated();

// Throws only when the edition cannot be read for a reason other than "not found".
SystemInfo query_system_info();

}  // namespace corvane
