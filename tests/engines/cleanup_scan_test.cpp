#include "engines/cleanup_scan.h"

#include "services/handles.h"
#include "services/text.h"
#include "support/file_tree.h"
#include "support/scratch.h"
#include "support/unix_link.h"

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
  if (!testing::make_unix_symlink(elsewhere.path(), root.file(L"link"))) {
    GTEST_SKIP() << "symbolic links are made on the Unix side of Wine's prefix; not available here";
  }
  const ScanResult linked = scan({scratch_area("linked", root.file(L"link"))});
  EXPECT_TRUE(linked.items.empty());
  ASSERT_EQ(linked.notes.size(), 1u);
  EXPECT_EQ(linked.notes[0].text_en, root.file(L"link") + L": inaccessible or linked folder; skipped.");
  const ScanResult parent = scan({scratch_area("temp", root.path())});
  EXPECT_EQ(paths_of(parent), std::vector<std::wstring>{root.file(L"plain.tmp")});
  EXPECT_EQ(parent.skipped, 1u);
  testing::remove_unix_symlink(root.file(L"link"));
}

TEST(ScanCleanupAreas, ItemLimitEndsTheScanWithANote) {
  ScratchFolder root;
  for (int i = 0; i < 6; ++i) make_old_file(root.file(L"f" + std::to_wstring(i) + L".tmp"), "x", 10 * kDay);
  CancelFlag never{0};
  std::uint64_t last_total = 99;
  const ScanResult result =
      scan_cleanup_areas({scratch_area("temp", root.path()), scratch_area("later", root.path())}, &never,
                         [&](std::uint64_t, std::uint64_t total, const std::wstring&) { last_total = total; }, 3);
  EXPECT_EQ(result.items.size(), 3u);
  EXPECT_FALSE(result.cancelled);
  EXPECT_EQ(last_total, 0u);  // the closing (counter, counter) report is not made
  EXPECT_EQ(result.scanned_areas, std::vector<std::string>{"temp"});
  ASSERT_EQ(result.notes.size(), 1u);
  EXPECT_EQ(result.notes[0].text_en, L"Scan limited to 500,000 files; run another scan after cleanup.");
  EXPECT_EQ(result.notes[0].text_vi, L"Quét giới hạn 500.000 tập tin; quét tiếp sau khi dọn.");
}

}  // namespace
}  // namespace corvane
