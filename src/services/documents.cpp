#include "services/documents.h"

#include "services/data_folder_guard.h"
#include "services/directory_listing.h"
#include "services/folder_files.h"
#include "services/handles.h"
#include "services/pinned_folders.h"
#include "services/protected_documents.h"
#include "services/shell.h"
#include "services/system_info.h"
#include "services/text.h"

#include <windows.h>
#include <knownfolders.h>

#include <algorithm>
#include <filesystem>
#include <stdexcept>
#include <system_error>

namespace corvane {

namespace fs = std::filesystem;

DocumentWriteProbe document_write_probe = nullptr;
DocumentReadProbe document_read_probe = nullptr;

namespace {

constexpr char kFolderReplaced[] = "Document folder is a link or was replaced; nothing was written";

// Marks an open file (opened with DELETE) to go when its last handle closes, wherever it ended up.
void discard_file(HANDLE file) {
  FILE_DISPOSITION_INFO disposition{};
  disposition.DeleteFile = TRUE;
  SetFileInformationByHandle(file, FileDispositionInfo, &disposition, sizeof disposition);
}

}  // namespace

std::wstring app_data_folder() {
  std::wstring folder = (fs::path(known_folder_path(FOLDERID_LocalAppData)) / L"Corvane").wstring();
  note_data_folder(folder);
  return folder;
}

std::wstring backups_folder() { return (fs::path(app_data_folder()) / L"Backups").wstring(); }

std::wstring reports_folder() { return (fs::path(executable_path()).parent_path() / L"Reports").wstring(); }

std::string dump_json_document(const nlohmann::json& document) {
  // Objects are sorted maps, so keys come out in byte order; strict: invalid UTF-8 throws.
  return document.dump(2, ' ', false, nlohmann::json::error_handler_t::strict);
}

void write_file_atomic(const std::wstring& path, const std::string& bytes, bool create_folders) {
  const std::wstring folder = fs::absolute(fs::path(path)).parent_path().wstring();
  const bool elevated = process_elevated();
  check_data_folder_path(folder, elevated);  // before any folder is made
  PinnedFolders pins;  // held until the temporary file has been moved over the target
  const DWORD pinned = pin_folder_chain(folder, pins, create_folders, folder_links_for(elevated));
  if (pinned == ERROR_REPARSE_POINT_ENCOUNTERED) {
    throw std::runtime_error(linked_folder_refusal(folder, elevated, kFolderReplaced));
  }
  if (pinned != ERROR_SUCCESS) {
    if (create_folders) {
      throw fs::filesystem_error("create_directories", fs::path(folder),
                                 std::error_code(static_cast<int>(pinned), std::system_category()));
    }
    throw_windows_error(pinned);
  }
  check_pinned_data_folder(folder, pins, elevated);

  const std::wstring temporary = path + L"." + utf8_to_wide(make_stamp()) + L".tmp";
  if (bytes.size() > MAXDWORD) throw std::runtime_error("Cannot persist backup");
  // Whatever an elevated process writes is kept from unelevated programs, which could
  // otherwise change a backup that a later elevated restore would act on.
  SecurityDescriptor descriptor;
  if (elevated) descriptor = protected_document_descriptor();

  // Both names are taken inside the deepest pinned folder through its handle, never by path:
  // an emptied folder can still be turned into a junction while it is held.
  const HANDLE held = pins.handles.handles.back();
  const std::wstring leaf = fs::path(path).filename().wstring();
  const std::wstring temporary_leaf = fs::path(temporary).filename().wstring();
  if (document_write_probe != nullptr) document_write_probe(DocumentWriteStage::create_temporary, path);
  DWORD error = ERROR_SUCCESS;
  const UniqueHandle file = open_file_in_folder(held, temporary_leaf, GENERIC_WRITE | DELETE, 0,
                                                FolderFileOpen::create_new, descriptor.get(), error);
  if (!file) throw_windows_error(error);
  DWORD written = 0;
  if (!WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) ||
      written != bytes.size() || !FlushFileBuffers(file.get())) {
    throw std::runtime_error("Cannot persist backup");
  }
  if (document_write_probe != nullptr) document_write_probe(DocumentWriteStage::replace_target, path);
  // A failed write leaves its temporary file beside the target, as any failed write does.
  error = rename_into_folder(file.get(), held, leaf, true);
  if (error != ERROR_SUCCESS) throw_windows_error(error);
  // Where the folder was swapped all the same, the file went elsewhere: it goes back under its
  // temporary name and is removed, so that nothing of the write stays behind the link.
  if (!file_lies_in_folder(file.get(), held, leaf)) {
    rename_into_folder(file.get(), held, temporary_leaf, false);
    discard_file(file.get());
    throw std::runtime_error(kFolderReplaced);
  }
}

void create_document_folder(const std::wstring& folder) {
  const std::wstring absolute = fs::absolute(fs::path(folder)).wstring();
  const bool elevated = process_elevated();
  check_data_folder_path(absolute, elevated);  // before any folder is made
  PinnedFolders pins;
  const DWORD pinned = pin_folder_chain(absolute, pins, true, folder_links_for(elevated));
  if (pinned == ERROR_REPARSE_POINT_ENCOUNTERED) {
    throw std::runtime_error(linked_folder_refusal(absolute, elevated, kFolderReplaced));
  }
  if (pinned != ERROR_SUCCESS) {
    throw fs::filesystem_error("create_directories", fs::path(absolute),
                               std::error_code(static_cast<int>(pinned), std::system_category()));
  }
  check_pinned_data_folder(absolute, pins, elevated);
}

void write_json_atomic(const std::wstring& path, const nlohmann::json& document) {
  write_file_atomic(path, dump_json_document(document), true);
}

std::string read_document_text(const std::wstring& path, DocumentRights* rights) {
  return read_document_text(path, rights, in_data_folder(path) && process_elevated());
}

std::string read_document_text(const std::wstring& path, DocumentRights* rights, bool elevated) {
  DataFolderHold hold;  // held until the file is read
  if (elevated && !hold_data_folder(fs::absolute(fs::path(path)).parent_path().wstring(), hold, true)) {
    throw std::runtime_error("Cannot read backup");
  }
  const DWORD access = GENERIC_READ | (rights != nullptr ? READ_CONTROL : 0);
  UniqueHandle file;
  if (hold.held && document_read_probe != nullptr) document_read_probe(path);
  if (hold.held) {
    // By its name inside the folder that was checked, never by path again.
    DWORD error = ERROR_SUCCESS;
    file = open_file_in_folder(hold.pins.handles.handles.back(), fs::path(path).filename().wstring(),
                               access | FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE,
                               FolderFileOpen::existing, nullptr, error);
    if (file && !opened_file_is_no_link(file.get())) {
      throw std::runtime_error("Cannot read backup");
    }
  } else {
    file = adopt_handle(CreateFileW(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
  }
  if (!file) throw std::runtime_error("Cannot read backup");
  if (!file_in_held_folder(hold, file.get())) throw std::runtime_error(wide_to_utf8(kDataFolderOutsideProfileMessage));
  if (rights != nullptr) *rights = read_document_rights(file.get());
  std::string text;
  char chunk[65536];
  for (;;) {
    DWORD got = 0;
    if (!ReadFile(file.get(), chunk, sizeof chunk, &got, nullptr)) throw std::runtime_error("Cannot read backup");
    if (got == 0) break;
    text.append(chunk, got);
  }
  return text;
}

nlohmann::json parse_json_document(const std::string& text) { return nlohmann::json::parse(text, nullptr, true, false); }

nlohmann::json read_json_file(const std::wstring& path) { return parse_json_document(read_document_text(path)); }

std::vector<std::wstring> list_backups_in(const std::wstring& folder) {
  std::vector<std::wstring> paths;
  std::error_code error;
  fs::directory_iterator it(fs::path(folder), error);
  if (error) return paths;  // missing or unreadable folder: nothing to list
  for (const fs::directory_iterator end; it != end;) {
    const fs::file_status status = it->status(error);
    if (error) {
      if (error != std::errc::no_such_file_or_directory) {
        throw fs::filesystem_error("cannot read the status of a backup", it->path(), error);
      }
    } else if (fs::is_regular_file(status) && it->path().extension().wstring() == L".json") {
      paths.push_back(it->path().wstring());
    }
    it.increment(error);
    if (error) throw fs::filesystem_error("cannot list the backups", fs::path(folder), error);
  }
  std::sort(paths.begin(), paths.end(), std::greater<std::wstring>());
  return paths;
}

std::vector<std::wstring> list_backups() { return list_backups(process_elevated()); }

std::vector<std::wstring> list_backups(bool elevated) {
  const std::wstring folder = backups_folder();
  DataFolderHold hold;  // elevated, listed through the checked folder's handle
  if (!hold_data_folder(folder, hold, elevated)) return {};
  if (!hold.held) return list_backups_in(folder);
  std::vector<std::wstring> paths;
  const ListedReparsePoints listed = ListedReparsePoints::not_links;
  for (const std::wstring& name : held_folder_file_names(hold, "cannot list the backups", listed)) {
    if (fs::path(name).extension().wstring() == L".json") paths.push_back(join_path(folder, name));
  }
  std::sort(paths.begin(), paths.end(), std::greater<std::wstring>());
  return paths;
}

}  // namespace corvane
