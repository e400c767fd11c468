// ctest-resource-lock: reports_folder
#include "services/registry_transaction.h"

#include "services/documents.h"
#include "services/handles.h"
#include "services/reg_file.h"
#include "services/registry.h"
#include "services/text.h"
#include "support/scratch.h"
#include "support/setting_change_recorder.h"

#include <windows.h>
#include <sddl.h>

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

// Sets an access list given in SDDL on a key, then tells whether opening the key with the given
// access now fails; the destructor opens the key up again.
class KeyAccess {
 public:
  KeyAccess(const std::wstring& path, const wchar_t* sddl, REGSAM probe) {
    HKEY raw = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, WRITE_DAC | KEY_WOW64_64KEY, &raw) != ERROR_SUCCESS) return;
    key_.reset(raw);
    applied_ = set(sddl);
    if (applied_) denial_ = RegOpenKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, probe | KEY_WOW64_64KEY, &raw);
    if (applied_ && denial_ == ERROR_SUCCESS) RegCloseKey(raw);
  }
  ~KeyAccess() {
    if (key_) set(L"D:(A;;KA;;;WD)");
  }
  bool applied() const { return applied_; }
  // The error of the probe; ERROR_SUCCESS when this registry does not enforce access lists.
  LSTATUS denial() const { return denial_; }

 private:
  bool set(const wchar_t* sddl) {
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl, SDDL_REVISION_1, &descriptor, nullptr)) return false;
    const bool applied = RegSetKeySecurity(key_.get(), DACL_SECURITY_INFORMATION, descriptor) == ERROR_SUCCESS;
    LocalFree(descriptor);
    return applied;
  }
  UniqueRegKey key_;
  bool applied_ = false;
  LSTATUS denial_ = ERROR_SUCCESS;
};

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
      {"duplicate default value",
       {{0, upper, L"", make_dword_value(2)}, {0, upper, L"", make_dword_value(2)}},
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

  // The same name under another key is a different target.
  const Outcome fine = apply_registry_changes(
      {{0, upper, L"v", make_dword_value(2)}, {0, key.sub(L"Y"), L"v", make_dword_value(2)}}, L"two", folder);
  EXPECT_TRUE(fine.ok) << wide_to_utf8(fine.message);
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

TEST(RegistryTransaction, FailuresAfterThePreparedDocumentRollBack) {
  const ScratchKey keys[3];
  struct Case {
    const char* what;
    std::vector<RegistryValue> changes;
    ProgressFn progress;
    std::wstring message;
    int attempted;
  };
  const Case cases[] = {
      // A deletion must be given as the absent form; this one carries a type.
      {"verification", {{0, keys[0].path(), L"v", ValueState{false, REG_DWORD, {}}}}, nullptr,
       L"Registry verification failed", 1},
      // A failure text that is not UTF-8 must not stop the rollback.
      {"lenient text", {{0, keys[1].path(), L"v", make_dword_value(2)}},
       [](std::uint64_t, std::uint64_t, const std::wstring&) { throw std::runtime_error("bad \xff text"); },
       L"bad \xFFFD text", 1},
      // A key name with "]" is valid in the registry but has no .reg form.
      {"export",
       {{0, keys[2].path(), L"v", make_dword_value(2)}, {0, keys[2].sub(L"odd]name"), L"v", make_dword_value(1)}},
       nullptr, L"Invalid registry key", 0},
  };
  for (std::size_t i = 0; i < 3; ++i) {
    const Case& c = cases[i];
    SCOPED_TRACE(c.what);
    ScratchFolder scratch;
    set_dword(keys[i].path(), L"v", 3);
    const KeyTree prior = tree_of(keys[i]);
    const Outcome outcome = apply_registry_changes(c.changes, L"fail", scratch.path(), nullptr, c.progress);
    EXPECT_FALSE(outcome.ok);
    EXPECT_EQ(outcome.message, c.message);
    EXPECT_EQ(tree_of(keys[i]), prior);
    const nlohmann::json document = read_json_file(outcome.record_path);
    EXPECT_EQ(document.at("state"), "rolled-back");
    EXPECT_EQ(document.at("attempted"), c.attempted);
  }
}

TEST(RegistryTransaction, FailingRestoreGivesRollbackIncomplete) {
  ScratchKey key;
  ScratchFolder scratch;
  const std::wstring inner = key.sub(L"Parent\\Inner");
  set_dword(inner, L"v", 1);
  set_dword(key.path(), L"w", 1);
  CancelFlag cancel{0};
  const Outcome outcome = apply_registry_changes(
      {{0, inner, L"v", make_dword_value(2)}, {0, key.path(), L"w", make_dword_value(2)}}, L"incomplete",
      scratch.path(), &cancel, [&](std::uint64_t done, std::uint64_t, const std::wstring&) {
        if (done != 1) return;
        // Replace the parent with a volatile key: the old value's key can no longer be made below it.
        RegDeleteTreeW(HKEY_CURRENT_USER, key.sub(L"Parent").c_str());
        HKEY made = nullptr;
        RegCreateKeyExW(HKEY_CURRENT_USER, key.sub(L"Parent").c_str(), 0, nullptr, REG_OPTION_VOLATILE, KEY_WRITE,
                        nullptr, &made, nullptr);
        RegCloseKey(made);
        cancel = 1;
      });
  EXPECT_FALSE(outcome.ok);
  EXPECT_EQ(outcome.message,
            L"Operation stopped; changes are being restored.\nRollback incomplete. Use the saved .reg backup.");
  const nlohmann::json document = read_json_file(outcome.record_path);
  EXPECT_EQ(document.at("state"), "rollback-incomplete");
  EXPECT_EQ(document.at("attempted"), 1);
  EXPECT_EQ(read(key.path(), L"w"), make_dword_value(1));
}

TEST(RegistryTransaction, FailedFinalWriteRollsEverythingBack) {
  ScratchKey key;
  ScratchFolder scratch;
  set_dword(key.path(), L"v", 1);
  UniqueHandle holder;
  const Outcome outcome = apply_registry_changes(
      {{0, key.path(), L"v", make_dword_value(2)}, {0, key.sub(L"New"), L"w", make_dword_value(2)}}, L"final",
      scratch.path(), nullptr, [&](std::uint64_t done, std::uint64_t total, const std::wstring&) {
        if (done != total) return;
        // Hold the prepared document so that it cannot be replaced.
        for (const std::wstring& name : files_in(scratch.path())) {
          if (!name.ends_with(L".json")) continue;
          holder = adopt_handle(CreateFileW(scratch.file(name).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        }
      });
  ASSERT_TRUE(holder);
  holder.reset();
  EXPECT_FALSE(outcome.ok);
  EXPECT_TRUE(outcome.message == windows_error_text(ERROR_ACCESS_DENIED) ||
              outcome.message == windows_error_text(ERROR_SHARING_VIOLATION))
      << wide_to_utf8(outcome.message);
  EXPECT_EQ(read(key.path(), L"v"), make_dword_value(1));
  EXPECT_EQ(tree_of(key).count(key.sub(L"New")), 0u);
  // The rolled-back state could not be recorded either: the document still says "prepared".
  ASSERT_FALSE(outcome.record_path.empty());
  EXPECT_EQ(read_json_file(outcome.record_path).at("state"), "prepared");
}

TEST(RegistryTransaction, UnreadableExistingKeyStopsBeforeTheFirstWrite) {
  ScratchKey key;
  ScratchFolder scratch;
  const std::wstring locked = key.sub(L"Locked");
  set_dword(locked, L"v", 1);
  // Listing subkeys denied, everything else allowed: the value can be read, the key not opened KEY_READ.
  const KeyAccess access(locked, L"D:(D;;0x0008;;;WD)(A;;KA;;;WD)", KEY_READ);
  ASSERT_TRUE(access.applied());
  if (access.denial() == ERROR_SUCCESS) GTEST_SKIP() << "this registry does not enforce key access lists";

  const Outcome outcome = apply_registry_changes(
      {{0, key.path(), L"first", make_dword_value(1)}, {0, locked, L"v", make_dword_value(2)}}, L"locked",
      scratch.path());
  EXPECT_FALSE(outcome.ok);
  EXPECT_EQ(outcome.message, windows_error_text(static_cast<std::uint32_t>(access.denial())));
  EXPECT_TRUE(outcome.record_path.empty());
  EXPECT_TRUE(files_in(scratch.path()).empty());
  EXPECT_EQ(read(key.path(), L"first"), ValueState{});
}

TEST(RegistryTransaction, AccessDeniedWriteEndsRolledBackWithNothingChanged) {
  ScratchKey key;
  ScratchFolder scratch;
  set_dword(key.path(), L"first", 1);
  set_dword(key.sub(L"Guarded"), L"v", 1);
  const KeyTree prior = tree_of(key);
  // Reading allowed, setting values denied: what a user without administrator rights meets
  // under a machine-wide key.
  const KeyAccess access(key.sub(L"Guarded"), L"D:(D;;0x0002;;;WD)(A;;KA;;;WD)", KEY_SET_VALUE);
  ASSERT_TRUE(access.applied());
  if (access.denial() == ERROR_SUCCESS) GTEST_SKIP() << "this registry does not enforce key access lists";

  const Outcome outcome = apply_registry_changes(
      {{0, key.path(), L"first", make_dword_value(2)}, {0, key.sub(L"Guarded"), L"v", make_dword_value(2)}}, L"denied",
      scratch.path());
  EXPECT_FALSE(outcome.ok);
  EXPECT_EQ(outcome.message, windows_error_text(static_cast<std::uint32_t>(access.denial())));
  EXPECT_EQ(tree_of(key), prior);
  const nlohmann::json document = read_json_file(outcome.record_path);
  EXPECT_EQ(document.at("state"), "rolled-back");
  EXPECT_EQ(document.at("attempted"), 2);
}

TEST(RegistryTransaction, TellsTheOtherProgramsOnlyAfterASuccessfulApply) {
  ScratchKey key;
  ScratchFolder scratch;
  const std::wstring failed = scratch.file(L"Failed");
  const std::wstring applied = scratch.file(L"Applied");
  set_dword(key.path(), L"v", 1);
  // What the other programs would find when the news reaches them.
  ValueState value_when_told;
  std::string state_when_told;
  testing::SettingChangeRecorder recorder([&] {
    value_when_told = read(key.path(), L"v");
    for (const std::wstring& name : files_in(applied)) {
      if (name.ends_with(L".json")) state_when_told = read_json_file(applied + L"\\" + name).value("state", "");
    }
  });
  ASSERT_TRUE(recorder.created());

  // Refused before any change, rolled back after a failed write, stopped after the last write.
  const RegistryValue change{0, key.path(), L"v", make_dword_value(2)};
  CancelFlag stopped{1};
  CancelFlag late{0};
  const Outcome outcomes[] = {
      apply_registry_changes({}, L"empty", failed),
      apply_registry_changes({change}, L"stopped", failed, &stopped),
      apply_registry_changes({change, change}, L"duplicate", failed),
      apply_registry_changes({{0, key.path(), L"v", ValueState{false, REG_DWORD, {}}}}, L"unverified", failed),
      apply_registry_changes({change}, L"late stop", failed, &late,
                             [&](std::uint64_t, std::uint64_t, const std::wstring&) { late = 1; }),
  };
  for (const Outcome& outcome : outcomes) EXPECT_FALSE(outcome.ok) << wide_to_utf8(outcome.message);
  EXPECT_EQ(read(key.path(), L"v"), make_dword_value(1));
  EXPECT_TRUE(recorder.changes().empty()) << "a failed apply announced a change";

  const Outcome outcome = apply_registry_changes({change}, L"applied", applied);
  ASSERT_TRUE(outcome.ok) << wide_to_utf8(outcome.message);
  EXPECT_EQ(recorder.changes(), (std::vector<testing::SettingChange>{
                                    {0, L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Advanced"}}));
  EXPECT_EQ(value_when_told, make_dword_value(2));
  EXPECT_EQ(state_when_told, "applied");
}

TEST(CreatedKeys, CollectsMissingAncestorsBeforeDescendantsOnce) {
  ScratchKey key;
  set_dword(key.sub(L"A"), L"v", 1);
  const nlohmann::json created = collect_created_keys({
      {0, key.sub(L"A\\B\\C"), L"x", make_dword_value(1)},
      {0, key.sub(L"A\\B\\D"), L"x", ValueState{}},
      {0, key.sub(L"a\\b"), L"x", make_dword_value(1)},
  });
  EXPECT_EQ(created, (nlohmann::json{made_key(key.sub(L"A\\B")), made_key(key.sub(L"A\\B\\C")),
                                     made_key(key.sub(L"A\\B\\D")), made_key(key.sub(L"a\\b"))}));
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

  // The first bad element ends the call: nothing before it in the list is processed.
  set_dword(key.sub(L"Empty"), L"v", 1);
  write_registry_value({0, key.sub(L"Empty"), L"v", ValueState{}});
  EXPECT_THROW(remove_created_keys(nlohmann::json{made_key(key.sub(L"Empty")), {{"path", "x"}}}), nlohmann::json::exception);
  EXPECT_EQ(tree_of(key).count(key.sub(L"Empty")), 1u);
  EXPECT_THROW(remove_created_keys(nlohmann::json{{{"hive", "0"}, {"path", "x"}}}), nlohmann::json::exception);
}

}  // namespace
}  // namespace corvane
