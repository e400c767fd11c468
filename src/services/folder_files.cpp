#include "services/folder_files.h"

#include "services/pinned_folders.h"
#include "services/text.h"

#include <winternl.h>

#include <cstring>
#include <vector>

namespace corvane {

namespace {

// FILE_RENAME_INFORMATION's class number; the call goes to the native service directly because
// the Win32 wrapper of some platforms reads the new name as a path of the current directory
// rather than a name inside RootDirectory.
constexpr int kFileRenameInformation = 10;

bool plain_leaf(const std::wstring& leaf) {
  if (leaf.empty() || leaf == L"." || leaf == L"..") return false;
  if (leaf.size() > 255) return false;
  return leaf.find_first_of(L"\\/:") == std::wstring::npos && leaf.find(L'\0') == std::wstring::npos;
}

ULONG nt_disposition(FolderFileOpen disposition) {
  switch (disposition) {
    case FolderFileOpen::existing: return FILE_OPEN;
    case FolderFileOpen::create_new: return FILE_CREATE;
    case FolderFileOpen::open_or_create: return FILE_OPEN_IF;
  }
  return FILE_OPEN;
}

DWORD windows_error_of(NTSTATUS status) {
  const ULONG error = RtlNtStatusToDosError(status);
  return error != ERROR_SUCCESS ? error : ERROR_GEN_FAILURE;
}

// The layout of FILE_RENAME_INFORMATION, with the name following it.
struct RenameInformation {
  BOOLEAN replace_if_exists;
  HANDLE root_directory;
  ULONG file_name_length;
  WCHAR file_name[1];
};

// Attributes read, and a link refused, where the kind matches what the open asked for.
bool opened_is_no_link(HANDLE handle, bool folder) {
  const AttributeTag read = handle_attribute_tag(handle);
  if (read.attributes == INVALID_FILE_ATTRIBUTES || reparse_point_is_link(read.attributes, read.reparse_tag)) {
    return false;
  }
  return ((read.attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) == folder;
}

}  // namespace

bool reparse_point_is_link(DWORD attributes, DWORD reparse_tag) {
  if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0) return false;
  return reparse_tag == 0 || IsReparseTagNameSurrogate(reparse_tag) || reparse_tag == IO_REPARSE_TAG_APPEXECLINK;
}

bool opened_folder_is_no_link(HANDLE folder) { return opened_is_no_link(folder, true); }

bool opened_file_is_no_link(HANDLE file) { return opened_is_no_link(file, false); }

namespace {

UniqueHandle open_in_folder(HANDLE folder, const std::wstring& leaf, DWORD access, DWORD share,
                            FolderFileOpen disposition, PSECURITY_DESCRIPTOR descriptor, ULONG kind_option,
                            DWORD& error, bool* created) {
  error = ERROR_SUCCESS;
  if (created != nullptr) *created = false;
  if (!plain_leaf(leaf)) {
    error = ERROR_INVALID_NAME;
    return {};
  }
  if (folder == nullptr || folder == INVALID_HANDLE_VALUE) {
    error = ERROR_INVALID_HANDLE;
    return {};
  }
  UNICODE_STRING name{};
  name.Buffer = const_cast<PWSTR>(leaf.c_str());
  name.Length = static_cast<USHORT>(leaf.size() * sizeof(wchar_t));
  name.MaximumLength = name.Length;
  OBJECT_ATTRIBUTES attributes{};
  InitializeObjectAttributes(&attributes, &name, OBJ_CASE_INSENSITIVE, folder, descriptor);
  IO_STATUS_BLOCK io{};
  HANDLE file = nullptr;
  const NTSTATUS status =
      NtCreateFile(&file, access | SYNCHRONIZE, &attributes, &io, nullptr, FILE_ATTRIBUTE_NORMAL, share,
                   nt_disposition(disposition), kind_option | FILE_SYNCHRONOUS_IO_NONALERT | FILE_OPEN_REPARSE_POINT,
                   nullptr, 0);
  if (!NT_SUCCESS(status)) {
    error = windows_error_of(status);
    // The same error as a CreateFileW of a new file whose name is taken.
    if (error == ERROR_ALREADY_EXISTS) error = ERROR_FILE_EXISTS;
    return {};
  }
  if (created != nullptr) *created = io.Information == FILE_CREATED;
  return adopt_handle(file);
}

}  // namespace

UniqueHandle open_file_in_folder(HANDLE folder, const std::wstring& leaf, DWORD access, DWORD share,
                                 FolderFileOpen disposition, PSECURITY_DESCRIPTOR descriptor, DWORD& error) {
  return open_in_folder(folder, leaf, access, share, disposition, descriptor, FILE_NON_DIRECTORY_FILE, error, nullptr);
}

UniqueHandle open_folder_in_folder(HANDLE folder, const std::wstring& leaf, DWORD access, DWORD share,
                                   FolderFileOpen disposition, DWORD& error, bool* created) {
  return open_in_folder(folder, leaf, access, share, disposition, nullptr, FILE_DIRECTORY_FILE, error, created);
}

DWORD rename_into_folder(HANDLE file, HANDLE folder, const std::wstring& leaf, bool replace) {
  if (!plain_leaf(leaf)) return ERROR_INVALID_NAME;
  if (folder == nullptr || folder == INVALID_HANDLE_VALUE) return ERROR_INVALID_HANDLE;
  const std::size_t name_bytes = leaf.size() * sizeof(wchar_t);
  std::vector<unsigned char> buffer(offsetof(RenameInformation, file_name) + name_bytes + sizeof(wchar_t));
  auto* information = reinterpret_cast<RenameInformation*>(buffer.data());
  information->replace_if_exists = replace ? TRUE : FALSE;
  information->root_directory = folder;
  information->file_name_length = static_cast<ULONG>(name_bytes);
  std::memcpy(information->file_name, leaf.data(), name_bytes);
  IO_STATUS_BLOCK io{};
  const NTSTATUS status = NtSetInformationFile(file, &io, information, static_cast<ULONG>(buffer.size()),
                                               static_cast<FILE_INFORMATION_CLASS>(kFileRenameInformation));
  if (NT_SUCCESS(status)) return ERROR_SUCCESS;
  const DWORD error = windows_error_of(status);
  return error == ERROR_FILE_EXISTS ? ERROR_ALREADY_EXISTS : error;
}

bool file_lies_in_folder(HANDLE file, HANDLE folder, const std::wstring& leaf) {
  const std::wstring file_path = final_path_of(file);
  std::wstring expected = final_path_of(folder);
  if (file_path.empty() || expected.empty()) return false;
  if (expected.back() != L'\\') expected.push_back(L'\\');
  expected += leaf;
  return same_path_text(file_path, expected);
}

}  // namespace corvane
