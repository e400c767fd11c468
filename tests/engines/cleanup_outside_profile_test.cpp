// ctest-resource-lock: data_folder reports_folder
// An elevated Corvane and a local application data folder that any program of the user can point
// at another user's folder. Under Wine every process reads as elevated: the engines are given the
// flag, so both sides are the real code.
#include "engines/cleanup_run.h"

#include "services/shell.h"
#include "services/text.h"
#include "services/user_profile.h"
#include "support/backups_guard.h"
#include "support/file_tree.h"
#include "support/outside_folder.h"
#include "support/scratch.h"
#include "support/set_aside.h"
#include "support/startup_scratch.h"
#include "support/unix_link.h"

#include <windows.h>
#include <knownfolders.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

namespace corvane {
namespace {

using testing::file_exists;
using testing::kDay;
using testing::make_old_file;
using testing::read_file_bytes;
using testing::tree_listing;

// Every report these runs write is removed when the program ends.
const bool g_reports_removed = testing::remove_new_reports_after_the_run();

bool is_local_area(const std::string& id) {
  static const std::set<std::string> local{"temp", "crashes", "thumbnails", "chrome", "edge", "firefox"};
  return local.count(id) != 0;
}

// The areas selected by default, and Chrome's cache.
std::vector<CleanupArea> chosen(const std::vector<CleanupArea>& areas) {
  std::vector<CleanupArea> out;
  for (const CleanupArea& area : areas) {
    if (area.selected_by_default || area.id == "chrome") out.push_back(area);
  }
  return out;
}

ScanResult scan(const std::vector<CleanupArea>& areas, bool elevated) {
  CancelFlag never{0};
  return scan_cleanup_areas(areas, &never, {}, elevated);
}

Outcome clean(const ScanResult& result, const std::vector<CleanupArea>& areas, bool elevated,
              const ProgressFn& progress = {}) {
  CancelFlag never{0};
  return execute_cleanup(result, areas, &never, progress, elevated);
}

std::vector<std::wstring> paths_of(const ScanResult& result) {
  std::vector<std::wstring> paths;
  for (const CleanupItem& item : result.items) paths.push_back(item.path);
  std::sort(paths.begin(), paths.end());
  return paths;
}

// The default selection's files under a local application data folder: 30 days old, as in the
// issue, and a browser cache (spelled as the area's root spells it).
struct LocalData {
  explicit LocalData(const std::wstring& folder)
      : temp_file(folder + L"\\Temp\\thesis.docx"),
        cache_file(folder + L"\\Google/Chrome/User Data\\Default\\Cache\\data_1") {
    make_old_file(temp_file, "another user's thesis", 30 * kDay);
    make_old_file(cache_file, "cache", 30 * kDay);
  }
  std::wstring temp_file;
  std::wstring cache_file;
};

// "Local AppData" pointed at local, a folder outside the profile: elevated, nothing there is
// scanned or deleted, whether the areas were made with the check or without it (as an unelevated
// Corvane makes them); unelevated, the folder is cleaned as ever.
void expect_left_alone_when_elevated(const std::wstring& local) {
  EXPECT_FALSE(folder_in_profile(local));
  const LocalData data(local);
  const std::vector<std::wstring> before = tree_listing(local);
  testing::StartupScratch scratch;
  testing::redirect_local_app_data(scratch, local);
  ASSERT_EQ(known_folder_path(FOLDERID_LocalAppData), local);

  const std::vector<CleanupArea> areas = default_cleanup_areas(true);
  ASSERT_EQ(areas.size(), 12u);
  for (const CleanupArea& area : areas) {
    SCOPED_TRACE(area.id);
    EXPECT_EQ(area.roots_withheld, is_local_area(area.id));
    EXPECT_EQ(area.roots.empty(), is_local_area(area.id) || !area.action.empty());
  }
  const ScanResult elevated_scan = scan(chosen(areas), true);
  EXPECT_TRUE(elevated_scan.items.empty());
  EXPECT_EQ(elevated_scan.scanned_areas, (std::vector<std::string>{"temp", "crashes", "chrome"}));
  EXPECT_EQ(elevated_scan.refusal, kLocalDataOutsideProfileMessage);

  const std::vector<CleanupArea> unchecked = chosen(default_cleanup_areas(false));
  const ScanResult made = scan(unchecked, false);
  ASSERT_EQ(paths_of(made), (std::vector<std::wstring>{data.cache_file, data.temp_file}));
  EXPECT_TRUE(made.refusal.empty());
  const ScanResult rescanned = scan(unchecked, true);
  EXPECT_TRUE(rescanned.items.empty());
  EXPECT_EQ(rescanned.refusal, kLocalDataOutsideProfileMessage);

  const Outcome refused = clean(made, unchecked, true);
  EXPECT_TRUE(refused.ok);
  EXPECT_EQ(refused.affected, 0u);
  EXPECT_EQ(refused.skipped, 2u);
  EXPECT_EQ(tree_listing(local), before);

  const Outcome cleaned = clean(made, unchecked, false);
  EXPECT_EQ(cleaned.affected, 2u);
  EXPECT_FALSE(file_exists(data.temp_file));
  EXPECT_FALSE(file_exists(data.cache_file));
}

TEST(CleanupOutsideProfile, LocalAppDataOnAFolderOutsideTheProfile) {
  const testing::OutsideFolder outside;
  expect_left_alone_when_elevated(outside.path());
}

// The profile's path with "-x": its text begins with the profile's, but it is not inside it.
TEST(CleanupOutsideProfile, LocalAppDataBesideTheProfileUnderANameThatBeginsWithItsName) {
  const testing::ProfileSiblingFolder sibling;
  ASSERT_TRUE(sibling.made()) << wide_to_utf8(sibling.path()) << " existed or could not be made";
  expect_left_alone_when_elevated(sibling.path());
}

// The run's root, inside the profile when scanned, emptied and made a link to an outside folder
// (its files moved there under their own identity) after the first deletion, while the run holds
// its folders pinned and has found it inside the profile once.
TEST(CleanupOutsideProfile, ARootMadeALinkOutsideDuringTheRunLosesNothingThere) {
  const testing::ScratchFolder inside;
  ASSERT_TRUE(folder_in_profile(inside.path())) << "the temporary folder is the profile's";
  const testing::OutsideFolder outside;
  const std::wstring root = inside.file(L"Temp");
  make_old_file(root + L"\\a.tmp", "a", 30 * kDay);
  make_old_file(root + L"\\b.tmp", "b", 30 * kDay);
  std::filesystem::create_directories(outside.path() + L"\\Temp");
  testing::StartupScratch scratch;
  testing::redirect_local_app_data(scratch, inside.path());
  const std::vector<CleanupArea> areas = {default_cleanup_areas(true)[0]};
  ASSERT_EQ(areas[0].roots, std::vector<std::wstring>{root});
  const ScanResult result = scan(areas, true);
  ASSERT_EQ(result.items.size(), 2u);
  EXPECT_TRUE(result.refusal.empty());

  const testing::UnixLinkRemoval removal(root);
  bool swapped = false;
  const Outcome outcome = clean(result, areas, true, [&](std::uint64_t done, std::uint64_t, const std::wstring&) {
    if (done == 1) {
      swapped = testing::replace_folder_with_unix_symlink(root, outside.path() + L"\\Temp",
                                                          testing::FolderEntries::moved_to_target);
    }
  });
  ASSERT_TRUE(swapped) << "the root was not swapped for a link";
  EXPECT_EQ(outcome.affected, 1u);
  EXPECT_EQ(outcome.skipped, 1u);
  const std::wstring moved = outside.path() + L"\\Temp" + result.items[1].path.substr(root.size());
  EXPECT_EQ(read_file_bytes(moved), result.items[1].path.ends_with(L"a.tmp") ? "a" : "b");
}

// A folder a test makes outside its scratch folders, removed with what it holds however it ends.
struct RemovedAfterwards {
  std::wstring folder;
  ~RemovedAfterwards() {
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
  }
};

// Elevated, an area rooted at root is scanned and its old files, named below root, all deleted.
void expect_cleaned_elevated(const std::wstring& root, const std::vector<std::wstring>& files) {
  for (const std::wstring& file : files) make_old_file(root + L"\\" + file, "x", 30 * kDay);
  const std::vector<CleanupArea> areas = {testing::scratch_area("elevated", root)};
  const ScanResult result = scan(areas, true);
  ASSERT_EQ(result.items.size(), files.size());
  EXPECT_TRUE(result.refusal.empty());
  EXPECT_EQ(clean(result, areas, true).affected, files.size());
  for (const std::wstring& file : files) EXPECT_FALSE(file_exists(root + L"\\" + file)) << wide_to_utf8(file);
}

// An area whose root lies directly below the profile: elevated, its files are deleted, the one
// directly in the root as the one in a folder below it.
TEST(CleanupOutsideProfile, ARootDirectlyBelowTheProfileIsCleaned) {
  const RemovedAfterwards root{user_profile_folder() + L"\\corvane-test-" + testing::random_name()};
  std::filesystem::create_directories(root.folder);
  ASSERT_TRUE(folder_in_profile(root.folder));
  expect_cleaned_elevated(root.folder, {L"old.tmp", L"sub\\deeper.tmp"});
}

// Roots in the system's Windows folder are not held to the profile: elevated, they are scanned
// and cleaned as ever.
TEST(CleanupOutsideProfile, RootsInTheWindowsFolderAreCleanedAsEver) {
  const RemovedAfterwards root{system_windows_folder() + L"\\Temp\\corvane-test-" + testing::random_name()};
  std::filesystem::create_directories(root.folder);
  ASSERT_FALSE(folder_in_profile(root.folder));
  expect_cleaned_elevated(root.folder, {L"old.tmp"});
}

// The memory dump's root is the Windows folder itself, not a folder below it: elevated, the dump
// is listed and deleted all the same. The machine's own dump, if any, waits aside meanwhile.
TEST(CleanupOutsideProfile, TheMemoryDumpInTheWindowsFolderItselfIsCleanedAsEver) {
  const testing::PathSetAside dump(system_windows_folder() + L"\\MEMORY.DMP");
  make_old_file(dump.path(), "dump", 30 * kDay);
  std::vector<CleanupArea> areas;
  for (const CleanupArea& area : default_cleanup_areas(true)) {
    if (area.id == "memory") areas.push_back(area);
  }
  ASSERT_EQ(areas.size(), 1u);
  ASSERT_EQ(areas[0].roots.size(), 1u);
  ASSERT_TRUE(same_path_text(areas[0].roots[0], system_windows_folder()));
  const ScanResult result = scan(areas, true);
  EXPECT_TRUE(result.refusal.empty());
  ASSERT_EQ(result.items.size(), 1u);
  EXPECT_TRUE(same_path_text(result.items[0].path, dump.path())) << wide_to_utf8(result.items[0].path);
  const Outcome cleaned = clean(result, areas, true);
  EXPECT_TRUE(cleaned.ok) << wide_to_utf8(cleaned.message);
  EXPECT_EQ(cleaned.affected, 1u);
  EXPECT_FALSE(file_exists(dump.path()));
}

}  // namespace
}  // namespace corvane
