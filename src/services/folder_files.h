#pragma once
// Files handled by their name inside a folder that is held open: opened, created and renamed
// through the folder's handle, never by a path that could lead elsewhere once the folder has
// been checked (an emptied folder can still be turned into a junction while it is held).

#include "services/handles.h"

#include <windows.h>

#include <string>

namespace corvane {

// True when a reparse point leads elsewhere: a name surrogate (junction, symbolic link, WSL link,
// ...), an app execution alias, or a tag of 0, which is unknown (some platforms list their links
// so). Any other tag marks a plain file or folder kept in a special way (cloud sync with files on
// demand, deduplication, compression). False without FILE_ATTRIBUTE_REPARSE_POINT.
bool reparse_point_is_link(DWORD attributes, DWORD reparse_tag);

// True when the open handle reads, through handle_attribute_tag, as a folder that is no link.
bool opened_folder_is_no_link(HANDLE folder);

// True when the open handle reads, through handle_attribute_tag, as a file that is no link.
bool opened_file_is_no_link(HANDLE file);

enum class FolderFileOpen {
  existing,        // the file must be there
  create_new,      // the name must be free
  open_or_create,  // either
};

// Opens or creates the file leaf directly inside folder (a handle with traverse rights). A link
// at leaf's place is opened itself, never followed; a folder there is refused. leaf is a plain
// name: a separator, "." or ".." gives ERROR_INVALID_NAME. descriptor, when given, is the new
// file's security. An empty handle with error set on failure.
UniqueHandle open_file_in_folder(HANDLE folder, const std::wstring& leaf, DWORD access, DWORD share,
                                 FolderFileOpen disposition, PSECURITY_DESCRIPTOR descriptor, DWORD& error);

// Opens or creates the folder leaf directly inside folder, the same way: a link at leaf's place is
// opened itself (check its attributes through the handle: some platforms follow it all the same),
// a file there is refused. created, when given, says whether the folder was made by this call.
UniqueHandle open_folder_in_folder(HANDLE folder, const std::wstring& leaf, DWORD access, DWORD share,
                                   FolderFileOpen disposition, DWORD& error, bool* created = nullptr);

// Renames file (opened with DELETE access) to leaf directly inside folder. Without replace an
// existing leaf gives ERROR_ALREADY_EXISTS. ERROR_SUCCESS or the error.
DWORD rename_into_folder(HANDLE file, HANDLE folder, const std::wstring& leaf, bool replace);

// True when file's (or a folder's) final path is leaf directly inside folder's final path (letter case aside).
// A rename through a folder handle can still end up elsewhere where the folder was replaced by
// a link after it was opened; this is how that is found out afterwards.
bool file_lies_in_folder(HANDLE file, HANDLE folder, const std::wstring& leaf);

}  // namespace corvane
