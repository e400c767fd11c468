#pragma once
// Folders held open from below the drive root down to the folder a file is handled in: none of
// them can be moved or deleted meanwhile, and none was a link or junction when it was pinned.
// A pin cannot stop its folder, once emptied, from being made a junction in place (that needs
// only the right to write its attributes, which the pin shares), so a path is checked where it
// leads again after the pin, or the act goes through the pinned handle.

#include "services/handles.h"

#include <windows.h>

#include <string>
#include <string_view>
#include <vector>

#ifndef ERROR_REPARSE_POINT_ENCOUNTERED
#define ERROR_REPARSE_POINT_ENCOUNTERED 4395L
#endif

namespace corvane {

// Owns Win32 handles; closes each one that is neither null nor INVALID_HANDLE_VALUE, in
// list order, when destroyed or cut back.
struct HandleList {
  std::vector<HANDLE> handles;

  HandleList() = default;
  HandleList(const HandleList&) = delete;
  HandleList& operator=(const HandleList&) = delete;
  ~HandleList() { close_from(0); }

  void add(HANDLE handle) { handles.push_back(handle); }
  // Closes the handles from position keep on, in list order, and drops them from the list.
  void close_from(std::size_t keep);
};

// A chain of folders, each held open without delete sharing.
struct PinnedFolders {
  std::vector<std::wstring> paths;  // every prefix of the deepest folder, shortest first
  HandleList handles;               // one per path, same order
  std::wstring final_path_buffer;   // scratch for GetFinalPathNameByHandleW
  // Set by pin_folder_chain: the drive root the chain hangs from, held open without delete
  // sharing, and its final path ("C:\", or the folder or share behind a subst or mapped drive).
  UniqueHandle root;
  std::wstring root_final_path;
  // Set by held_pins_vouch_for: the root whose folders were read through their handles and found
  // plain folders, and how many levels it spans; forgotten as soon as any of them is let go.
  std::wstring vouched_root;
  std::size_t vouched_levels = 0;
  // Set by a caller that found root's pinned folder inside the user's profile, so that it asks
  // once per root; forgotten like the vouch.
  std::wstring in_profile_root;
  std::size_t in_profile_levels = 0;

  // Lets go of the folders from level on; level 0 lets go of the root too.
  void release_from(std::size_t level);
};

// Every prefix of folder from the first folder below its root ("C:\" or "\\server\share")
// down to folder itself. False for any other form and for "." or ".." elements.
bool folder_chain(const std::wstring& folder, std::vector<std::wstring>& chain);

// Opens path as a folder for listing and traversing, without following a link at its place and
// without delete sharing, so that it cannot be renamed or deleted while held, and appends it
// to pins. ERROR_SUCCESS, the open's error, ERROR_DIRECTORY for a file, or
// ERROR_REPARSE_POINT_ENCOUNTERED for a link or junction (a folder kept by cloud sync is none).
DWORD pin_folder(const std::wstring& path, PinnedFolders& pins);

// True when final_path (a folder's final path without "\\?\") names the folder that lies at
// relative ("a\b", its path below the drive root) under a root whose final path is
// root_final_path; letter case aside.
bool final_path_matches(const std::wstring& final_path, const std::wstring& root_final_path,
                        const std::wstring& relative);

// True when every folder of folder's chain (as folder_chain spells it) is held by pins, from
// the first one on. Each was found a plain folder, neither a link nor a file, when it was
// pinned, and none of them can be renamed or removed while it stays pinned; an emptied one can
// still be made a junction in place.
bool chain_is_pinned(const std::wstring& folder, const PinnedFolders& pins);

// An open file's or folder's attributes and reparse tag (0 where it is no reparse point).
struct AttributeTag {
  DWORD attributes = INVALID_FILE_ATTRIBUTES;  // INVALID_FILE_ATTRIBUTES when they cannot be read
  DWORD reparse_tag = 0;
};

// Reads them through the handle (GetFileInformationByHandleEx, FileAttributeTagInfo), with no
// path walk; on failure the attributes are INVALID_FILE_ATTRIBUTES and GetLastError says why.
AttributeTag read_attribute_tag_by_handle(HANDLE handle);

// The attributes alone, as read_attribute_tag_by_handle reads them.
DWORD read_attributes_by_handle(HANDLE handle);

// The reader through which every check of an open folder on the way, or of a file that Corvane
// keeps or deletes, learns whether it is a reparse point and of which kind:
// read_attribute_tag_by_handle. Tests replace it to report what Windows shows and Wine cannot
// make: a folder or file kept by cloud sync, a held folder made a junction in place.
extern AttributeTag (*handle_attribute_tag)(HANDLE handle);

// The reader through which a listing of an open folder learns the same of one of its entries,
// given what the listing said of it (a listing gives a reparse point's tag in place of the size
// of its extended attributes): returns listed. Tests replace it as they replace
// handle_attribute_tag.
extern AttributeTag (*listed_attribute_tag)(HANDLE folder, std::wstring_view name, AttributeTag listed);

// True when pins hold every folder of root's chain and each of them, read through its handle,
// is still a folder and no link or junction. Read once per root while its folders stay
// held: a later change in place is caught where the act checks its own final path.
bool held_pins_vouch_for(const std::wstring& root, PinnedFolders& pins);

// True when the deepest pinned folder is where path leads from the pinned drive root, judged by
// final paths (so a subst or mapped drive passes, a link or junction on the way does not).
bool pinned_folder_is(PinnedFolders& pins, const std::wstring& path);

// True when final_path (of an open file or folder) lies strictly inside folder, with folder's
// names as written and its drive root wherever pins' drive root leads; false where folder hangs
// from another root than pins' chain. A final path names real folders only, never a link, so
// this also says that no link lies on folder's way as written.
bool final_path_inside_as_written(const PinnedFolders& pins, const std::wstring& final_path,
                                  const std::wstring& folder);

// The same for any open file or folder: true when handle's final path is where path (absolute)
// leads from its drive root, the names below the root in their long form, letter case aside.
bool handle_is_at(HANDLE handle, const std::wstring& path);

// What pin_folder_chain does with a link or junction on the way to the folder.
enum class FolderLinks {
  refused,   // any link fails the pin: what an elevated Corvane needs
  followed,  // the folder is first resolved to where its links lead, once, and pinned there: for
             // an unelevated Corvane, which acts with the user's own rights and so may follow the
             // user's own links (a profile moved to another drive, say)
};

// refused when elevated, followed otherwise.
inline FolderLinks folder_links_for(bool elevated) { return elevated ? FolderLinks::refused : FolderLinks::followed; }

// folder as its links lead: the deepest existing folder of its chain, opened through every link
// on the way, named by its final path, with the rest of folder's names after it. folder itself
// when none of it can be opened.
std::wstring folder_as_links_lead(const std::wstring& folder);

// Test seam: when set, pin_folder_chain calls it with a missing folder's path just before making it.
extern void (*folder_create_probe)(const std::wstring& folder);

// Pins the whole chain of folder afresh, each level opened by its name inside the one above,
// creating missing folders one by one when asked, and checks by the deepest folder's final path
// that it leads to folder itself (and, before a folder is made, that its parent is in place). A
// missing folder is made by its name through the handle of its pinned parent, and that new
// folder's handle is the pin. With FolderLinks::followed the
// chain pinned is that of folder_as_links_lead(folder) (pins.paths show it). ERROR_SUCCESS;
// ERROR_REPARSE_POINT_ENCOUNTERED for a link anywhere on the way (also one the final path gives
// away); else the failing call's error.
DWORD pin_folder_chain(const std::wstring& folder, PinnedFolders& pins, bool create_missing = false,
                       FolderLinks links = FolderLinks::refused);

// The final path of an open file or folder ("C:\x" or "\\server\share\x"); empty on failure.
std::wstring final_path_of(HANDLE handle);

}  // namespace corvane
