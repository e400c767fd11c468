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
#include "support/startup_scratch.h"
#include "support/unix_link.h"

#include <gtest/gtest.h>
#include <shlobj.h>

#include <filesystem>
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

// The folder to turn into a link, at which stage, and what became of it.
struct PendingSwap {
  std::wstring folder;
  std::wstring target;
  StartupMoveStage stage = StartupMoveStage::folders_pinned;
  bool reached = false;
  bool made = false;
};

PendingSwap* pending_swap = nullptr;

void swap_folder_for_link(StartupMoveStage stage) {
  if (pending_swap == nullptr || pending_swap->reached || stage != pending_swap->stage) return;
  pending_swap->reached = true;
  pending_swap->made = testing::replace_folder_with_unix_symlink(pending_swap->folder, pending_swap->target);
}

std::vector<std::wstring> names_in(const std::wstring& folder) {
  std::vector<std::wstring> names;
  std::error_code error;
  for (const fs::directory_entry& item : fs::directory_iterator(folder, error)) {
    names.push_back(item.path().filename().wstring());
  }
  return names;
}

class StartupMoveRace : public ::testing::TestWithParam<std::tuple<Race, bool>> {
 protected:
  void SetUp() override {
    // The user's Startup folder becomes a fresh folder of the profile, so that turning it into a
    // link touches nothing else.
    startup = (fs::path(user_profile_folder()) / scratch.name(L"Startup")).wstring();
    fs::create_directories(startup);
    scratch.redirect_startup_folder(startup);
    ASSERT_EQ(fs::path(known_folder_path(FOLDERID_Startup)), fs::path(startup));
    startup_move_hook = swap_folder_for_link;
  }
  void TearDown() override {
    startup_move_hook = nullptr;
    pending_swap = nullptr;
    if (swap.made) testing::remove_unix_symlink(swap.folder);
    std::error_code ignored;
    fs::remove_all(startup, ignored);
  }

  // Turns folder into a link to the stand-in for a protected folder at that stage, when it
  // holds nothing but allowed (the data folders are shared with other tests).
  bool swap_at(const std::wstring& folder, StartupMoveStage stage, const std::wstring& allowed) {
    for (const std::wstring& name : names_in(folder)) {
      if (name != allowed) return false;
    }
    swap.folder = folder;
    swap.target = system.path();
    swap.stage = stage;
    pending_swap = &swap;
    return true;
  }

  testing::StartupScratch scratch;
  testing::ScratchFolder system;  // stands for a folder only an administrator may write
  std::wstring startup;
  PendingSwap swap;
};

TEST_P(StartupMoveRace, NothingLandsOutsideOrIsTakenFromOutsideAndTheMoveFails) {
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
  if (race.swapped == Swapped::source) {
    if (!swap_at(source_folder, StartupMoveStage::folders_pinned, leaf)) GTEST_SKIP() << "the folder holds files";
  } else {
    fs::create_directories(destination_folder);
    if (!swap_at(destination_folder, StartupMoveStage::file_opened, L"")) GTEST_SKIP() << "the folder holds files";
  }

  Outcome outcome;
  if (race.action == Action::restore) {
    const json journal = {{"schema", 1},        {"kind", "startup"},    {"state", "applied"},
                          {"remove", false},    {"source", "folder"},   {"before", wide_to_utf8(live)},
                          {"after", wide_to_utf8(parked)}};
    outcome = restore_startup_journal(journal, elevated);
  } else {
    StartupEntry entry;
    entry.kind = STARTUP_KIND_FOLDER;
    entry.name = leaf;
    entry.key_path = start;
    entry.target = start;
    outcome = change_startup_entry(entry, race.action == Action::enable, race.action == Action::remove, elevated);
  }
  if (!swap.made) GTEST_SKIP() << "a folder can be replaced by a link only from the Unix side of Wine";

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
