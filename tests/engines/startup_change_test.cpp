// ctest-resource-lock: run_keys startup data_folder reports_folder tasks
#include "engines/startup_change.h"

#include "services/documents.h"
#include "services/handles.h"
#include "services/protected_documents.h"
#include "services/registry.h"
#include "services/shell.h"
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
  return {};
}

json journal_of(const Outcome& outcome) { return json::parse(file_text(outcome.record_path)); }

// Elevated, the measure is the profile folder the machine records, not the user's folder settings.
TEST(StartupFolderOutsideProfile, OnlyAnUnelevatedMoveLeavesTheRecordedProfile) {
  StartupScratch scratch;
  const std::wstring name = scratch.name(L"app.lnk");
  const fs::path outside = fs::path(windows_folder()).root_path() / (L"corvane-test-" + name);
  for (const std::wstring& place : {(outside / name).wstring(), startup_path(name)}) {
    scratch.put_file(place);  // removed at the end, should the test leave a file there
    fs::remove(place);
  }
  scratch.put_file(parked_path(name));
  {
    StartupScratch redirected;
    redirected.redirect_startup_folder(outside.wstring());
    const Outcome enabled = change_startup_entry(listed_entry(name), true, false, false);
    ASSERT_TRUE(fs::exists(outside / name)) << wide_to_utf8(enabled.message);
    EXPECT_EQ(restore_startup_journal(journal_of(enabled)).message, kStartupOutsideProfileMessage);
    EXPECT_TRUE(restore_startup_journal(journal_of(enabled), false).ok);
    fs::remove(outside);
  }
  const std::wstring profile = user_profile_folder();
  const std::wstring record = L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList\\" + process_user_sid();
  ValueState with_variable = make_string_value(L"%CORVANE_TEST_PROFILE%");
  with_variable.type = REG_EXPAND_SZ;
  SetEnvironmentVariableW(L"CORVANE_TEST_PROFILE", profile.c_str());
  scratch.replace_value(kHiveLocalMachine, record, L"ProfileImagePath", with_variable);
  EXPECT_TRUE(change_startup_entry(listed_entry(name), true, false).ok);
  for (const ValueState& other : {make_string_value(fs::path(profile).parent_path().wstring() + L"\\Public"), ValueState{}}) {
    write_registry_value({kHiveLocalMachine, record, L"ProfileImagePath", other});
    EXPECT_EQ(change_startup_entry(listed_entry(name), false, false).message, kStartupOutsideProfileMessage);
  }
  EXPECT_TRUE(fs::exists(startup_path(name)));
}

}  // namespace
}  // namespace corvane
