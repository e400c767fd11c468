// ctest-resource-lock: reports_folder data_folder
#include "engines/cleanup_run.h"

#include "services/documents.h"
#include "services/text.h"
#include "support/activity_watch.h"
#include "support/backups_guard.h"
#include "support/file_tree.h"
#include "support/idle_process.h"
#include "support/reported_reparse_tag.h"
#include "support/scratch.h"
#include "support/set_aside.h"
#include "support/unix_link.h"
#include "support/wine.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

namespace corvane {
namespace {

using testing::file_exists;
using testing::kDay;
using testing::make_old_file;
using testing::read_file_bytes;
using testing::scratch_area;
using testing::ScratchFolder;

namespace fs = std::filesystem;

// Every report these runs write is removed when the program ends.
const bool g_reports_removed = testing::remove_new_reports_after_the_run();

ScanResult scan(const std::vector<CleanupArea>& areas) {
  CancelFlag never{0};
  return scan_cleanup_areas(areas, &never, {});
}

std::string json_text(const std::wstring& path) {
  std::string out;
  for (char c : wide_to_utf8(path)) {
    if (c == '\\') out += "\\\\";
    else out.push_back(c);
  }
  return out;
}

std::string activity_tail() {
  const std::string text = read_file_bytes(reports_folder() + L"\\activity.jsonl");
  if (text.size() < 2) return {};
  const std::size_t start = text.rfind('\n', text.size() - 2);
  return text.substr(start == std::string::npos ? 0 : start + 1);
}

std::size_t report_count() {
  std::size_t count = 0;
  std::error_code error;
  for (fs::directory_iterator it(reports_folder(), error), end; !error && it != end; it.increment(error)) {
    const std::wstring name = it->path().filename().wstring();
    if (name.size() > 13 && name.compare(name.size() - 13, 13, L"-cleanup.json") == 0) ++count;
  }
  return count;
}

struct Reports {
  std::vector<std::tuple<std::uint64_t, std::uint64_t, std::wstring>> progress;
};

TEST(ExecuteCleanup, DeletesTheScanAndRecordsWhatHappened) {
  ScratchFolder root;
  ScratchFolder other;
  make_old_file(root.file(L"a.tmp"), "12345", 10 * kDay);
  make_old_file(root.file(L"changed.tmp"), "123", 10 * kDay);
  make_old_file(other.file(L"unconfirmed.tmp"), "1234567", 10 * kDay);
  const CleanupArea temp = scratch_area("temp", root.path());
  const CleanupArea extra = scratch_area("extra", other.path());
  ScanResult result = scan({temp, extra});
  ASSERT_EQ(result.items.size(), 3u);
  // One fixed order, so the report text below is known.
  std::sort(result.items.begin(), result.items.end(),
            [](const CleanupItem& x, const CleanupItem& y) { return x.size < y.size; });
  testing::write_file_bytes(root.file(L"changed.tmp"), "1234");

  CancelFlag cancel{0};
  std::string prepared_text;
  bool files_present_when_prepared = false;
  std::vector<std::tuple<std::uint64_t, std::uint64_t, std::wstring>> reports;
  std::wstring report_path;
  const Outcome outcome = execute_cleanup(
      result, {temp}, &cancel, [&](std::uint64_t done, std::uint64_t total, const std::wstring& item) {
        reports.emplace_back(done, total, item);
        if (done == 0) {
          // The report stands on disk before the first deletion.
          for (const auto& entry : fs::directory_iterator(reports_folder())) {
            const std::string bytes = read_file_bytes(entry.path().wstring());
            if (bytes.find(json_text(root.file(L"a.tmp"))) != std::string::npos) prepared_text = bytes;
          }
          files_present_when_prepared = file_exists(root.file(L"a.tmp"));
        }
      });

  EXPECT_TRUE(outcome.ok);
  EXPECT_EQ(outcome.message, L"");
  EXPECT_EQ(outcome.affected, 1u);
  EXPECT_EQ(outcome.bytes, 5u);
  EXPECT_EQ(outcome.skipped, 2u);
  EXPECT_FALSE(file_exists(root.file(L"a.tmp")));
  EXPECT_TRUE(file_exists(root.file(L"changed.tmp")));
  EXPECT_TRUE(file_exists(other.file(L"unconfirmed.tmp")));
  EXPECT_TRUE(files_present_when_prepared);

  const std::wstring folder = reports_folder();
  ASSERT_TRUE(path_strictly_inside(folder, outcome.record_path));
  const std::wstring name = fs::path(outcome.record_path).filename().wstring();
  EXPECT_EQ(name.substr(name.size() - 13), L"-cleanup.json");
  EXPECT_EQ(fs::path(outcome.record_path).parent_path(), fs::path(folder));

  const std::string changed = json_text(root.file(L"changed.tmp"));
  const std::string kept = json_text(other.file(L"unconfirmed.tmp"));
  const std::string removed = json_text(root.file(L"a.tmp"));
  EXPECT_EQ(prepared_text, "{\n"
                           "  \"files\": [\n"
                           "    {\n"
                           "      \"bytes\": 3,\n"
                           "      \"group\": \"temp\",\n"
                           "      \"path\": \"" + changed + "\"\n"
                           "    },\n"
                           "    {\n"
                           "      \"bytes\": 5,\n"
                           "      \"group\": \"temp\",\n"
                           "      \"path\": \"" + removed + "\"\n"
                           "    },\n"
                           "    {\n"
                           "      \"bytes\": 7,\n"
                           "      \"group\": \"extra\",\n"
                           "      \"path\": \"" + kept + "\"\n"
                           "    }\n"
                           "  ],\n"
                           "  \"operation\": \"cleanup\",\n"
                           "  \"schema\": 1,\n"
                           "  \"state\": \"prepared\"\n"
                           "}");
  EXPECT_EQ(read_file_bytes(outcome.record_path), "{\n"
                                                   "  \"bytes\": 5,\n"
                                                   "  \"deleted\": 1,\n"
                                                   "  \"files\": [\n"
                                                   "    {\n"
                                                   "      \"bytes\": 3,\n"
                                                   "      \"deleted\": false,\n"
                                                   "      \"group\": \"temp\",\n"
                                                   "      \"path\": \"" + changed + "\"\n"
                                                   "    },\n"
                                                   "    {\n"
                                                   "      \"bytes\": 5,\n"
                                                   "      \"deleted\": true,\n"
                                                   "      \"group\": \"temp\",\n"
                                                   "      \"path\": \"" + removed + "\"\n"
                                                   "    },\n"
                                                   "    {\n"
                                                   "      \"bytes\": 7,\n"
                                                   "      \"deleted\": false,\n"
                                                   "      \"group\": \"extra\",\n"
                                                   "      \"path\": \"" + kept + "\"\n"
                                                   "    }\n"
                                                   "  ],\n"
                                                   "  \"operation\": \"cleanup\",\n"
                                                   "  \"schema\": 1,\n"
                                                   "  \"skipped\": 2,\n"
                                                   "  \"state\": \"complete\"\n"
                                                   "}");

  ASSERT_EQ(reports.size(), 4u);
  EXPECT_EQ(reports[0], std::make_tuple(std::uint64_t{0}, std::uint64_t{3}, std::wstring()));
  EXPECT_EQ(reports[3], std::make_tuple(std::uint64_t{3}, std::uint64_t{3}, other.file(L"unconfirmed.tmp")));

  const nlohmann::json line = nlohmann::json::parse(activity_tail());
  EXPECT_EQ(line, nlohmann::json::parse(R"({"affected":1,"bytes":5,"message":"","ok":true,"operation":"cleanup",)"
                                        R"("skipped":2,"time":)" + line["time"].dump() + "}"));
}

TEST(ExecuteCleanup, TheByteTotalAddsUpEveryDeletedFile) {
  ScratchFolder root;
  // Sizes of distinct bits: any total but the sum of all three names the files it missed.
  make_old_file(root.file(L"one.tmp"), "1", 10 * kDay);
  make_old_file(root.file(L"two.tmp"), "22", 10 * kDay);
  make_old_file(root.file(L"four.tmp"), "4444", 10 * kDay);
  const CleanupArea temp = scratch_area("temp", root.path());
  const ScanResult result = scan({temp});
  ASSERT_EQ(result.items.size(), 3u);
  const testing::ActivityWatch activity;
  CancelFlag cancel{0};
  const Outcome outcome = execute_cleanup(result, {temp}, &cancel, {});
  EXPECT_TRUE(outcome.ok);
  EXPECT_EQ(outcome.affected, 3u);
  EXPECT_EQ(outcome.bytes, 7u);
  const nlohmann::json report = read_json_file(outcome.record_path);
  EXPECT_EQ(report["deleted"], 3);
  EXPECT_EQ(report["bytes"], 7);
  const std::vector<nlohmann::json> lines = activity.lines("cleanup");
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0]["affected"], 3);
  EXPECT_EQ(lines[0]["bytes"], 7);
}

TEST(ExecuteCleanup, StopMidRunKeepsTheRestAndSaysSo) {
  ScratchFolder root;
  for (int i = 0; i < 4; ++i) make_old_file(root.file(L"f" + std::to_wstring(i) + L".tmp"), "xy", 10 * kDay);
  const CleanupArea temp = scratch_area("temp", root.path());
  const ScanResult result = scan({temp});
  ASSERT_EQ(result.items.size(), 4u);
  CancelFlag cancel{0};
  const Outcome outcome =
      execute_cleanup(result, {temp}, &cancel, [&](std::uint64_t done, std::uint64_t, const std::wstring&) {
        if (done == 1) cancel = 1;
      });
  EXPECT_FALSE(outcome.ok);
  EXPECT_EQ(outcome.message, L"Stopped; completed deletions cannot be undone.");
  EXPECT_EQ(outcome.affected, 1u);
  EXPECT_EQ(outcome.bytes, 2u);
  EXPECT_EQ(outcome.skipped, 0u);  // items after the stop are counted nowhere
  EXPECT_FALSE(file_exists(result.items[0].path));
  for (std::size_t i = 1; i < 4; ++i) EXPECT_TRUE(file_exists(result.items[i].path));

  const nlohmann::json report = read_json_file(outcome.record_path);
  EXPECT_EQ(report["state"], "cancelled");
  EXPECT_EQ(report["deleted"], 1);
  EXPECT_EQ(report["skipped"], 0);
  ASSERT_EQ(report["files"].size(), 4u);
  EXPECT_EQ(report["files"][0]["deleted"], true);
  for (std::size_t i = 1; i < 4; ++i) EXPECT_EQ(report["files"][i]["deleted"], false);

  const nlohmann::json line = nlohmann::json::parse(activity_tail());
  EXPECT_EQ(line["ok"], false);
  EXPECT_EQ(line["message"], "Stopped; completed deletions cannot be undone.");
  EXPECT_EQ(line["affected"], 1);
}

TEST(ExecuteCleanup, EmptyScanWritesAReportWithZeros) {
  std::vector<std::tuple<std::uint64_t, std::uint64_t, std::wstring>> reports;
  CancelFlag cancel{0};
  const Outcome outcome = execute_cleanup(ScanResult{}, {}, &cancel,
                                          [&](std::uint64_t done, std::uint64_t total, const std::wstring& item) {
                                            reports.emplace_back(done, total, item);
                                          });
  EXPECT_TRUE(outcome.ok);
  EXPECT_EQ(read_file_bytes(outcome.record_path), "{\n"
                                                   "  \"bytes\": 0,\n"
                                                   "  \"deleted\": 0,\n"
                                                   "  \"files\": [],\n"
                                                   "  \"operation\": \"cleanup\",\n"
                                                   "  \"schema\": 1,\n"
                                                   "  \"skipped\": 0,\n"
                                                   "  \"state\": \"complete\"\n"
                                                   "}");
  ASSERT_EQ(reports.size(), 1u);
  EXPECT_EQ(reports[0], std::make_tuple(std::uint64_t{0}, std::uint64_t{0}, std::wstring()));
  EXPECT_EQ(nlohmann::json::parse(activity_tail())["operation"], "cleanup");
}

TEST(ExecuteCleanup, CancelledScanIsRefusedWithoutARecord) {
  ScratchFolder root;
  make_old_file(root.file(L"a.tmp"), "x", 10 * kDay);
  const CleanupArea temp = scratch_area("temp", root.path());
  ScanResult result = scan({temp});
  result.cancelled = true;
  const std::size_t reports_before = report_count();
  const std::string log_before = read_file_bytes(reports_folder() + L"\\activity.jsonl");
  CancelFlag cancel{0};
  const Outcome outcome = execute_cleanup(result, {temp}, &cancel, {});
  EXPECT_FALSE(outcome.ok);
  EXPECT_EQ(outcome.message, L"Cancelled scan cannot be used for cleanup");
  EXPECT_EQ(outcome.record_path, L"");
  EXPECT_TRUE(file_exists(root.file(L"a.tmp")));
  EXPECT_EQ(report_count(), reports_before);
  EXPECT_EQ(read_file_bytes(reports_folder() + L"\\activity.jsonl"), log_before);
}

TEST(ExecuteCleanup, ForgedAndMismatchedItemsAreSkipped) {
  ScratchFolder root;
  ScratchFolder outside;
  make_old_file(root.file(L"keep.log"), "1", 10 * kDay);
  make_old_file(outside.file(L"victim.tmp"), "22", 10 * kDay);
  make_old_file(root.file(L"sub\\deep.tmp"), "333", 10 * kDay);
  CleanupArea logs = scratch_area("logs", root.path(), L"*.tmp");
  ScanResult result = scan({scratch_area("logs", root.path()), scratch_area("outside", outside.path())});
  ASSERT_EQ(result.items.size(), 3u);
  for (CleanupItem& item : result.items) {
    if (item.area_id == "outside") {
      item.area_id = "logs";  // claims the confirmed area but lies outside its root
      item.root = root.path();
    }
  }
  CleanupItem other_root = result.items[0];
  for (const CleanupItem& item : result.items) {
    if (item.path == root.file(L"sub\\deep.tmp")) other_root = item;
  }
  other_root.root = root.file(L"sub");  // inside, but not one of the area's roots
  result.items.push_back(other_root);

  CancelFlag cancel{0};
  const Outcome outcome = execute_cleanup(result, {logs}, &cancel, {});
  EXPECT_TRUE(outcome.ok);
  // keep.log fails the pattern, victim.tmp its root, the re-rooted copy its area's roots;
  // deep.tmp itself qualifies.
  EXPECT_EQ(outcome.affected, 1u);
  EXPECT_EQ(outcome.skipped, 3u);
  EXPECT_TRUE(file_exists(root.file(L"keep.log")));
  EXPECT_TRUE(file_exists(outside.file(L"victim.tmp")));
  EXPECT_FALSE(file_exists(root.file(L"sub\\deep.tmp")));
}

// An item that names one area with another area's root is not that area's to delete, even right
// after a file of that root was found listed for the other area.
TEST(ExecuteCleanup, AnItemNamingOneAreaWithAnothersRootIsSkipped) {
  ScratchFolder a_root;
  ScratchFolder b_root;
  make_old_file(a_root.file(L"1-first.tmp"), "1", 10 * kDay);
  make_old_file(a_root.file(L"2-second.tmp"), "2", 10 * kDay);
  const CleanupArea a = scratch_area("a", a_root.path());
  const CleanupArea b = scratch_area("b", b_root.path());
  ScanResult result = scan({a});
  ASSERT_EQ(result.items.size(), 2u);
  std::sort(result.items.begin(), result.items.end(),
            [](const CleanupItem& x, const CleanupItem& y) { return x.path < y.path; });
  result.items[1].area_id = "b";
  CancelFlag cancel{0};
  const Outcome outcome = execute_cleanup(result, {a, b}, &cancel, {});
  EXPECT_EQ(outcome.affected, 1u);
  EXPECT_EQ(outcome.skipped, 1u);
  EXPECT_FALSE(file_exists(a_root.file(L"1-first.tmp")));
  EXPECT_TRUE(file_exists(a_root.file(L"2-second.tmp")));
}

TEST(ExecuteCleanup, RootComparedAsAPath) {
  ScratchFolder root;
  make_old_file(root.file(L"a.tmp"), "1", 10 * kDay);
  std::wstring forward = root.path();
  for (wchar_t& c : forward) c = c == L'\\' ? L'/' : c;
  const ScanResult result = scan({scratch_area("temp", forward)});
  ASSERT_EQ(result.items.size(), 1u);
  CancelFlag cancel{0};
  const Outcome outcome = execute_cleanup(result, {scratch_area("temp", root.path())}, &cancel, {});
  EXPECT_EQ(outcome.affected, 1u);
  EXPECT_FALSE(file_exists(root.file(L"a.tmp")));
}

TEST(ExecuteCleanup, RunningBrowserDisqualifiesItsArea) {
  ScratchFolder root;
  make_old_file(root.file(L"cache.bin"), "x", 10 * kDay);
  // Named like the browser but unique, so no other test program sees "its" browser running.
  const std::wstring name = L"cv" + testing::random_name().substr(0, 8) + L"-chrome.exe";
  CleanupArea chrome = scratch_area("chrome", root.path(), L"*", 1);
  chrome.process_name = name;
  // Closed while the scan ran, started again before the run.
  const ScanResult result = scan({chrome});
  ASSERT_EQ(result.items.size(), 1u);
  testing::IdleProcess browser(name);
  ASSERT_TRUE(browser.started());
  CancelFlag cancel{0};
  const Outcome outcome = execute_cleanup(result, {chrome}, &cancel, {});
  EXPECT_TRUE(outcome.ok);
  EXPECT_EQ(outcome.affected, 0u);
  EXPECT_EQ(outcome.skipped, 1u);
  EXPECT_TRUE(file_exists(root.file(L"cache.bin")));
}

TEST(ExecuteCleanup, SubfolderSwappedForALinkLeavesTheOutsideFileIntact) {
  if (!testing::running_under_wine()) {
    GTEST_SKIP() << "symbolic links are made on the Unix side of Wine's prefix; not available here";
  }
  ScratchFolder root;
  ScratchFolder outside;
  const testing::UnixLinkRemoval removal(root.file(L"sub"));
  make_old_file(root.file(L"sub\\victim.tmp"), "keep me", 10 * kDay);
  make_old_file(root.file(L"plain.tmp"), "go", 10 * kDay);
  const CleanupArea temp = scratch_area("temp", root.path());
  const ScanResult result = scan({temp});
  ASSERT_EQ(result.items.size(), 2u);
  ASSERT_TRUE(MoveFileW(root.file(L"sub").c_str(), outside.file(L"sub").c_str()));
  ASSERT_TRUE(testing::make_unix_symlink(outside.file(L"sub"), root.file(L"sub")))
      << "the folder was not replaced by a link";
  CancelFlag cancel{0};
  const Outcome outcome = execute_cleanup(result, {temp}, &cancel, {});
  EXPECT_EQ(outcome.affected, 1u);
  EXPECT_EQ(outcome.skipped, 1u);
  EXPECT_EQ(read_file_bytes(outside.file(L"sub\\victim.tmp")), "keep me");
  EXPECT_FALSE(file_exists(root.file(L"plain.tmp")));
}

TEST(ExecuteCleanup, FirstReportWriteFailingDeletesNothing) {
  ScratchFolder root;
  make_old_file(root.file(L"a.tmp"), "x", 10 * kDay);
  const CleanupArea temp = scratch_area("temp", root.path());
  const ScanResult result = scan({temp});
  // A file where the reports folder belongs: the folder cannot be made.
  const testing::PathSetAside reports(reports_folder());
  reports.put_file("not a folder");
  CancelFlag cancel{0};
  const Outcome outcome = execute_cleanup(result, {temp}, &cancel, {});
  EXPECT_FALSE(outcome.ok);
  EXPECT_FALSE(outcome.message.empty());
  EXPECT_EQ(outcome.record_path, L"");
  EXPECT_EQ(outcome.affected, 0u);
  EXPECT_TRUE(file_exists(root.file(L"a.tmp")));
}

TEST(ExecuteCleanup, FinalReportWriteFailingIsReported) {
  ScratchFolder root;
  make_old_file(root.file(L"a.tmp"), "x", 10 * kDay);
  make_old_file(root.file(L"b.tmp"), "y", 10 * kDay);
  const CleanupArea temp = scratch_area("temp", root.path());
  const ScanResult result = scan({temp});
  std::wstring report;
  CancelFlag cancel{0};
  const Outcome outcome =
      execute_cleanup(result, {temp}, &cancel, [&](std::uint64_t done, std::uint64_t, const std::wstring&) {
        if (done != 1) return;
        // The newest report is this run's; a folder in its place makes the rewrite fail.
        for (const auto& entry : fs::directory_iterator(reports_folder())) {
          const std::wstring path = entry.path().wstring();
          if (path.size() > 13 && path.compare(path.size() - 13, 13, L"-cleanup.json") == 0 && path > report) {
            report = path;
          }
        }
        ASSERT_TRUE(DeleteFileW(report.c_str()));
        ASSERT_TRUE(CreateDirectoryW(report.c_str(), nullptr));
      });
  EXPECT_FALSE(outcome.ok);
  EXPECT_EQ(outcome.message, L"Cleanup finished but its report could not be updated.");
  EXPECT_EQ(outcome.record_path, report);
  EXPECT_EQ(outcome.affected, 2u);
  EXPECT_FALSE(file_exists(root.file(L"a.tmp")));
  const nlohmann::json line = nlohmann::json::parse(activity_tail());
  EXPECT_EQ(line["message"], "Cleanup finished but its report could not be updated.");
  RemoveDirectoryW(report.c_str());
  for (const auto& entry : fs::directory_iterator(reports_folder())) {
    const std::wstring path = entry.path().wstring();
    if (path.rfind(report + L".", 0) == 0) DeleteFileW(path.c_str());  // the left-over temporary file
  }
}

// Corvane kept in a folder that cloud sync keeps: its Reports folder, the report and the activity
// log carry a cloud-files tag and are used all the same; a scanned file made a cloud placeholder
// is kept (deleting it would delete the copy in the cloud). A junction tag is still refused.
TEST(ExecuteCleanup, AReportsFolderKeptByCloudSyncIsUsedAndACloudPlaceholderIsKept) {
  ScratchFolder root;
  make_old_file(root.file(L"a.tmp"), "12", 10 * kDay);
  make_old_file(root.file(L"online-only.tmp"), "345", 10 * kDay);
  const CleanupArea temp = scratch_area("temp", root.path());
  const ScanResult result = scan({temp});
  ASSERT_EQ(result.items.size(), 2u);
  CancelFlag cancel{0};
  {
    testing::ReportedReparseTag tags;
    tags.report(reports_folder(), testing::kCloudFilesTag);
    tags.report(root.file(L"online-only.tmp"), testing::kCloudFilesTag);
    const testing::ActivityWatch activity;
    const Outcome outcome = execute_cleanup(result, {temp}, &cancel, {});
    EXPECT_TRUE(outcome.ok) << wide_to_utf8(outcome.message);
    EXPECT_EQ(outcome.affected, 1u);
    EXPECT_EQ(outcome.skipped, 1u);
    EXPECT_FALSE(file_exists(root.file(L"a.tmp")));
    EXPECT_EQ(read_file_bytes(root.file(L"online-only.tmp")), "345");
    EXPECT_EQ(read_json_file(outcome.record_path)["state"], "complete");
    EXPECT_EQ(activity.lines("cleanup").size(), 1u);
  }

  make_old_file(root.file(L"b.tmp"), "6", 10 * kDay);
  const ScanResult again = scan({temp});
  const std::size_t reports_before = report_count();
  testing::ReportedReparseTag tags;
  tags.report(reports_folder(), IO_REPARSE_TAG_MOUNT_POINT);
  const Outcome refused = execute_cleanup(again, {temp}, &cancel, {});
  EXPECT_FALSE(refused.ok);
  EXPECT_EQ(refused.message, L"Document folder is a link or was replaced; nothing was written");
  EXPECT_EQ(refused.affected, 0u);
  EXPECT_TRUE(file_exists(root.file(L"b.tmp")));
  EXPECT_EQ(report_count(), reports_before);
}

TEST(ExecuteCleanup, ItemWhosePathCannotBeRecordedStopsBeforeAnyDeletion) {
  ScratchFolder root;
  make_old_file(root.file(L"a.tmp"), "x", 10 * kDay);
  const CleanupArea temp = scratch_area("temp", root.path());
  ScanResult result = scan({temp});
  CleanupItem forged = result.items[0];
  forged.path = root.file(std::wstring(L"b") + wchar_t(0xD800) + L".tmp");
  result.items.push_back(forged);
  CancelFlag cancel{0};
  const std::size_t reports_before = report_count();
  // Not a report write that failed: the error goes to the job runner, not into an outcome.
  try {
    execute_cleanup(result, {temp}, &cancel, {});
    ADD_FAILURE() << "no exception";
  } catch (const std::runtime_error& error) {
    EXPECT_STREQ(error.what(), "Invalid UTF-16");
  }
  EXPECT_EQ(report_count(), reports_before) << "a report was written";
  EXPECT_TRUE(file_exists(root.file(L"a.tmp")));
}

}  // namespace
}  // namespace corvane
