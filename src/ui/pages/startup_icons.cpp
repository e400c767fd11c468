// The small program icons of the Startup page, loaded on the worker thread after a listing.
#include "ui/app.h"

#include "services/com_ptr.h"
#include "services/data_folder_guard.h"
#include "services/folder_files.h"

#include <shellapi.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <cwctype>
#include <filesystem>
#include <memory>
#include <stdexcept>
#include <vector>

namespace corvane {

namespace {

constexpr DWORD kPathCapacity = 32768;

// The program a command line starts: a quoted first word, else everything up to the first
// ".exe" (any letter case). Empty when neither is there.
std::wstring program_of_command_line(const std::wstring& command) {
  const std::size_t start = command.find_first_not_of(L" \t");
  if (start == std::wstring::npos) return {};
  if (command[start] == L'"') {
    const std::size_t close = command.find(L'"', start + 1);
    if (close == std::wstring::npos) return {};
    return command.substr(start + 1, close - start - 1);
  }
  const std::wstring rest = command.substr(start);
  std::wstring lowered = rest;
  for (wchar_t& unit : lowered) unit = static_cast<wchar_t>(std::towlower(unit));
  const std::size_t found = lowered.find(L".exe");
  if (found == std::wstring::npos) return {};
  return rest.substr(0, found + 4);
}

std::wstring expanded(const std::wstring& text, std::vector<wchar_t>& buffer) {
  buffer.resize(kPathCapacity);
  const DWORD length = ExpandEnvironmentStringsW(text.c_str(), buffer.data(), kPathCapacity);
  if (length == 0 || length > kPathCapacity) return {};
  return std::wstring(buffer.data());
}

// The shortcut's icon location, else its raw target path with index 0; unchanged when the
// shortcut cannot be read or names neither.
void follow_shortcut(StartupIconSource& source, std::vector<wchar_t>& buffer) {
  ComPtr<IShellLinkW> link;
  if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                              reinterpret_cast<void**>(link.put())))) {
    return;
  }
  ComPtr<IPersistFile> file;
  if (FAILED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(file.put())))) return;
  if (shortcut_read_probe != nullptr) shortcut_read_probe(source.path);
  if (FAILED(file->Load(source.path.c_str(), STGM_READ))) return;
  buffer.resize(kPathCapacity);
  buffer[0] = L'\0';
  int index = 0;
  if (FAILED(link->GetIconLocation(buffer.data(), static_cast<int>(kPathCapacity), &index))) {
    buffer[0] = L'\0';
  }
  if (buffer[0] == L'\0') {
    index = 0;
    if (FAILED(link->GetPath(buffer.data(), static_cast<int>(kPathCapacity), nullptr, SLGP_RAWPATH))) {
      buffer[0] = L'\0';
    }
  }
  buffer[kPathCapacity - 1] = L'\0';
  if (buffer[0] == L'\0') return;
  source.path = buffer.data();
  source.index = index;
}

// Only files on local fixed drives are opened. Drive types are asked once per letter and pass.
bool on_fixed_drive(const std::wstring& path, std::map<wchar_t, bool>& fixed_drives) {
  if (path.size() < 4 || path[1] != L':' || (path[2] != L'\\' && path[2] != L'/')) return false;
  const wchar_t letter = static_cast<wchar_t>(std::towupper(path[0]));
  const auto known = fixed_drives.find(letter);
  if (known != fixed_drives.end()) return known->second;
  const bool fixed = GetDriveTypeW(path.substr(0, 3).c_str()) == DRIVE_FIXED;
  fixed_drives.emplace(letter, fixed);
  return fixed;
}

SharedIcon icon_holder(HICON icon) {
  return SharedIcon(icon, [](HICON held) {
    if (held != nullptr) DestroyIcon(held);
  });
}

// What one pass keeps between entries.
struct IconPass {
  bool elevated = false;
  std::vector<wchar_t> buffer;
  std::map<wchar_t, bool> fixed_drives;
  // Folders of the data folder held for this pass, each checked once; null where refused or missing.
  std::map<std::wstring, std::shared_ptr<const DataFolderHold>> held_folders;
};

// Opens a file of the data folder by its name inside its folder as held and checked, for reading
// and shared for reading only: while it is open nobody can rename or delete it, so its folder
// cannot be emptied and made a junction, and its path leads to this very file. False when the
// folder is refused or missing, or the file is not a plain file lying directly in it.
bool hold_data_file(const std::wstring& path, IconPass& pass, StartupIconSource& source) {
  const std::filesystem::path file_path(path);
  const std::wstring folder = file_path.parent_path().wstring();
  auto found = pass.held_folders.find(folder);
  if (found == pass.held_folders.end()) {
    auto hold = std::make_shared<DataFolderHold>();
    try {
      if (!hold_data_folder(folder, *hold, true) || !hold->held) hold.reset();
    } catch (const std::runtime_error&) {
      hold.reset();  // outside the profile, or a link on its way
    }
    found = pass.held_folders.emplace(folder, std::move(hold)).first;
  }
  if (!found->second) return false;
  const DataFolderHold& hold = *found->second;
  DWORD error = ERROR_SUCCESS;
  UniqueHandle file = open_file_in_folder(hold.pins.handles.handles.back(), file_path.filename().wstring(),
                                          GENERIC_READ, FILE_SHARE_READ, FolderFileOpen::existing, nullptr, error);
  if (!file) return false;
  const DWORD attributes = read_attributes_by_handle(file.get());
  if (attributes == INVALID_FILE_ATTRIBUTES ||
      (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) != 0 ||
      !file_in_held_folder(hold, file.get())) {
    return false;
  }
  source.held_folder = found->second;
  source.held_file = std::move(file);
  return true;
}

StartupIconSource icon_source(const StartupEntry& entry, IconPass& pass) {
  StartupIconSource source;
  source.path = entry.kind == STARTUP_KIND_FOLDER ? entry.target : program_of_command_line(entry.target);
  source.path = expanded(source.path, pass.buffer);
  // Elevated, a file of the data folder (a disabled one) is read only while held where it was checked.
  if (entry.kind == STARTUP_KIND_FOLDER && pass.elevated && in_data_folder(source.path) &&
      !hold_data_file(source.path, pass, source)) {
    source.path.clear();
    return source;
  }
  const std::wstring suffix = L".lnk";
  if (entry.kind == STARTUP_KIND_FOLDER && source.path.size() >= suffix.size() &&
      source.path.compare(source.path.size() - suffix.size(), suffix.size(), suffix) == 0) {
    follow_shortcut(source, pass.buffer);
  }
  if (!on_fixed_drive(source.path, pass.fixed_drives)) source.path.clear();
  return source;
}

}  // namespace

ShortcutReadProbe shortcut_read_probe = nullptr;

StartupIconSource startup_icon_source(const StartupEntry& entry) {
  return startup_icon_source(entry, process_elevated());
}

StartupIconSource startup_icon_source(const StartupEntry& entry, bool elevated) {
  IconPass pass;
  pass.elevated = elevated;
  return icon_source(entry, pass);
}

void App::load_startup_icons(Work& work, const CancelFlag& stop, bool elevated) {
  const ComScope com(COINIT_APARTMENTTHREADED);
  // One extraction per distinct file and index in this run; entries that share one share the holder.
  std::map<std::wstring, SharedIcon> cache;
  IconPass pass;
  pass.elevated = elevated;
  for (const StartupEntry& entry : work.startup_entries) {
    if (stop.load() != 0) break;
    const StartupIconSource source = icon_source(entry, pass);
    const std::wstring cache_key = source.path + L"|" + std::to_wstring(source.index);
    auto cached = cache.find(cache_key);
    if (cached == cache.end()) {
      HICON icon = nullptr;
      if (!source.path.empty()) ExtractIconExW(source.path.c_str(), source.index, nullptr, &icon, 1);
      if (icon == nullptr) icon = CopyIcon(LoadIconW(nullptr, IDI_APPLICATION));
      cached = cache.emplace(cache_key, icon_holder(icon)).first;
    }
    work.startup_icons.emplace(startup_entry_key(entry), cached->second);
  }
}

}  // namespace corvane
