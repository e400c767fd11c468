#pragma once
// Moving a Startup-folder file between two pinned folders through the folders' handles. A folder
// that was checked can still be emptied and turned into a junction while it is held, so after
// the check nothing goes by path again: the file is opened by its name inside the held source
// folder, renamed by its name into the held destination folder, and found afterwards to lie
// there through its own handle.

#include "services/handles.h"
#include "services/pinned_folders.h"

#include <windows.h>

#include <string>

namespace corvane {

// Where a Startup-folder move stands when startup_move_hook is called.
enum class StartupMoveStage {
  folders_pinned,  // both folders pinned and checked; the file not yet opened
  file_opened,     // the file opened and checked, a change's journal written; not yet moved
};

// Null in the product. Tests set it to change the folders between the check and the move.
using StartupMoveHook = void (*)(StartupMoveStage stage);
extern StartupMoveHook startup_move_hook;

// Calls startup_move_hook when one is set.
void reach_startup_move_stage(StartupMoveStage stage);

// Opens leaf directly inside the deepest folder of source for a move: delete access and attribute
// reads, shared for reading and writing but not for deleting, so that no other program can
// rename it away meanwhile. A link at leaf's place is opened itself. An empty handle with error
// set on failure.
UniqueHandle open_startup_file(const PinnedFolders& source, const std::wstring& leaf, DWORD& error);

// True when the open file, judged through its handle, is neither a folder nor a link or other
// reparse point, and its final path is leaf directly inside the deepest folder of source. A link
// to a file is not always reported as one and is then opened through: its final path names the
// file it leads to. False also when the attributes or the final paths cannot be read.
bool startup_file_in_place(HANDLE file, const PinnedFolders& source, const std::wstring& leaf);

// Renames file, which is source_leaf inside source's deepest folder, to leaf inside destination's
// deepest folder without replacing anything, then checks through the file's handle that it lies
// there. ERROR_SUCCESS, or the rename's error when nothing moved. When the file turns out to
// lie anywhere else, it is moved back into source and kStartupMoveRedirectedMessage is thrown;
// when it cannot be moved back, a text that names where it is.
DWORD move_startup_file(HANDLE file, const PinnedFolders& source, const std::wstring& source_leaf,
                        const PinnedFolders& destination, const std::wstring& leaf);

}  // namespace corvane
