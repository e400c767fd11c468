#pragma once
// An elevated Corvane uses its data folder only where it lies inside the user's profile folder as
// the machine records it. The folder hangs from the user's local application data folder, a
// per-user setting that any program of the user can point anywhere: into the system's folders,
// or at another user's documents.

#include "services/pinned_folders.h"

#include <windows.h>

#include <string>

namespace corvane {

// Why an elevated Corvane neither wrote nor read anything there. The outcome carries the English
// text; the Vietnamese one is for the user interface.
inline constexpr wchar_t kDataFolderOutsideProfileMessage[] =
    L"Corvane's data folder is outside your user profile, so Corvane running as administrator does not use it. "
    L"Nothing was changed.";
inline constexpr wchar_t kDataFolderOutsideProfileMessageVi[] =
    L"Thư mục dữ liệu của Corvane nằm ngoài hồ sơ người dùng của bạn, nên Corvane chạy với quyền quản trị không "
    L"dùng thư mục đó. Không có gì bị thay đổi.";

// Why an elevated Corvane did not use a data folder that a link or junction on its way leads to.
inline constexpr wchar_t kDataFolderThroughLinkMessage[] =
    L"Corvane's data folder is reached through a link, so Corvane running as administrator does not use it. "
    L"Nothing was changed.";
inline constexpr wchar_t kDataFolderThroughLinkMessageVi[] =
    L"Thư mục dữ liệu của Corvane được dẫn tới qua một liên kết, nên Corvane chạy với quyền quản trị không dùng "
    L"thư mục đó. Không có gì bị thay đổi.";

// Remembers a data folder handed out in this process (app_data_folder does), so that a path made
// from it is still known for one after the setting has been pointed elsewhere.
void note_data_folder(const std::wstring& folder);

// True when path is a data folder handed out in this process or lies inside one.
bool in_data_folder(const std::wstring& path);

// Before folder is pinned or anything is made in it: elevated, a folder in the data folder must
// lie, by its path, inside the recorded profile folder; else throws
// kDataFolderOutsideProfileMessage (in UTF-8). Other folders pass. Without elevated, as
// process_elevated says.
void check_data_folder_path(const std::wstring& folder, bool elevated);
void check_data_folder_path(const std::wstring& folder);

// After folder's chain has been pinned into pins: elevated, and folder in the data folder, the
// deepest pinned folder's final path must lie inside the profile folder's; else throws
// kDataFolderOutsideProfileMessage.
void check_pinned_data_folder(const std::wstring& folder, PinnedFolders& pins, bool elevated);
void check_pinned_data_folder(const std::wstring& folder, PinnedFolders& pins);

// The refusal for a link or junction met on the way to folder: kDataFolderThroughLinkMessage (in
// UTF-8) for a folder of the data folder when elevated, else other.
std::string linked_folder_refusal(const std::wstring& folder, bool elevated, const std::string& other);

// A folder of the data folder held for reading or listing by an elevated process.
struct DataFolderHold {
  bool held = false;  // false: not elevated, or not in the data folder; read as ever
  PinnedFolders pins;
  std::wstring folder_final_path;
};

// Elevated and folder in the data folder: checks folder as above, pins its chain (making nothing)
// and keeps it pinned in hold. Throws kDataFolderOutsideProfileMessage when it lies outside the
// profile, kDataFolderThroughLinkMessage when it has a link on its way; false when it cannot be
// pinned (a missing folder); else true.
bool hold_data_folder(const std::wstring& folder, DataFolderHold& hold, bool elevated);

// True unless hold holds a folder and file, an open file, does not lie directly in it.
bool file_in_held_folder(const DataFolderHold& hold, HANDLE file);

// Which reparse points a listing of a held folder names among its files.
enum class ListedReparsePoints {
  none,       // no reparse point at all, whatever its tag: files Corvane moves for the user
  not_links,  // every one but a link: Corvane's own documents, also where cloud sync keeps them
};

// The names of the files directly in the held folder, listed through its handle: no folder, link
// or junction, nor any other reparse point unless listed says so. A failure while listing throws
// operation, ": " and the Windows text.
std::vector<std::wstring> held_folder_file_names(const DataFolderHold& hold, const char* operation,
                                                 ListedReparsePoints listed = ListedReparsePoints::none);

}  // namespace corvane
