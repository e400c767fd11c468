// ctest-resource-lock: reports_folder
#include "engines/cleanup_run.h"

#include "services/documents.h"
#include "services/text.h"
#include "support/file_tree.h"
#include "support/scratch.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

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

// One file of a cleanup report as the report prints it; deleted is left out while prepared.
std::string report_file(int bytes, const char* deleted, const std::string& group, const std::string& path) {
  return std::string("    {\n      \"bytes\": ") + std::to_string(bytes) + ",\n" +
         (deleted ? std::string("      \"deleted\": ") + deleted + ",\n" : std::string()) + "      \"group\": \"" +
         group + "\",\n      \"path\": \"" + path + "\"\n    }";
}

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
  const Outcome outcome = execute_cleanup(
      result, {temp}, &cancel, [&](std::uint64_t done, std::uint64_t, const std::wstring&) {
        if (done == 0) {
          // The report stands on disk before the first deletion.
          for (const auto& entry : fs::directory_iterator(reports_folder())) {
            const std::string bytes = read_file_bytes(entry.path().wstring());
            if (bytes.find(json_text(root.file(L"a.tmp"))) != std::string::npos) prepared_text = bytes;
          }
          files_present_when_prepared = file_exists(root.file(L"a.tmp"));
        }
      });

  EXPECT_TRUE(outcome.ok && outcome.message.empty());
  EXPECT_TRUE(outcome.affected == 1 && outcome.bytes == 5 && outcome.skipped == 2);
  EXPECT_FALSE(file_exists(root.file(L"a.tmp")));
  EXPECT_TRUE(file_exists(root.file(L"changed.tmp")));
  EXPECT_TRUE(file_exists(other.file(L"unconfirmed.tmp")));
  EXPECT_TRUE(files_present_when_prepared);

  const std::string changed = json_text(root.file(L"changed.tmp"));
  const std::string kept = json_text(other.file(L"unconfirmed.tmp"));
  const std::string removed = json_text(root.file(L"a.tmp"));
  EXPECT_EQ(prepared_text, "{\n  \"files\": [\n" + report_file(3, nullptr, "temp", changed) + ",\n" +
                               report_file(5, nullptr, "temp", removed) + ",\n" +
                               report_file(7, nullptr, "extra", kept) +
                               "\n  ],\n  \"operation\": \"cleanup\",\n  \"schema\": 1,\n  \"state\": \"prepared\"\n}");
  EXPECT_EQ(read_file_bytes(outcome.record_path),
            "{\n  \"bytes\": 5,\n  \"deleted\": 1,\n  \"files\": [\n" + report_file(3, "false", "temp", changed) +
                ",\n" + report_file(5, "true", "temp", removed) + ",\n" + report_file(7, "false", "extra", kept) +
                "\n  ],\n  \"operation\": \"cleanup\",\n  \"schema\": 1,\n  \"skipped\": 2,\n  \"state\": \"complete\"\n}");

  const nlohmann::json line = nlohmann::json::parse(activity_tail());
  EXPECT_EQ(line, nlohmann::json::parse(R"({"affected":1,"bytes":5,"message":"","ok":true,"operation":"cleanup",)"
                                        R"("skipped":2,"time":)" + line["time"].dump() + "}"));
}

TEST(ExecuteCleanup, FirstReportWriteFailingDeletesNothing) {
  ScratchFolder root;
  make_old_file(root.file(L"a.tmp"), "x", 10 * kDay);
  const CleanupArea temp = scratch_area("temp", root.path());
  const ScanResult result = scan({temp});
  // A file where the reports folder belongs: the folder cannot be made.
  const std::wstring folder = reports_folder();
  const std::wstring aside = folder + L".aside-" + testing::random_name();
  const bool moved = MoveFileW(folder.c_str(), aside.c_str()) != FALSE;
  testing::write_file_bytes(folder, "not a folder");
  CancelFlag cancel{0};
  const Outcome outcome = execute_cleanup(result, {temp}, &cancel, {});
  DeleteFileW(folder.c_str());
  if (moved) MoveFileW(aside.c_str(), folder.c_str());
  EXPECT_TRUE(!outcome.ok && !outcome.message.empty() && outcome.record_path.empty());
  EXPECT_TRUE(file_exists(root.file(L"a.tmp")));
}

}  // namespace
}  // namespace corvane
