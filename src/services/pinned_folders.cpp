#include "services/pinned_folders.h"

#include "services/folder_files.h"
#include "services/text.h"

namespace corvane {

namespace {

constexpr DWORD kFinalPathCapacity = 32768;

// An open that asks for attributes alone takes no part in share checks, so it would not stop
// a rename. Listing and traversing rights do; sharing read and write keeps files inside the
// folder free to be created, written, moved and deleted, by Corvane as by anyone.
constexpr DWORD kPinAccess = FILE_LIST_DIRECTORY | FILE_TRAVERSE | FILE_READ_ATTRIBUTES;
constexpr DWORD kPinShare = FILE_SHARE_READ | FILE_SHARE_WRITE;

bool is_separator(wchar_t c) { return c == L'\\' || c == L'/'; }

// Length of the root that the chain starts below: "C:" or "\\server\share"; 0 for other forms.
std::size_t root_length(const std::wstring& path) {
  if (path.size() >= 3 && path[1] == L':' && is_separator(path[2])) return 2;
  if (path.size() < 5 || !is_separator(path[0]) || !is_separator(path[1])) return 0;
  const std::size_t server_end = path.find_first_of(L"\\/", 2);
  if (server_end == std::wstring::npos || server_end == 2 || path[2] == L'?' || path[2] == L'.') return 0;
  std::size_t share_end = path.find_first_of(L"\\/", server_end + 1);
  if (share_end == std::wstring::npos) share_end = path.size();
  return share_end > server_end + 1 ? share_end : 0;
}

// "\\?\C:\x" as "C:\x", "\\?\UNC\server\share\x" as "\\server\share\x".
void strip_long_prefix(std::wstring& path) {
  if (path.compare(0, 8, L"\\\\?\\UNC\\") == 0) {
    path.erase(0, 6);
    path[0] = L'\\';
  } else if (path.compare(0, 4, L"\\\\?\\") == 0) {
    path.erase(0, 4);
  }
}

// The final path of an open file or folder into buffer, "\\?\" removed; false when it cannot
// be had. The buffer is reused from call to call.
bool read_final_path(HANDLE handle, std::wstring& buffer) {
  buffer.resize(kFinalPathCapacity);
  const DWORD length = GetFinalPathNameByHandleW(handle, buffer.data(), kFinalPathCapacity, 0);
  if (length < 1 || length > kFinalPathCapacity - 1) return false;
  buffer.resize(length);
  strip_long_prefix(buffer);
  return true;
}

// Opens the root that path starts with ("C:\" or "\\server\share\"), following whatever the
// drive stands for, without delete sharing (so the folder behind a subst drive cannot be renamed
// away meanwhile), and records where it leads.
DWORD pin_drive_root(const std::wstring& path, PinnedFolders& pins) {
  const std::size_t length = root_length(path);
  if (length == 0) return ERROR_BAD_PATHNAME;
  std::wstring root = path.substr(0, length) + L"\\";
  for (wchar_t& c : root) {
    if (c == L'/') c = L'\\';
  }
  pins.root = adopt_handle(CreateFileW(root.c_str(), FILE_LIST_DIRECTORY | FILE_TRAVERSE | FILE_READ_ATTRIBUTES,
                                       FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                       FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  if (!pins.root) return GetLastError();
  if (!read_final_path(pins.root.get(), pins.root_final_path)) {
    const DWORD error = GetLastError();
    pins.root.reset();
    pins.root_final_path.clear();
    return error != ERROR_SUCCESS ? error : ERROR_BAD_PATHNAME;
  }
  return ERROR_SUCCESS;
}

}  // namespace

void HandleList::close_from(std::size_t keep) {
  for (std::size_t i = keep; i < handles.size(); ++i) {
    if (handles[i] != nullptr && handles[i] != INVALID_HANDLE_VALUE) CloseHandle(handles[i]);
  }
  if (keep < handles.size()) handles.resize(keep);
}

void PinnedFolders::release_from(std::size_t level) {
  if (level < vouched_levels) {
    vouched_root.clear();
    vouched_levels = 0;
  }
  if (level < in_profile_levels) {
    in_profile_root.clear();
    in_profile_levels = 0;
  }
  handles.close_from(level);
  if (level < paths.size()) paths.resize(level);
  if (level == 0) {
    root.reset();
    root_final_path.clear();
  }
}

bool folder_chain(const std::wstring& folder, std::vector<std::wstring>& chain) {
  chain.clear();
  const std::size_t root = root_length(folder);
  if (root == 0) return false;
  std::wstring prefix = folder.substr(0, root);
  for (wchar_t& c : prefix) {
    if (c == L'/') c = L'\\';
  }
  std::size_t pos = root;
  while (pos < folder.size()) {
    std::size_t next = pos;
    while (next < folder.size() && !is_separator(folder[next])) ++next;
    const std::wstring_view component(folder.data() + pos, next - pos);
    pos = next + 1;
    if (component.empty()) continue;
    if (component == L"." || component == L"..") return false;
    prefix.push_back(L'\\');
    prefix.append(component);
    chain.push_back(prefix);
  }
  return !chain.empty();
}

namespace {

// Keeps folder, just opened for path, as the next pin when it is a plain folder.
DWORD add_pin(UniqueHandle folder, const std::wstring& path, PinnedFolders& pins) {
  const AttributeTag read = handle_attribute_tag(folder.get());
  if (read.attributes == INVALID_FILE_ATTRIBUTES) {
    const DWORD error = GetLastError();
    return error != ERROR_SUCCESS ? error : ERROR_GEN_FAILURE;
  }
  if (reparse_point_is_link(read.attributes, read.reparse_tag)) return ERROR_REPARSE_POINT_ENCOUNTERED;
  if ((read.attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) return ERROR_DIRECTORY;
  pins.handles.add(folder.release());
  pins.paths.push_back(path);
  return ERROR_SUCCESS;
}

// Opens the folder path, the next level of pins, by its name inside the deepest pinned folder (or
// the pinned drive root), and pins it when it is a plain folder. With FolderFileOpen::open_or_create
// a missing one is made there; a folder someone else made there meanwhile is opened and pinned
// alike, a link in its place refused.
DWORD pin_folder_in_parent(const std::wstring& path, PinnedFolders& pins, FolderFileOpen disposition) {
  const HANDLE parent = pins.handles.handles.empty() ? pins.root.get() : pins.handles.handles.back();
  const std::size_t separator = path.find_last_of(L"\\/");
  if (separator == std::wstring::npos) return ERROR_BAD_PATHNAME;
  DWORD error = ERROR_SUCCESS;
  UniqueHandle folder =
      open_folder_in_folder(parent, path.substr(separator + 1), kPinAccess, kPinShare, disposition, error);
  if (!folder) return error;
  return add_pin(std::move(folder), path, pins);
}

}  // namespace

DWORD pin_folder(const std::wstring& path, PinnedFolders& pins) {
  UniqueHandle folder = adopt_handle(CreateFileW(path.c_str(), kPinAccess, kPinShare, nullptr, OPEN_EXISTING,
                                                 FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
  if (!folder) return GetLastError();
  return add_pin(std::move(folder), path, pins);
}

std::wstring folder_as_links_lead(const std::wstring& folder) {
  std::vector<std::wstring> chain;
  if (!folder_chain(folder, chain)) return folder;
  for (std::size_t level = chain.size(); level-- > 0;) {
    const UniqueHandle opened =
        adopt_handle(CreateFileW(chain[level].c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                 nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!opened) continue;
    std::wstring resolved;
    if (!read_final_path(opened.get(), resolved)) return folder;
    while (!resolved.empty() && is_separator(resolved.back())) resolved.pop_back();
    return resolved + chain.back().substr(chain[level].size());
  }
  return folder;
}

bool chain_is_pinned(const std::wstring& folder, const PinnedFolders& pins) {
  std::vector<std::wstring> chain;
  if (!folder_chain(folder, chain) || chain.size() > pins.paths.size()) return false;
  for (std::size_t level = 0; level < chain.size(); ++level) {
    if (chain[level] != pins.paths[level]) return false;
  }
  return true;
}

AttributeTag read_attribute_tag_by_handle(HANDLE handle) {
  FILE_ATTRIBUTE_TAG_INFO info{};
  if (!GetFileInformationByHandleEx(handle, FileAttributeTagInfo, &info, sizeof info)) return {};
  AttributeTag read;
  read.attributes = info.FileAttributes;
  if ((info.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) read.reparse_tag = info.ReparseTag;
  return read;
}

DWORD read_attributes_by_handle(HANDLE handle) { return read_attribute_tag_by_handle(handle).attributes; }

AttributeTag (*handle_attribute_tag)(HANDLE handle) = read_attribute_tag_by_handle;

AttributeTag (*listed_attribute_tag)(HANDLE folder, std::wstring_view name, AttributeTag listed) =
    [](HANDLE, std::wstring_view, AttributeTag listed) { return listed; };

void (*folder_create_probe)(const std::wstring& folder) = nullptr;

bool held_pins_vouch_for(const std::wstring& root, PinnedFolders& pins) {
  if (pins.vouched_levels > 0 && root == pins.vouched_root) return true;
  std::vector<std::wstring> chain;
  if (!chain_is_pinned(root, pins) || !folder_chain(root, chain)) return false;
  for (std::size_t level = 0; level < chain.size(); ++level) {
    if (!opened_folder_is_no_link(pins.handles.handles[level])) return false;
  }
  pins.vouched_root = root;
  pins.vouched_levels = chain.size();
  return true;
}

bool final_path_matches(const std::wstring& final_path, const std::wstring& root_final_path,
                        const std::wstring& relative) {
  std::wstring expected = root_final_path;
  while (!expected.empty() && is_separator(expected.back())) expected.pop_back();
  if (expected.empty()) return false;
  expected += L'\\';
  expected += relative;
  return same_path_text(final_path, expected);
}

namespace {

// True when final_path names path, as written, from a root whose final path is root_final_path.
bool final_path_names_as_written(const std::wstring& final_path, const std::wstring& root_final_path,
                                 const std::wstring& path) {
  // Below the root, the names as written; the root itself is wherever its drive leads.
  std::size_t below = root_length(path);
  if (below == 0) return false;
  while (below < path.size() && is_separator(path[below])) ++below;
  std::wstring relative = path.substr(below);
  for (wchar_t& c : relative) {
    if (c == L'/') c = L'\\';
  }
  // "C:\a\folder\" names the same folder as "C:\a\folder".
  while (!relative.empty() && relative.back() == L'\\') relative.pop_back();
  return final_path_matches(final_path, root_final_path, relative);
}

bool final_path_names(const std::wstring& final_path, const std::wstring& root_final_path, const std::wstring& path) {
  if (final_path_names_as_written(final_path, root_final_path, path)) return true;
  // The final path spells every name in full: compare with the same form of path (a short
  // 8.3 name in it is looked up in its folder, never followed through a link). That lookup reads
  // every folder on the way, so it is made only when the names as written do not match.
  std::wstring expected(kFinalPathCapacity, L'\0');
  const DWORD expected_length = GetLongPathNameW(path.c_str(), expected.data(), kFinalPathCapacity);
  if (expected_length < 1 || expected_length >= kFinalPathCapacity) return false;
  expected.resize(expected_length);
  return final_path_names_as_written(final_path, root_final_path, expected);
}

}  // namespace

bool final_path_inside_as_written(const PinnedFolders& pins, const std::wstring& final_path,
                                  const std::wstring& folder) {
  if (pins.paths.empty() || pins.root_final_path.empty()) return false;
  const std::size_t root = root_length(folder);
  if (root == 0 || root != root_length(pins.paths.front()) ||
      !same_path_text(folder.substr(0, root), pins.paths.front().substr(0, root))) {
    return false;
  }
  std::wstring expected = pins.root_final_path;
  while (!expected.empty() && is_separator(expected.back())) expected.pop_back();
  for (std::size_t pos = root; pos < folder.size(); ++pos) {
    expected.push_back(is_separator(folder[pos]) ? L'\\' : folder[pos]);
  }
  return path_strictly_inside(expected, final_path);
}

bool pinned_folder_is(PinnedFolders& pins, const std::wstring& path) {
  if (pins.handles.handles.empty() || pins.root_final_path.empty()) return false;
  if (!read_final_path(pins.handles.handles.back(), pins.final_path_buffer)) return false;
  return final_path_names(pins.final_path_buffer, pins.root_final_path, path);
}

bool handle_is_at(HANDLE handle, const std::wstring& path) {
  PinnedFolders root;
  if (pin_drive_root(path, root) != ERROR_SUCCESS) return false;
  std::wstring final_path;
  return read_final_path(handle, final_path) && final_path_names(final_path, root.root_final_path, path);
}

DWORD pin_folder_chain(const std::wstring& folder, PinnedFolders& pins, bool create_missing, FolderLinks links) {
  pins.release_from(0);
  const std::wstring target = links == FolderLinks::followed ? folder_as_links_lead(folder) : folder;
  std::vector<std::wstring> chain;
  if (!folder_chain(target, chain)) return ERROR_BAD_PATHNAME;
  if (const DWORD error = pin_drive_root(target, pins); error != ERROR_SUCCESS) return error;
  // Each level is opened inside the one above it, through that one's handle: every pinned level
  // lies in the one before, and none of them can be renamed or removed while held. So one read of
  // the deepest level's final path tells where the whole chain lies. Where a level is missing,
  // the deepest one held is read first: a link on the way shows there (and is named so), and
  // nothing is made below a folder that is not where it should be.
  for (std::size_t level = 0; level < chain.size(); ++level) {
    DWORD error = pin_folder_in_parent(chain[level], pins, FolderFileOpen::existing);
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) {
      if (level > 0 && !pinned_folder_is(pins, chain[level - 1])) {
        error = ERROR_REPARSE_POINT_ENCOUNTERED;
      } else if (create_missing) {
        if (folder_create_probe != nullptr) folder_create_probe(chain[level]);
        error = pin_folder_in_parent(chain[level], pins, FolderFileOpen::open_or_create);
      }
    }
    if (error != ERROR_SUCCESS) {
      pins.release_from(0);
      return error;
    }
  }
  // Compared with the chain, not with target as written: "C:\a\\b" and "C:/a/b" name the folder
  // "C:\a\b", which is what was opened and pinned.
  if (!pinned_folder_is(pins, chain.back())) {
    pins.release_from(0);
    return ERROR_REPARSE_POINT_ENCOUNTERED;
  }
  return ERROR_SUCCESS;
}

std::wstring final_path_of(HANDLE handle) {
  std::wstring path;
  if (!read_final_path(handle, path)) path.clear();
  return path;
}

}  // namespace corvane
