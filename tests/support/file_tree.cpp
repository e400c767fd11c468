#include "support/file_tree.h"

#include "services/handles.h"
#include "support/scratch.h"

#include <windows.h>

#include <algorithm>
#include <filesystem>
#include <stdexcept>

namespace corvane::testing {

std::uint64_t filetime_now() {
  FILETIME now{};
  GetSystemTimeAsFileTime(&now);
  return (static_cast<std::uint64_t>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
}

void set_last_write(const std::wstring& path, std::uint64_t filetime) {
  const UniqueHandle file = adopt_handle(CreateFileW(path.c_str(), FILE_WRITE_ATTRIBUTES,
                                                     FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                                     OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
  if (!file) throw std::runtime_error("cannot open test file for its time");
  FILETIME time{};
  time.dwLowDateTime = static_cast<DWORD>(filetime & 0xFFFFFFFFu);
  time.dwHighDateTime = static_cast<DWORD>(filetime >> 32);
  if (!SetFileTime(file.get(), nullptr, nullptr, &time)) throw std::runtime_error("cannot set test file time");
}

void make_old_file(const std::wstring& path, const std::string& bytes, std::int64_t age) {
  std::filesystem::create_directories(std::filesystem::path(path).parent_path());
  write_file_bytes(path, bytes);
  set_last_write(path, static_cast<std::uint64_t>(static_cast<std::int64_t>(filetime_now()) - age));
}

bool file_exists(const std::wstring& path) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

bool folder_exists(const std::wstring& path) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

std::vector<std::wstring> tree_listing(const std::wstring& folder) {
  std::vector<std::wstring> entries;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(folder)) {
    std::wstring line = std::filesystem::relative(entry.path(), folder).wstring();
    if (entry.is_regular_file()) {
      const std::string bytes = read_file_bytes(entry.path().wstring());
      line += L": " + std::wstring(bytes.begin(), bytes.end());
    }
    entries.push_back(std::move(line));
  }
  std::sort(entries.begin(), entries.end());
  return entries;
}

CleanupArea scratch_area(const std::string& id, const std::wstring& root, const std::wstring& pattern,
                         std::int32_t min_age_days, bool recursive) {
  CleanupArea area;
  area.id = id;
  area.name_vi = L"Vùng " + std::wstring(id.begin(), id.end());
  area.name_en = L"Area " + std::wstring(id.begin(), id.end());
  area.roots = {root};
  area.pattern = pattern;
  area.min_age_days = min_age_days;
  area.recursive = recursive;
  return area;
}

}  // namespace corvane::testing
