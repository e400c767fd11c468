// ctest-resource-lock: data_folder
#include "services/documents.h"

#include "services/handles.h"
#include "services/shell.h"
#include "services/text.h"
#include "support/backups_guard.h"
#include "support/scratch.h"
#include "support/unix_link.h"

#include <windows.h>
#include <knownfolders.h>

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

TEST(JsonDump, LayoutKeyOrderAndUtf8) {
  nlohmann::json document = nlohmann::json::object();
  document["schema"] = 1;
  document["kind"] = "registry";
  document["after"] = nlohmann::json::array({1, "x"});
  document["Zeta"] = nlohmann::json::object();
  document["empty"] = nlohmann::json::array();
  document["text"] = "Vi\xe1\xbb\x87t \"q\" \\ /\n";
  document["nested"] = {{"b", false}, {"a", nullptr}};
  document["\xc3\xa9"] = 2;  // keys sort by their UTF-8 bytes: U+00E9 after every ASCII key
  EXPECT_EQ(dump_json_document(document),
            "{\n"
            "  \"Zeta\": {},\n"
            "  \"after\": [\n"
            "    1,\n"
            "    \"x\"\n"
            "  ],\n"
            "  \"empty\": [],\n"
            "  \"kind\": \"registry\",\n"
            "  \"nested\": {\n"
            "    \"a\": null,\n"
            "    \"b\": false\n"
            "  },\n"
            "  \"schema\": 1,\n"
            "  \"text\": \"Vi\xe1\xbb\x87t \\\"q\\\" \\\\ /\\n\",\n"
            "  \"\xc3\xa9\": 2\n"
            "}");
}

TEST(JsonDump, InvalidUtf8Fails) {
  EXPECT_THROW(dump_json_document(nlohmann::json{{"bad", "\xff"}}), nlohmann::json::type_error);
}

TEST(WriteJsonAtomic, CreatesFoldersAndWritesExactBytesWithNoTemporaryLeft) {
  ScratchFolder scratch;
  const std::wstring target = scratch.file(L"a\\b\\doc.json");
  const nlohmann::json document = {{"k", "v\xc3\xa9"}, {"n", 2}};
  write_json_atomic(target, document);
  EXPECT_EQ(read_file_bytes(target), "{\n  \"k\": \"v\xc3\xa9\",\n  \"n\": 2\n}");
  EXPECT_EQ(folder_names(scratch.file(L"a\\b")), std::vector<std::wstring>{L"doc.json"});

  write_json_atomic(target, nlohmann::json::array());
  EXPECT_EQ(read_file_bytes(target), "[]");
  EXPECT_EQ(folder_names(scratch.file(L"a\\b")), std::vector<std::wstring>{L"doc.json"});
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
    const UniqueHandle holder = adopt_handle(CreateFileW(target.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                                         OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
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
  // The failed write's temporary file stays beside the target, whole.
  const std::vector<std::wstring> names = folder_names(scratch.path());
  ASSERT_EQ(names.size(), 2u);
  EXPECT_EQ(names[0], L"doc.json");
  EXPECT_TRUE(names[1].size() > 13 && names[1].compare(0, 9, L"doc.json.") == 0 &&
              names[1].compare(names[1].size() - 4, 4, L".tmp") == 0)
      << fs::path(names[1]).string();
  EXPECT_EQ(read_file_bytes(scratch.file(names[1])), "{\n  \"new\": true\n}");
  fs::remove(scratch.file(names[1]));

  // A parent that is a file.
  EXPECT_THROW(write_json_atomic(scratch.file(L"doc.json\\doc.json"), nlohmann::json::object()), fs::filesystem_error);
  EXPECT_EQ(read_file_bytes(target), original);
}

TEST(WriteJsonAtomic, TemporaryFileThatCannotBeCreatedGivesTheWindowsText) {
  ScratchFolder scratch;
  const std::wstring target = scratch.file(L"bad|name.json");
  const HANDLE probe = CreateFileW((target + L".probe").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                   FILE_ATTRIBUTE_NORMAL, nullptr);
  const DWORD expected = GetLastError();
  ASSERT_EQ(probe, INVALID_HANDLE_VALUE);
  try {
    write_json_atomic(target, nlohmann::json::object());
    FAIL() << "no error";
  } catch (const std::runtime_error& error) {
    EXPECT_EQ(error.what(), wide_to_utf8(windows_error_text(expected)));
  }
}

TEST(WriteJsonAtomic, DocumentsNamedByStampInOneMillisecondNeverCollide) {
  ScratchFolder scratch;
  for (int i = 0; i < 40; ++i) {
    write_json_atomic(scratch.file(utf8_to_wide(make_stamp()) + L"-registry.json"), nlohmann::json{{"i", i}});
  }
  EXPECT_EQ(folder_names(scratch.path()).size(), 40u);
  // Rapid rewrites of one target: every temporary name is fresh.
  for (int i = 0; i < 40; ++i) write_json_atomic(scratch.file(L"same.json"), nlohmann::json{{"i", i}});
  EXPECT_EQ(read_file_bytes(scratch.file(L"same.json")), "{\n  \"i\": 39\n}");
}

// The folder a document is written into, swapped for a link to elsewhere at one stage of the
// write, the way an emptied folder can be turned into a junction while it is held. At the
// replace stage the other side first copies the temporary file it sees to elsewhere, when asked
// to plant; otherwise the folder's entries go along into elsewhere. What lies behind the link
// when the write reaches its replace stage after an earlier swap is noted.
struct FolderSwap {
  DocumentWriteStage stage;
  std::wstring folder;
  std::wstring elsewhere;
  bool plant = true;
  bool swapped = false;
  std::vector<std::wstring> behind_link_at_replace{};
};
FolderSwap swap_plan{};

void swap_folder_at_stage(DocumentWriteStage stage, const std::wstring&) {
  if (stage == DocumentWriteStage::replace_target && swap_plan.swapped) {
    swap_plan.behind_link_at_replace = folder_names(swap_plan.elsewhere);
  }
  if (stage != swap_plan.stage || swap_plan.swapped) return;
  if (stage == DocumentWriteStage::replace_target && swap_plan.plant) {
    for (const std::wstring& name : folder_names(swap_plan.folder)) {
      if (name.size() > 4 && name.compare(name.size() - 4, 4, L".tmp") == 0) {
        write_file_bytes(swap_plan.elsewhere + L"\\" + name, "planted");
      }
    }
  }
  swap_plan.swapped = testing::replace_folder_with_unix_symlink(
      swap_plan.folder, swap_plan.elsewhere,
      swap_plan.plant ? testing::FolderEntries::removed : testing::FolderEntries::moved_to_target);
}

// Writes doc.json into a fresh folder swapped as planned; true when the write failed.
bool write_with_swap(FolderSwap plan, const ScratchFolder& scratch) {
  const std::wstring folder = scratch.file(L"Backups");
  const testing::UnixLinkRemoval removal(folder);
  fs::create_directories(folder);
  plan.folder = folder;
  swap_plan = plan;
  document_write_probe = swap_folder_at_stage;
  bool failed = false;
  try {
    write_json_atomic(folder + L"\\doc.json", nlohmann::json{{"a", 1}});
  } catch (const std::runtime_error&) {
    failed = true;
  }
  document_write_probe = nullptr;
  return failed;
}

TEST(WriteJsonAtomic, AFolderSwappedForALinkMidWriteFailsAndWritesNothingBehindIt) {
  for (const DocumentWriteStage stage : {DocumentWriteStage::create_temporary, DocumentWriteStage::replace_target}) {
    const char* stage_name = stage == DocumentWriteStage::create_temporary ? "before create" : "before replace";
    ScratchFolder scratch;
    ScratchFolder elsewhere;
    const bool failed = write_with_swap(FolderSwap{stage, L"", elsewhere.path()}, scratch);
    ASSERT_TRUE(swap_plan.swapped) << stage_name << ": the folder was not replaced by a link";
    EXPECT_TRUE(failed) << stage_name;
    // The temporary file is made through the held folder, so nothing of it ever lies behind the link.
    EXPECT_TRUE(swap_plan.behind_link_at_replace.empty()) << stage_name;
    // Behind the link: no document and no file of the write, at most what was planted there.
    EXPECT_FALSE(fs::exists(elsewhere.file(L"doc.json"))) << stage_name;
    for (const std::wstring& name : folder_names(elsewhere.path())) {
      EXPECT_EQ(read_file_bytes(elsewhere.file(name)), "planted") << stage_name << ": " << fs::path(name).string();
    }
  }
}

// The temporary file went along behind the link before the replace: the write fails and takes
// it away again, so the link's target holds nothing afterwards.
TEST(WriteJsonAtomic, ATemporaryFileFoundBehindALinkAtTheReplaceIsTakenAway) {
  ScratchFolder scratch;
  ScratchFolder elsewhere;
  FolderSwap plan{DocumentWriteStage::replace_target, L"", elsewhere.path()};
  plan.plant = false;
  const bool failed = write_with_swap(plan, scratch);
  ASSERT_TRUE(swap_plan.swapped) << "the folder was not replaced by a link";
  EXPECT_TRUE(failed);
  EXPECT_TRUE(folder_names(elsewhere.path()).empty());
}

TEST(ReadJsonFile, ParsesWholeDocumentsOnly) {
  ScratchFolder scratch;
  try {
    read_json_file(scratch.file(L"missing.json"));
    ADD_FAILURE() << "a missing file was read";
  } catch (const std::runtime_error& error) {
    EXPECT_STREQ(error.what(), "Cannot read backup");
  }
  const std::wstring path = scratch.file(L"doc.json");
  write_file_bytes(path, "\xef\xbb\xbf{\"a\": [1, 2]}\r\n  ");
  EXPECT_EQ(read_json_file(path), (nlohmann::json{{"a", {1, 2}}}));
  for (const char* bad : {"{} x", "{} // note", ""}) {
    write_file_bytes(path, bad);
    EXPECT_THROW(read_json_file(path), nlohmann::json::parse_error) << bad;
  }
}

TEST(ReadJsonFile, ReadsAFileThatIsOpenForWriting) {
  ScratchFolder scratch;
  const std::wstring path = scratch.file(L"open.json");
  write_file_bytes(path, "{\"x\": 1}");
  const UniqueHandle writer = adopt_handle(CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                                       nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  ASSERT_TRUE(writer);
  EXPECT_EQ(read_json_file(path), (nlohmann::json{{"x", 1}}));
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

TEST(Folders, DataBackupsAndReportsFoldersAndTheirBackupList) {
  const testing::BackupsGuard backups;
  EXPECT_EQ(app_data_folder(), (fs::path(known_folder_path(FOLDERID_LocalAppData)) / L"Corvane").wstring());
  EXPECT_EQ(backups_folder(), app_data_folder() + L"\\Backups");
  EXPECT_EQ(reports_folder(), (fs::path(executable_path()).parent_path() / L"Reports").wstring());
  // list_backups reads the data folder's Backups.
  const std::wstring name = utf8_to_wide(make_stamp()) + L"-registry.json";
  const std::wstring path = backups_folder() + L"\\" + name;
  write_json_atomic(path, nlohmann::json::object());
  const std::vector<std::wstring> listed = list_backups();
  std::error_code ignored;
  fs::remove(path, ignored);
  EXPECT_NE(std::find(listed.begin(), listed.end(), path), listed.end());
}

TEST(ListBackups, ReadsTheDataFoldersBackups) {
  const testing::BackupsGuard backups;
  const std::wstring name = utf8_to_wide(make_stamp()) + L"-registry.json";
  const std::wstring path = backups_folder() + L"\\" + name;
  write_json_atomic(path, nlohmann::json::object());
  const std::vector<std::wstring> listed = list_backups();
  const std::vector<std::wstring> direct = list_backups_in(backups_folder());
  std::error_code ignored;
  fs::remove(path, ignored);
  EXPECT_NE(std::find(listed.begin(), listed.end(), path), listed.end());
  EXPECT_EQ(listed, direct);
}

}  // namespace
}  // namespace corvane
