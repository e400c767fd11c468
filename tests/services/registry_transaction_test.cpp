#include "services/registry_transaction.h"

#include "services/documents.h"
#include "services/reg_file.h"
#include "services/registry.h"
#include "services/text.h"
#include "support/scratch.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <stdexcept>

namespace corvane {
namespace {

namespace fs = std::filesystem;
using testing::read_file_bytes;
using testing::ScratchFolder;
using testing::ScratchKey;

// Every key below a path with every value in it, to compare the registry before and after.
using KeyTree = std::map<std::wstring, std::map<std::wstring, ValueState>>;

void collect_tree(const std::wstring& path, KeyTree& tree) {
  HKEY raw = nullptr;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ | KEY_WOW64_64KEY, &raw) != ERROR_SUCCESS) return;
  const UniqueRegKey key(raw);
  auto& values = tree[path];
  for (const std::wstring& name : enum_registry_names(key.get(), false)) {
    values[name] = read_registry_value({0, path, name, {}});
  }
  for (const std::wstring& sub : enum_registry_names(key.get(), true)) collect_tree(path + L"\\" + sub, tree);
}

KeyTree tree_of(const ScratchKey& scratch) {
  KeyTree tree;
  return collect_tree(scratch.path(), tree), tree;
}

std::vector<std::wstring> files_in(const std::wstring& folder) {
  std::vector<std::wstring> names;
  std::error_code error;
  for (const auto& entry : fs::directory_iterator(folder, error)) names.push_back(entry.path().filename().wstring());
  std::sort(names.begin(), names.end());
  return names;
}

void set_dword(const std::wstring& path, const std::wstring& name, std::uint32_t number) {
  write_registry_value({0, path, name, make_dword_value(number)});
}

ValueState read(const std::wstring& path, const std::wstring& name) { return read_registry_value({0, path, name, {}}); }

nlohmann::json made_key(const std::wstring& path) { return {{"hive", 0}, {"path", wide_to_utf8(path)}}; }

struct ProgressCall {
  std::uint64_t done;
  std::uint64_t total;
  std::wstring item;
  bool operator==(const ProgressCall&) const = default;
};

TEST(RegistryTransaction, RefusalsChangeNothingAndNameNoFile) {
  ScratchKey key;
  ScratchFolder scratch;
  const std::wstring upper = key.sub(L"X");
  set_dword(upper, L"v", 1);
  const KeyTree prior = tree_of(key);
  std::wstring lower = upper;
  for (wchar_t& c : lower) c = static_cast<wchar_t>(towlower(c));
  const std::wstring folder = scratch.file(L"Backups");
  testing::write_file_bytes(scratch.file(L"plain"), "x");
  const std::vector<RegistryValue> valid = {{0, upper, L"v", make_dword_value(2)},
                                            {0, key.sub(L"New"), L"v", make_dword_value(1)}};
  CancelFlag stopped{1};
  struct Case {
    const char* what;
    std::vector<RegistryValue> changes;
    std::wstring folder;
    CancelFlag* cancel;
    std::wstring message;  // empty: any text
  };
  const Case cases[] = {
      {"empty", {}, folder, nullptr, L"No changes selected"},
      {"stopped early", valid, folder, &stopped, L"Operation stopped before any changes."},
      {"duplicate in other case",
       {{0, upper, L"Name", make_dword_value(2)}, {0, lower, L"name", make_dword_value(3)}},
       folder, nullptr, L"Duplicate registry target"},
      // The first document cannot be written: the outcome names no file.
      {"backup folder is a file", valid, scratch.file(L"plain"), nullptr, L""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const Outcome outcome = apply_registry_changes(c.changes, L"refused", c.folder, c.cancel);
    EXPECT_FALSE(outcome.ok);
    if (c.message.empty()) {
      EXPECT_FALSE(outcome.message.empty());
    } else {
      EXPECT_EQ(outcome.message, c.message);
    }
    EXPECT_TRUE(outcome.record_path.empty());
    EXPECT_EQ(tree_of(key), prior);
  }
  EXPECT_FALSE(fs::exists(folder));
}

TEST(RegistryTransaction, AppliesWithDocumentExportCreatedKeysAndProgress) {
  ScratchKey key;
  ScratchFolder scratch;
  const std::wstring folder = scratch.file(L"Backups");
  set_dword(key.path(), L"existing", 7);
  const std::vector<RegistryValue> changes = {
      {0, key.path(), L"existing", make_dword_value(8)},
      {0, key.sub(L"New\\Deeper"), L"", make_string_value(L"Vi\x1EC7t")},
      {0, key.path(), L"never-there", ValueState{}},
  };
  std::vector<ProgressCall> calls;
  const Outcome outcome = apply_registry_changes(
      changes, L"Apply \x1EA0", folder, nullptr,
      [&](std::uint64_t done, std::uint64_t total, const std::wstring& item) { calls.push_back({done, total, item}); });

  ASSERT_TRUE(outcome.ok) << wide_to_utf8(outcome.message);
  EXPECT_TRUE(outcome.message.empty());
  EXPECT_EQ(outcome.affected, 3u);
  EXPECT_EQ(calls, (std::vector<ProgressCall>{{1, 3, L"existing"}, {2, 3, L""}, {3, 3, L"never-there"}}));
  EXPECT_EQ(read(key.path(), L"existing"), make_dword_value(8));
  EXPECT_EQ(read(key.sub(L"New\\Deeper"), L""), make_string_value(L"Vi\x1EC7t"));
  EXPECT_EQ(read(key.path(), L"never-there"), ValueState{});

  // One document and its export, named by the stamp; no temporary file left.
  const std::vector<std::wstring> names = files_in(folder);
  ASSERT_EQ(names.size(), 2u);
  ASSERT_TRUE(names[0].ends_with(L"-registry.json"));
  EXPECT_EQ(names[1], names[0].substr(0, names[0].size() - 5) + L".reg");
  EXPECT_EQ(outcome.record_path, folder + L"\\" + names[0]);

  const std::string text = read_file_bytes(outcome.record_path);
  const nlohmann::json document = nlohmann::json::parse(text);
  EXPECT_EQ(text, dump_json_document(document));
  std::vector<RegistryValue> before = changes;
  before[0].value = make_dword_value(7);
  before[1].value = ValueState{};
  before[2].value = ValueState{};
  nlohmann::json expected = {
      {"after", changes},
      {"before", before},
      {"created_keys", {made_key(key.sub(L"New")), made_key(key.sub(L"New\\Deeper"))}},
      {"kind", "registry"},
      {"label", "Apply \xe1\xba\xa0"},
      {"schema", 1},
      {"state", "applied"},
  };
  EXPECT_EQ(document, expected);

  const std::wstring reg_text = reg_file_text(before);
  EXPECT_EQ(read_file_bytes(folder + L"\\" + names[1]),
            "\xff\xfe" + std::string(reinterpret_cast<const char*>(reg_text.data()), reg_text.size() * 2));
  EXPECT_NE(reg_text.find(L"\"never-there\"=-"), std::wstring::npos);
}

TEST(RegistryTransaction, ValueChangedByAnotherProgramMidBatch) {
  ScratchKey key;
  ScratchFolder scratch;
  for (const wchar_t* name : {L"a", L"b", L"c"}) set_dword(key.path(), name, 1);
  std::vector<RegistryValue> changes;
  for (const wchar_t* name : {L"a", L"b", L"c"}) changes.push_back({0, key.path(), name, make_dword_value(2)});
  const Outcome outcome = apply_registry_changes(changes, L"mid", scratch.path(), nullptr,
                                                 [&](std::uint64_t done, std::uint64_t, const std::wstring&) {
                                                   if (done == 1) set_dword(key.path(), L"b", 99);
                                                 });
  EXPECT_FALSE(outcome.ok);
  EXPECT_EQ(outcome.message, L"Registry changed during review; retry");
  EXPECT_EQ(outcome.affected, 0u);
  EXPECT_EQ(read(key.path(), L"a"), make_dword_value(1));
  EXPECT_EQ(read(key.path(), L"b"), make_dword_value(99));
  EXPECT_EQ(read(key.path(), L"c"), make_dword_value(1));
  ASSERT_FALSE(outcome.record_path.empty());
  const nlohmann::json document = read_json_file(outcome.record_path);
  EXPECT_EQ(document.at("state"), "rolled-back");
  EXPECT_EQ(document.at("attempted"), 1);
}

TEST(RegistryTransaction, StopAtEveryPositionRestoresTheExactPriorState) {
  for (std::uint64_t stop_after = 1; stop_after <= 4; ++stop_after) {
    SCOPED_TRACE(stop_after);
    ScratchKey key;
    ScratchFolder scratch;
    set_dword(key.path(), L"kept", 5);
    set_dword(key.path(), L"deleted", 6);
    const KeyTree prior = tree_of(key);
    const std::vector<RegistryValue> changes = {
        {0, key.path(), L"kept", make_dword_value(50)},
        {0, key.sub(L"Made\\Deep\\Er"), L"v", make_dword_value(1)},
        {0, key.path(), L"deleted", ValueState{}},
        {0, key.path(), L"added", ValueState{true, REG_BINARY, {}}},
    };
    CancelFlag cancel{0};
    const Outcome outcome = apply_registry_changes(changes, L"stop", scratch.path(), &cancel,
                                                   [&](std::uint64_t done, std::uint64_t, const std::wstring&) {
                                                     if (done == stop_after) cancel = 1;
                                                   });
    EXPECT_FALSE(outcome.ok);
    EXPECT_EQ(outcome.message, L"Operation stopped; changes are being restored.");
    EXPECT_EQ(outcome.affected, 0u);
    EXPECT_EQ(tree_of(key), prior);
    const nlohmann::json document = read_json_file(outcome.record_path);
    EXPECT_EQ(document.at("state"), "rolled-back");
    EXPECT_EQ(document.at("attempted"), stop_after);
    EXPECT_EQ(document.at("created_keys").size(), 3u);
  }
}

TEST(CreatedKeys, RemovesEmptyKeysDeepestFirstAndKeepsOthersContent) {
  ScratchKey key;
  set_dword(key.sub(L"A\\Full"), L"v", 1);
  set_dword(key.sub(L"A\\B\\C"), L"v", 1);
  write_registry_value({0, key.sub(L"A\\B\\C"), L"v", ValueState{}});
  remove_created_keys(nlohmann::json{made_key(key.sub(L"A")), made_key(key.sub(L"A\\B")),
                                     made_key(key.sub(L"A\\B\\C")), made_key(key.sub(L"A\\Full")),
                                     made_key(key.sub(L"Never"))});
  const KeyTree tree = tree_of(key);
  EXPECT_EQ(tree.count(key.sub(L"A\\B")), 0u);
  EXPECT_EQ(tree.count(key.sub(L"A\\Full")), 1u);
  EXPECT_EQ(tree.count(key.sub(L"A")), 1u);
}

}  // namespace
}  // namespace corvane
