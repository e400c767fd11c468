#include "support/set_aside.h"

#include "services/handles.h"
#include "services/text.h"
#include "support/scratch.h"
#include "support/unix_link.h"
#include "support/wine.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <filesystem>
#include <stdexcept>
#include <system_error>
#include <utility>

namespace corvane::testing {

bool remove_path(const std::wstring& path) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return true;
  if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
    // Under Wine a link to a folder shows as a reparse point that Wine will not delete itself.
    if (running_under_wine()) {
      remove_unix_symlink(path);
    } else if (RemoveDirectoryW(path.c_str()) == FALSE) {
      DeleteFileW(path.c_str());
    }
    return GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES;
  }
  if ((attributes & FILE_ATTRIBUTE_READONLY) != 0) SetFileAttributesW(path.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY);
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) return DeleteFileW(path.c_str()) != FALSE;
  WIN32_FIND_DATAW data{};
  {
    const UniqueFindHandle found(FindFirstFileW((path + L"\\*").c_str(), &data));
    if (found.get() != INVALID_HANDLE_VALUE) {
      do {
        const std::wstring name = data.cFileName;
        if (name != L"." && name != L"..") remove_path(path + L"\\" + name);
      } while (FindNextFileW(found.get(), &data));
    }
  }
  return RemoveDirectoryW(path.c_str()) != FALSE;
}

PathSetAside::PathSetAside(std::wstring path) : path_(std::move(path)) {
  while (!path_.empty() && (path_.back() == L'\\' || path_.back() == L'/')) path_.pop_back();
  if (GetFileAttributesW(path_.c_str()) == INVALID_FILE_ATTRIBUTES) return;
  const std::wstring moved = path_ + L".set-aside-" + random_name();
  if (MoveFileExW(path_.c_str(), moved.c_str(), 0) == FALSE) {
    throw std::runtime_error("cannot set aside " + wide_to_utf8(path_));
  }
  moved_ = moved;
}

PathSetAside::~PathSetAside() {
  if (!remove_path(path_)) ADD_FAILURE() << "cannot clear " << wide_to_utf8(path_) << " to put back what was there";
  if (!moved_.empty() && MoveFileExW(moved_.c_str(), path_.c_str(), 0) == FALSE) {
    ADD_FAILURE() << "cannot put back " << wide_to_utf8(path_) << " from " << wide_to_utf8(moved_);
  }
}

void PathSetAside::put_file(const std::string& bytes) const {
  std::error_code ignored;
  std::filesystem::create_directories(std::filesystem::path(path_).parent_path(), ignored);
  write_file_bytes(path_, bytes);
}

}  // namespace corvane::testing
