#include "services/documents.h"

#include "services/handles.h"
#include "services/shell.h"
#include "services/text.h"

#include <windows.h>
#include <knownfolders.h>

#include <algorithm>
#include <filesystem>
#include <stdexcept>
#include <system_error>

namespace corvane {

namespace fs = std::filesystem;

std::wstring app_data_folder() { return (fs::path(known_folder_path(FOLDERID_LocalAppData)) / L"Corvane").wstring(); }

std::wstring backups_folder() { return (fs::path(app_data_folder()) / L"Backups").wstring(); }

std::wstring reports_folder() { return (fs::path(executable_path()).parent_path() / L"Reports").wstring(); }

std::string dump_json_document(const nlohmann::json& document) {
  // Objects are sorted maps, so keys come out in byte order; strict: invalid UTF-8 throws.
  return document.dump(2, ' ', false, nlohmann::json::error_handler_t::strict);
}

void write_json_atomic(const std::wstring& path, const nlohmann::json& document) {
  const fs::path parent = fs::path(path).parent_path();
  if (!parent.empty()) fs::create_directories(parent);

  const std::wstring temporary = path + L"." + utf8_to_wide(make_stamp()) + L".tmp";
  const std::string text = dump_json_document(document);
  if (text.size() > MAXDWORD) throw std::runtime_error("Cannot persist backup");

  {
    const UniqueHandle file = adopt_handle(
        CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) throw_windows_error(GetLastError());
    DWORD written = 0;
    if (!WriteFile(file.get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr) ||
        written != text.size() || !FlushFileBuffers(file.get())) {
      throw std::runtime_error("Cannot persist backup");
    }
  }
  if (!MoveFileExW(temporary.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    throw_windows_error(GetLastError());
  }
}

nlohmann::json read_json_file(const std::wstring& path) {
  const UniqueHandle file = adopt_handle(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                                     nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) throw std::runtime_error("Cannot read backup");
  std::string text;
  char chunk[65536];
  for (;;) {
    DWORD got = 0;
    if (!ReadFile(file.get(), chunk, sizeof chunk, &got, nullptr)) throw std::runtime_error("Cannot read backup");
    if (got == 0) break;
    text.append(chunk, got);
  }
  return nlohmann::json::parse(text, nullptr, true, false);
}

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

std::vector<std::wstring> list_backups() { return list_backups_in(backups_folder()); }

}  // namespace corvane
