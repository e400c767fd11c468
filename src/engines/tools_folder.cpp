#include "engines/tools_folder.h"

#include "services/shell.h"
#include "services/text.h"

#include <windows.h>
#include <shlobj.h>

#include <exception>

namespace corvane {

namespace {

Outcome failure(std::wstring message) {
  Outcome outcome;
  outcome.ok = false;
  outcome.message = std::move(message);
  return outcome;
}

}  // namespace

Outcome create_tools_folder() {
  try {
    std::wstring path = known_folder_path(FOLDERID_Desktop);
    if (!path.empty() && path.back() != L'\\' && path.back() != L'/') path += L'\\';
    path += kToolsFolderName;

    bool created = true;
    if (!CreateDirectoryW(path.c_str(), nullptr)) {
      const DWORD error = GetLastError();
      const DWORD attributes = GetFileAttributesW(path.c_str());
      const bool directory_there =
          attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
      if (error != ERROR_ALREADY_EXISTS || !directory_there) return failure(windows_error_text(error));
      created = false;
    }

    Outcome outcome;
    outcome.message = path;
    outcome.affected = created ? 1 : 0;
    return outcome;
  } catch (const std::exception& e) {
    return failure(utf8_to_wide_lenient(e.what()));
  }
}

}  // namespace corvane
