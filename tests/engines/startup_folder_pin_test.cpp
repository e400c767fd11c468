// ctest-resource-lock: startup data_folder reports_folder
#include "engines/startup_change.h"

#include "services/documents.h"
#include "services/shell.h"
#include "support/scratch.h"
#include "support/startup_scratch.h"

#include <gtest/gtest.h>
#include <shlobj.h>

#include <filesystem>

namespace corvane {
namespace {

namespace fs = std::filesystem;

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

}  // namespace
}  // namespace corvane
