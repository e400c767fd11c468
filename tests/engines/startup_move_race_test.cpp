// ctest-resource-lock: startup data_folder reports_folder
// A Startup-folder move whose source or destination folder is turned into a link between the
// check and the move (from the Unix side, as a junction would be on Windows): nothing lands
// behind the link, nothing is taken from behind it, and the outcome is a failure.
#include "engines/startup_change.h"
#include "engines/startup_file_move.h"

#include "services/documents.h"
#include "services/shell.h"
#include "services/text.h"
#include "services/user_profile.h"
#include "support/scratch.h"
#include "support/set_aside.h"
#include "support/startup_scratch.h"
#include "support/unix_link.h"
#include "support/wine.h"

#include <gtest/gtest.h>
#include <shlobj.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace corvane {
namespace {

namespace fs = std::filesystem;
using json = nlohmann::json;

enum class Action { disable, enable, remove, restore };
enum class Swapped { source, destination };

struct Race {
  const char* name;
  Action action;
  Swapped swapped;
};

// What the running test does when a move reaches a stage.
std::function<void(StartupMoveStage)>* stage_action = nullptr;

void run_stage_action(StartupMoveStage stage) {
  if (stage_action != nullptr && *stage_action) (*stage_action)(stage);
}

std::vector<std::wstring> names_in(const std::wstring& folder) {
  std::vector<std::wstring> names;
  std::error_code error;
  for (const fs::directory_entry& item : fs::directory_iterator(folder, error)) {
    names.push_back(item.path().filename().wstring());
  }
  return names;
}

// Runs action on the Startup-folder file that lies at live when enabled and at parked when
// disabled; a restore takes it back through the journal of an applied disable.
Outcome act_on_startup_file(Action action, const std::wstring& live, const std::wstring& parked, bool elevated) {
  if (action == Action::restore) {
    const json journal = {{"schema", 1},     {"kind", "startup"},  {"state", "applied"},
                          {"remove", false}, {"source", "folder"}, {"before", wide_to_utf8(live)},
                          {"after", wide_to_utf8(parked)}};
    return restore_startup_journal(journal, elevated);
  }
  const std::wstring& start = action == Action::enable ? parked : live;
  StartupEntry entry;
  entry.kind = STARTUP_KIND_FOLDER;
  entry.name = fs::path(start).filename().wstring();
  entry.key_path = start;
  entry.target = start;
  return change_startup_entry(entry, action == Action::enable, action == Action::remove, elevated);
}

// The user's Startup folder becomes a fresh folder of the profile, so that turning it into a
// link touches nothing else.
class StartupMove : public ::testing::Test {
 protected:
  void SetUp() override {
    startup = (fs::path(user_profile_folder()) / scratch.name(L"Startup")).wstring();
    fs::create_directories(startup);
    scratch.redirect_startup_folder(startup);
    ASSERT_EQ(fs::path(known_folder_path(FOLDERID_Startup)), fs::path(startup));
    stage_action = &at_stage;
    startup_move_hook = run_stage_action;
  }
  void TearDown() override {
    startup_move_hook = nullptr;
    stage_action = nullptr;
    // Whether or not the swap was seen: a folder left in place stays.
    if (!swapped_folder.empty()) testing::remove_unix_symlink(swapped_folder);
    // A link the test put into the folder is removed as a link, never followed.
    testing::remove_path(startup);
  }

  // Turns folder into a link to the stand-in for a protected folder when the move reaches
  // stage, provided it holds nothing but allowed (the data folders are shared with other tests).
  bool swap_at(const std::wstring& folder, StartupMoveStage stage, const std::wstring& allowed) {
    for (const std::wstring& name : names_in(folder)) {
      if (name != allowed) return false;
    }
    swapped_folder = folder;
    at_stage = [this, stage](StartupMoveStage reached) {
      if (reached != stage || swapped) return;
      swapped = testing::replace_folder_with_unix_symlink(swapped_folder, system.path(),
                                                            testing::FolderEntries::removed);
    };
    return true;
  }

  testing::ScratchFolder system;  // stands for a folder only an administrator may write
  testing::StartupScratch scratch;  // its links go before the folder they lead to
  std::wstring startup;
  std::function<void(StartupMoveStage)> at_stage;
  std::wstring swapped_folder;
  bool swapped = false;
};

class StartupMoveRace : public StartupMove, public ::testing::WithParamInterface<std::tuple<Race, bool>> {};

TEST_P(StartupMoveRace, NothingLandsOutsideOrIsTakenFromOutsideAndTheMoveFails) {
  if (!testing::running_under_wine()) {
    GTEST_SKIP() << "a folder can be replaced by a link only from the Unix side of Wine";
  }
  const auto [race, elevated] = GetParam();
  const std::wstring leaf = scratch.name(L"app.lnk");
  const std::wstring live = (fs::path(startup) / leaf).wstring();
  const std::wstring parked = (fs::path(disabled_startup_folder()) / leaf).wstring();
  const bool starts_live = race.action == Action::disable || race.action == Action::remove;
  const std::wstring start = starts_live ? live : parked;
  scratch.put_file(start, "the user's shortcut");
  scratch.forget_later(starts_live ? parked : live);
  // Behind a swapped source folder, another program's file of the same name.
  const std::wstring foreign = (fs::path(system.path()) / leaf).wstring();
  if (race.swapped == Swapped::source) testing::write_file_bytes(foreign, "protected");

  const std::wstring source_folder = fs::path(start).parent_path().wstring();
  std::wstring destination_folder = starts_live ? disabled_startup_folder() : startup;
  if (race.action == Action::remove) destination_folder = startup_files_folder();
  // The source folder is swapped before the file is opened: once the move holds the file no
  // other program can empty the folder (as the next test shows), which the swap from the Unix
  // side would ignore, deleting the held file itself.
  // The data folders are locked for this program, so another file there was left by a test.
  if (race.swapped == Swapped::source) {
    ASSERT_TRUE(swap_at(source_folder, StartupMoveStage::folders_pinned, leaf))
        << wide_to_utf8(source_folder) << " holds other files, which the swap would take";
  } else {
    fs::create_directories(destination_folder);
    ASSERT_TRUE(swap_at(destination_folder, StartupMoveStage::file_opened, L""))
        << wide_to_utf8(destination_folder) << " holds files, which the swap would take";
  }

  const Outcome outcome = act_on_startup_file(race.action, live, parked, elevated);
  ASSERT_TRUE(swapped) << "the folder was not replaced by a link";

  EXPECT_FALSE(outcome.ok);
  EXPECT_FALSE(outcome.message.empty());
  if (race.swapped == Swapped::destination) {
    EXPECT_TRUE(names_in(system.path()).empty()) << "nothing lands in the protected folder";
    EXPECT_EQ(outcome.message, kStartupMoveRedirectedMessage);
    EXPECT_EQ(testing::read_file_bytes(start), "the user's shortcut") << "the file is back where it started";
  } else {
    EXPECT_EQ(names_in(system.path()), std::vector<std::wstring>{leaf});
    EXPECT_EQ(testing::read_file_bytes(foreign), "protected") << "nothing is taken from the protected folder";
    // The user's file went with the emptied folder; nothing of that name came into the destination.
    for (const std::wstring& name : names_in(destination_folder)) {
      EXPECT_EQ(name.find(leaf), std::wstring::npos) << wide_to_utf8(name);
    }
    EXPECT_EQ(outcome.message, race.action == Action::restore ? windows_error_text(ERROR_FILE_NOT_FOUND)
                                                              : std::wstring(L"Startup target changed"));
  }
  if (race.action != Action::restore) {
    // Refused before the journal, or failed after it: never marked applied.
    EXPECT_EQ(fs::exists(outcome.record_path), race.swapped == Swapped::destination);
    if (fs::exists(outcome.record_path)) {
      EXPECT_EQ(read_json_file(outcome.record_path).at("state"), "prepared");
      scratch.forget_later(outcome.record_path);
    }
  }
}

// On Windows the source folder can be emptied, and so turned into a junction, only when the
// file can be taken out of it: the move holds the file so that no other program can.
TEST_F(StartupMove, NoOtherProgramCanRenameOrDeleteTheFileWhileItIsMoved) {
  const std::wstring leaf = scratch.name(L"held.lnk");
  const std::wstring live = (fs::path(startup) / leaf).wstring();
  const std::wstring parked = (fs::path(disabled_startup_folder()) / leaf).wstring();
  const std::wstring aside = (fs::path(startup) / scratch.name(L"aside.lnk")).wstring();
  scratch.put_file(live, "the user's shortcut");
  scratch.forget_later(parked);
  scratch.forget_later(aside);
  std::wstring held;
  std::vector<DWORD> errors;
  at_stage = [&](StartupMoveStage stage) {
    if (stage != StartupMoveStage::file_opened) return;
    errors.push_back(MoveFileExW(held.c_str(), aside.c_str(), 0) ? ERROR_SUCCESS : GetLastError());
    errors.push_back(DeleteFileW(held.c_str()) ? ERROR_SUCCESS : GetLastError());
  };
  const std::vector<DWORD> refused{ERROR_SHARING_VIOLATION, ERROR_SHARING_VIOLATION};

  StartupEntry entry;
  entry.kind = STARTUP_KIND_FOLDER;
  entry.name = leaf;
  entry.key_path = live;
  held = live;
  const Outcome disabled = change_startup_entry(entry, false, false, true);
  EXPECT_EQ(errors, refused);
  ASSERT_TRUE(disabled.ok) << wide_to_utf8(disabled.message);
  scratch.forget_later(disabled.record_path);
  EXPECT_EQ(testing::read_file_bytes(parked), "the user's shortcut");

  errors.clear();
  held = parked;
  const Outcome restored = restore_startup_journal(read_json_file(disabled.record_path), true);
  EXPECT_EQ(errors, refused);
  ASSERT_TRUE(restored.ok) << wide_to_utf8(restored.message);
  EXPECT_EQ(testing::read_file_bytes(live), "the user's shortcut");
  EXPECT_FALSE(fs::exists(aside));
}

// The file is checked again through the handle the move uses: a folder, or a link to one, put
// in its place after the first check is neither moved nor journalled.
TEST_F(StartupMove, AFolderOrLinkPutInTheFilesPlaceAfterTheCheckIsNotMoved) {
  for (const bool link : {false, true}) {
    if (link && !testing::running_under_wine()) GTEST_SKIP() << "a link can be made only from the Unix side of Wine";
    const std::wstring leaf = scratch.name(link ? L"link.lnk" : L"folder.lnk");
    const std::wstring live = (fs::path(startup) / leaf).wstring();
    const std::wstring parked = (fs::path(disabled_startup_folder()) / leaf).wstring();
    scratch.put_file(live);
    scratch.forget_later(parked);
    bool replaced = false;
    at_stage = [&](StartupMoveStage stage) {
      if (stage != StartupMoveStage::folders_pinned) return;
      fs::remove(live);
      replaced = link ? scratch.put_link(system.path(), live) : fs::create_directory(live);
    };
    StartupEntry entry;
    entry.kind = STARTUP_KIND_FOLDER;
    entry.name = leaf;
    entry.key_path = live;
    const Outcome outcome = change_startup_entry(entry, false, false, true);
    ASSERT_TRUE(replaced) << (link ? "no link was put in the file's place" : "no folder was put in the file's place");
    EXPECT_EQ(outcome.message, L"Startup target changed") << link;
    EXPECT_FALSE(fs::exists(outcome.record_path)) << link;
    EXPECT_FALSE(fs::exists(fs::symlink_status(parked))) << link;
    EXPECT_TRUE(fs::is_directory(live)) << link;
  }
  EXPECT_TRUE(names_in(system.path()).empty());
}

// A link to a file elsewhere put in the file's place after the check: Wine opens it through and
// does not call it a link, so the file is found out by where its handle says it lies. Neither the
// disable nor a journal's restore moves the linked-to file, and the disable writes no journal.
TEST_F(StartupMove, ALinkToAFileElsewherePutInTheFilesPlaceIsNotMoved) {
  if (!testing::running_under_wine()) GTEST_SKIP() << "a link can be made only from the Unix side of Wine";
  for (const bool restore : {false, true}) {
    const std::wstring foreign = system.file(scratch.name(restore ? L"foreign-restored.lnk" : L"foreign-disabled.lnk"));
    testing::write_file_bytes(foreign, "protected");
    const std::wstring leaf = scratch.name(restore ? L"restored.lnk" : L"disabled.lnk");
    const std::wstring live = (fs::path(startup) / leaf).wstring();
    const std::wstring parked = (fs::path(disabled_startup_folder()) / leaf).wstring();
    const std::wstring source = restore ? parked : live;
    const std::wstring destination = restore ? live : parked;
    scratch.put_file(source);
    scratch.forget_later(destination);
    // Gone before the folder that holds it: Wine's own delete leaves a link to a file in place.
    const testing::UnixLinkRemoval removal(source);
    bool linked = false;
    at_stage = [&](StartupMoveStage stage) {
      if (stage != StartupMoveStage::folders_pinned || linked) return;
      fs::remove(source);
      linked = testing::make_unix_symlink(foreign, source);
    };
    const Outcome outcome = act_on_startup_file(restore ? Action::restore : Action::disable, live, parked, true);
    ASSERT_TRUE(linked) << "no link was put in the file's place";
    EXPECT_FALSE(outcome.ok) << restore;
    EXPECT_EQ(outcome.message, restore ? L"Startup journal path is a link" : L"Startup target changed");
    if (!restore) {
      EXPECT_FALSE(fs::exists(outcome.record_path)) << "no journal";
    }
    EXPECT_FALSE(fs::exists(fs::symlink_status(destination))) << restore;
    EXPECT_EQ(testing::read_file_bytes(foreign), "protected") << "the linked-to file stays; " << restore;
  }
}

const Race kRaces[] = {
    {"DisableIntoSwappedFolder", Action::disable, Swapped::destination},
    {"DisableFromSwappedFolder", Action::disable, Swapped::source},
    {"EnableIntoSwappedFolder", Action::enable, Swapped::destination},
    {"EnableFromSwappedFolder", Action::enable, Swapped::source},
    {"RemoveIntoSwappedFolder", Action::remove, Swapped::destination},
    {"RemoveFromSwappedFolder", Action::remove, Swapped::source},
    {"RestoreIntoSwappedFolder", Action::restore, Swapped::destination},
    {"RestoreFromSwappedFolder", Action::restore, Swapped::source},
};

std::string race_name(const ::testing::TestParamInfo<std::tuple<Race, bool>>& param) {
  return std::string(std::get<0>(param.param).name) + (std::get<1>(param.param) ? "Elevated" : "Unelevated");
}

INSTANTIATE_TEST_SUITE_P(Moves, StartupMoveRace, ::testing::Combine(::testing::ValuesIn(kRaces), ::testing::Bool()),
                         race_name);

}  // namespace
}  // namespace corvane
