#pragma once
// The data and reports folders, atomic JSON documents and the list of backups.

#include <nlohmann/json.hpp>

#include <string>
#include <vector>

namespace corvane {

// %LOCALAPPDATA%\Corvane. Not created here.
std::wstring app_data_folder();

// The data folder's "Backups" folder. Not created here.
std::wstring backups_folder();

// "Reports" beside the executable. Not created here.
std::wstring reports_folder();

struct DocumentRights;

// Writes bytes to path through a temporary file beside it that is flushed and then moved over
// path in one replace. The folder chain stays pinned the whole time, missing folders made one
// by one through their pinned parents when create_folders is set. Elevated, a link or junction
// anywhere on the way fails the write before anything is written (kDataFolderThroughLinkMessage
// for the data folder); unelevated, the user's own links are followed once and the folder they
// lead to is pinned. The temporary file is made, and renamed to the target, by name
// through the pinned folder's handle, and must be found there afterwards. An elevated process
// creates the file protected, and writes into the data folder only inside the user's profile
// (else kDataFolderOutsideProfileMessage).
void write_file_atomic(const std::wstring& path, const std::string& bytes, bool create_folders);

// Test seam: when set, write_file_atomic calls it with the target once the folder chain is
// pinned, before the temporary file is made, and again before that file takes the target's name.
enum class DocumentWriteStage { create_temporary, replace_target };
using DocumentWriteProbe = void (*)(DocumentWriteStage stage, const std::wstring& path);
extern DocumentWriteProbe document_write_probe;

// Test seam: when set, read_document_text calls it with the path once an elevated read has
// pinned the document's folder, before the document is opened in it.
using DocumentReadProbe = void (*)(const std::wstring& path);
extern DocumentReadProbe document_read_probe;

// Makes folder and its missing ancestors one by one, each pinned and checked as
// write_file_atomic does: a link or junction on the way fails with its text, anything else
// with the file-system error "create_directories". Elevated, a folder of the data folder is made
// only inside the user's profile (else kDataFolderOutsideProfileMessage, nothing made).
void create_document_folder(const std::wstring& folder);

// Indent 2, LF only, no final line break, keys in byte order, UTF-8; through a temporary
// file beside the target that is flushed and then moved over it in one replace.
void write_json_atomic(const std::wstring& path, const nlohmann::json& document);

// The text write_json_atomic writes for a document.
std::string dump_json_document(const nlohmann::json& document);

// Throws "Cannot read backup" when the file cannot be opened, else the parser's error.
nlohmann::json read_json_file(const std::wstring& path);

// The whole file, and with rights given also who may change it, read through one handle.
// Throws "Cannot read backup" when the file cannot be opened or read. Elevated (as
// process_elevated says, or as given), a document of the data folder is read only from a folder
// inside the user's profile (else throws kDataFolderOutsideProfileMessage), opened by its name
// through the checked folder's handle.
std::string read_document_text(const std::wstring& path, DocumentRights* rights = nullptr);
std::string read_document_text(const std::wstring& path, DocumentRights* rights, bool elevated);

// One whole JSON document: no comments, nothing but white space after it.
nlohmann::json parse_json_document(const std::string& text);

// Every .json document in the Backups folder, newest first. Elevated (as process_elevated says,
// or as given), listed only when the folder lies inside the user's profile, through its checked
// handle: else throws kDataFolderOutsideProfileMessage.
std::vector<std::wstring> list_backups();
std::vector<std::wstring> list_backups(bool elevated);

// Every .json document in the given folder, newest first; a missing folder gives none.
std::vector<std::wstring> list_backups_in(const std::wstring& folder);

}  // namespace corvane
