// ctest-resource-lock: run_keys startup data_folder tasks
#include "engines/startup_list.h"

#include "services/handles.h"
#include "services/registry.h"
#include "services/shell.h"
#include "services/text.h"
#include "services/user_profile.h"
#include "support/fake_task_scheduler.h"
#include "support/outside_folder.h"
#include "support/scratch.h"
#include "support/set_aside.h"
#include "support/startup_scratch.h"
#include "support/unix_link.h"
#include "support/wine.h"

#include <gtest/gtest.h>
#include <sddl.h>
#include <shlobj.h>

#include <filesystem>
#include <functional>
#include <stdexcept>

namespace corvane {
namespace {

using testing::approval_value;
using testing::entries_with_prefix;
using testing::FakeTaskScheduler;
using testing::StartupScratch;

const std::wstring kApproved = L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\StartupApproved\\";

std::wstring startup_folder() { return known_folder_path(FOLDERID_Startup); }
std::wstring in_folder(const std::wstring& folder, const std::wstring& name) {
  return (std::filesystem::path(folder) / name).wstring();
}

// Denies every access to a key of HKEY_CURRENT_USER (made when missing) until destroyed, then
// puts its access list back; status() is the error an open for reading now meets,
// ERROR_SUCCESS where access lists are not enforced.
class KeyDenial {
 public:
  explicit KeyDenial(const std::wstring& path) {
    HKEY raw = nullptr;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, WRITE_DAC | READ_CONTROL | KEY_WOW64_64KEY,
                        nullptr, &raw, nullptr) != ERROR_SUCCESS) {
      return;
    }
    key_.reset(raw);
    DWORD size = 0;
    RegGetKeySecurity(key_.get(), DACL_SECURITY_INFORMATION, nullptr, &size);
    original_.resize(size);
    if (size == 0 || RegGetKeySecurity(key_.get(), DACL_SECURITY_INFORMATION, original_.data(), &size) != ERROR_SUCCESS) {
      return;
    }
    PSECURITY_DESCRIPTOR denied = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(L"D:(D;;KA;;;WD)", SDDL_REVISION_1, &denied, nullptr)) return;
    applied_ = RegSetKeySecurity(key_.get(), DACL_SECURITY_INFORMATION, denied) == ERROR_SUCCESS;
    LocalFree(denied);
    if (!applied_) return;
    status_ = RegOpenKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, KEY_QUERY_VALUE | KEY_WOW64_64KEY, &raw);
    if (status_ == ERROR_SUCCESS) RegCloseKey(raw);
  }
  ~KeyDenial() {
    if (applied_) RegSetKeySecurity(key_.get(), DACL_SECURITY_INFORMATION, original_.data());
  }
  LSTATUS status() const { return status_; }

 private:
  UniqueRegKey key_;
  std::vector<std::uint8_t> original_;
  bool applied_ = false;
  LSTATUS status_ = ERROR_SUCCESS;
};

// Most tests list against an empty fake Task Scheduler so the real one cannot disturb them.
class StartupListing : public ::testing::Test {
 protected:
  std::vector<StartupEntry> listed() { return entries_with_prefix(list_startup_entries(nullptr), scratch.prefix()); }
  FakeTaskScheduler tasks;
  StartupScratch scratch;
};

TEST_F(StartupListing, RunKeysListStringValuesOnlyWithUnexpandedText) {
  scratch.put_value(0, run_key(false), scratch.name(L"plain"), make_string_value(L"C:\\Tools\\plain.exe /min"));
  scratch.put_value(0, run_key(false), scratch.name(L"expand"), testing::expand_string_value(L"%SystemRoot%\\x.exe"));
  scratch.put_value(0, run_key(false), scratch.name(L"number"), make_dword_value(1));
  ValueState multi = make_string_value(L"a");
  multi.type = REG_MULTI_SZ;
  multi.bytes.push_back(0);
  multi.bytes.push_back(0);
  scratch.put_value(0, run_key(false), scratch.name(L"multi"), multi);

  const std::vector<StartupEntry> entries = listed();
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_EQ(entries[0].name, scratch.name(L"expand"));
  EXPECT_EQ(entries[0].target, L"%SystemRoot%\\x.exe");
  const StartupEntry& plain = entries[1];
  EXPECT_EQ(plain.source_name, plain.name);
  EXPECT_EQ(plain.target, L"C:\\Tools\\plain.exe /min");
  EXPECT_EQ(plain.location, L"Run - User");
  EXPECT_EQ(plain.key_path, L"Software\\Microsoft\\Windows\\CurrentVersion\\Run");
  EXPECT_EQ(plain.kind, STARTUP_KIND_RUN);
  EXPECT_EQ(plain.hive, 0);
  EXPECT_TRUE(plain.enabled);
  EXPECT_FALSE(plain.needs_admin);
  EXPECT_FALSE(plain.view32);
  EXPECT_TRUE(plain.snapshot.empty());
  ASSERT_EQ(plain.approvals.size(), 1u);  // the user's switch alone
  EXPECT_EQ(plain.approvals[0].hive, 0u);
  EXPECT_EQ(plain.approvals[0].key, kApproved + L"Run");
  EXPECT_EQ(plain.approvals[0].name, plain.name);
  EXPECT_FALSE(plain.approvals[0].value.exists);
}

TEST_F(StartupListing, DisabledTwinFollowsTheLiveValueOfTheSameName) {
  const std::wstring name = scratch.name(L"twin");
  scratch.put_value(0, disabled_run_key(false), name, make_string_value(L"parked.exe"));
  scratch.put_value(0, run_key(false), name, make_string_value(L"live.exe"));
  const std::vector<StartupEntry> entries = listed();
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_EQ(entries[0].target, L"live.exe");
  EXPECT_TRUE(entries[0].enabled);
  EXPECT_EQ(entries[1].target, L"parked.exe");
  EXPECT_EQ(entries[1].key_path, L"Software\\Corvane\\DisabledStartup\\Run64");
  EXPECT_EQ(entries[1].location, L"Run - User");
  EXPECT_FALSE(entries[1].enabled);
}

TEST_F(StartupListing, WindowsApprovalDecidesEnabledAndWhetherItIsUnderstood) {
  const std::wstring off = scratch.name(L"a-off");
  const std::wstring odd = scratch.name(L"b-odd");
  const std::wstring none = scratch.name(L"c-none");
  const std::wstring on = scratch.name(L"d-on");
  const std::wstring parked = scratch.name(L"e-parked");
  for (const std::wstring& name : {off, odd, none, on}) scratch.put_value(0, run_key(false), name, make_string_value(L"x"));
  scratch.put_value(0, disabled_run_key(false), parked, make_string_value(L"x"));
  scratch.put_value(0, kApproved + L"Run", off, approval_value({3, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
  scratch.put_value(0, kApproved + L"Run", odd, make_dword_value(2));
  scratch.put_value(0, kApproved + L"Run", on, approval_value({6, 0, 0, 0}));
  scratch.put_value(0, kApproved + L"Run", parked, approval_value({2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));

  const std::vector<StartupEntry> entries = listed();
  ASSERT_EQ(entries.size(), 5u);
  EXPECT_FALSE(entries[0].enabled);
  EXPECT_TRUE(entries[0].approval_known);
  EXPECT_EQ(entries[0].approvals[0].value, approval_value({3, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
  EXPECT_FALSE(entries[1].enabled);
  EXPECT_FALSE(entries[1].approval_known);
  EXPECT_TRUE(entries[2].enabled);
  EXPECT_TRUE(entries[3].enabled);
  EXPECT_FALSE(entries[4].enabled) << "a parked value stays disabled whatever Windows says";
  EXPECT_TRUE(entries[4].approval_known);
}

TEST_F(StartupListing, MachineValuesCarryBothApprovalsAndThe32BitKey) {
  const std::wstring wide = scratch.name(L"machine");
  const std::wstring narrow = scratch.name(L"machine32");
  scratch.put_value(1, run_key(false), wide, make_string_value(L"m.exe"));
  scratch.put_value(1, run_key(true), narrow, make_string_value(L"m32.exe"));
  scratch.put_value(1, kApproved + L"Run32", narrow, approval_value({7, 0, 0, 0}));

  const std::vector<StartupEntry> entries = listed();
  ASSERT_EQ(entries.size(), 2u);
  const StartupEntry& machine = entries[0];
  EXPECT_EQ(machine.location, L"Run - System");
  EXPECT_EQ(machine.hive, 1);
  EXPECT_TRUE(machine.needs_admin);
  EXPECT_TRUE(machine.enabled);
  ASSERT_EQ(machine.approvals.size(), 2u);
  EXPECT_EQ(machine.approvals[0].hive, 0u);
  EXPECT_EQ(machine.approvals[1].hive, 1u);
  EXPECT_FALSE(machine.approvals[0].value.exists);
  EXPECT_FALSE(machine.approvals[1].value.exists);

  const StartupEntry& machine32 = entries[1];
  EXPECT_EQ(machine32.location, L"Run - System (32-bit)");
  EXPECT_EQ(machine32.key_path, L"SOFTWARE\\WOW6432Node\\Microsoft\\Windows\\CurrentVersion\\Run");
  EXPECT_TRUE(machine32.view32);
  EXPECT_FALSE(machine32.enabled) << "the machine's Run32 approval says disabled";
  ASSERT_EQ(machine32.approvals.size(), 2u);
  EXPECT_EQ(machine32.approvals[0].key, kApproved + L"Run32");
  EXPECT_EQ(machine32.approvals[1].key, kApproved + L"Run32");
}

TEST_F(StartupListing, FolderFilesSkipDesktopIniFoldersAndLinks) {
  const std::wstring shortcut = in_folder(startup_folder(), scratch.name(L"app.lnk"));
  const std::wstring parked = in_folder(disabled_startup_folder(), scratch.name(L"old.lnk"));
  scratch.put_file(shortcut);
  scratch.put_file(parked);
  const testing::PathSetAside desktop_ini(in_folder(startup_folder(), L"desktop.ini"));
  desktop_ini.put_file("shortcut");
  scratch.forget_later(in_folder(disabled_startup_folder(), scratch.name(L"sub")));
  scratch.put_file(in_folder(disabled_startup_folder(), scratch.name(L"sub")) + L"\\inner.lnk");
  const std::wstring link = in_folder(startup_folder(), scratch.name(L"dirlink"));
  ASSERT_TRUE(scratch.put_link(disabled_startup_folder(), link));
  scratch.put_value(0, kApproved + L"StartupFolder", scratch.name(L"app.lnk"), approval_value({2, 0, 0, 0}));

  const std::vector<StartupEntry> entries = listed();
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_EQ(entries[0].name, scratch.name(L"app.lnk"));
  EXPECT_EQ(entries[0].target, shortcut);
  EXPECT_EQ(entries[0].key_path, shortcut);
  EXPECT_EQ(entries[0].location, L"Startup folder - User");
  EXPECT_EQ(entries[0].kind, STARTUP_KIND_FOLDER);
  EXPECT_TRUE(entries[0].enabled);
  ASSERT_EQ(entries[0].approvals.size(), 1u);
  EXPECT_EQ(entries[0].approvals[0].key, kApproved + L"StartupFolder");
  EXPECT_TRUE(entries[0].approvals[0].value.exists);
  EXPECT_EQ(entries[1].key_path, parked);
  EXPECT_FALSE(entries[1].enabled);

  for (const StartupEntry& entry : list_startup_entries(nullptr)) EXPECT_NE(entry.name, L"desktop.ini");
}

TEST_F(StartupListing, DesktopIniRuleIsCaseSensitive) {
  const std::wstring upper = in_folder(disabled_startup_folder(), L"DESKTOP.INI");
  const testing::PathSetAside desktop_ini(upper);
  desktop_ini.put_file("shortcut");
  bool found = false;
  for (const StartupEntry& entry : list_startup_entries(nullptr)) found = found || entry.key_path == upper;
  EXPECT_TRUE(found);
}

// Elevated, the DisabledStartup folder is listed through its held handle, unelevated by its path:
// "desktop.ini" there is left out either way, and the shortcut beside it listed.
TEST_F(StartupListing, DesktopIniInTheDisabledFolderIsLeftOutElevatedOrNot) {
  const std::wstring disabled = disabled_startup_folder();
  ASSERT_TRUE(path_strictly_inside(user_profile_folder(), disabled)) << "elevated, it would not be listed at all";
  const std::wstring parked = in_folder(disabled, scratch.name(L"parked.lnk"));
  scratch.put_file(parked);
  const testing::PathSetAside desktop_ini(in_folder(disabled, L"desktop.ini"));
  desktop_ini.put_file("[.ShellClassInfo]");
  for (const bool elevated : {true, false}) {
    SCOPED_TRACE(elevated ? "elevated" : "unelevated");
    bool parked_listed = false;
    for (const StartupEntry& entry : list_startup_entries(nullptr, elevated)) {
      EXPECT_FALSE(same_path_text(entry.key_path, desktop_ini.path()));
      parked_listed = parked_listed || entry.key_path == parked;
    }
    EXPECT_TRUE(parked_listed);
  }
}

TEST_F(StartupListing, SortsByKindThenOrdinalName) {
  scratch.put_file(in_folder(startup_folder(), scratch.name(L"A-file.lnk")));
  scratch.put_value(0, run_key(false), scratch.name(L"a-run"), make_string_value(L"x"));
  scratch.put_value(0, run_key(false), scratch.name(L"B-run"), make_string_value(L"x"));
  scratch.put_value(0, run_key(false), scratch.name(L"z-run"), make_string_value(L"x"));
  testing::FakeTask task;
  task.name = scratch.name(L"0-task");
  tasks.store.root.tasks = {task};

  const std::vector<StartupEntry> entries = listed();
  ASSERT_EQ(entries.size(), 5u);
  EXPECT_EQ(entries[0].name, scratch.name(L"B-run"));
  EXPECT_EQ(entries[1].name, scratch.name(L"a-run"));
  EXPECT_EQ(entries[2].name, scratch.name(L"z-run"));
  EXPECT_EQ(entries[3].kind, STARTUP_KIND_FOLDER);
  EXPECT_EQ(entries[4].kind, STARTUP_KIND_TASK);
  EXPECT_EQ(entries[4].location, L"Task Scheduler");
}

TEST_F(StartupListing, SetCancelFlagReturnsWhatWasGatheredWithoutError) {
  scratch.put_value(0, run_key(false), scratch.name(L"run"), make_string_value(L"x"));
  scratch.put_file(in_folder(startup_folder(), scratch.name(L"f.lnk")));
  testing::FakeTask task;
  task.name = scratch.name(L"task");
  tasks.store.root.tasks = {task};
  CancelFlag cancel{1};
  EXPECT_TRUE(list_startup_entries(&cancel).empty());
}

TEST_F(StartupListing, UnreachableTaskSchedulerFailsTheWholeListing) {
  tasks.store.connect_result = HRESULT_FROM_WIN32(RPC_S_SERVER_UNAVAILABLE);
  try {
    list_startup_entries(nullptr);
    ADD_FAILURE() << "the listing did not fail";
  } catch (const std::runtime_error& error) {
    EXPECT_EQ(std::string(error.what()), wide_to_utf8(windows_error_text(HRESULT_FROM_WIN32(RPC_S_SERVER_UNAVAILABLE))));
  }
}

// Each listing opens the StartupApproved keys afresh: a key that cannot be opened fails that
// listing with its Windows text, and the next listing reads it again once it opens.
TEST_F(StartupListing, ApprovalKeyThatCannotBeOpenedFailsOnlyThatListing) {
  scratch.put_value(0, run_key(false), scratch.name(L"one"), make_string_value(L"one.exe"));
  scratch.put_value(0, run_key(false), scratch.name(L"two"), make_string_value(L"two.exe"));
  scratch.put_value(0, kApproved + L"Run", scratch.name(L"two"), approval_value({3, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
  LSTATUS denied = ERROR_SUCCESS;
  {
    const KeyDenial denial(kApproved + L"Run");
    denied = denial.status();
    if (denied == ERROR_SUCCESS) GTEST_SKIP() << "this registry does not enforce key access lists";
    try {
      list_startup_entries(nullptr);
      ADD_FAILURE() << "the listing did not fail";
    } catch (const std::runtime_error& error) {
      EXPECT_EQ(std::string(error.what()), wide_to_utf8(windows_error_text(static_cast<std::uint32_t>(denied))));
    }
  }
  const std::vector<StartupEntry> entries = listed();
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_TRUE(entries[0].enabled);
  EXPECT_FALSE(entries[1].enabled);
}

// What the running test does once an elevated listing holds the DisabledStartup folder.
std::function<void()> held_action;
void run_held_action() {
  if (held_action) held_action();
}

// Elevated, the DisabledStartup folder is listed through the handle of the folder as checked: a
// link to a folder outside the profile is refused, and a folder emptied and made such a link once
// held lists nothing from there. Unelevated, it is walked by its path as ever.
TEST_F(StartupListing, ElevatedTheDisabledFolderListsNothingFromBehindALink) {
  if (!testing::running_under_wine()) GTEST_SKIP() << "links are made on Wine's Unix side";
  const testing::ScratchFolder inside;  // the profile's
  const testing::OutsideFolder outside;
  testing::redirect_local_app_data(scratch, inside.path());
  const std::wstring disabled = disabled_startup_folder();
  ASSERT_TRUE(path_strictly_inside(user_profile_folder(), disabled));
  const std::wstring own = scratch.name(L"own.lnk");
  const std::wstring foreign = scratch.name(L"foreign.lnk");
  testing::write_file_bytes(in_folder(outside.path(), foreign), "shortcut");
  const auto listed = [&](bool elevated) {
    return entries_with_prefix(list_startup_entries(nullptr, elevated), scratch.prefix());
  };

  std::filesystem::create_directories(std::filesystem::path(disabled).parent_path());
  {
    const testing::UnixLinkRemoval removal(disabled);
    ASSERT_TRUE(testing::make_unix_symlink(outside.path(), disabled));
    EXPECT_TRUE(listed(true).empty());
    const std::vector<StartupEntry> entries = listed(false);
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].key_path, in_folder(disabled, foreign));
    EXPECT_FALSE(entries[0].enabled);
  }

  std::filesystem::create_directories(disabled);
  testing::write_file_bytes(in_folder(disabled, own), "shortcut");
  std::vector<StartupEntry> entries = listed(true);
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(entries[0].key_path, in_folder(disabled, own));
  const testing::UnixLinkRemoval removal(disabled);
  bool swapped = false;
  held_action = [&] {
    swapped = testing::replace_folder_with_unix_symlink(disabled, outside.path(), testing::FolderEntries::moved_to_target);
  };
  {
    const struct HookSet {
      HookSet() { disabled_startup_held_hook = run_held_action; }
      ~HookSet() {
        disabled_startup_held_hook = nullptr;
        held_action = nullptr;
      }
    } hook;
    entries = listed(true);
  }
  ASSERT_TRUE(swapped) << "an elevated listing holds the folder before it lists it";
  EXPECT_TRUE(entries.empty()) << wide_to_utf8(entries.front().key_path);
  EXPECT_EQ(listed(false).size(), 2u) << "unelevated, both are listed through the link";
}

// The real Task Scheduler of Wine answers but its task collections are stubs.
TEST(StartupListingReal, ListsRunValuesBesideTheRealTaskScheduler) {
  StartupScratch scratch;
  scratch.put_value(0, run_key(false), scratch.name(L"real"), make_string_value(L"r.exe"));
  const std::vector<StartupEntry> entries = entries_with_prefix(list_startup_entries(nullptr), scratch.prefix());
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(entries[0].target, L"r.exe");
}

}  // namespace
}  // namespace corvane
