// ctest-resource-lock: reports_folder
#include "services/activity_log.h"

#include "services/documents.h"
#include "services/handles.h"
#include "services/shell.h"
#include "support/scratch.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <regex>
#include <thread>

namespace corvane {
namespace {

std::wstring log_path() { return reports_folder() + L"\\activity.jsonl"; }

std::uint64_t log_size() {
  std::error_code error;
  const auto size = std::filesystem::file_size(log_path(), error);
  return error ? 0 : size;
}

// The part of the log written since it had the given size.
std::string log_since(std::uint64_t size) { return testing::read_file_bytes(log_path(), size); }

// The lines (each with its CR LF) of one operation in a part of the log; other programs may
// append lines of their own meanwhile.
std::vector<std::string> lines_of(const std::string& part, const std::string& operation) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < part.size()) {
    std::size_t end = part.find("\r\n", start);
    end = end == std::string::npos ? part.size() : end + 2;
    const std::string line = part.substr(start, end - start);
    if (line.find("\"operation\":\"" + operation + "\"") != std::string::npos) lines.push_back(line);
    start = end;
  }
  return lines;
}

TEST(ActivityLine, CompactSortedAndStamped) {
  Outcome outcome;
  outcome.ok = false;
  outcome.message = L"L\x1ED7i \"x\"\nline";
  outcome.bytes = 5;
  outcome.affected = 2;
  outcome.skipped = 1;
  outcome.record_path = L"C:\\not-logged.json";
  const std::string line = activity_line("registry", outcome);
  const std::regex form(
      "\\{\"affected\":2,\"bytes\":5,\"message\":\"L\xe1\xbb\x97i \\\\\"x\\\\\"\\\\nline\",\"ok\":false,"
      "\"operation\":\"registry\",\"skipped\":1,\"time\":\"\\d{8}-\\d{6}-\\d{3}-\\d+-\\d+\"\\}\r\n");
  EXPECT_TRUE(std::regex_match(line, form)) << line;
}

TEST(AppendActivity, AppendsExactlyOneLine) {
  const std::uint64_t before = log_size();
  Outcome outcome;
  outcome.affected = 3;
  append_activity("activity-test-single", outcome);
  const std::vector<std::string> added = lines_of(log_since(before), "activity-test-single");
  ASSERT_EQ(added.size(), 1u);
  const std::regex form(
      "\\{\"affected\":3,\"bytes\":0,\"message\":\"\",\"ok\":true,\"operation\":\"activity-test-single\","
      "\"skipped\":0,\"time\":\"[0-9-]+\"\\}\r\n");
  EXPECT_TRUE(std::regex_match(added[0], form)) << added[0];
}

TEST(AppendActivity, ConcurrentAppendsNeverInterleave) {
  const std::uint64_t before = log_size();
  std::vector<std::thread> threads;
  for (int t = 0; t < 8; ++t) {
    threads.emplace_back([t] {
      for (int i = 0; i < 200; ++i) {
        Outcome outcome;
        outcome.affected = static_cast<std::uint64_t>(t);
        outcome.skipped = static_cast<std::uint64_t>(i);
        append_activity("activity-test-threads", outcome);
      }
    });
  }
  for (std::thread& thread : threads) thread.join();

  const std::string added = log_since(before);
  std::size_t lines = 0;
  std::vector<int> per_thread(8, 0);
  std::size_t start = 0;
  while (start < added.size()) {
    const std::size_t end = added.find("\r\n", start);
    ASSERT_NE(end, std::string::npos) << "unterminated line";
    const nlohmann::json line = nlohmann::json::parse(added.substr(start, end - start));
    start = end + 2;
    if (line.at("operation") != "activity-test-threads") continue;
    ++lines;
    ++per_thread.at(line.at("affected").get<std::size_t>());
  }
  EXPECT_EQ(lines, 1600u);
  EXPECT_EQ(per_thread, std::vector<int>(8, 200));
}

// Run only as a child by the next test: appends while its parent does.
TEST(AppendActivity, DISABLED_ChildProcessPart) {
  for (int i = 0; i < 300; ++i) append_activity("activity-test-child", Outcome{});
}

TEST(AppendActivity, TwoProcessesNeverOverwriteEachOther) {
  const std::uint64_t before = log_size();
  std::wstring command = L"\"" + executable_path() + L"\" --gtest_filter=AppendActivity.DISABLED_ChildProcessPart"
                                                       L" --gtest_also_run_disabled_tests";
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  const BOOL started =
      CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process);
  ASSERT_TRUE(started);
  const UniqueHandle child(process.hProcess);
  const UniqueHandle thread(process.hThread);
  for (int i = 0; i < 300; ++i) append_activity("activity-test-parent", Outcome{});
  ASSERT_EQ(WaitForSingleObject(child.get(), 60000), WAIT_OBJECT_0);
  DWORD code = 1;
  GetExitCodeProcess(child.get(), &code);
  EXPECT_EQ(code, 0u);

  const std::string added = log_since(before);
  for (const std::string& line : lines_of(added, "activity-test-child")) EXPECT_NO_THROW(nlohmann::json::parse(line));
  for (const std::string& line : lines_of(added, "activity-test-parent")) EXPECT_NO_THROW(nlohmann::json::parse(line));
  EXPECT_EQ(lines_of(added, "activity-test-child").size(), 300u);
  EXPECT_EQ(lines_of(added, "activity-test-parent").size(), 300u);
}

TEST(AppendActivity, GivesUpWhenAnotherProcessNeverLetsGo) {
  std::filesystem::create_directories(reports_folder());
  const std::uint64_t before = log_size();
  // Holds the appenders' lock as a stuck process would (a second handle behaves like one).
  const UniqueHandle stuck(CreateFileW(log_path().c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                       OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  ASSERT_TRUE(stuck);
  OVERLAPPED place{};
  place.OffsetHigh = 0x7FFFFFFF;
  ASSERT_TRUE(LockFileEx(stuck.get(), LOCKFILE_EXCLUSIVE_LOCK, 0, 1, 0, &place));
  const auto start = std::chrono::steady_clock::now();
  append_activity("activity-test-stuck", Outcome{});
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));
  UnlockFileEx(stuck.get(), 0, 1, 0, &place);
  EXPECT_TRUE(lines_of(log_since(before), "activity-test-stuck").empty());
  append_activity("activity-test-after-stuck", Outcome{});
  EXPECT_EQ(lines_of(log_since(before), "activity-test-after-stuck").size(), 1u);
}

TEST(AppendActivity, FailuresAreSwallowed) {
  const std::uint64_t before = log_size();
  Outcome bad_message;
  bad_message.message = std::wstring(1, static_cast<wchar_t>(0xD800));
  EXPECT_NO_THROW(append_activity("activity-test-bad", bad_message));
  EXPECT_NO_THROW(append_activity("activity-test-bad\xff", Outcome{}));
  EXPECT_EQ(log_since(before).find("activity-test-bad"), std::string::npos);

  // A log file that someone holds open without sharing: the line is lost, silently.
  std::filesystem::create_directories(reports_folder());
  {
    const UniqueHandle holder(CreateFileW(log_path().c_str(), GENERIC_READ, 0, nullptr, OPEN_ALWAYS,
                                          FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(holder);
    EXPECT_NO_THROW(append_activity("activity-test-locked", Outcome{}));
  }
  EXPECT_EQ(log_since(before).find("activity-test-locked"), std::string::npos);
}

}  // namespace
}  // namespace corvane
