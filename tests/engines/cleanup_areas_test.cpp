// ctest-resource-lock: data_folder
#include "engines/cleanup_areas.h"

#include "services/shell.h"
#include "services/text.h"
#include "support/file_tree.h"
#include "support/idle_process.h"
#include "support/scratch.h"
#include "support/unix_link.h"
#include "support/wine.h"

#include <gtest/gtest.h>
#include <knownfolders.h>

#include <algorithm>
#include <cwctype>
#include <filesystem>
#include <vector>

namespace corvane {
namespace {

using testing::ScratchFolder;

struct ExpectedArea {
  const char* id;
  const wchar_t* name_en;
  const wchar_t* name_vi;
  const wchar_t* pattern;
  int min_age_days;
  bool selected;
  bool needs_admin;
  const wchar_t* process;
  const wchar_t* action;
  bool recursive;
};

const ExpectedArea kExpected[] = {
    {"temp", L"Your temporary files", L"Tập tin tạm của bạn", L"*", 7, true, false, L"", L"", true},
    {"windows-temp", L"Windows temporary files", L"Tập tin tạm Windows", L"*", 7, false, true, L"", L"", true},
    {"crashes", L"Application crash dumps", L"Báo cáo ứng dụng bị lỗi", L"*", 7, true, false, L"", L"", true},
    {"memory", L"Windows memory dump", L"Bản ghi lỗi bộ nhớ Windows", L"MEMORY.DMP", 7, false, true, L"", L"", false},
    {"thumbnails", L"Thumbnail cache", L"Cache ảnh thu nhỏ", L"thumbcache_*.db", 7, false, false, L"", L"", false},
    {"prefetch", L"Old Prefetch - advanced", L"Prefetch cũ - nâng cao", L"*.pf", 30, false, true, L"", L"", false},
    {"chrome", L"Google Chrome cache", L"Cache Google Chrome", L"*", 1, false, false, L"chrome.exe", L"", true},
    {"edge", L"Microsoft Edge cache", L"Cache Microsoft Edge", L"*", 1, false, false, L"msedge.exe", L"", true},
    {"firefox", L"Mozilla Firefox cache", L"Cache Mozilla Firefox", L"*", 1, false, false, L"firefox.exe", L"", true},
    {"recycle", L"Recycle Bin", L"Thùng rác", L"*", 0, false, false, L"", L"@recycle", true},
    {"update", L"Windows Update cache", L"Cache Windows Update", L"*", 0, false, true, L"", L"@diskcleanup", true},
    {"delivery", L"Delivery Optimization", L"Delivery Optimization", L"*", 0, false, true, L"", L"@diskcleanup", true},
};

const wchar_t* const kDescriptionsEn[] = {
    L"Files unchanged for at least 7 days; skip in-use files and directory links.",
    L"Temporary files older than 7 days. Some items require administrator access.",
    L"CrashDumps older than 7 days. Keep these if troubleshooting a crash.",
    L"MEMORY.DMP older than 7 days. Event logs are not deleted.",
    L"Cache older than 7 days. Explorer recreates it; locked files are skipped.",
    L"Only .pf files older than 30 days. Cleaning Prefetch can slow the next app launch.",
    L"All local profiles. Close Chrome before scanning; keep cookies, history, bookmarks and passwords.",
    L"All local profiles. Close Edge and its background apps before scanning.",
    L"Local profile cache; never touches places.sqlite containing bookmarks and history.",
    L"Open Windows Recycle Bin to review and choose what to remove.",
    L"Open Disk Cleanup so Windows manages update data and system permissions.",
    L"Open Disk Cleanup and select Delivery Optimization Files for Windows-managed cleanup.",
};

TEST(DefaultCleanupAreas, TwelveAreasInOrderWithTheirRules) {
  const std::vector<CleanupArea> areas = default_cleanup_areas();
  ASSERT_EQ(areas.size(), 12u);
  for (std::size_t i = 0; i < areas.size(); ++i) {
    SCOPED_TRACE(areas[i].id);
    const ExpectedArea& want = kExpected[i];
    EXPECT_EQ(areas[i].id, want.id);
    EXPECT_EQ(areas[i].name_en, want.name_en);
    EXPECT_EQ(areas[i].name_vi, want.name_vi);
    EXPECT_EQ(areas[i].description_en, kDescriptionsEn[i]);
    EXPECT_FALSE(areas[i].description_vi.empty());
    EXPECT_NE(areas[i].description_vi, areas[i].description_en);
    EXPECT_EQ(areas[i].pattern, want.pattern);
    EXPECT_EQ(areas[i].min_age_days, want.min_age_days);
    EXPECT_EQ(areas[i].selected_by_default, want.selected);
    EXPECT_EQ(areas[i].needs_admin, want.needs_admin);
    EXPECT_EQ(areas[i].process_name, want.process);
    EXPECT_EQ(areas[i].action, want.action);
    EXPECT_EQ(areas[i].recursive, want.recursive);
  }
}

TEST(DefaultCleanupAreas, RootsUnderLocalAppDataAndWindows) {
  const std::wstring local = known_folder_path(FOLDERID_LocalAppData);
  const std::wstring windows = windows_folder();
  const std::vector<CleanupArea> areas = default_cleanup_areas();
  ASSERT_EQ(areas.size(), 12u);
  EXPECT_EQ(areas[0].roots, std::vector<std::wstring>{local + L"\\Temp"});
  EXPECT_EQ(areas[1].roots, std::vector<std::wstring>{windows + L"\\Temp"});
  EXPECT_EQ(areas[2].roots, std::vector<std::wstring>{local + L"\\CrashDumps"});
  EXPECT_EQ(areas[3].roots, std::vector<std::wstring>{windows});
  // The relative text is appended unchanged, forward slashes included.
  EXPECT_EQ(areas[4].roots, std::vector<std::wstring>{local + L"\\Microsoft/Windows/Explorer"});
  EXPECT_EQ(areas[5].roots, std::vector<std::wstring>{windows + L"\\Prefetch"});
  for (std::size_t i = 6; i < 9; ++i) {
    for (const std::wstring& root : areas[i].roots) EXPECT_TRUE(path_strictly_inside(local, root)) << root;
  }
  for (std::size_t i = 9; i < 12; ++i) EXPECT_TRUE(areas[i].roots.empty());
}

TEST(FindBrowserCaches, BrowserLayoutTakesOnlyProfileFolders) {
  ScratchFolder scratch;
  for (const wchar_t* name : {L"Default", L"Profile 1", L"Profile 12", L"Guest Profile", L"My Profile",
                              L"Profile", L"System Profile", L"Crashpad"}) {
    ASSERT_TRUE(CreateDirectoryW(scratch.file(name).c_str(), nullptr));
  }
  testing::make_old_file(scratch.file(L"Profile 9"), "a file, not a folder", 0);

  std::vector<std::wstring> roots{L"C:\\kept"};
  find_browser_caches(scratch.path(), roots, false);
  ASSERT_EQ(roots.size(), 1u + 4 * 3);
  EXPECT_EQ(roots[0], L"C:\\kept");
  // Three roots per profile, in this order, profiles in listing order.
  std::vector<std::wstring> profiles;
  for (std::size_t i = 1; i < roots.size(); i += 3) {
    const std::wstring folder = std::filesystem::path(roots[i]).parent_path().wstring();
    EXPECT_EQ(roots[i], folder + L"\\Cache");
    EXPECT_EQ(roots[i + 1], folder + L"\\Code Cache");
    EXPECT_EQ(roots[i + 2], folder + L"\\GPUCache");
    profiles.push_back(std::filesystem::path(folder).filename().wstring());
  }
  std::sort(profiles.begin(), profiles.end());
  EXPECT_EQ(profiles, (std::vector<std::wstring>{L"Default", L"Guest Profile", L"Profile 1", L"Profile 12"}));
}

TEST(FindBrowserCaches, ProfileNamesAreCaseSensitive) {
  ScratchFolder scratch;
  ASSERT_TRUE(CreateDirectoryW(scratch.file(L"DEFAULT").c_str(), nullptr));
  ASSERT_TRUE(CreateDirectoryW(scratch.file(L"profile 1").c_str(), nullptr));
  std::vector<std::wstring> roots;
  find_browser_caches(scratch.path(), roots, false);
  EXPECT_TRUE(roots.empty());
}

TEST(FindBrowserCaches, ProfileFolderLayoutAndMissingRoot) {
  ScratchFolder scratch;
  ASSERT_TRUE(CreateDirectoryW(scratch.file(L"abcd.default-release").c_str(), nullptr));
  testing::make_old_file(scratch.file(L"profiles.ini"), "x", 0);
  std::vector<std::wstring> roots;
  find_browser_caches(scratch.path(), roots, true);
  EXPECT_EQ(roots, std::vector<std::wstring>{scratch.file(L"abcd.default-release") + L"\\cache2"});

  roots.clear();
  find_browser_caches(scratch.file(L"missing"), roots, true);
  EXPECT_TRUE(roots.empty());
}

TEST(FindBrowserCaches, LinkedProfileFolderIsPassedOver) {
  if (!testing::running_under_wine()) {
    GTEST_SKIP() << "symbolic links are made on the Unix side of Wine's prefix; not available here";
  }
  ScratchFolder scratch;
  ScratchFolder elsewhere;
  ASSERT_TRUE(CreateDirectoryW(scratch.file(L"Default").c_str(), nullptr));
  const testing::UnixLinkRemoval removal(scratch.file(L"Profile 2"));
  ASSERT_TRUE(testing::make_unix_symlink(elsewhere.path(), scratch.file(L"Profile 2"))) << "the link was not made";
  std::vector<std::wstring> roots;
  find_browser_caches(scratch.path(), roots, false);
  EXPECT_EQ(roots, (std::vector<std::wstring>{scratch.file(L"Default") + L"\\Cache",
                                              scratch.file(L"Default") + L"\\Code Cache",
                                              scratch.file(L"Default") + L"\\GPUCache"}));
  roots.clear();
  find_browser_caches(scratch.path(), roots, true);
  EXPECT_EQ(roots, std::vector<std::wstring>{scratch.file(L"Default") + L"\\cache2"});
}

TEST(IsProcessRunning, FindsProcessesByNameIgnoringCase) {
  EXPECT_FALSE(is_process_running(L""));
  wchar_t self[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, self, MAX_PATH);
  const std::wstring own_name = std::filesystem::path(self).filename().wstring();
  EXPECT_TRUE(is_process_running(own_name));
  std::wstring upper = own_name;
  for (wchar_t& c : upper) c = static_cast<wchar_t>(towupper(c));
  EXPECT_TRUE(is_process_running(upper));
  EXPECT_FALSE(is_process_running(L"corvane-no-such-program-" + testing::random_name() + L".exe"));

  const std::wstring browser = L"cv" + testing::random_name().substr(0, 8) + L"-chrome.exe";
  EXPECT_FALSE(is_process_running(browser));
  {
    testing::IdleProcess running(browser);
    ASSERT_TRUE(running.started());
    EXPECT_TRUE(is_process_running(browser));
    std::wstring shouted = browser;
    for (wchar_t& c : shouted) c = static_cast<wchar_t>(towupper(c));
    EXPECT_TRUE(is_process_running(shouted));
  }
  EXPECT_FALSE(is_process_running(browser));
}

TEST(IsPlainDirectoryChain, AcceptsOnlyPlainDrivePaths) {
  ScratchFolder scratch;
  ASSERT_TRUE(CreateDirectoryW(scratch.file(L"sub").c_str(), nullptr));
  testing::make_old_file(scratch.file(L"file.txt"), "x", 0);

  EXPECT_TRUE(is_plain_directory_chain(scratch.path()));
  EXPECT_TRUE(is_plain_directory_chain(scratch.file(L"sub")));
  std::wstring forward = scratch.file(L"sub");
  for (wchar_t& c : forward) c = c == L'\\' ? L'/' : c;
  EXPECT_TRUE(is_plain_directory_chain(forward));

  EXPECT_FALSE(is_plain_directory_chain(L"C:\\"));
  EXPECT_FALSE(is_plain_directory_chain(L"C:"));
  EXPECT_FALSE(is_plain_directory_chain(L"Windows"));
  EXPECT_FALSE(is_plain_directory_chain(L"\\\\?\\" + scratch.path()));
  EXPECT_FALSE(is_plain_directory_chain(L"\\\\server\\share\\folder"));
  EXPECT_FALSE(is_plain_directory_chain(scratch.file(L"sub\\..\\sub")));
  EXPECT_FALSE(is_plain_directory_chain(scratch.file(L"missing")));
  EXPECT_FALSE(is_plain_directory_chain(scratch.file(L"file.txt")));
}

TEST(IsPlainDirectoryChain, RefusesALinkAnywhereOnThePath) {
  if (!testing::running_under_wine()) {
    GTEST_SKIP() << "symbolic links are made on the Unix side of Wine's prefix; not available here";
  }
  ScratchFolder scratch;
  ScratchFolder elsewhere;
  ASSERT_TRUE(CreateDirectoryW(elsewhere.file(L"inner").c_str(), nullptr));
  const testing::UnixLinkRemoval removal(scratch.file(L"link"));
  ASSERT_TRUE(testing::make_unix_symlink(elsewhere.path(), scratch.file(L"link"))) << "the link was not made";
  ASSERT_TRUE(testing::folder_exists(scratch.file(L"link\\inner")));
  EXPECT_FALSE(is_plain_directory_chain(scratch.file(L"link")));
  EXPECT_FALSE(is_plain_directory_chain(scratch.file(L"link\\inner")));
  EXPECT_TRUE(is_plain_directory_chain(elsewhere.file(L"inner")));
}

}  // namespace
}  // namespace corvane
