// ctest-resource-lock: reports_folder
// The activity line of a registry transaction.
#include "services/activity_log.h"
#include "services/documents.h"
#include "services/registry_transaction.h"
#include "support/scratch.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace corvane {
namespace {

std::wstring log_path() { return reports_folder() + L"\\activity.jsonl"; }

std::uint64_t log_size() {
  std::error_code error;
  const auto size = std::filesystem::file_size(log_path(), error);
  return error ? 0 : size;
}

// Registry lines appended since the log had the given size.
std::vector<nlohmann::json> registry_lines_since(std::uint64_t size) {
  const std::string part = testing::read_file_bytes(log_path(), size);
  std::vector<nlohmann::json> lines;
  std::size_t start = 0;
  while (start < part.size()) {
    const std::size_t end = part.find("\r\n", start);
    if (end == std::string::npos) break;
    nlohmann::json line = nlohmann::json::parse(part.substr(start, end - start));
    if (line.at("operation") == "registry") lines.push_back(std::move(line));
    start = end + 2;
  }
  return lines;
}

TEST(RegistryTransactionLog, RefusalsWriteNoLine) {
  testing::ScratchFolder scratch;
  testing::ScratchKey key;
  const std::uint64_t before = log_size();
  apply_registry_changes({}, L"none", scratch.path());
  CancelFlag cancel{1};
  apply_registry_changes({{0, key.path(), L"v", make_dword_value(1)}}, L"stopped", scratch.path(), &cancel);
  for (const nlohmann::json& line : registry_lines_since(before)) {
    EXPECT_NE(line.at("message"), "No changes selected");
    EXPECT_NE(line.at("message"), "Operation stopped before any changes.");
  }
}

TEST(RegistryTransactionLog, SuccessAndFailureEachWriteOneLine) {
  testing::ScratchFolder scratch;
  testing::ScratchKey key;
  std::uint64_t before = log_size();
  std::vector<RegistryValue> changes;
  for (int i = 0; i < 7; ++i) changes.push_back({0, key.path(), L"v" + std::to_wstring(i), make_dword_value(1)});
  ASSERT_TRUE(apply_registry_changes(changes, L"seven", scratch.path()).ok);
  std::vector<nlohmann::json> lines = registry_lines_since(before);
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0].at("ok"), true);
  EXPECT_EQ(lines[0].at("affected"), 7);
  EXPECT_EQ(lines[0].at("message"), "");

  before = log_size();
  changes.push_back(changes.front());
  EXPECT_FALSE(apply_registry_changes(changes, L"dup", scratch.path()).ok);
  lines = registry_lines_since(before);
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0].at("ok"), false);
  EXPECT_EQ(lines[0].at("affected"), 0);
  EXPECT_EQ(lines[0].at("message"), "Duplicate registry target");
}

}  // namespace
}  // namespace corvane
