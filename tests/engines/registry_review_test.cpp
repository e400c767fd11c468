// ctest-resource-lock: run_keys data_folder reports_folder
#include "engines/registry_review.h"

#include "services/documents.h"
#include "services/machine_environment.h"
#include "services/registry.h"
#include "services/shell.h"
#include "services/text.h"
#include "support/activity_watch.h"
#include "support/backups_guard.h"
#include "support/process_variable.h"
#include "support/scratch.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace corvane {
namespace {

using nlohmann::json;
using testing::ScratchFolder;

const wchar_t kRun[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const wchar_t kUninstall[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
const wchar_t kSharedDlls[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs";
// On every Windows and in every Wine prefix.
const wchar_t kWindowsExe[] = L"%windir%\\system32\\notepad.exe";
const wchar_t kProgramFilesExe[] = L"%ProgramFiles%\\Internet Explorer\\iexplore.exe";

HKEY root_of(std::uint32_t hive) { return hive == kHiveCurrentUser ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE; }

void set_raw(HKEY root, const std::wstring& key, const std::wstring& name, DWORD type, const void* data, DWORD size) {
  HKEY opened = nullptr;
  ASSERT_EQ(RegCreateKeyExW(root, key.c_str(), 0, nullptr, 0, KEY_SET_VALUE | KEY_WOW64_64KEY, nullptr, &opened,
                            nullptr),
            ERROR_SUCCESS);
  EXPECT_EQ(RegSetValueExW(opened, name.c_str(), 0, type, static_cast<const BYTE*>(data), size), ERROR_SUCCESS);
  RegCloseKey(opened);
}

void set_text(HKEY root, const std::wstring& key, const std::wstring& name, const std::wstring& text,
              DWORD type = REG_SZ) {
  set_raw(root, key, name, type, text.c_str(), static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
}

void set_dword(HKEY root, const std::wstring& key, const std::wstring& name, DWORD number) {
  set_raw(root, key, name, REG_DWORD, &number, sizeof number);
}

// Values and keys written into shared places, removed again at the end.
struct Fixtures {
  std::vector<std::pair<HKEY, std::pair<std::wstring, std::wstring>>> values;
  std::vector<std::pair<HKEY, std::wstring>> trees;
  ~Fixtures() {
    for (const auto& [root, target] : values) {
      HKEY key = nullptr;
      if (RegOpenKeyExW(root, target.first.c_str(), 0, KEY_SET_VALUE | KEY_WOW64_64KEY, &key) == ERROR_SUCCESS) {
        RegDeleteValueW(key, target.second.c_str());
        RegCloseKey(key);
      }
    }
    for (const auto& [root, path] : trees) RegDeleteTreeW(root, path.c_str());
  }
  void value(HKEY root, const std::wstring& key, const std::wstring& name) { values.push_back({root, {key, name}}); }
  void tree(HKEY root, const std::wstring& path) { trees.push_back({root, path}); }
};

std::vector<AuditEntry> with_key_part(const std::vector<AuditEntry>& entries, const std::wstring& part) {
  std::vector<AuditEntry> kept;
  for (const AuditEntry& entry : entries) {
    if (entry.target.key.find(part) != std::wstring::npos || entry.target.name.find(part) != std::wstring::npos) {
      kept.push_back(entry);
    }
  }
  return kept;
}

const AuditEntry* find_named(const std::vector<AuditEntry>& entries, const std::wstring& name) {
  const auto found = std::find_if(entries.begin(), entries.end(),
                                  [&](const AuditEntry& entry) { return entry.target.name == name; });
  return found == entries.end() ? nullptr : &*found;
}

// A drive letter that names no drive here: never a fixed drive.
std::wstring unused_drive_root() {
  for (wchar_t letter = L'Q'; letter <= L'Y'; ++letter) {
    const std::wstring root = std::wstring(1, letter) + L":\\";
    if (GetDriveTypeW(root.c_str()) == DRIVE_NO_ROOT_DIR) return root;
  }
  return L"";
}

TEST(CommandExecutable, QuotedUnquotedAndBroken) {
  EXPECT_EQ(command_executable(L""), L"");
  EXPECT_EQ(command_executable(L"C:\\Tools\\app.exe"), L"C:\\Tools\\app.exe");
  EXPECT_EQ(command_executable(L"C:\\Tools\\app.exe --start"), L"");
  EXPECT_EQ(command_executable(L"C:\\Program Files\\app.exe"), L"");
  EXPECT_EQ(command_executable(L"\"C:\\Program Files\\app.exe\" --start \"x\""), L"C:\\Program Files\\app.exe");
  EXPECT_EQ(command_executable(L"\"C:\\Program Files\\app.exe"), L"");
  EXPECT_EQ(command_executable(L"\"\" rest"), L"");
  EXPECT_EQ(command_executable(L" C:\\app.exe"), L"");
}

TEST(IsMissingLocalFile, OnlyAbsentPathsOnFixedDrives) {
  ScratchFolder scratch;
  const std::wstring existing = scratch.file(L"present.exe");
  testing::write_file_bytes(existing, "x");

  EXPECT_TRUE(is_missing_local_file(scratch.file(L"gone.exe")));          // file not found
  EXPECT_TRUE(is_missing_local_file(scratch.file(L"gone\\deeper.exe")));  // path not found
  std::wstring forward = scratch.file(L"gone.exe");
  std::replace(forward.begin(), forward.end(), L'\\', L'/');
  EXPECT_TRUE(is_missing_local_file(forward));

  EXPECT_FALSE(is_missing_local_file(existing));
  EXPECT_FALSE(is_missing_local_file(scratch.path()));  // an existing folder
  EXPECT_FALSE(is_missing_local_file(L""));
  EXPECT_FALSE(is_missing_local_file(L"C:"));
  EXPECT_FALSE(is_missing_local_file(L"C:gone.exe"));
  EXPECT_FALSE(is_missing_local_file(L"gone\\app.exe"));
  EXPECT_FALSE(is_missing_local_file(L"\\gone\\app.exe"));
  EXPECT_FALSE(is_missing_local_file(L"\\\\server\\share\\gone.exe"));
  EXPECT_FALSE(is_missing_local_file(L"\\\\?\\" + scratch.file(L"gone.exe")));
  EXPECT_FALSE(is_missing_local_file(L"//server/share/gone.exe"));
  EXPECT_FALSE(is_missing_local_file(scratch.path() + L"\\%CORVANE_NOT_SET%\\gone.exe"));
  const std::wstring unused = unused_drive_root();
  ASSERT_FALSE(unused.empty());
  EXPECT_FALSE(is_missing_local_file(unused + L"gone.exe"));
}

// One scan over fixtures in every area, shared by the tests of this suite (the association
// walk over the whole classes root is the slow part).
class RegistryReviewScan : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    tag = L"CorvaneReview" + testing::random_name();
    scratch = std::make_unique<ScratchFolder>();
    fixtures = std::make_unique<Fixtures>();
    existing_file = scratch->file(L"present.exe");
    testing::write_file_bytes(existing_file, "x");
    gone = scratch->file(L"gone.exe");
    gone_spaced = scratch->file(L"no such folder\\app.exe");
    write_run_values();
    write_uninstall_records();
    write_shared_dlls();
    write_associations();
    {
      // Whoever starts Corvane can set these; machine-wide values must not follow them. (Wine
      // builds the machine's SystemRoot from the process's, so that one is left alone.)
      const testing::ProcessVariable windir(L"windir", no_windows());
      const testing::ProcessVariable program_files(L"ProgramFiles", no_windows());
      machine_environment_reader = machine_block_with_profile_variables;
      all = audit_registry_entries(nullptr);
      machine_environment_reader = read_machine_environment;
    }
    ours = with_key_part(all, tag);
  }

  static void TearDownTestSuite() {
    SetEnvironmentVariableW(variable().c_str(), nullptr);
    fixtures.reset();
    scratch.reset();
  }

  // The machine's block as Windows may build it where Wine's does not: with the variables a
  // default or system profile sets (each leading to the scratch folder, where no file of the
  // Run values' names exists), and one variable of the machine's own that leads there too.
  static std::optional<EnvironmentVariables> machine_block_with_profile_variables() {
    std::optional<EnvironmentVariables> block = read_machine_environment();
    if (!block) return block;
    for (const wchar_t* per_user : {L"USERPROFILE", L"APPDATA", L"LOCALAPPDATA", L"TEMP", L"OneDrive"}) {
      block->insert(block->begin(), {per_user, scratch->path()});
    }
    block->push_back({machine_variable(), scratch->path()});
    return block;
  }

  static std::wstring name(const wchar_t* suffix) { return tag + L"-" + suffix; }
  static std::wstring machine_variable() { return L"CORVANE_MACHINE_" + tag; }
  static std::wstring variable() { return L"CORVANE_REVIEW_" + tag; }
  static std::wstring no_windows() { return scratch->file(L"no-windows"); }

  static void run_text(std::uint32_t hive, const wchar_t* suffix, const std::wstring& text, DWORD type = REG_SZ) {
    set_text(root_of(hive), kRun, name(suffix), text, type);
    fixtures->value(root_of(hive), kRun, name(suffix));
  }

  static void write_run_values() {
    SetEnvironmentVariableW(variable().c_str(), scratch->path().c_str());
    run_text(0, L"plain", gone);
    run_text(0, L"with-argument", gone + L" --start");
    run_text(0, L"quoted", L"\"" + gone_spaced + L"\" --start");
    run_text(0, L"unclosed", L"\"" + gone_spaced);
    run_text(0, L"expand", L"%" + variable() + L"%\\expanded.exe", REG_EXPAND_SZ);
    run_text(0, L"unknown-variable", L"%CORVANE_NOT_SET_" + tag + L"%\\gone.exe");
    run_text(0, L"existing", existing_file);
    run_text(0, L"folder", scratch->path());
    run_text(0, L"network", L"\\\\server\\share\\gone.exe");
    run_text(0, L"relative", L"gone\\app.exe");
    set_raw(HKEY_CURRENT_USER, kRun, name(L"binary"), REG_BINARY, gone.c_str(),
            static_cast<DWORD>((gone.size() + 1) * sizeof(wchar_t)));
    fixtures->value(HKEY_CURRENT_USER, kRun, name(L"binary"));
    set_dword(HKEY_CURRENT_USER, kRun, name(L"dword"), 1);
    fixtures->value(HKEY_CURRENT_USER, kRun, name(L"dword"));
    run_text(1, L"machine", gone);
    run_text(1, L"machine-windir", kWindowsExe, REG_EXPAND_SZ);
    run_text(1, L"machine-quoted", L"\"" + std::wstring(kProgramFilesExe) + L"\" /a", REG_EXPAND_SZ);
    run_text(1, L"machine-gone", L"%WinDir%\\system32\\" + name(L"gone.exe"), REG_EXPAND_SZ);
    run_text(1, L"machine-unknown", scratch->path() + L"\\%CORVANE_NOT_SET_" + tag + L"%\\gone.exe", REG_EXPAND_SZ);
    run_text(0, L"user-windir", kWindowsExe, REG_EXPAND_SZ);
    // Per-user variables: each user's own folder at sign-in, so never missing for all of them.
    run_text(1, L"machine-profile", L"%USERPROFILE%\\" + name(L"gone.exe"), REG_EXPAND_SZ);
    run_text(1, L"machine-appdata", L"\"%AppData%\\" + name(L"gone.exe") + L"\" /tray", REG_EXPAND_SZ);
    run_text(1, L"machine-temp", L"%TEMP%\\" + name(L"gone.exe"), REG_EXPAND_SZ);
    run_text(1, L"machine-local-appdata", L"%LOCALAPPDATA%\\" + name(L"gone.exe"), REG_EXPAND_SZ);
    run_text(1, L"machine-onedrive", L"%OneDrive%\\" + name(L"gone.exe"), REG_EXPAND_SZ);
    // The machine's own variable is expanded, and its missing file found.
    run_text(1, L"machine-own-variable", L"%" + machine_variable() + L"%\\" + name(L"gone.exe"), REG_EXPAND_SZ);
  }

  static void record(std::uint32_t hive, const wchar_t* suffix, const wchar_t* location, const std::wstring& uninstall) {
    const std::wstring key = std::wstring(kUninstall) + L"\\" + name(suffix);
    if (location != nullptr) set_text(root_of(hive), key, L"InstallLocation", location);
    set_text(root_of(hive), key, L"UninstallString", uninstall);
    fixtures->tree(root_of(hive), key);
  }

  static void write_uninstall_records() {
    const std::wstring gone_folder = scratch->file(L"gone-app");
    static std::wstring location;
    location = gone_folder;
    record(0, L"both-missing", location.c_str(), L"\"" + gone_folder + L"\\unins000.exe\" /SILENT");
    record(0, L"uninstaller-exists", location.c_str(), existing_file);
    record(0, L"uninstaller-unquoted", location.c_str(), gone_folder + L"\\unins000.exe /SILENT");
    record(0, L"no-location", nullptr, gone_folder + L"\\unins000.exe");
    record(0, L"location-exists", scratch->path().c_str(), gone_folder + L"\\unins000.exe");
    record(1, L"machine", location.c_str(), gone_folder + L"\\unins000.exe");
  }

  static void write_shared_dlls() {
    dll_gone = scratch->file(name(L"gone.dll"));
    dll_text = scratch->file(name(L"text.dll"));
    dll_present = scratch->file(name(L"present.dll"));
    testing::write_file_bytes(dll_present, "x");
    set_dword(HKEY_LOCAL_MACHINE, kSharedDlls, dll_gone, 3);
    set_text(HKEY_LOCAL_MACHINE, kSharedDlls, dll_text, L"3");
    set_dword(HKEY_LOCAL_MACHINE, kSharedDlls, dll_present, 1);
    for (const std::wstring* dll : {&dll_gone, &dll_text, &dll_present}) {
      fixtures->value(HKEY_LOCAL_MACHINE, kSharedDlls, *dll);
    }
  }

  static std::wstring extension(const wchar_t* suffix) { return L"." + tag + suffix; }

  static void association(const std::wstring& key, const std::wstring& prog_id, DWORD type = REG_SZ) {
    set_text(HKEY_CLASSES_ROOT, key, L"", prog_id, type);
    fixtures->tree(HKEY_CLASSES_ROOT, key);
  }

  // A missing ProgID of exactly this many characters, made of key names of legal length.
  static std::wstring long_prog_id(const std::wstring& base, std::size_t length) {
    std::wstring id = base;
    while (id.size() < length) id += L"\\" + std::wstring(std::min<std::size_t>(200, length - id.size() - 1), L'y');
    return id;
  }

  static void write_associations() {
    const std::wstring missing_id = tag + L".Missing";
    const std::wstring present_id = tag + L".Present";
    set_text(HKEY_CLASSES_ROOT, present_id, L"", L"present");
    fixtures->tree(HKEY_CLASSES_ROOT, present_id);
    association(extension(L"missing"), missing_id);
    association(extension(L"present"), present_id);
    association(extension(L"empty"), L"");
    association(extension(L"expand"), missing_id, REG_EXPAND_SZ);
    association(extension(L"long"), long_prog_id(missing_id, 1023));
    association(extension(L"limit"), long_prog_id(missing_id, 1022));
    association(tag + L"nodot", missing_id);
  }

  static inline std::wstring tag;
  static inline std::unique_ptr<ScratchFolder> scratch;
  static inline std::unique_ptr<Fixtures> fixtures;
  static inline std::wstring existing_file, gone, gone_spaced, dll_gone, dll_text, dll_present;
  static inline std::vector<AuditEntry> all, ours;
};

TEST_F(RegistryReviewScan, RunValuesPointingAtMissingExecutables) {
  std::vector<std::wstring> found_names;
  for (const AuditEntry& entry : ours) {
    if (entry.target.key == kRun) found_names.push_back(entry.target.name);
  }
  std::sort(found_names.begin(), found_names.end());
  EXPECT_EQ(found_names,
            (std::vector<std::wstring>{name(L"expand"), name(L"machine"), name(L"machine-gone"),
                                       name(L"machine-own-variable"), name(L"plain"), name(L"quoted"),
                                       name(L"user-windir")}));

  const AuditEntry* plain = find_named(ours, name(L"plain"));
  ASSERT_NE(plain, nullptr);
  EXPECT_EQ(plain->title_en, L"Run entry targets a missing file");
  EXPECT_EQ(plain->title_vi, L"M\u1EE5c Run tr\u1ECF t\u1EDBi file \u0111\u00E3 m\u1EA5t");
  EXPECT_EQ(plain->target.hive, kHiveCurrentUser);
  EXPECT_EQ(plain->target.value, ValueState{});
  EXPECT_EQ(plain->evidence, gone);
  EXPECT_TRUE(plain->repairable);
  EXPECT_EQ(find_named(ours, name(L"quoted"))->evidence, gone_spaced);
  EXPECT_EQ(find_named(ours, name(L"expand"))->evidence, scratch->path() + L"\\expanded.exe");
  EXPECT_EQ(find_named(ours, name(L"machine"))->target.hive, kHiveLocalMachine);
}

TEST_F(RegistryReviewScan, MachineRunValuesUseTheMachinesVariablesUserOnesTheProcesss) {
  // The scan ran with windir and ProgramFiles of this process naming a folder that does not exist.
  for (const wchar_t* present : {kWindowsExe, kProgramFilesExe}) {
    ASSERT_NE(GetFileAttributesW(expand_environment(present).c_str()), INVALID_FILE_ATTRIBUTES);
  }
  EXPECT_EQ(find_named(ours, name(L"machine-windir")), nullptr);
  EXPECT_EQ(find_named(ours, name(L"machine-quoted")), nullptr);
  const AuditEntry* machine_gone = find_named(ours, name(L"machine-gone"));
  ASSERT_NE(machine_gone, nullptr);
  EXPECT_EQ(machine_gone->target.hive, kHiveLocalMachine);
  EXPECT_TRUE(same_path_text(machine_gone->evidence, system_windows_folder() + L"\\system32\\" + name(L"gone.exe")))
      << wide_to_utf8(machine_gone->evidence);
  // The per-user variables stay unexpanded even where the machine's block sets them.
  for (const wchar_t* per_user :
       {L"machine-profile", L"machine-appdata", L"machine-temp", L"machine-local-appdata", L"machine-onedrive"}) {
    EXPECT_EQ(find_named(ours, name(per_user)), nullptr) << wide_to_utf8(per_user);
  }
  const AuditEntry* own_variable = find_named(ours, name(L"machine-own-variable"));
  ASSERT_NE(own_variable, nullptr) << "the machine's block given was not used";
  EXPECT_EQ(own_variable->evidence, scratch->file(name(L"gone.exe")));
  const AuditEntry* user = find_named(ours, name(L"user-windir"));
  ASSERT_NE(user, nullptr);
  EXPECT_EQ(user->evidence, no_windows() + L"\\system32\\notepad.exe");
}

TEST_F(RegistryReviewScan, UninstallRecordsOnlyWhenLocationAndUninstallerAreBothMissing) {
  std::vector<AuditEntry> records;
  for (const AuditEntry& entry : ours) {
    if (entry.target.key.rfind(kUninstall, 0) == 0) records.push_back(entry);
  }
  ASSERT_EQ(records.size(), 2u);
  EXPECT_EQ(records[0].target.hive, kHiveCurrentUser);
  EXPECT_EQ(records[0].target.key, std::wstring(kUninstall) + L"\\" + name(L"both-missing"));
  EXPECT_EQ(records[0].target.name, L"");
  EXPECT_EQ(records[0].evidence, scratch->file(L"gone-app"));
  EXPECT_FALSE(records[0].repairable);
  EXPECT_EQ(records[0].title_en, L"App record needs manual review");
  EXPECT_EQ(records[0].title_vi, L"\u1EE8ng d\u1EE5ng c\u1EA7n ki\u1EC3m tra th\u1EE7 c\u00F4ng");
  EXPECT_EQ(records[1].target.hive, kHiveLocalMachine);
  EXPECT_EQ(records[1].target.key, std::wstring(kUninstall) + L"\\" + name(L"machine"));
}

TEST_F(RegistryReviewScan, SharedDllCountersOfMissingFiles) {
  std::vector<AuditEntry> dlls;
  for (const AuditEntry& entry : ours) {
    if (entry.target.key == kSharedDlls) dlls.push_back(entry);
  }
  ASSERT_EQ(dlls.size(), 1u);
  EXPECT_EQ(dlls[0].target.hive, kHiveLocalMachine);
  EXPECT_EQ(dlls[0].target.name, dll_gone);
  EXPECT_EQ(dlls[0].evidence, dll_gone);
  EXPECT_TRUE(dlls[0].repairable);
  EXPECT_EQ(dlls[0].title_en, L"Missing shared DLL");
  EXPECT_EQ(dlls[0].title_vi, L"Shared DLL kh\u00F4ng c\u00F2n t\u1ED3n t\u1EA1i");
}

TEST_F(RegistryReviewScan, AssociationsNamingAMissingProgId) {
  std::vector<AuditEntry> associations;
  for (const AuditEntry& entry : ours) {
    if (entry.target.key.rfind(L"Software\\Classes\\", 0) == 0) associations.push_back(entry);
  }
  ASSERT_EQ(associations.size(), 2u);
  std::sort(associations.begin(), associations.end(),
            [](const AuditEntry& a, const AuditEntry& b) { return a.target.key < b.target.key; });
  // "limit" holds 1022 characters plus the terminator, exactly what the fixed buffer takes;
  // "long" is one character more and is not read at all.
  EXPECT_EQ(associations[0].target.key, L"Software\\Classes\\" + extension(L"limit"));
  EXPECT_EQ(associations[1].target.key, L"Software\\Classes\\" + extension(L"missing"));
  EXPECT_EQ(associations[1].target.hive, kHiveCurrentUser);
  EXPECT_EQ(associations[1].target.name, L"");
  EXPECT_EQ(associations[1].evidence, L"HKCR\\" + extension(L"missing") + L" \u2192 " + tag + L".Missing");
  EXPECT_FALSE(associations[1].repairable);
  EXPECT_EQ(associations[1].title_en, L"File association needs review");
  EXPECT_EQ(associations[1].title_vi, L"Li\u00EAn k\u1EBFt file c\u1EA7n ki\u1EC3m tra");
}

TEST_F(RegistryReviewScan, AreasComeInScanOrder) {
  const auto position = [&](const std::wstring& key_part) {
    for (std::size_t i = 0; i < all.size(); ++i) {
      const AuditEntry& entry = all[i];
      if ((entry.target.key + L"|" + entry.target.name + L"|" + std::to_wstring(entry.target.hive)).find(key_part) !=
          std::wstring::npos) {
        return static_cast<long>(i);
      }
    }
    return -1L;
  };
  const long user_run = position(name(L"plain") + L"|0");
  const long user_uninstall = position(name(L"both-missing") + L"||0");
  const long machine_run = position(name(L"machine") + L"|1");
  const long machine_uninstall = position(name(L"machine") + L"||1");
  const long shared = position(dll_gone);
  const long association_entry = position(extension(L"missing") + L"|");
  for (const long index : {user_run, user_uninstall, machine_run, machine_uninstall, shared, association_entry}) {
    ASSERT_GE(index, 0);
  }
  EXPECT_LT(user_run, user_uninstall);
  EXPECT_LT(user_uninstall, machine_run);
  EXPECT_LT(machine_run, machine_uninstall);
  EXPECT_LT(machine_uninstall, shared);
  EXPECT_LT(shared, association_entry);
}

TEST_F(RegistryReviewScan, AStopBeforeTheFirstItemReturnsNothing) {
  CancelFlag cancel{1};
  EXPECT_TRUE(audit_registry_entries(&cancel).empty());
}

class RegistryReviewRemoval : public ::testing::Test {
 protected:
  ~RegistryReviewRemoval() override {
    for (const std::wstring& name : names) RegDeleteKeyValueW(HKEY_CURRENT_USER, kRun, name.c_str());
  }

  // A Run value, removed again at the end.
  std::wstring put_run_value(const wchar_t* suffix, const std::wstring& text) {
    names.push_back(tag + L"-" + suffix);
    set_text(names.back(), text);
    return names.back();
  }
  static void set_text(const std::wstring& name, const std::wstring& text) {
    write_registry_value({kHiveCurrentUser, kRun, name, make_string_value(text)});
  }

  ValueState run_value(const std::wstring& value_name) {
    return read_registry_value({kHiveCurrentUser, kRun, value_name, {}});
  }

  AuditEntry scanned(const std::wstring& value_name) {
    const std::vector<AuditEntry> entries = audit_registry_entries(nullptr);
    const AuditEntry* entry = find_named(entries, value_name);
    if (entry == nullptr) throw std::runtime_error("fixture not found by the scan");
    return *entry;
  }

  testing::BackupsGuard backups;
  testing::ActivityWatch activity;
  ScratchFolder scratch;
  std::vector<std::wstring> names;
  const std::wstring tag = L"CorvaneRemoval" + testing::random_name();
};

TEST_F(RegistryReviewRemoval, DeletesExactlyTheConfirmedValueBehindABackup) {
  const std::wstring gone = scratch.file(L"gone.exe");
  const std::wstring removed = put_run_value(L"removed", gone);
  const std::wstring kept = put_run_value(L"kept", scratch.file(L"other.exe"));
  const AuditEntry entry = scanned(removed);

  std::vector<std::uint64_t> progress_done;
  const Outcome outcome = remove_audit_entry(
      entry, nullptr, [&](std::uint64_t done, std::uint64_t, const std::wstring&) { progress_done.push_back(done); });

  ASSERT_TRUE(outcome.ok) << wide_to_utf8(outcome.message);
  EXPECT_EQ(outcome.affected, 1u);
  EXPECT_EQ(progress_done, std::vector<std::uint64_t>{1});
  EXPECT_EQ(run_value(removed), ValueState{});
  EXPECT_EQ(run_value(kept), make_string_value(scratch.file(L"other.exe")));

  const json document = read_json_file(outcome.record_path);
  EXPECT_EQ(document["label"], "Registry review");
  EXPECT_EQ(document["state"], "applied");
  EXPECT_EQ(document["after"], json::array({json(RegistryValue{kHiveCurrentUser, kRun, removed, {}})}));
  EXPECT_EQ(document["before"],
            json::array({json(RegistryValue{kHiveCurrentUser, kRun, removed, make_string_value(gone)})}));
  std::filesystem::path reg_export(outcome.record_path);
  reg_export.replace_extension(L".reg");
  EXPECT_TRUE(std::filesystem::exists(reg_export));
  EXPECT_EQ(backups.new_files().size(), 2u);
  EXPECT_GE(activity.lines("registry").size(), 1u);  // other programs may log "registry" lines too
}

TEST_F(RegistryReviewRemoval, OnlyEverDeletesWhateverValueTheCallersCopyCarries) {
  const std::wstring value_name = put_run_value(L"planted", scratch.file(L"gone.exe"));
  AuditEntry entry = scanned(value_name);
  entry.target.value = make_string_value(L"planted text");
  const Outcome outcome = remove_audit_entry(entry, nullptr, {});
  ASSERT_TRUE(outcome.ok) << wide_to_utf8(outcome.message);
  EXPECT_EQ(run_value(value_name), ValueState{});
}

TEST_F(RegistryReviewRemoval, ChangedVanishedOrStoppedEntriesAreRefusedAndNothingIsWritten) {
  const std::wstring changed = put_run_value(L"changed", scratch.file(L"gone.exe"));
  const std::wstring vanished = put_run_value(L"vanished", scratch.file(L"gone2.exe"));
  const std::wstring stopped = put_run_value(L"stopped", scratch.file(L"gone3.exe"));
  const AuditEntry changed_entry = scanned(changed);
  const AuditEntry vanished_entry = scanned(vanished);
  const AuditEntry stopped_entry = scanned(stopped);
  AuditEntry other_evidence = stopped_entry;
  other_evidence.evidence += L"x";

  set_text(changed, scratch.file(L"elsewhere.exe"));
  RegDeleteKeyValueW(HKEY_CURRENT_USER, kRun, vanished.c_str());

  CancelFlag cancel{1};
  const struct {
    const AuditEntry& entry;
    CancelFlag* cancel;
  } cases[] = {{changed_entry, nullptr}, {vanished_entry, nullptr}, {stopped_entry, &cancel}, {other_evidence, nullptr}};
  for (const auto& c : cases) {
    const Outcome outcome = remove_audit_entry(c.entry, c.cancel, {});
    EXPECT_FALSE(outcome.ok) << wide_to_utf8(c.entry.target.name);
    EXPECT_EQ(outcome.message, L"Entry changed or scan cancelled. Refresh before removing it.");
    EXPECT_TRUE(outcome.record_path.empty());
  }
  EXPECT_EQ(run_value(changed), make_string_value(scratch.file(L"elsewhere.exe")));
  EXPECT_EQ(run_value(stopped), make_string_value(scratch.file(L"gone3.exe")));
  EXPECT_TRUE(backups.new_files().empty());
}

TEST(RegistryReviewReport, ExactBytesWithoutTitles) {
  const testing::ReportsGuard reports;
  AuditEntry run;
  run.title_en = L"Run entry targets a missing file";
  run.title_vi = L"M\u1EE5c Run";
  run.target.key = kRun;
  run.target.name = L"Tr\u00ECnh";
  run.evidence = L"C:\\Ch\u01B0\u01A1ng tr\u00ECnh\\app.exe";
  run.repairable = true;
  AuditEntry association;
  association.target.key = L"Software\\Classes\\.abc";
  association.evidence = L"HKCR\\.abc \u2192 Gone.File";

  const std::string expected =
      "[\n  {\n    \"evidence\": \"C:\\\\Ch\xC6\xB0\xC6\xA1ng tr\xC3\xACnh\\\\app.exe\",\n    \"repairable\": true,\n"
      "    \"target\": {\n      \"hive\": 0,\n      \"key\": \"Software\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\Run\",\n"
      "      \"name\": \"Tr\xC3\xACnh\",\n      \"value\": {\n        \"bytes\": [],\n        \"exists\": false,\n"
      "        \"type\": 0\n      }\n    }\n  },\n"
      "  {\n    \"evidence\": \"HKCR\\\\.abc \xE2\x86\x92 Gone.File\",\n    \"repairable\": false,\n"
      "    \"target\": {\n      \"hive\": 0,\n      \"key\": \"Software\\\\Classes\\\\.abc\",\n      \"name\": \"\",\n"
      "      \"value\": {\n        \"bytes\": [],\n        \"exists\": false,\n        \"type\": 0\n      }\n    }\n  }\n]";
  EXPECT_EQ(dump_json_document(audit_report({run, association})), expected);
  EXPECT_EQ(dump_json_document(audit_report({})), "[]");

  const std::wstring path = write_audit_report({run, association});
  const std::filesystem::path written(path);
  EXPECT_EQ(written.parent_path(), std::filesystem::path(reports_folder()));
  const std::wstring file_name = written.filename().wstring();
  EXPECT_TRUE(file_name.size() > 14 && file_name.substr(file_name.size() - 14) == L"-registry.json");
  EXPECT_EQ(testing::read_file_bytes(path), expected);
  const std::wstring empty_path = write_audit_report({});
  EXPECT_EQ(testing::read_file_bytes(empty_path), "[]");
}

}  // namespace
}  // namespace corvane
