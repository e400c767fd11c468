#include "services/documents.h"

#include "services/handles.h"

#include "services/text.h"
#include "support/scratch.h"

#include <windows.h>


#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <stdexcept>

namespace corvane {
namespace {

namespace fs = std::filesystem;
using testing::read_file_bytes;
using testing::ScratchFolder;
using testing::write_file_bytes;

std::vector<std::wstring> folder_names(const std::wstring& folder) {
  std::vector<std::wstring> names;
  for (const auto& entry : fs::directory_iterator(folder)) names.push_back(entry.path().filename().wstring());
  std::sort(names.begin(), names.end());
  return names;
}

TEST(WriteJsonAtomic, FailingWritesLeaveTheTargetByteIdentical) {
  ScratchFolder scratch;
  const std::wstring target = scratch.file(L"doc.json");
  const std::string original = "{\n  \"old\": true\n}";
  write_file_bytes(target, original);

  // A document that cannot be dumped: nothing is created at all.
  EXPECT_THROW(write_json_atomic(target, nlohmann::json{{"bad", "\xc3"}}), nlohmann::json::type_error);
  EXPECT_EQ(read_file_bytes(target), original);
  EXPECT_EQ(folder_names(scratch.path()), std::vector<std::wstring>{L"doc.json"});

  // A target held open by someone who allows no replacement: the move fails.
  {
    const UniqueHandle holder(CreateFileW(target.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                          FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(holder);
    try {
      write_json_atomic(target, nlohmann::json{{"new", true}});
      FAIL() << "the replace succeeded";
    } catch (const std::runtime_error& error) {
      const std::string text = error.what();
      EXPECT_TRUE(text == wide_to_utf8(windows_error_text(ERROR_ACCESS_DENIED)) ||
                  text == wide_to_utf8(windows_error_text(ERROR_SHARING_VIOLATION)))
          << text;
    }
  }
  EXPECT_EQ(read_file_bytes(target), original);

  // A parent that is a file.
  EXPECT_THROW(write_json_atomic(scratch.file(L"doc.json\\doc.json"), nlohmann::json::object()), fs::filesystem_error);
  EXPECT_EQ(read_file_bytes(target), original);
}

TEST(ListBackups, JsonFilesOnlyNewestFirst) {
  ScratchFolder scratch;
  EXPECT_TRUE(list_backups_in(scratch.file(L"none")).empty());
  const std::wstring folder = scratch.path();
  for (const wchar_t* name : {L"20250101-100000-000-1-1-registry.json", L"20250101-100000-000-1-1-registry.reg",
                              L"20260301-090000-000-1-1-power.json", L"20251231-235959-999-1-1-owner.json",
                              L"20260101-000000-000-1-1-startup.json", L"20270101-000000-000-1-1-upper.JSON",
                              L"20270101-000000-000-1-1-x.json.tmp"}) {
    write_file_bytes(scratch.file(name), "{}");
  }
  fs::create_directories(scratch.file(L"20990101-000000-000-1-1-folder.json"));
  EXPECT_EQ(list_backups_in(folder), (std::vector<std::wstring>{
                                         scratch.file(L"20260301-090000-000-1-1-power.json"),
                                         scratch.file(L"20260101-000000-000-1-1-startup.json"),
                                         scratch.file(L"20251231-235959-999-1-1-owner.json"),
                                         scratch.file(L"20250101-100000-000-1-1-registry.json"),
                                     }));
}

}  // namespace
}  // namespace corvane
