#pragma once
// Files with chosen ages for cleanup tests, and areas whose roots are scratch folders.

#include "engines/cleanup_areas.h"

#include <cstdint>
#include <string>
#include <vector>

namespace corvane::testing {

constexpr std::int64_t kDay = 864000000000LL;  // FILETIME units
constexpr std::int64_t kMinute = 600000000LL;

// Current time as a FILETIME value.
std::uint64_t filetime_now();

// Creates the file (and its folders) with these bytes, last written `age` FILETIME units ago
// (a negative age dates it in the future). Throws on failure.
void make_old_file(const std::wstring& path, const std::string& bytes, std::int64_t age);

// Sets only the last write time of an existing file. Throws on failure.
void set_last_write(const std::wstring& path, std::uint64_t filetime);

bool file_exists(const std::wstring& path);
bool folder_exists(const std::wstring& path);

// Every file and folder below folder as "relative path" or "relative path: bytes", sorted: two
// listings are equal only when nothing was added, removed or changed.
std::vector<std::wstring> tree_listing(const std::wstring& folder);

// A scanned area with one root and no process.
CleanupArea scratch_area(const std::string& id, const std::wstring& root, const std::wstring& pattern = L"*",
                         std::int32_t min_age_days = 7, bool recursive = true);

}  // namespace corvane::testing
