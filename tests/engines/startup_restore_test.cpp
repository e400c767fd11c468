// ctest-resource-lock: startup data_folder
// Restoring a folder journal: a journal lives where the user can write, so its paths are
// checked before anything moves.
#include "engines/startup_change.h"
#include "services/data_folder_guard.h"

#include "services/shell.h"
#include "services/text.h"
#include "support/scratch.h"
#include "support/startup_scratch.h"

#include <gtest/gtest.h>
#include <shlobj.h>

#include <filesystem>

namespace corvane {
namespace {

namespace fs = std::filesystem;
using json = nlohmann::json;
using testing::StartupScratch;

std::wstring startup_path(const std::wstring& name) { return (fs::path(known_folder_path(FOLDERID_Startup)) / name).wstring(); }
std::wstring parked_path(const std::wstring& name) { return (fs::path(disabled_startup_folder()) / name).wstring(); }

json folder_journal(const std::wstring& before, const std::wstring& after) {
  return {{"schema", 1}, {"kind", "startup"}, {"state", "applied"}, {"remove", false},
          {"source", "folder"}, {"before", wide_to_utf8(before)}, {"after", wide_to_utf8(after)}};
}

class JournalRestore : public ::testing::Test {
 protected:
  const testing::ScratchFolder outside_folder;
  StartupScratch scratch;  // its links go before the folder they lead to
  const std::wstring outside = outside_folder.path();
};

TEST_F(JournalRestore, MovesAParkedFileBackIntoTheStartupFolder) {
  const std::wstring name = scratch.name(L"back.lnk");
  scratch.put_file(parked_path(name));
  scratch.forget_later(startup_path(name));
  const Outcome outcome = restore_startup_journal(folder_journal(startup_path(name), parked_path(name)));
  ASSERT_TRUE(outcome.ok) << wide_to_utf8(outcome.message);
  EXPECT_TRUE(fs::exists(startup_path(name)));
  EXPECT_FALSE(fs::exists(parked_path(name)));

  const Outcome again = restore_startup_journal(folder_journal(parked_path(name) + L"x", parked_path(name)));
  EXPECT_FALSE(again.ok);
  EXPECT_EQ(again.message, windows_error_text(ERROR_FILE_NOT_FOUND));
}

TEST_F(JournalRestore, PathsOutsideTheStartupFoldersAreRefusedAndNothingMoves) {
  const std::wstring name = scratch.name(L"x.lnk");
  const std::wstring foreign = (fs::path(outside) / name).wstring();
  scratch.put_file(foreign);
  scratch.put_file(parked_path(name));

  const std::wstring refusal = L"Startup journal path is outside the startup folders";
  EXPECT_EQ(restore_startup_journal(folder_journal(startup_path(name), foreign)).message, refusal);
  EXPECT_EQ(restore_startup_journal(folder_journal(foreign + L"2", parked_path(name))).message, refusal);
  const std::wstring climbing = disabled_startup_folder() + L"\\..\\..\\" + name;
  EXPECT_EQ(restore_startup_journal(folder_journal(startup_path(name), climbing)).message, refusal);
  EXPECT_EQ(restore_startup_journal(folder_journal(startup_path(name), disabled_startup_folder())).message, refusal)
      << "the folder itself is not inside itself";
  EXPECT_EQ(restore_startup_journal(folder_journal(startup_path(name), parked_path(L"*.lnk"))).message, refusal);

  EXPECT_TRUE(fs::exists(foreign));
  EXPECT_TRUE(fs::exists(parked_path(name)));
  EXPECT_FALSE(fs::exists(startup_path(name)));
  EXPECT_FALSE(fs::exists(foreign + L"2"));
}

TEST_F(JournalRestore, PathsThroughALinkAreRefusedAndNothingMoves) {
  const std::wstring name = scratch.name(L"linked.lnk");
  const std::wstring foreign = (fs::path(outside) / name).wstring();
  scratch.put_file(foreign);
  fs::create_directories(disabled_startup_folder());
  const std::wstring link = parked_path(scratch.name(L"dir"));
  ASSERT_TRUE(scratch.put_link(outside, link)) << "cannot make a link here";

  const Outcome outcome = restore_startup_journal(folder_journal(startup_path(name), link + L"\\" + name));
  EXPECT_FALSE(outcome.ok);
  EXPECT_EQ(outcome.message, kDataFolderThroughLinkMessage);
  EXPECT_TRUE(fs::exists(foreign));
  EXPECT_FALSE(fs::exists(startup_path(name)));
}

TEST_F(JournalRestore, IncompleteJournalFailsWithTheLibraryText) {
  json journal = folder_journal(startup_path(L"a.lnk"), parked_path(L"a.lnk"));
  journal.erase("before");
  const Outcome outcome = restore_startup_journal(journal);
  EXPECT_FALSE(outcome.ok);
  EXPECT_NE(outcome.message.find(L"key 'before' not found"), std::wstring::npos) << wide_to_utf8(outcome.message);
  journal["before"] = 5;
  EXPECT_NE(restore_startup_journal(journal).message.find(L"type must be string"), std::wstring::npos);
}

}  // namespace
}  // namespace corvane
