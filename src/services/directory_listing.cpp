#include "services/directory_listing.h"

#include "services/text.h"

#include <stdexcept>

namespace corvane {

namespace {

bool is_dot_entry(const wchar_t* name) {
  return name[0] == L'.' && (name[1] == L'\0' || (name[1] == L'.' && name[2] == L'\0'));
}

}  // namespace

bool open_listing(const std::wstring& folder, DirectoryListing& listing) {
  const std::wstring pattern = join_path(folder, L"*");
  listing.handle.reset();
  listing.first_pending = false;
  HANDLE handle = FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &listing.entry, FindExSearchNameMatch, nullptr,
                                   FIND_FIRST_EX_LARGE_FETCH);
  if (handle == INVALID_HANDLE_VALUE) return GetLastError() == ERROR_FILE_NOT_FOUND;  // no entries at all
  listing.handle.reset(handle);
  listing.first_pending = true;
  return true;
}

bool next_entry(DirectoryListing& listing) {
  if (!listing.handle) return false;
  for (;;) {
    if (listing.first_pending) {
      listing.first_pending = false;
    } else if (!FindNextFileW(listing.handle.get(), &listing.entry)) {
      const DWORD error = GetLastError();
      if (error == ERROR_NO_MORE_FILES) return false;
      throw std::runtime_error("directory_iterator::operator++: " + wide_to_utf8(windows_error_text(error)));
    }
    if (!is_dot_entry(listing.entry.cFileName)) return true;
  }
}

std::wstring join_path(const std::wstring& folder, const std::wstring& name) {
  std::wstring out;
  out.reserve(folder.size() + 1 + name.size());
  out = folder;
  if (!out.empty() && out.back() != L'\\' && out.back() != L'/') out.push_back(L'\\');
  out += name;
  return out;
}

}  // namespace corvane
