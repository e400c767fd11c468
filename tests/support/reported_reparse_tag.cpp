#include "support/reported_reparse_tag.h"

#include "services/handles.h"
#include "services/pinned_folders.h"
#include "services/text.h"

#include <filesystem>
#include <utility>
#include <vector>

namespace corvane::testing {

namespace {

// Final path and tag, latest last; changed only on the test's thread, while no act reads it.
std::vector<std::pair<std::wstring, DWORD>> g_reported;

AttributeTag read_as_reported(HANDLE handle) {
  AttributeTag read = read_attribute_tag_by_handle(handle);
  if (read.attributes == INVALID_FILE_ATTRIBUTES) return read;
  const std::wstring path = final_path_of(handle);
  for (auto it = g_reported.rbegin(); it != g_reported.rend(); ++it) {
    if (!path.empty() && (same_path_text(path, it->first) || path_strictly_inside(it->first, path))) {
      read.attributes |= FILE_ATTRIBUTE_REPARSE_POINT;
      read.reparse_tag = it->second;
      break;
    }
  }
  return read;
}

}  // namespace

ReportedReparseTag::ReportedReparseTag() { handle_attribute_tag = read_as_reported; }

ReportedReparseTag::~ReportedReparseTag() {
  handle_attribute_tag = read_attribute_tag_by_handle;
  g_reported.clear();
}

void ReportedReparseTag::report(const std::wstring& path, DWORD tag) {
  const UniqueHandle opened = adopt_handle(CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES,
                                                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                                       OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  std::wstring place = opened ? final_path_of(opened.get()) : std::wstring();
  if (place.empty()) place = std::filesystem::absolute(path).wstring();
  g_reported.emplace_back(std::move(place), tag);
}

}  // namespace corvane::testing
