// ctest-resource-lock: run_keys startup data_folder reports_folder tasks
#include "engines/startup_change.h"

#include "services/documents.h"
#include "services/handles.h"
#include "services/protected_documents.h"
#include "services/registry.h"
#include "services/shell.h"
#include "services/system_info.h"
#include "services/text.h"
#include "services/user_profile.h"
#include "support/scratch.h"
#include "support/startup_scratch.h"

#include <gtest/gtest.h>
#include <shlobj.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace corvane {
namespace {

namespace fs = std::filesystem;
using json = nlohmann::json;
using testing::approval_value;
using testing::StartupScratch;

const std::wstring kApprovedRun = L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\StartupApproved\\Run";
const std::wstring kApprovedFolder =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\StartupApproved\\StartupFolder";

ValueState disabled_bytes() { return approval_value({3, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}); }

ValueState value_at(std::uint32_t hive, const std::wstring& key, const std::wstring& name) {
  return read_registry_value({hive, key, name, {}}, false);
}

std::wstring startup_path(const std::wstring& name) { return (fs::path(known_folder_path(FOLDERID_Startup)) / name).wstring(); }
std::wstring parked_path(const std::wstring& name) { return (fs::path(disabled_startup_folder()) / name).wstring(); }

std::string file_text(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

std::string activity_log_text() { return file_text(fs::path(reports_folder()) / L"activity.jsonl"); }

class StartupChange : public ::testing::Test {
 protected:
  // The entry of that name as the listing gives it now.
  StartupEntry listed(const std::wstring& name) {
    for (const StartupEntry& entry : list_startup_entries(nullptr)) {
      if (entry.name == name) return entry;
    }
    ADD_FAILURE() << "not listed";
    return {};
  }

  StartupScratch scratch;
};

TEST_F(StartupChange, StaleRunListingsAreRefusedAndNothingIsWritten) {
  const std::wstring name = scratch.name(L"stale");
  scratch.put_value(0, run_key(false), name, make_string_value(L"old.exe"));
  scratch.put_value(0, kApprovedRun, name, {});
  const StartupEntry entry = listed(name);

  const std::string log_before = activity_log_text();
  scratch.put_value(0, run_key(false), name, make_string_value(L"new.exe"));
  Outcome outcome = change_startup_entry(entry, false, false);
  EXPECT_FALSE(outcome.ok);
  EXPECT_EQ(outcome.message, L"Startup entry changed; refresh first");
  EXPECT_TRUE(outcome.record_path.empty());
  const std::string added = activity_log_text().substr(log_before.size());
  EXPECT_NE(added.find("\"message\":\"Startup entry changed; refresh first\",\"ok\":false,\"operation\":\"startup\""),
            std::string::npos)
      << added;

  scratch.put_value(0, run_key(false), name, make_string_value(L"old.exe"));
  scratch.put_value(0, disabled_run_key(false), name, make_string_value(L"other.exe"));
  outcome = change_startup_entry(entry, false, false);
  EXPECT_EQ(outcome.message, L"A startup entry with this name already exists in the destination");
  EXPECT_EQ(value_at(0, run_key(false), name), make_string_value(L"old.exe"));
  EXPECT_EQ(value_at(0, disabled_run_key(false), name), make_string_value(L"other.exe"));

  scratch.put_value(0, kApprovedRun, name, disabled_bytes());
  outcome = change_startup_entry(entry, true, false);
  EXPECT_EQ(outcome.message, L"Windows startup approval changed; refresh first.");
  EXPECT_EQ(value_at(0, kApprovedRun, name), disabled_bytes());

  StartupEntry unknown = entry;
  unknown.approval_known = false;
  EXPECT_EQ(change_startup_entry(unknown, true, false).message,
            L"Unknown Windows startup approval format. Manage this entry in Task Manager.");

  write_registry_value({0, run_key(false), name, {}});
  outcome = change_startup_entry(entry, false, true);
  EXPECT_FALSE(outcome.ok);
  EXPECT_EQ(outcome.message, L"Startup entry no longer exists");
}

TEST_F(StartupChange, StartupFileRefusals) {
  const std::wstring retained = scratch.name(L"retained.lnk");
  scratch.put_file(parked_path(retained));
  scratch.put_value(0, kApprovedFolder, retained, disabled_bytes());
  const Outcome refused = change_startup_entry(listed(retained), true, false);
  EXPECT_FALSE(refused.ok);
  EXPECT_EQ(refused.message,
            L"This retained shortcut is also disabled by Windows. Restore its folder backup first, then enable the "
            L"Windows startup entry.");
  EXPECT_TRUE(fs::exists(parked_path(retained)));
  EXPECT_FALSE(fs::exists(startup_path(retained)));

  EXPECT_EQ(change_startup_entry(listed(retained), false, false).message, L"Destination already exists");

  StartupEntry ini;
  ini.kind = STARTUP_KIND_FOLDER;
  ini.name = L"desktop.ini";
  ini.key_path = startup_path(L"desktop.ini");
  EXPECT_EQ(change_startup_entry(ini, false, true).message, L"Protected startup file");

  const std::wstring vanished = scratch.name(L"vanished.lnk");
  scratch.put_file(startup_path(vanished));
  const StartupEntry entry = listed(vanished);
  fs::remove(startup_path(vanished));
  const Outcome gone = change_startup_entry(entry, false, false);
  EXPECT_EQ(gone.message, L"Startup target changed");
  EXPECT_FALSE(gone.record_path.empty());
  EXPECT_FALSE(fs::exists(gone.record_path)) << "no journal before a refusal";
}

TEST(StartupFolderPin, DisablingIntoALinkedFolderMovesNothingAndWritesNoJournal) {
  testing::StartupScratch scratch;
  const testing::ScratchFolder outside;
  fs::create_directories(app_data_folder());
  std::error_code absent;
  fs::remove(disabled_startup_folder(), absent);  // only when empty
  if (!scratch.put_link(outside.path(), disabled_startup_folder())) GTEST_SKIP() << "cannot make a link here";

  StartupEntry entry;
  entry.name = scratch.name(L"app.lnk");
  entry.key_path = (fs::path(known_folder_path(FOLDERID_Startup)) / entry.name).wstring();
  entry.kind = STARTUP_KIND_FOLDER;
  scratch.put_file(entry.key_path);
  const Outcome outcome = change_startup_entry(entry, false, false);
  EXPECT_EQ(outcome.message, L"Startup journal path is a link");
  EXPECT_TRUE(fs::exists(entry.key_path));
  EXPECT_TRUE(fs::is_empty(outside.path()));
  EXPECT_FALSE(fs::exists(outcome.record_path));
}

StartupEntry listed_entry(const std::wstring& name) {
  for (const StartupEntry& entry : list_startup_entries(nullptr)) {
    if (entry.name == name) return entry;
  }
  ADD_FAILURE() << "not listed";
  return {};
}

StartupEntry folder_entry(const std::wstring& path) {
  StartupEntry entry;
  entry.kind = STARTUP_KIND_FOLDER;
  entry.name = fs::path(path).filename().wstring();
  entry.key_path = path;
  entry.target = path;
  return entry;
}

json journal_of(const Outcome& outcome) { return json::parse(file_text(outcome.record_path)); }

// The user's own folder settings place the Startup folder: an elevated Corvane moves files only
// inside the profile folder that the machine records for the user.
TEST(StartupFolderOutsideProfile, ElevatedNothingMovesOutOfOrBackIntoASystemFolder) {
  StartupScratch scratch;
  const std::wstring system = windows_folder() + L"\\system32";
  const std::wstring in_system = system + L"\\" + scratch.name(L"kept.lnk");
  const std::wstring parked = parked_path(scratch.name(L"parked.lnk"));
  scratch.put_file(in_system);
  scratch.put_file(parked);
  scratch.redirect_startup_folder(system);
  ASSERT_TRUE(process_elevated()) << "Wine reads every token as elevated";

  for (const bool remove : {false, true}) {
    const Outcome refused = change_startup_entry(folder_entry(in_system), false, remove);
    EXPECT_FALSE(refused.ok);
    EXPECT_EQ(refused.message, kStartupOutsideProfileMessage);
    EXPECT_FALSE(fs::exists(refused.record_path)) << "no journal";
  }
  EXPECT_TRUE(fs::exists(in_system));

  const json back_into_system = {{"schema", 1},  {"kind", "startup"},
                                 {"state", "applied"}, {"remove", false},
                                 {"source", "folder"}, {"before", wide_to_utf8(system + L"\\x.lnk")},
                                 {"after", wide_to_utf8(parked)}};
  const Outcome restore = restore_startup_journal(back_into_system);
  EXPECT_EQ(restore.message, kStartupOutsideProfileMessage);
  EXPECT_TRUE(fs::exists(parked));
  EXPECT_FALSE(fs::exists(system + L"\\x.lnk"));
}

TEST(StartupFolderOutsideProfile, UnelevatedTheMoveGoesAheadAndTheMachinesProfileRecordIsTheMeasure) {
  StartupScratch scratch;
  const std::wstring name = scratch.name(L"app.lnk");
  // A folder outside the profile that an unelevated program could also choose.
  const fs::path outside = fs::path(windows_folder()).root_path() / (L"corvane-test-" + scratch.name(L"startup"));
  // Listed for removal at the end wherever the test leaves the file, which is put last.
  for (const std::wstring& place : {(outside / name).wstring(), startup_path(name), parked_path(name)}) {
    scratch.put_file(place);
    fs::remove(place);
  }
  scratch.put_file(parked_path(name));
  {
    StartupScratch redirected;
    redirected.redirect_startup_folder(outside.wstring());
    const Outcome enabled = change_startup_entry(listed_entry(name), true, false, false);
    ASSERT_TRUE(enabled.ok) << wide_to_utf8(enabled.message);
    ASSERT_TRUE(fs::exists(outside / name));
    EXPECT_EQ(restore_startup_journal(journal_of(enabled)).message, kStartupOutsideProfileMessage);
    EXPECT_TRUE(fs::exists(outside / name));
    EXPECT_TRUE(restore_startup_journal(journal_of(enabled), false).ok);
    EXPECT_TRUE(fs::exists(parked_path(name)));
    fs::remove(outside);
  }

  // The Startup folder in its usual place inside the profile; the record names the profile
  // through a variable.
  const std::wstring profile = user_profile_folder();
  const std::wstring record = L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList\\" + process_user_sid();
  ValueState with_variable = make_string_value(L"%CORVANE_TEST_PROFILE%");
  with_variable.type = REG_EXPAND_SZ;
  ASSERT_TRUE(SetEnvironmentVariableW(L"CORVANE_TEST_PROFILE", profile.c_str()));
  scratch.replace_value(kHiveLocalMachine, record, L"ProfileImagePath", with_variable);
  EXPECT_EQ(user_profile_folder(), profile);
  const Outcome enabled_inside = change_startup_entry(listed_entry(name), true, false);
  ASSERT_TRUE(enabled_inside.ok) << wide_to_utf8(enabled_inside.message);
  ASSERT_TRUE(fs::exists(startup_path(name)));
  SetEnvironmentVariableW(L"CORVANE_TEST_PROFILE", nullptr);

  // The user's folder settings are unchanged, but the machine's record names another profile,
  // or none at all: nothing moves.
  const std::wstring other = (fs::path(profile).parent_path() / L"Public").wstring();
  write_registry_value({kHiveLocalMachine, record, L"ProfileImagePath", make_string_value(other)});
  EXPECT_EQ(change_startup_entry(listed_entry(name), false, false).message, kStartupOutsideProfileMessage);
  write_registry_value({kHiveLocalMachine, record, L"ProfileImagePath", {}});
  EXPECT_EQ(change_startup_entry(listed_entry(name), false, false).message, kStartupOutsideProfileMessage);
  EXPECT_TRUE(fs::exists(startup_path(name)));
}

}  // namespace
}  // namespace corvane
