#include "engines/startup_file_move.h"

#include "engines/startup_change.h"
#include "services/folder_files.h"
#include "services/text.h"

#include <stdexcept>

namespace corvane {

StartupMoveHook startup_move_hook = nullptr;

namespace {

HANDLE deepest(const PinnedFolders& pins) {
  return pins.handles.handles.empty() ? INVALID_HANDLE_VALUE : pins.handles.handles.back();
}

}  // namespace

void reach_startup_move_stage(StartupMoveStage stage) {
  if (startup_move_hook != nullptr) startup_move_hook(stage);
}

UniqueHandle open_startup_file(const PinnedFolders& source, const std::wstring& leaf, DWORD& error) {
  return open_file_in_folder(deepest(source), leaf, DELETE | FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE,
                             FolderFileOpen::existing, nullptr, error);
}

bool startup_file_in_place(HANDLE file, const PinnedFolders& source, const std::wstring& leaf) {
  const DWORD attributes = read_attributes_by_handle(file);
  return attributes != INVALID_FILE_ATTRIBUTES &&
         (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) == 0 &&
         file_lies_in_folder(file, deepest(source), leaf);
}

DWORD move_startup_file(HANDLE file, const PinnedFolders& source, const std::wstring& source_leaf,
                        const PinnedFolders& destination, const std::wstring& leaf) {
  const DWORD error = rename_into_folder(file, deepest(destination), leaf, false);
  if (error != ERROR_SUCCESS) return error;
  if (file_lies_in_folder(file, deepest(destination), leaf)) return ERROR_SUCCESS;
  // The rename went through a folder that is no longer the one that was checked.
  if (rename_into_folder(file, deepest(source), source_leaf, false) == ERROR_SUCCESS &&
      file_lies_in_folder(file, deepest(source), source_leaf)) {
    throw std::runtime_error(wide_to_utf8(kStartupMoveRedirectedMessage));
  }
  const std::wstring now = final_path_of(file);
  throw std::runtime_error(wide_to_utf8(std::wstring(kStartupMoveStrandedMessage) +
                                        (now.empty() ? std::wstring(L"an unknown place") : now) + L"."));
}

}  // namespace corvane
