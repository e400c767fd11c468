// ctest-resource-lock: run_keys startup data_folder reports_folder
#include "ui/app.h"

#include "engines/startup_change.h"
#include "services/registry.h"
#include "services/shell.h"
#include "services/system_info.h"
#include "support/backups_guard.h"
#include "support/startup_scratch.h"
#include "support/ui_app.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <stdexcept>

namespace corvane {
namespace {

using testing::pump_until;
using testing::WindowApp;

const std::wstring kApprovedRun = L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\StartupApproved\\Run";

std::vector<std::wstring> dialog_texts;
int respond(const std::wstring&, const std::wstring& text, const std::vector<std::wstring>&) {
  dialog_texts.push_back(text);
  return 0;
}

class StartupPage : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(app.created());
    dialog_texts.clear();
    dialog_responder = respond;
    app->show_page(PAGE_STARTUP);
  }
  void TearDown() override { dialog_responder = nullptr; }
  // A Run value of this process's own, cleaned up with its disabled twin and approval.
  std::wstring put_run(const std::wstring& stem) {
    const std::wstring name = scratch.name(stem);
    scratch.put_value(0, disabled_run_key(false), name, {});
    scratch.put_value(0, kApprovedRun, name, {});
    scratch.put_value(0, run_key(false), name, make_string_value(L"C:\\" + stem + L".exe"));
    return name;
  }
  // Waits for the running job and the refresh that its end starts at once.
  void settle() { ASSERT_TRUE(pump_until([&] { return !app->busy; }, 30000)); }
  int index_of(const std::wstring& name) {
    const auto& entries = app->startup_entries;
    const auto found = std::find_if(entries.begin(), entries.end(), [&](const auto& e) { return e.name == name; });
    return found == entries.end() ? -1 : static_cast<int>(found - entries.begin());
  }
  void select(const std::wstring& name) {
    const int index = index_of(name);
    for (std::size_t row = 0; row < app->row_map.size(); ++row) {
      if (app->row_map[row] != index) continue;
      ListView_SetItemState(app->page_list, static_cast<int>(row), LVIS_SELECTED, LVIS_SELECTED);
    }
    ASSERT_EQ(app->selected_index(), index);
  }
  bool in_run_key(const std::wstring& name) { return read_registry_value({0, run_key(false), name, {}}).exists; }

  testing::StartupScratch scratch;
  testing::BackupsGuard backups;
  WindowApp app{testing::window_test_options()};
};

TEST_F(StartupPage, TogglingTwiceLeavesNothingPending) {
  const std::wstring name = put_run(L"twice");
  app->command(ID_TERTIARY_BUTTON);
  settle();
  EXPECT_NE(app->status_text.find(L" entries loaded"), std::wstring::npos);
  select(name);
  app->toggle_selected_startup();
  EXPECT_EQ(app->status_text, L"1 unsaved changes - Choose Save configuration to apply");
  EXPECT_TRUE(IsWindowEnabled(app->primary_button));
  EXPECT_EQ(app->startup_status_text(app->startup_entries[static_cast<std::size_t>(index_of(name))]), L"Disabled");
  app->toggle_selected_startup();
  EXPECT_EQ(app->status_text, L"No unsaved changes");
  EXPECT_FALSE(IsWindowEnabled(app->primary_button));
  EXPECT_TRUE(app->pending_startup_changes.empty());
}

TEST_F(StartupPage, ASaveReportsEachFailureAndKeepsOnlyTheFailedChangePending) {
  const std::wstring first = put_run(L"a1");
  const std::wstring second = put_run(L"a2");
  const std::wstring third = put_run(L"a3");
  app->refresh();
  settle();
  for (const std::wstring& name : {first, second, third}) {
    app->toggle_startup_pending(app->startup_entries[static_cast<std::size_t>(index_of(name))]);
  }
  const std::wstring second_key = startup_entry_key(app->startup_entries[static_cast<std::size_t>(index_of(second))]);
  write_registry_value({0, run_key(false), second, {}});  // another program deletes it

  app->command(ID_PRIMARY_BUTTON);
  settle();
  ASSERT_EQ(dialog_texts.size(), 1u);
  EXPECT_EQ(dialog_texts[0], L"Not completed - 2 processed, 1 skipped\r\n" + second +
                                 L": Startup entry no longer exists\r\n");
  EXPECT_FALSE(in_run_key(first));
  EXPECT_FALSE(in_run_key(third));
  ASSERT_EQ(app->pending_startup_changes.size(), 1u);
  EXPECT_EQ(app->pending_startup_changes.begin()->first, second_key);
  // The refresh that followed no longer lists it, yet it is shown from its pending copy.
  ASSERT_EQ(app->startup_entries.back().name, second);
  EXPECT_TRUE(app->startup_pending(app->startup_entries.back()));
  EXPECT_FALSE(app->startup_entries[static_cast<std::size_t>(index_of(first))].enabled);
}

TEST_F(StartupPage, RemovalKeepsThePendingChange) {
  const std::wstring name = put_run(L"gone");
  app->refresh();
  settle();
  select(name);
  app->toggle_selected_startup();
  app->command(ID_SECONDARY_BUTTON);  // confirmed, then the result is closed
  settle();
  ASSERT_EQ(dialog_texts.size(), 2u);
  EXPECT_EQ(dialog_texts[0].find(name + L"\r\nC:\\gone.exe\r\n\r\nThis affects the next sign-in"), 0u);
  EXPECT_EQ(dialog_texts[1].find(L"Completed"), 0u);
  EXPECT_FALSE(in_run_key(name));
  EXPECT_EQ(app->pending_startup_changes.size(), 1u);
  ASSERT_GE(index_of(name), 0);
  EXPECT_TRUE(app->startup_pending(app->startup_entries[static_cast<std::size_t>(index_of(name))]));
}

TEST_F(StartupPage, RemovalKeepsThePendingChangeUntilItIsToggledBack) {
  const std::wstring name = put_run(L"gone");
  app->command(ID_TERTIARY_BUTTON);
  settle();
  select(name);
  app->toggle_selected_startup();
  EXPECT_EQ(app->status_text, L"1 unsaved changes - Choose Save configuration to apply");
  EXPECT_TRUE(IsWindowEnabled(app->primary_button));
  app->command(ID_SECONDARY_BUTTON);  // confirmed, then the result is closed
  settle();
  ASSERT_EQ(dialog_texts.size(), 2u);
  EXPECT_EQ(dialog_texts[0].find(name + L"\r\nC:\\gone.exe\r\n\r\nThis affects the next sign-in"), 0u);
  EXPECT_EQ(dialog_texts[1].find(L"Completed"), 0u);
  EXPECT_FALSE(in_run_key(name));
  // The refresh after the removal shows it again from its pending copy, drawn as pending.
  select(name);
  EXPECT_EQ(app->startup_status_text(app->startup_entries[static_cast<std::size_t>(index_of(name))]), L"Disabled");
  app->toggle_selected_startup();
  EXPECT_EQ(app->status_text, L"No unsaved changes");
  EXPECT_FALSE(IsWindowEnabled(app->primary_button));
  EXPECT_TRUE(app->pending_startup_changes.empty());
}

// A change that throws a text in a local code page must not hide what the others did.
Outcome changer(const StartupEntry& entry, bool, bool) {
  if (entry.name == L"bad") throw std::runtime_error("Zugriff verweigert \xE4\xFC");
  return Outcome{};
}

TEST(StartupSaveJob, AThrownTextThatIsNotUtf8IsReportedWithTheOthersResults) {
  std::map<std::wstring, PendingStartupChange> changes;
  for (const wchar_t* name : {L"a", L"bad", L"c"}) {
    StartupEntry entry;
    entry.name = name;
    changes[name] = PendingStartupChange{entry, false};
  }
  std::vector<std::uint64_t> steps;
  const ProgressFn progress = [&](std::uint64_t done, std::uint64_t, const std::wstring&) { steps.push_back(done); };
  CancelFlag cancel{0};
  const std::unique_ptr<Work> work = save_startup_changes(changes, &cancel, progress, changer);
  EXPECT_EQ(work->kind, WORK_STARTUP_SAVE);
  EXPECT_FALSE(work->outcome.ok);
  EXPECT_EQ(work->outcome.affected, 2u);
  EXPECT_EQ(work->outcome.skipped, 1u);
  EXPECT_EQ(work->outcome.message, L"bad: Zugriff verweigert \uFFFD\uFFFD\r\n");
  EXPECT_EQ(work->saved_startup_keys, (std::vector<std::wstring>{L"a", L"c"}));
  EXPECT_EQ(steps, (std::vector<std::uint64_t>{0, 1, 2, 3}));

  cancel = 1;  // a stopped save changes nothing more and adds no text
  const std::unique_ptr<Work> stopped = save_startup_changes(changes, &cancel, {}, changer);
  EXPECT_FALSE(stopped->outcome.ok);
  EXPECT_TRUE(stopped->saved_startup_keys.empty() && stopped->outcome.message.empty());
}

// Any program of the user can point the user's Startup folder into the system and plant a
// file among the disabled ones: a save by an elevated Corvane (as every process under Wine is)
// must not move it there.
TEST(StartupSaveJob, ElevatedTheEnableOfAFilePlantedForAStartupFolderInTheSystemMovesNothing) {
  testing::StartupScratch scratch;
  const std::wstring name = scratch.name(L"planted.lnk");
  const std::wstring system = windows_folder() + L"\\system32";
  scratch.put_file(disabled_startup_folder() + L"\\" + name);
  scratch.redirect_startup_folder(system);
  ASSERT_TRUE(process_elevated());
  std::map<std::wstring, PendingStartupChange> changes;
  for (const StartupEntry& entry : list_startup_entries(nullptr)) {
    if (entry.name == name && entry.location == L"Startup folder - User") changes[name] = {entry, true};
  }
  ASSERT_EQ(changes.size(), 1u);
  CancelFlag cancel{0};
  const std::unique_ptr<Work> work = save_startup_changes(changes, &cancel, {}, change_startup_entry, true);
  EXPECT_EQ(work->outcome.message, name + L": " + kStartupOutsideProfileMessageVi + L"\r\n");
  EXPECT_TRUE(std::filesystem::exists(disabled_startup_folder() + L"\\" + name));
  EXPECT_FALSE(std::filesystem::exists(system + L"\\" + name));
}

}  // namespace
}  // namespace corvane
