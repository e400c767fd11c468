// ctest-resource-lock: desktop
#include "engines/tools_folder.h"

#include "services/shell.h"
#include "services/text.h"
#include "support/scratch.h"

#include <gtest/gtest.h>

#include <windows.h>
#include <shlobj.h>

#include <string>

namespace corvane {
namespace {

std::wstring tools_folder_path() {
  std::wstring desktop = known_folder_path(FOLDERID_Desktop);
  if (desktop.back() != L'\\') desktop += L'\\';
  return desktop + L"Corvane Tools.{ED7BA470-8E54-465E-825C-99712043E01C}";
}

DWORD attributes_of(const std::wstring& path) { return GetFileAttributesW(path.c_str()); }

class ToolsFolder : public ::testing::Test {
 protected:
  void SetUp() override {
    path_ = tools_folder_path();
    remove_leftovers();
    ASSERT_EQ(attributes_of(path_), INVALID_FILE_ATTRIBUTES) << "cannot clear the Desktop for the test";
  }
  void TearDown() override { remove_leftovers(); }
  void remove_leftovers() {
    RemoveDirectoryW(path_.c_str());
    DeleteFileW(path_.c_str());
  }
  std::wstring path_;
};

TEST_F(ToolsFolder, CreatesOnceThenReportsItAlreadyThere) {
  const Outcome first = create_tools_folder();
  EXPECT_TRUE(first.ok) << wide_to_utf8(first.message);
  EXPECT_EQ(first.message, path_);
  EXPECT_EQ(first.affected, 1u);
  EXPECT_TRUE(first.record_path.empty());
  EXPECT_EQ(first.bytes, 0u);
  EXPECT_EQ(first.skipped, 0u);
  const DWORD attributes = attributes_of(path_);
  ASSERT_NE(attributes, INVALID_FILE_ATTRIBUTES);
  EXPECT_NE(attributes & FILE_ATTRIBUTE_DIRECTORY, 0u);

  const Outcome second = create_tools_folder();
  EXPECT_TRUE(second.ok) << wide_to_utf8(second.message);
  EXPECT_EQ(second.message, path_);
  EXPECT_EQ(second.affected, 0u);
}

TEST_F(ToolsFolder, FileInTheWayFailsAndIsLeftAlone) {
  testing::write_file_bytes(path_, "not a folder");
  const Outcome outcome = create_tools_folder();
  EXPECT_FALSE(outcome.ok);
  EXPECT_EQ(outcome.message, windows_error_text(ERROR_ALREADY_EXISTS));
  EXPECT_EQ(outcome.affected, 0u);
  EXPECT_TRUE(outcome.record_path.empty());
  const DWORD attributes = attributes_of(path_);
  ASSERT_NE(attributes, INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(attributes & FILE_ATTRIBUTE_DIRECTORY, 0u);
  EXPECT_EQ(testing::read_file_bytes(path_), "not a folder");
}

}  // namespace
}  // namespace corvane
