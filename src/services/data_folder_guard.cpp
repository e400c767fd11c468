#include "services/data_folder_guard.h"

#include "services/folder_files.h"
#include "services/system_info.h"
#include "services/text.h"
#include "services/user_profile.h"

#include <mutex>
#include <stdexcept>

namespace corvane {

namespace {

std::mutex g_noted_mutex;
std::vector<std::wstring> g_noted_folders;

// True when candidate is root or lies inside it, by their paths.
bool inside_or_same(const std::wstring& root, const std::wstring& candidate) {
  return path_strictly_inside(root, candidate + L"\\x");
}

[[noreturn]] void refuse() { throw std::runtime_error(wide_to_utf8(kDataFolderOutsideProfileMessage)); }

}  // namespace

void note_data_folder(const std::wstring& folder) {
  const std::lock_guard<std::mutex> lock(g_noted_mutex);
  for (const std::wstring& noted : g_noted_folders) {
    if (noted == folder) return;
  }
  g_noted_folders.push_back(folder);
}

bool in_data_folder(const std::wstring& path) {
  const std::lock_guard<std::mutex> lock(g_noted_mutex);
  for (const std::wstring& noted : g_noted_folders) {
    if (inside_or_same(noted, path)) return true;
  }
  return false;
}

void check_data_folder_path(const std::wstring& folder, bool elevated) {
  if (!elevated || !in_data_folder(folder)) return;
  if (!path_strictly_inside(user_profile_folder_or_empty(), folder)) refuse();
}

void check_data_folder_path(const std::wstring& folder) {
  if (in_data_folder(folder)) check_data_folder_path(folder, process_elevated());
}

void check_pinned_data_folder(const std::wstring& folder, PinnedFolders& pins, bool elevated) {
  if (!elevated || !in_data_folder(folder)) return;
  if (!pinned_folder_in_profile(pins, user_profile_folder_or_empty())) refuse();
}

void check_pinned_data_folder(const std::wstring& folder, PinnedFolders& pins) {
  if (in_data_folder(folder)) check_pinned_data_folder(folder, pins, process_elevated());
}

std::string linked_folder_refusal(const std::wstring& folder, bool elevated, const std::string& other) {
  return elevated && in_data_folder(folder) ? wide_to_utf8(kDataFolderThroughLinkMessage) : other;
}

bool hold_data_folder(const std::wstring& folder, DataFolderHold& hold, bool elevated) {
  hold.held = false;
  hold.pins.release_from(0);
  if (!elevated || !in_data_folder(folder)) return true;
  // The checks of check_data_folder_path and check_pinned_data_folder, with the profile read once.
  const std::wstring profile = user_profile_folder_or_empty();
  if (!path_strictly_inside(profile, folder)) refuse();
  const DWORD pinned = pin_folder_chain(folder, hold.pins, false);
  if (pinned == ERROR_REPARSE_POINT_ENCOUNTERED) throw std::runtime_error(wide_to_utf8(kDataFolderThroughLinkMessage));
  if (pinned != ERROR_SUCCESS) return false;
  if (!pinned_folder_in_profile(hold.pins, profile)) refuse();
  hold.folder_final_path = final_path_of(hold.pins.handles.handles.back());
  if (hold.folder_final_path.empty()) return false;
  hold.held = true;
  return true;
}

bool file_in_held_folder(const DataFolderHold& hold, HANDLE file) {
  if (!hold.held) return true;
  const std::wstring path = final_path_of(file);
  const std::size_t slash = path.find_last_of(L'\\');
  return slash != std::wstring::npos && slash + 1 < path.size() &&
         same_path_text(path.substr(0, slash), hold.folder_final_path);
}

std::vector<std::wstring> held_folder_file_names(const DataFolderHold& hold, const char* operation,
                                                 ListedReparsePoints listed) {
  std::vector<std::wstring> names;
  if (!hold.held) return names;
  const HANDLE folder = hold.pins.handles.handles.back();
  alignas(8) unsigned char buffer[64 * 1024];
  FILE_INFO_BY_HANDLE_CLASS kind = FileIdBothDirectoryRestartInfo;
  for (;;) {
    if (!GetFileInformationByHandleEx(folder, kind, buffer, sizeof buffer)) {
      const DWORD error = GetLastError();
      if (error == ERROR_NO_MORE_FILES || error == ERROR_FILE_NOT_FOUND) break;  // the end, or no entries at all
      throw std::runtime_error(std::string(operation) + ": " + wide_to_utf8(windows_error_text(error)));
    }
    kind = FileIdBothDirectoryInfo;
    for (std::size_t offset = 0;;) {
      const auto* entry = reinterpret_cast<const FILE_ID_BOTH_DIR_INFO*>(buffer + offset);
      const std::wstring_view name(entry->FileName, entry->FileNameLength / sizeof(wchar_t));
      // A listing gives a reparse point's tag in place of the size of its extended attributes.
      AttributeTag read;
      read.attributes = entry->FileAttributes;
      if ((entry->FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) read.reparse_tag = entry->EaSize;
      read = listed_attribute_tag(folder, name, read);
      const bool refused_reparse_point = listed == ListedReparsePoints::none
                                             ? (read.attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0
                                             : reparse_point_is_link(read.attributes, read.reparse_tag);
      if ((read.attributes & FILE_ATTRIBUTE_DIRECTORY) == 0 && !refused_reparse_point) names.emplace_back(name);
      if (entry->NextEntryOffset == 0) break;
      offset += entry->NextEntryOffset;
    }
  }
  return names;
}

}  // namespace corvane
