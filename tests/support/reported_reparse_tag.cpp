#include "support/reported_reparse_tag.h"

#include "services/directory_listing.h"
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

// read with the latest report that covers path, if any.
AttributeTag as_reported(const std::wstring& path, AttributeTag read) {
  for (auto it = g_reported.rbegin(); it != g_reported.rend(); ++it) {
    if (!path.empty() && (same_path_text(path, it->first) || path_strictly_inside(it->first, path))) {
      read.attributes |= FILE_ATTRIBUTE_REPARSE_POINT;
      read.reparse_tag = it->second;
      break;
    }
  }
  return read;
}

AttributeTag read_as_reported(HANDLE handle) {
  const AttributeTag read = read_attribute_tag_by_handle(handle);
  if (read.attributes == INVALID_FILE_ATTRIBUTES) return read;
  return as_reported(final_path_of(handle), read);
}

AttributeTag listed_as_reported(HANDLE folder, std::wstring_view name, AttributeTag listed) {
  const std::wstring folder_path = final_path_of(folder);
  if (folder_path.empty()) return listed;
  return as_reported(join_path(folder_path, std::wstring(name)), listed);
}

}  // namespace

ReportedReparseTag::ReportedReparseTag()
    : saved_handle_reader_(handle_attribute_tag), saved_listing_reader_(listed_attribute_tag) {
  handle_attribute_tag = read_as_reported;
  listed_attribute_tag = listed_as_reported;
}

ReportedReparseTag::~ReportedReparseTag() {
  handle_attribute_tag = saved_handle_reader_;
  listed_attribute_tag = saved_listing_reader_;
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
