// ctest-resource-lock: reports_folder
#include "services/activity_log.h"

#include "services/documents.h"
#include "services/handles.h"
#include "services/shell.h"
#include "support/activity_watch.h"
#include "support/reported_reparse_tag.h"
#include "support/scratch.h"
#include "support/unix_link.h"
#include "support/wine.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <regex>
#include <thread>

namespace corvane {
namespace {

using testing::ActivityWatch;

std::wstring log_path() { return reports_folder() + L"\\activity.jsonl"; }

TEST(ActivityLine, CompactSortedAndStamped) {
  const Outcome outcome{false, L"L\x1ED7i \"x\"\nline", L"C:\\not-logged.json", 5, 2, 1};
  const std::string line = activity_line("registry", outcome);
  const std::regex form(
      "\\{\"affected\":2,\"bytes\":5,\"message\":\"L\xe1\xbb\x97i \\\\\"x\\\\\"\\\\nline\",\"ok\":false,"
      "\"operation\":\"registry\",\"skipped\":1,\"time\":\"\\d{8}-\\d{6}-\\d{3}-\\d+-\\d+\"\\}\r\n");
  EXPECT_TRUE(std::regex_match(line, form)) << line;
}

TEST(AppendActivity, AppendsExactlyOneLine) {
  const ActivityWatch watch;
  Outcome outcome;
  outcome.affected = 3;
  append_activity("activity-test-single", outcome);
  const std::vector<nlohmann::json> lines = watch.lines("activity-test-single");
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0].at("affected"), 3);
  // Written compact with its keys sorted, ending in CR LF.
  EXPECT_NE(watch.appended().find(lines[0].dump() + "\r\n"), std::string::npos) << watch.appended();
}

TEST(AppendActivity, ConcurrentAppendsNeverInterleave) {
  const ActivityWatch watch;
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

  // Interleaved lines would not parse and go uncounted.
  std::vector<int> per_thread(8, 0);
  for (const nlohmann::json& line : watch.lines("activity-test-threads")) {
    ++per_thread.at(line.at("affected").get<std::size_t>());
  }
  EXPECT_EQ(per_thread, std::vector<int>(8, 200));
}

// Run only as a child by the next test: appends while its parent does.
TEST(AppendActivity, DISABLED_ChildProcessPart) {
  for (int i = 0; i < 300; ++i) append_activity("activity-test-child", Outcome{});
}

TEST(AppendActivity, TwoProcessesNeverOverwriteEachOther) {
  const ActivityWatch watch;
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

  EXPECT_EQ(watch.lines("activity-test-child").size(), 300u);
  EXPECT_EQ(watch.lines("activity-test-parent").size(), 300u);
}

TEST(AppendActivity, GivesUpWhenAnotherProcessNeverLetsGo) {
  std::filesystem::create_directories(reports_folder());
  const ActivityWatch watch;
  // Holds the appenders' lock as a stuck process would (a second handle behaves like one).
  const UniqueHandle stuck = adopt_handle(CreateFileW(log_path().c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                                      nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  ASSERT_TRUE(stuck);
  OVERLAPPED place{};
  place.OffsetHigh = 0x7FFFFFFF;
  ASSERT_TRUE(LockFileEx(stuck.get(), LOCKFILE_EXCLUSIVE_LOCK, 0, 1, 0, &place));
  const auto start = std::chrono::steady_clock::now();
  append_activity("activity-test-stuck", Outcome{});
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));
  UnlockFileEx(stuck.get(), 0, 1, 0, &place);
  EXPECT_TRUE(watch.lines("activity-test-stuck").empty());
  append_activity("activity-test-after-stuck", Outcome{});
  EXPECT_EQ(watch.lines("activity-test-after-stuck").size(), 1u);
}

TEST(AppendActivity, FailuresAreSwallowed) {
  const ActivityWatch watch;
  Outcome bad_message;
  bad_message.message = std::wstring(1, static_cast<wchar_t>(0xD800));
  EXPECT_NO_THROW(append_activity("activity-test-bad", bad_message));
  EXPECT_NO_THROW(append_activity("activity-test-bad\xff", Outcome{}));
  EXPECT_EQ(watch.appended().find("activity-test-bad"), std::string::npos);

  // A log file that someone holds open without sharing: the line is lost, silently.
  std::filesystem::create_directories(reports_folder());
  {
    const UniqueHandle holder = adopt_handle(
        CreateFileW(log_path().c_str(), GENERIC_READ, 0, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(holder);
    EXPECT_NO_THROW(append_activity("activity-test-locked", Outcome{}));
  }
  EXPECT_EQ(watch.appended().find("activity-test-locked"), std::string::npos);
}

TEST(AppendActivity, ALinkOnTheWayLosesTheLineAndTouchesNothingBehindIt) {
  namespace fs = std::filesystem;
  const testing::ScratchFolder scratch;
  const testing::ScratchFolder elsewhere;
  append_activity_in(scratch.file(L"plain\\Reports"), "link-test", Outcome{});
  EXPECT_NE(testing::read_file_bytes(scratch.file(L"plain\\Reports\\activity.jsonl")).find("link-test"), std::string::npos);

  // The folder or one above it is a link; the log is a link to a file, or to none (yet).
  if (!testing::running_under_wine()) GTEST_SKIP() << "Unix links need Wine";
  {
    const testing::UnixLinkRemoval removal(scratch.file(L"linked"));
    ASSERT_TRUE(testing::make_unix_symlink(elsewhere.path(), scratch.file(L"linked"))) << "the link was not made";
    append_activity_in(scratch.file(L"linked"), "link-test", Outcome{});
    append_activity_in(scratch.file(L"linked\\Reports"), "link-test", Outcome{});
  }
  EXPECT_TRUE(fs::is_empty(elsewhere.path()));
  testing::write_file_bytes(elsewhere.file(L"victim"), "keep");
  testing::write_file_bytes(elsewhere.file(L"planted"), "");
  const testing::UnixLinkRemoval victim_removal(scratch.file(L"victim\\activity.jsonl"));
  const testing::UnixLinkRemoval planted_removal(scratch.file(L"planted\\activity.jsonl"));
  for (const wchar_t* target : {L"victim", L"planted"}) {
    fs::create_directories(scratch.file(target));
    ASSERT_TRUE(testing::make_unix_symlink(elsewhere.file(target), scratch.file(target) + L"\\activity.jsonl"));
  }
  fs::remove(elsewhere.file(L"planted"));
  append_activity_in(scratch.file(L"victim"), "link-test", Outcome{});
  append_activity_in(scratch.file(L"planted"), "link-test", Outcome{});
  EXPECT_EQ(testing::read_file_bytes(elsewhere.file(L"victim")), "keep");
  EXPECT_FALSE(fs::exists(elsewhere.file(L"planted")));
}

// The log file reading as a symbolic link (Windows shows a link to a file so; Wine cannot make
// one that does): no line is appended. One kept by cloud sync is still the log.
TEST(AppendActivity, ALogThatReadsAsALinkGetsNoLine) {
  const testing::ScratchFolder scratch;
  const std::wstring folder = scratch.file(L"Reports");
  const std::wstring log = folder + L"\\activity.jsonl";
  append_activity_in(folder, "plain-test", Outcome{});
  const std::string before = testing::read_file_bytes(log);
  ASSERT_NE(before.find("plain-test"), std::string::npos);
  testing::ReportedReparseTag tags;
  tags.report(log, IO_REPARSE_TAG_SYMLINK);
  append_activity_in(folder, "link-test", Outcome{});
  EXPECT_EQ(testing::read_file_bytes(log), before);
  tags.report(log, testing::kCloudFilesTag);
  append_activity_in(folder, "cloud-test", Outcome{});
  EXPECT_NE(testing::read_file_bytes(log).find("cloud-test"), std::string::npos);
}

// The reports folder swapped for a link to elsewhere once it is pinned, before the log is opened.
std::wstring swap_target;
bool log_folder_swapped = false;

void swap_log_folder(const std::wstring& folder) {
  log_folder_swapped =
      testing::replace_folder_with_unix_symlink(folder, swap_target, testing::FolderEntries::removed);
}

TEST(AppendActivity, AFolderSwappedForALinkAfterItWasPinnedGetsNoLogBehindIt) {
  namespace fs = std::filesystem;
  const testing::ScratchFolder scratch;
  const testing::ScratchFolder elsewhere;
  if (!testing::running_under_wine()) {
    GTEST_SKIP() << "a held folder can be replaced by a link only from the Unix side of Wine";
  }
  const std::wstring folder = scratch.file(L"Reports");
  const testing::UnixLinkRemoval removal(folder);
  fs::create_directories(folder);
  swap_target = elsewhere.path();
  log_folder_swapped = false;
  activity_log_probe = swap_log_folder;
  append_activity_in(folder, "swap-test", Outcome{});
  activity_log_probe = nullptr;
  ASSERT_TRUE(log_folder_swapped) << "the folder was not replaced by a link";
  EXPECT_FALSE(fs::exists(elsewhere.file(L"activity.jsonl")));
  EXPECT_TRUE(fs::is_empty(elsewhere.path()));
}

}  // namespace
}  // namespace corvane
