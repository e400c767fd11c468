// ctest-resource-lock: data_folder
#include "engines/cleanup_scan.h"

#include "services/handles.h"
#include "services/text.h"
#include "support/file_tree.h"
#include "support/idle_process.h"
#include "support/scratch.h"
#include "support/unix_link.h"
#include "support/wine.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

namespace corvane {
namespace {

using testing::kDay;
using testing::kMinute;
using testing::make_old_file;
using testing::scratch_area;
using testing::ScratchFolder;

std::vector<std::wstring> paths_of(const ScanResult& result) {
  std::vector<std::wstring> paths;
  for (const CleanupItem& item : result.items) paths.push_back(item.path);
  return paths;
}

std::vector<std::wstring> sorted(std::vector<std::wstring> paths) {
  std::sort(paths.begin(), paths.end());
  return paths;
}

ScanResult scan(const std::vector<CleanupArea>& areas, CancelFlag* cancel = nullptr, const ProgressFn& progress = {}) {
  static CancelFlag never{0};
  return scan_cleanup_areas(areas, cancel != nullptr ? cancel : &never, progress);
}

TEST(ScanCleanupAreas, EmptyAreaListReportsOnceAndFindsNothing) {
  std::vector<std::tuple<std::uint64_t, std::uint64_t, std::wstring>> reports;
  const ScanResult result = scan({}, nullptr, [&](std::uint64_t done, std::uint64_t total, const std::wstring& item) {
    reports.emplace_back(done, total, item);
  });
  EXPECT_TRUE(result.items.empty());
  EXPECT_TRUE(result.scanned_areas.empty());
  EXPECT_EQ(result.skipped, 0u);
  EXPECT_FALSE(result.cancelled);
  ASSERT_EQ(reports.size(), 1u);
  EXPECT_EQ(reports[0], std::make_tuple(std::uint64_t{0}, std::uint64_t{0}, std::wstring()));
}

TEST(ScanCleanupAreas, AgeRuleAtItsBoundaries) {
  ScratchFolder root;
  make_old_file(root.file(L"just-older.tmp"), "a", 7 * kDay + kMinute);
  make_old_file(root.file(L"just-newer.tmp"), "b", 7 * kDay - kMinute);
  make_old_file(root.file(L"future.tmp"), "c", -kMinute);
  make_old_file(root.file(L"fresh.tmp"), "d", kMinute);

  const ScanResult week = scan({scratch_area("week", root.path(), L"*", 7)});
  EXPECT_EQ(paths_of(week), std::vector<std::wstring>{root.file(L"just-older.tmp")});
  EXPECT_EQ(week.skipped, 0u);

  // With no minimum age every file not dated in the future qualifies.
  const ScanResult any = scan({scratch_area("any", root.path(), L"*", 0)});
  EXPECT_EQ(sorted(paths_of(any)), sorted({root.file(L"just-older.tmp"), root.file(L"just-newer.tmp"),
                                          root.file(L"fresh.tmp")}));
}

TEST(ScanCleanupAreas, ItemCarriesTheFilesIdentity) {
  ScratchFolder root;
  make_old_file(root.file(L"a.log"), "12345", 10 * kDay);
  const ScanResult result = scan({scratch_area("logs", root.path())});
  ASSERT_EQ(result.items.size(), 1u);
  const CleanupItem& item = result.items[0];
  EXPECT_EQ(item.area_id, "logs");
  EXPECT_EQ(item.root, root.path());
  EXPECT_EQ(item.path, root.file(L"a.log"));
  EXPECT_EQ(item.size, 5u);

  const UniqueHandle file = adopt_handle(CreateFileW(item.path.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ, nullptr,
                                                     OPEN_EXISTING, 0, nullptr));
  ASSERT_TRUE(file);
  BY_HANDLE_FILE_INFORMATION info{};
  ASSERT_TRUE(GetFileInformationByHandle(file.get(), &info));
  EXPECT_EQ(item.file_index, (std::uint64_t{info.nFileIndexHigh} << 32) | info.nFileIndexLow);
  EXPECT_EQ(item.volume_serial, info.dwVolumeSerialNumber);
  EXPECT_EQ(item.last_write,
            (std::uint64_t{info.ftLastWriteTime.dwHighDateTime} << 32) | info.ftLastWriteTime.dwLowDateTime);
}

TEST(ScanCleanupAreas, PatternRecursionAndOrder) {
  ScratchFolder root;
  make_old_file(root.file(L"one.pf"), "1", 40 * kDay);
  make_old_file(root.file(L"two.PF"), "2", 40 * kDay);
  make_old_file(root.file(L"other.txt"), "3", 40 * kDay);
  make_old_file(root.file(L"sub1\\three.pf"), "4", 40 * kDay);
  make_old_file(root.file(L"sub2\\four.pf"), "5", 40 * kDay);
  make_old_file(root.file(L"sub2\\deeper\\five.pf"), "6", 40 * kDay);

  // Not recursive: subfolders are neither entered nor counted.
  const ScanResult flat = scan({scratch_area("flat", root.path(), L"*.pf", 30, false)});
  EXPECT_EQ(sorted(paths_of(flat)), sorted({root.file(L"one.pf"), root.file(L"two.PF")}));
  EXPECT_EQ(flat.skipped, 0u);

  // Recursive: a folder's own files come before its subfolders', and the subfolder listed
  // last is walked first.
  const ScanResult deep = scan({scratch_area("deep", root.path(), L"*.pf", 30, true)});
  const std::vector<std::wstring> found = paths_of(deep);
  ASSERT_EQ(found.size(), 5u);
  EXPECT_EQ(sorted({found[0], found[1]}), sorted({root.file(L"one.pf"), root.file(L"two.PF")}));
  std::vector<std::wstring> subfolders;
  WIN32_FIND_DATAW entry{};
  const UniqueFindHandle listing(FindFirstFileW(root.file(L"sub*").c_str(), &entry));
  ASSERT_TRUE(listing);
  do subfolders.push_back(entry.cFileName);
  while (FindNextFileW(listing.get(), &entry));
  ASSERT_EQ(subfolders.size(), 2u);
  if (subfolders.back() == L"sub2") {
    EXPECT_EQ(found[2], root.file(L"sub2\\four.pf"));
    EXPECT_EQ(found[3], root.file(L"sub2\\deeper\\five.pf"));
    EXPECT_EQ(found[4], root.file(L"sub1\\three.pf"));
  } else {
    EXPECT_EQ(found[2], root.file(L"sub1\\three.pf"));
    EXPECT_EQ(found[3], root.file(L"sub2\\four.pf"));
    EXPECT_EQ(found[4], root.file(L"sub2\\deeper\\five.pf"));
  }
}

TEST(ScanCleanupAreas, FileReachableFromTwoAreasIsListedOnceUnderTheFirst) {
  ScratchFolder root;
  make_old_file(root.file(L"inner\\shared.tmp"), "x", 10 * kDay);
  std::wstring shouting = root.file(L"INNER");
  const ScanResult result = scan({scratch_area("outer", root.path()), scratch_area("inner", shouting)});
  ASSERT_EQ(result.items.size(), 1u);
  EXPECT_EQ(result.items[0].area_id, "outer");
  EXPECT_EQ(result.scanned_areas, (std::vector<std::string>{"outer", "inner"}));
  EXPECT_EQ(result.skipped, 0u);
}

TEST(ScanCleanupAreas, MissingRootIsSilentAndAreaWithoutRootsIsScanned) {
  ScratchFolder root;
  CleanupArea empty = scratch_area("none", root.path());
  empty.roots.clear();
  const ScanResult result = scan({scratch_area("gone", root.file(L"missing")), empty});
  EXPECT_TRUE(result.items.empty());
  EXPECT_TRUE(result.notes.empty());
  EXPECT_EQ(result.skipped, 0u);
  EXPECT_EQ(result.scanned_areas, (std::vector<std::string>{"gone", "none"}));
}

TEST(ScanCleanupAreas, DriveRootAndLinkedRootLeaveANote) {
  ScratchFolder root;
  ScratchFolder elsewhere;
  make_old_file(elsewhere.file(L"target.tmp"), "x", 10 * kDay);
  std::vector<CleanupArea> areas{scratch_area("drive", L"C:\\")};
  const bool linked = testing::running_under_wine();
  const testing::UnixLinkRemoval removal(root.file(L"link"));
  if (linked) {
    ASSERT_TRUE(testing::make_unix_symlink(elsewhere.path(), root.file(L"link"))) << "the link was not made";
    areas.push_back(scratch_area("linked", root.file(L"link")));
  }

  const ScanResult result = scan(areas);
  EXPECT_TRUE(result.items.empty());
  ASSERT_EQ(result.notes.size(), areas.size());
  EXPECT_EQ(result.notes[0].text_en, L"C:\\: inaccessible or linked folder; skipped.");
  EXPECT_EQ(result.notes[0].text_vi, L"C:\\: không truy cập được hoặc là thư mục liên kết; đã bỏ qua.");
  if (linked) {
    EXPECT_EQ(result.notes[1].text_en, root.file(L"link") + L": inaccessible or linked folder; skipped.");
  } else {
    GTEST_SKIP() << "the linked-root half needs a Unix symbolic link in Wine's prefix";
  }
}

TEST(ScanCleanupAreas, LinkedSubfolderIsSkippedAndCounted) {
  if (!testing::running_under_wine()) {
    GTEST_SKIP() << "symbolic links are made on the Unix side of Wine's prefix; not available here";
  }
  ScratchFolder root;
  ScratchFolder elsewhere;
  make_old_file(root.file(L"plain.tmp"), "x", 10 * kDay);
  make_old_file(elsewhere.file(L"outside.tmp"), "y", 10 * kDay);
  const testing::UnixLinkRemoval removal(root.file(L"linked-folder"));
  ASSERT_TRUE(testing::make_unix_symlink(elsewhere.path(), root.file(L"linked-folder"))) << "the link was not made";
  const ScanResult result = scan({scratch_area("temp", root.path())});
  EXPECT_EQ(paths_of(result), std::vector<std::wstring>{root.file(L"plain.tmp")});
  EXPECT_EQ(result.skipped, 1u);
}

TEST(ScanCleanupAreas, DriveRootAndLinkedRootLeaveANoteAndLinkedSubfoldersAreCounted) {
  const ScanResult drive = scan({scratch_area("drive", L"C:\\")});
  EXPECT_TRUE(drive.items.empty());
  ASSERT_EQ(drive.notes.size(), 1u);
  EXPECT_EQ(drive.notes[0].text_en, L"C:\\: inaccessible or linked folder; skipped.");
  EXPECT_EQ(drive.notes[0].text_vi, L"C:\\: không truy cập được hoặc là thư mục liên kết; đã bỏ qua.");

  ScratchFolder root;
  ScratchFolder elsewhere;
  make_old_file(root.file(L"plain.tmp"), "x", 10 * kDay);
  make_old_file(elsewhere.file(L"outside.tmp"), "y", 10 * kDay);
  if (!testing::running_under_wine()) {
    GTEST_SKIP() << "symbolic links are made on the Unix side of Wine's prefix; not available here";
  }
  const testing::UnixLinkRemoval removal(root.file(L"link"));
  ASSERT_TRUE(testing::make_unix_symlink(elsewhere.path(), root.file(L"link"))) << "the link was not made";
  const ScanResult linked = scan({scratch_area("linked", root.file(L"link"))});
  EXPECT_TRUE(linked.items.empty());
  ASSERT_EQ(linked.notes.size(), 1u);
  EXPECT_EQ(linked.notes[0].text_en, root.file(L"link") + L": inaccessible or linked folder; skipped.");
  const ScanResult parent = scan({scratch_area("temp", root.path())});
  EXPECT_EQ(paths_of(parent), std::vector<std::wstring>{root.file(L"plain.tmp")});
  EXPECT_EQ(parent.skipped, 1u);
}

TEST(ScanCleanupAreas, FolderWhoseListingCannotBeOpenedIsCounted) {
  ScratchFolder root;
  make_old_file(root.file(L"p\\p.tmp"), "x", 10 * kDay);
  make_old_file(root.file(L"q\\q.tmp"), "y", 10 * kDay);
  // Both folders are queued before either is listed; while the first one is walked the other
  // disappears, so its listing cannot be opened.
  std::wstring removed;
  const ScanResult result = scan({scratch_area("temp", root.path())}, nullptr,
                                 [&](std::uint64_t, std::uint64_t, const std::wstring& item) {
                                   if (!removed.empty()) return;
                                   for (const wchar_t* mine : {L"p", L"q"}) {
                                     if (path_strictly_inside(root.file(mine), item)) {
                                       removed = root.file(mine[0] == L'p' ? L"q" : L"p");
                                       std::error_code ignored;
                                       std::filesystem::remove_all(removed, ignored);
                                     }
                                   }
                                 });
  ASSERT_FALSE(removed.empty());
  EXPECT_EQ(result.items.size(), 1u);
  EXPECT_EQ(result.skipped, 1u);
  EXPECT_FALSE(result.cancelled);
}

TEST(ScanCleanupAreas, RunningBrowserSkipsItsAreaWithANote) {
  ScratchFolder root;
  make_old_file(root.file(L"cache.bin"), "x", 10 * kDay);
  const std::wstring browser = L"cv" + testing::random_name().substr(0, 8) + L"-chrome.exe";
  CleanupArea chrome = scratch_area("chrome", root.path(), L"*", 1);
  chrome.name_en = L"Google Chrome cache";
  chrome.name_vi = L"Cache Google Chrome";
  chrome.process_name = browser;

  testing::IdleProcess running(browser);
  ASSERT_TRUE(running.started());
  const ScanResult result = scan({chrome, scratch_area("other", root.path())});
  ASSERT_EQ(result.notes.size(), 1u);
  EXPECT_EQ(result.notes[0].text_en, L"Google Chrome cache: browser is running; skipped.");
  EXPECT_EQ(result.notes[0].text_vi, L"Cache Google Chrome: trình duyệt đang chạy; đã bỏ qua.");
  EXPECT_EQ(result.scanned_areas, std::vector<std::string>{"other"});
  ASSERT_EQ(result.items.size(), 1u);
  EXPECT_EQ(result.items[0].area_id, "other");
}

TEST(ScanCleanupAreas, CancelMidWalkKeepsThePartialResult) {
  ScratchFolder root;
  for (int i = 0; i < 10; ++i) make_old_file(root.file(L"f" + std::to_wstring(i) + L".tmp"), "x", 10 * kDay);
  CancelFlag cancel{0};
  std::uint64_t reports = 0;
  const ScanResult result = scan({scratch_area("temp", root.path())}, &cancel,
                                 [&](std::uint64_t done, std::uint64_t total, const std::wstring&) {
                                   ++reports;
                                   EXPECT_EQ(total, 0u);
                                   EXPECT_EQ(done, reports);
                                   if (done == 4) cancel = 1;
                                 });
  EXPECT_TRUE(result.cancelled);
  EXPECT_EQ(result.items.size(), 4u);
  EXPECT_EQ(reports, 4u);  // no closing report after a stop
}

TEST(ScanCleanupAreas, CancelBeforeTheFirstAreaWalksNothing) {
  ScratchFolder root;
  make_old_file(root.file(L"a.tmp"), "x", 10 * kDay);
  CancelFlag cancel{1};
  const ScanResult result = scan({scratch_area("temp", root.path())}, &cancel);
  EXPECT_TRUE(result.cancelled);
  EXPECT_TRUE(result.items.empty());
  EXPECT_TRUE(result.scanned_areas.empty());
}

TEST(ScanCleanupAreas, ItemLimitEndsTheScanWithANote) {
  ScratchFolder root;
  for (int i = 0; i < 6; ++i) make_old_file(root.file(L"f" + std::to_wstring(i) + L".tmp"), "x", 10 * kDay);
  CancelFlag never{0};
  std::uint64_t last_total = 99;
  const ScanResult result =
      scan_cleanup_areas({scratch_area("temp", root.path()), scratch_area("later", root.path())}, &never,
                         [&](std::uint64_t, std::uint64_t total, const std::wstring&) { last_total = total; }, true,
                         3);
  EXPECT_EQ(result.items.size(), 3u);
  EXPECT_FALSE(result.cancelled);
  EXPECT_EQ(last_total, 0u);  // the closing (counter, counter) report is not made
  EXPECT_EQ(result.scanned_areas, std::vector<std::string>{"temp"});
  ASSERT_EQ(result.notes.size(), 1u);
  EXPECT_EQ(result.notes[0].text_en, L"Scan limited to 500,000 files; run another scan after cleanup.");
  EXPECT_EQ(result.notes[0].text_vi, L"Quét giới hạn 500.000 tập tin; quét tiếp sau khi dọn.");
  EXPECT_EQ(MAX_SCAN_ITEMS, 500000u);
}

TEST(IsReportablePath, RefusesLoneSurrogates) {
  EXPECT_TRUE(is_reportable_path(L"C:\\Temp\\a.tmp"));
  EXPECT_TRUE(is_reportable_path(std::wstring(L"C:\\") + wchar_t(0xD83D) + wchar_t(0xDE00) + L".tmp"));
  EXPECT_FALSE(is_reportable_path(std::wstring(L"C:\\") + wchar_t(0xD83D) + L".tmp"));
  EXPECT_FALSE(is_reportable_path(std::wstring(L"C:\\a") + wchar_t(0xD83D)));
  EXPECT_FALSE(is_reportable_path(std::wstring(L"C:\\") + wchar_t(0xDE00) + L".tmp"));
}

TEST(ScanCleanupAreas, NameThatIsNotValidUtf16IsSkippedAndCounted) {
  ScratchFolder root;
  make_old_file(root.file(L"good.tmp"), "x", 10 * kDay);
  const std::wstring bad = root.file(std::wstring(L"bad-") + wchar_t(0xD800) + L".tmp");
  {
    const UniqueHandle file =
        adopt_handle(CreateFileW(bad.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
    // Wine refuses such a name, and shows undecodable Unix names as U+FFFD, so under Wine
    // the scan never meets one.
    if (!file) GTEST_SKIP() << "the file system refuses a name with a lone surrogate (Wine does)";
  }
  testing::set_last_write(bad, testing::filetime_now() - 10 * kDay);
  const ScanResult result = scan({scratch_area("temp", root.path())});
  const bool stored_as_given = testing::file_exists(bad);
  if (!stored_as_given) GTEST_SKIP() << "the lone surrogate did not survive into the stored name";
  EXPECT_EQ(paths_of(result), std::vector<std::wstring>{root.file(L"good.tmp")});
  EXPECT_EQ(result.skipped, 1u);
  ASSERT_EQ(result.notes.size(), 1u);
  EXPECT_EQ(result.notes[0].text_en, L"1 entries whose names are not valid UTF-16 were skipped.");
  DeleteFileW(bad.c_str());
}

}  // namespace
}  // namespace corvane
