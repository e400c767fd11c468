// ctest-resource-lock: run_keys startup data_folder reports_folder tasks
#include "engines/startup_change.h"

#include "services/data_folder_guard.h"

#include "services/documents.h"
#include "services/handles.h"
#include "services/protected_documents.h"
#include "services/registry.h"
#include "services/shell.h"
#include "services/text.h"
#include "services/user_profile.h"
#include "support/acting_unelevated.h"
#include "support/backups_guard.h"
#include "support/fake_task_scheduler.h"
#include "support/scratch.h"
#include "support/set_aside.h"
#include "support/startup_scratch.h"
#include "support/wine.h"

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

ValueState enabled_bytes() { return approval_value({2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}); }
ValueState disabled_bytes() { return approval_value({3, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}); }

ValueState value_at(std::uint32_t hive, const std::wstring& key, const std::wstring& name) {
  return read_registry_value({hive, key, name, {}});
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
  json registry_changes(const Outcome& outcome) { return read_json_file(outcome.record_path).at("after"); }

  testing::FakeTaskScheduler tasks;  // keeps the real scheduler out of the listing
  testing::BackupsGuard backups;
  StartupScratch scratch;
};

TEST_F(StartupChange, DisableAndEnableMoveARunValueInOneTransactionEach) {
  const std::wstring name = scratch.name(L"app");
  scratch.put_value(0, run_key(false), name, make_string_value(L"C:\\app.exe"));
  scratch.put_value(0, disabled_run_key(false), name, {});  // removed again at the end
  scratch.put_value(0, kApprovedRun, name, {});

  const Outcome disabled = change_startup_entry(listed(name), false, false);
  ASSERT_TRUE(disabled.ok) << wide_to_utf8(disabled.message);
  EXPECT_EQ(disabled.affected, 2u);
  const json first = registry_changes(disabled);
  ASSERT_EQ(first.size(), 2u);
  EXPECT_EQ(first[0].get<RegistryValue>().key, disabled_run_key(false));
  EXPECT_EQ(first[0].get<RegistryValue>().value, make_string_value(L"C:\\app.exe"));
  EXPECT_EQ(first[1].get<RegistryValue>().key, run_key(false));
  EXPECT_FALSE(first[1].get<RegistryValue>().value.exists);
  EXPECT_FALSE(value_at(0, run_key(false), name).exists);

  // Windows' own switch says disabled as well: the enable turns it on in the same transaction.
  scratch.put_value(0, kApprovedRun, name, disabled_bytes());
  const StartupEntry parked = listed(name);
  EXPECT_FALSE(parked.enabled);
  const Outcome enabled = change_startup_entry(parked, true, false);
  ASSERT_TRUE(enabled.ok) << wide_to_utf8(enabled.message);
  const json second = registry_changes(enabled);
  ASSERT_EQ(second.size(), 3u);
  EXPECT_EQ(second[0].get<RegistryValue>().key, kApprovedRun);
  EXPECT_EQ(second[0].get<RegistryValue>().value, enabled_bytes());
  EXPECT_EQ(second[1].get<RegistryValue>().key, run_key(false));
  EXPECT_EQ(second[2].get<RegistryValue>().key, disabled_run_key(false));
  EXPECT_FALSE(second[2].get<RegistryValue>().value.exists);
  EXPECT_EQ(value_at(0, run_key(false), name), make_string_value(L"C:\\app.exe"));
  EXPECT_FALSE(value_at(0, disabled_run_key(false), name).exists);
  EXPECT_EQ(value_at(0, kApprovedRun, name), enabled_bytes());
  EXPECT_TRUE(listed(name).enabled);
}

TEST_F(StartupChange, AlreadyWhereRequestedWritesOnlyWhatWindowsNeeds) {
  const std::wstring parked = scratch.name(L"parked");
  const std::wstring live = scratch.name(L"live");
  scratch.put_value(0, disabled_run_key(false), parked, make_string_value(L"p.exe"));
  scratch.put_value(0, run_key(false), live, make_string_value(L"l.exe"));
  scratch.put_value(0, kApprovedRun, live, disabled_bytes());

  const Outcome nothing = change_startup_entry(listed(parked), false, false);
  EXPECT_TRUE(nothing.ok);
  EXPECT_EQ(nothing.message, L"Already in requested state");
  EXPECT_TRUE(nothing.record_path.empty());

  const Outcome approval_only = change_startup_entry(listed(live), true, false);
  ASSERT_TRUE(approval_only.ok) << wide_to_utf8(approval_only.message);
  const json changes = registry_changes(approval_only);
  ASSERT_EQ(changes.size(), 1u);
  EXPECT_EQ(changes[0].get<RegistryValue>().key, kApprovedRun);
  EXPECT_EQ(value_at(0, run_key(false), live), make_string_value(L"l.exe"));
}

TEST_F(StartupChange, RemovingARunValueKeepsItsApproval) {
  const std::wstring name = scratch.name(L"gone");
  scratch.put_value(1, run_key(true), name, make_string_value(L"g.exe"));
  scratch.put_value(0, L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\StartupApproved\\Run32", name,
                    disabled_bytes());
  const Outcome removed = change_startup_entry(listed(name), false, true);
  ASSERT_TRUE(removed.ok) << wide_to_utf8(removed.message);
  ASSERT_EQ(registry_changes(removed).size(), 1u);
  EXPECT_FALSE(value_at(1, run_key(true), name).exists);
  EXPECT_EQ(value_at(0, L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\StartupApproved\\Run32", name),
            disabled_bytes());
}

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

TEST_F(StartupChange, StartupFileDisableJournalAndRestore) {
  const std::wstring file = scratch.name(L"tool.lnk");
  scratch.put_file(startup_path(file));
  scratch.forget_later(parked_path(file));
  const StartupEntry entry = listed(file);

  const std::string log_before = activity_log_text();
  const Outcome outcome = change_startup_entry(entry, false, false);
  ASSERT_TRUE(outcome.ok) << wide_to_utf8(outcome.message);
  EXPECT_EQ(outcome.affected, 1u);
  EXPECT_TRUE(outcome.message.empty());
  const std::string logged = activity_log_text().substr(log_before.size());
  EXPECT_EQ(logged.rfind("{\"affected\":1,\"bytes\":0,\"message\":\"\",\"ok\":true,\"operation\":\"startup\"", 0), 0u)
      << logged;
  EXPECT_EQ(fs::path(outcome.record_path).parent_path(), fs::path(backups_folder()));
  EXPECT_TRUE(outcome.record_path.size() > 13 &&
              outcome.record_path.compare(outcome.record_path.size() - 13, 13, L"-startup.json") == 0);
  EXPECT_FALSE(fs::exists(startup_path(file)));
  EXPECT_TRUE(fs::exists(parked_path(file)));

  const json journal = read_json_file(outcome.record_path);
  const json expected = {{"schema", 1},        {"kind", "startup"},  {"label", wide_to_utf8(file)},
                         {"state", "applied"}, {"remove", false},    {"source", "folder"},
                         {"before", wide_to_utf8(startup_path(file))}, {"after", wide_to_utf8(parked_path(file))}};
  EXPECT_EQ(journal, expected);
  std::ifstream stored(fs::path(outcome.record_path), std::ios::binary);
  std::ostringstream stored_text;
  stored_text << stored.rdbuf();
  EXPECT_EQ(stored_text.str(), dump_json_document(expected));

  const Outcome restored = restore_startup_journal(journal);
  ASSERT_TRUE(restored.ok) << wide_to_utf8(restored.message);
  EXPECT_EQ(restored.affected, 1u);
  EXPECT_TRUE(fs::exists(startup_path(file)));
  EXPECT_FALSE(fs::exists(parked_path(file)));
  EXPECT_EQ(restore_startup_journal(journal).message, L"The original startup file already exists");
}

TEST_F(StartupChange, StartupFileRemovalKeepsTheFileWithTheBackups) {
  const std::wstring file = scratch.name(L"gone.lnk");
  scratch.put_file(startup_path(file), "removed shortcut");
  const Outcome outcome = change_startup_entry(listed(file), false, true);
  ASSERT_TRUE(outcome.ok) << wide_to_utf8(outcome.message);
  const json journal = read_json_file(outcome.record_path);
  EXPECT_EQ(journal.at("remove"), true);
  const fs::path kept = utf8_to_wide(journal.at("after").get<std::string>());
  scratch.forget_later(kept.wstring());
  EXPECT_EQ(kept.parent_path(), fs::path(startup_files_folder()));
  const std::wstring kept_name = kept.filename().wstring();
  EXPECT_EQ(kept_name.substr(kept_name.size() - file.size() - 1), L"-" + file);
  EXPECT_TRUE(fs::exists(kept));
  EXPECT_FALSE(fs::exists(startup_path(file)));

  ASSERT_TRUE(restore_startup_journal(journal).ok);
  std::ifstream back(fs::path(startup_path(file)), std::ios::binary);
  std::string text;
  std::getline(back, text);
  EXPECT_EQ(text, "removed shortcut");
}

TEST_F(StartupChange, StartupFileEnableMovesBackOrOnlySwitchesWindowsOn) {
  const std::wstring parked = scratch.name(L"parked.lnk");
  const std::wstring live = scratch.name(L"live.lnk");
  scratch.put_file(parked_path(parked));
  scratch.forget_later(startup_path(parked));
  scratch.put_file(startup_path(live));
  scratch.put_value(0, kApprovedFolder, live, disabled_bytes());

  const Outcome moved = change_startup_entry(listed(parked), true, false);
  ASSERT_TRUE(moved.ok) << wide_to_utf8(moved.message);
  EXPECT_TRUE(fs::exists(startup_path(parked)));
  EXPECT_EQ(read_json_file(moved.record_path).at("after"), wide_to_utf8(startup_path(parked)));

  const Outcome switched = change_startup_entry(listed(live), true, false);
  ASSERT_TRUE(switched.ok) << wide_to_utf8(switched.message);
  EXPECT_NE(switched.record_path.find(L"-registry.json"), std::wstring::npos);
  EXPECT_EQ(value_at(0, kApprovedFolder, live), enabled_bytes());
  EXPECT_TRUE(fs::exists(startup_path(live)));
  EXPECT_EQ(change_startup_entry(listed(live), true, false).message, L"Already in requested state");
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
  // The journal's path is known from the start and reported, though nothing was written.
  EXPECT_EQ(fs::path(refused.record_path).parent_path(), fs::path(backups_folder()));
  EXPECT_TRUE(refused.record_path.ends_with(L"-startup.json")) << wide_to_utf8(refused.record_path);
  EXPECT_FALSE(fs::exists(refused.record_path));

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

TEST_F(StartupChange, HeldOpenFileLeavesAPreparedJournalWhoseRestoreIsRefused) {
  const std::wstring file = scratch.name(L"busy.lnk");
  scratch.put_file(startup_path(file));
  const StartupEntry entry = listed(file);
  const UniqueHandle held(adopt_handle(CreateFileW(startup_path(file).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                                   OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr)));
  ASSERT_TRUE(held);

  const Outcome outcome = change_startup_entry(entry, false, false);
  EXPECT_FALSE(outcome.ok);
  EXPECT_EQ(outcome.message, windows_error_text(ERROR_SHARING_VIOLATION));
  const json journal = read_json_file(outcome.record_path);
  EXPECT_EQ(journal.at("state"), "prepared");
  EXPECT_TRUE(fs::exists(startup_path(file)));
  EXPECT_EQ(restore_startup_journal(journal).message, L"The original startup file already exists");
}

TEST(StartupApprovalPlan, RewritesOnlyDisabledValuesAfterRecheckingAll) {
  StartupScratch scratch;
  const std::wstring name = scratch.name(L"plan");
  scratch.put_value(1, kApprovedRun, name, disabled_bytes());
  StartupEntry entry;
  entry.name = name;
  entry.hive = 1;
  attach_startup_approval(entry);
  ASSERT_EQ(entry.approvals.size(), 2u);

  const std::vector<RegistryValue> plan = plan_startup_approval_enable(entry);
  ASSERT_EQ(plan.size(), 1u);
  EXPECT_EQ(plan[0].hive, 1u);
  EXPECT_EQ(plan[0].key, kApprovedRun);
  EXPECT_EQ(plan[0].name, name);
  EXPECT_EQ(plan[0].value, enabled_bytes());

  scratch.put_value(0, kApprovedRun, name, enabled_bytes());  // the user's absent value appeared
  EXPECT_THROW(plan_startup_approval_enable(entry), std::runtime_error);
}

// The DisabledStartup folder replaced by a link to a folder elsewhere, and a file in the
// Startup folder to disable into it.
class LinkedDisabledFolder : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!testing::running_under_wine()) GTEST_SKIP() << "links are made on Wine's Unix side";
    fs::create_directories(app_data_folder());
    ASSERT_TRUE(scratch.put_link(outside.path(), disabled_startup_folder()))
        << "no link was made in the DisabledStartup folder's place";
    entry.name = scratch.name(L"app.lnk");
    entry.key_path = (fs::path(known_folder_path(FOLDERID_Startup)) / entry.name).wstring();
    entry.target = entry.key_path;
    entry.kind = STARTUP_KIND_FOLDER;
    scratch.put_file(entry.key_path, "mine");
  }

  const testing::BackupsGuard backups;
  const testing::PathSetAside parked_folder{disabled_startup_folder()};
  const testing::ScratchFolder outside;
  testing::StartupScratch scratch;  // its link goes before the folder it leads to
  StartupEntry entry;
};

TEST_F(LinkedDisabledFolder, ElevatedDisablingMovesNothingAndWritesNoJournal) {
  const Outcome outcome = change_startup_entry(entry, false, false);
  EXPECT_FALSE(outcome.ok);
  EXPECT_EQ(outcome.message, kDataFolderThroughLinkMessage);
  EXPECT_TRUE(fs::exists(entry.key_path));
  EXPECT_TRUE(fs::is_empty(outside.path()));
  EXPECT_FALSE(fs::exists(outcome.record_path)) << "no journal for a move that never happened";
}

// Unelevated, a DisabledStartup folder the user linked elsewhere is followed: the file goes there.
TEST_F(LinkedDisabledFolder, UnelevatedDisablingFollowsTheUsersOwnLink) {
  const testing::ActingUnelevated unelevated;
  const Outcome outcome = change_startup_entry(entry, false, false, false);
  EXPECT_TRUE(outcome.ok) << wide_to_utf8(outcome.message);
  EXPECT_FALSE(fs::exists(entry.key_path));
  EXPECT_EQ(testing::read_file_bytes(outside.file(entry.name)), "mine");
}

TEST(StartupFolderPin, AFolderThatCannotBeMadeIsAFilesystemError) {
  const testing::BackupsGuard backups;
  fs::create_directories(app_data_folder());
  const testing::PathSetAside parked_folder(disabled_startup_folder());
  testing::StartupScratch scratch;
  // A file where the folder belongs.
  parked_folder.put_file("not a folder");

  StartupEntry entry;
  entry.name = scratch.name(L"app.lnk");
  entry.key_path = startup_path(entry.name);
  entry.kind = STARTUP_KIND_FOLDER;
  scratch.put_file(entry.key_path);
  const Outcome outcome = change_startup_entry(entry, false, false);
  EXPECT_FALSE(outcome.ok);
  EXPECT_NE(outcome.message.find(L"create_directories"), std::wstring::npos) << wide_to_utf8(outcome.message);
  EXPECT_EQ(outcome.message.find(L"link"), std::wstring::npos) << wide_to_utf8(outcome.message);
  EXPECT_TRUE(fs::exists(entry.key_path));
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
  const testing::BackupsGuard backups;
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
  ValueState with_variable = make_string_value(L"%SystemDrive%" + profile.substr(2));
  with_variable.type = REG_EXPAND_SZ;
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
