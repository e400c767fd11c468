#include "services/registry_transaction.h"

#include "services/documents.h"
#include "services/handles.h"
#include "services/reg_file.h"
#include "services/registry.h"
#include "services/text.h"
#include "support/scratch.h"

#include <windows.h>
#include <sddl.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <stdexcept>
#include <tuple>

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
  collect_tree(scratch.path(), tree);
  return tree;
}

std::vector<std::wstring> files_in(const std::wstring& folder) {
  std::vector<std::wstring> names;
  std::error_code error;
  for (const auto& entry : fs::directory_iterator(folder, error)) names.push_back(entry.path().filename().wstring());
  std::sort(names.begin(), names.end());
  return names;
}

void raw_set_dword(const std::wstring& path, const std::wstring& name, DWORD number) {
  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_SET_VALUE | KEY_WOW64_64KEY, nullptr,
                            &key, nullptr),
            ERROR_SUCCESS);
  RegSetValueExW(key, name.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number), sizeof number);
  RegCloseKey(key);
}

ValueState read(const std::wstring& path, const std::wstring& name) { return read_registry_value({0, path, name, {}}); }

// Sets an access list given in SDDL on a key; the destructor opens the key up again.
class KeyAccess {
 public:
  KeyAccess(const std::wstring& path, const wchar_t* sddl) {
    HKEY raw = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, WRITE_DAC | KEY_WOW64_64KEY, &raw) != ERROR_SUCCESS) return;
    key_.reset(raw);
    set(sddl);
  }
  ~KeyAccess() {
    if (key_) set(L"D:(A;;KA;;;WD)");
  }
  KeyAccess(const KeyAccess&) = delete;
  KeyAccess& operator=(const KeyAccess&) = delete;
  bool applied() const { return applied_; }

 private:
  void set(const wchar_t* sddl) {
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl, SDDL_REVISION_1, &descriptor, nullptr)) return;
    applied_ = RegSetKeySecurity(key_.get(), DACL_SECURITY_INFORMATION, descriptor) == ERROR_SUCCESS;
    LocalFree(descriptor);
  }
  UniqueRegKey key_;
  bool applied_ = false;
};

struct ProgressCall {
  std::uint64_t done;
  std::uint64_t total;
  std::wstring item;
  bool operator==(const ProgressCall&) const = default;
};

TEST(RegistryTransaction, RefusesAnEmptyListAndAnEarlyStopWithoutWritingAnything) {
  ScratchFolder scratch;
  const std::wstring folder = scratch.file(L"Backups");
  Outcome outcome = apply_registry_changes({}, L"label", folder);
  EXPECT_FALSE(outcome.ok);
  EXPECT_EQ(outcome.message, L"No changes selected");

  ScratchKey key;
  CancelFlag cancel{1};
  outcome = apply_registry_changes({{0, key.path(), L"v", make_dword_value(1)}}, L"label", folder, &cancel);
  EXPECT_FALSE(outcome.ok);
  EXPECT_EQ(outcome.message, L"Operation stopped before any changes.");
  EXPECT_TRUE(outcome.record_path.empty());
  EXPECT_FALSE(fs::exists(folder));
  EXPECT_TRUE(tree_of(key).empty());
}

TEST(RegistryTransaction, AppliesWithDocumentExportCreatedKeysAndProgress) {
  ScratchKey key;
  ScratchFolder scratch;
  const std::wstring folder = scratch.file(L"Backups");
  raw_set_dword(key.path(), L"existing", 7);
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
  const std::wstring stem = names[0].substr(0, names[0].size() - std::wstring(L"-registry.json").size());
  EXPECT_EQ(names[0], stem + L"-registry.json");
  EXPECT_EQ(names[1], stem + L"-registry.reg");
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
      {"created_keys",
       {{{"hive", 0}, {"path", wide_to_utf8(key.sub(L"New"))}}, {{"hive", 0}, {"path", wide_to_utf8(key.sub(L"New\\Deeper"))}}}},
      {"kind", "registry"},
      {"label", "Apply \xe1\xba\xa0"},
      {"schema", 1},
      {"state", "applied"},
  };
  EXPECT_EQ(document, expected);

  const std::wstring reg_text = reg_file_text(before);
  std::string reg_bytes = "\xff\xfe";
  for (wchar_t unit : reg_text) {
    reg_bytes.push_back(static_cast<char>(unit & 0xFF));
    reg_bytes.push_back(static_cast<char>((unit >> 8) & 0xFF));
  }
  EXPECT_EQ(read_file_bytes(folder + L"\\" + names[1]), reg_bytes);
  EXPECT_NE(reg_text.find(L"\"never-there\"=-"), std::wstring::npos);
}

TEST(RegistryTransaction, DuplicateTargetsAreRefusedBeforeAnything) {
  ScratchKey key;
  ScratchFolder scratch;
  raw_set_dword(key.sub(L"X"), L"v", 1);
  const KeyTree prior = tree_of(key);
  const std::wstring upper = key.sub(L"X");
  std::wstring lower = upper;
  for (wchar_t& c : lower) c = static_cast<wchar_t>(towlower(c));
  for (const auto& changes : {std::vector<RegistryValue>{{0, upper, L"Name", make_dword_value(2)},
                                                         {0, lower, L"name", make_dword_value(3)}},
                              std::vector<RegistryValue>{{0, upper, L"", make_dword_value(2)},
                                                         {0, upper, L"", make_dword_value(2)}}}) {
    const Outcome outcome = apply_registry_changes(changes, L"dup", scratch.path());
    EXPECT_FALSE(outcome.ok);
    EXPECT_EQ(outcome.message, L"Duplicate registry target");
    EXPECT_TRUE(outcome.record_path.empty());
  }
  EXPECT_TRUE(files_in(scratch.path()).empty());
  EXPECT_EQ(tree_of(key), prior);

  // The same name under another key, or in another hive, is a different target.
  const Outcome fine = apply_registry_changes(
      {{0, key.sub(L"X"), L"v", make_dword_value(2)}, {0, key.sub(L"Y"), L"v", make_dword_value(2)}}, L"two",
      scratch.path());
  EXPECT_TRUE(fine.ok) << wide_to_utf8(fine.message);
}

TEST(RegistryTransaction, ValueChangedByAnotherProgramMidBatch) {
  ScratchKey key;
  ScratchFolder scratch;
  for (const wchar_t* name : {L"a", L"b", L"c"}) raw_set_dword(key.path(), name, 1);
  const std::vector<RegistryValue> changes = {{0, key.path(), L"a", make_dword_value(2)},
                                              {0, key.path(), L"b", make_dword_value(2)},
                                              {0, key.path(), L"c", make_dword_value(2)}};
  const Outcome outcome = apply_registry_changes(changes, L"mid", scratch.path(), nullptr,
                                                 [&](std::uint64_t done, std::uint64_t, const std::wstring&) {
                                                   if (done == 1) raw_set_dword(key.path(), L"b", 99);
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
    raw_set_dword(key.path(), L"kept", 5);
    raw_set_dword(key.path(), L"deleted", 6);
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

TEST(RegistryTransaction, FailedVerificationIsRolledBack) {
  ScratchKey key;
  ScratchFolder scratch;
  raw_set_dword(key.path(), L"v", 3);
  // A deletion must be given as the absent form; this one carries a type.
  const Outcome outcome =
      apply_registry_changes({{0, key.path(), L"v", ValueState{false, REG_DWORD, {}}}}, L"bad", scratch.path());
  EXPECT_EQ(outcome.message, L"Registry verification failed");
  EXPECT_EQ(read(key.path(), L"v"), make_dword_value(3));
  const nlohmann::json document = read_json_file(outcome.record_path);
  EXPECT_EQ(document.at("state"), "rolled-back");
  EXPECT_EQ(document.at("attempted"), 1);
}

TEST(RegistryTransaction, FailingRestoreGivesRollbackIncomplete) {
  ScratchKey key;
  ScratchFolder scratch;
  const std::wstring inner = key.sub(L"Parent\\Inner");
  raw_set_dword(inner, L"v", 1);
  raw_set_dword(key.path(), L"w", 1);
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

TEST(RegistryTransaction, FailureTextThatIsNotUtf8StillRollsBack) {
  ScratchKey key;
  ScratchFolder scratch;
  raw_set_dword(key.path(), L"v", 1);
  const Outcome outcome = apply_registry_changes({{0, key.path(), L"v", make_dword_value(2)}}, L"lenient",
                                                 scratch.path(), nullptr,
                                                 [](std::uint64_t, std::uint64_t, const std::wstring&) {
                                                   throw std::runtime_error("bad \xff text");
                                                 });
  EXPECT_FALSE(outcome.ok);
  EXPECT_EQ(outcome.message, L"bad \xFFFD text");
  EXPECT_EQ(read(key.path(), L"v"), make_dword_value(1));
  EXPECT_EQ(read_json_file(outcome.record_path).at("state"), "rolled-back");
}

TEST(RegistryTransaction, UnwritableBackupFolderChangesNothingAndNamesNoFile) {
  ScratchKey key;
  ScratchFolder scratch;
  testing::write_file_bytes(scratch.file(L"not-a-folder"), "x");
  const Outcome outcome = apply_registry_changes({{0, key.sub(L"K"), L"v", make_dword_value(2)}}, L"nofolder",
                                                 scratch.file(L"not-a-folder"));
  EXPECT_FALSE(outcome.ok);
  EXPECT_FALSE(outcome.message.empty());
  EXPECT_TRUE(outcome.record_path.empty());
  EXPECT_TRUE(tree_of(key).empty());
}

TEST(RegistryTransaction, FailedFinalWriteRollsEverythingBack) {
  ScratchKey key;
  ScratchFolder scratch;
  raw_set_dword(key.path(), L"v", 1);
  UniqueHandle holder;
  const Outcome outcome = apply_registry_changes(
      {{0, key.path(), L"v", make_dword_value(2)}, {0, key.sub(L"New"), L"w", make_dword_value(2)}}, L"final",
      scratch.path(), nullptr, [&](std::uint64_t done, std::uint64_t total, const std::wstring&) {
        if (done != total) return;
        // Hold the prepared document so that it cannot be replaced.
        const std::vector<std::wstring> names = files_in(scratch.path());
        for (const std::wstring& name : names) {
          if (name.ends_with(L".json")) {
            holder.reset(CreateFileW(scratch.file(name).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                     OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
          }
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
  raw_set_dword(locked, L"v", 1);
  // Listing subkeys denied, everything else allowed: the value can be read, the key not opened KEY_READ.
  KeyAccess access(locked, L"D:(D;;0x0008;;;WD)(A;;KA;;;WD)");
  ASSERT_TRUE(access.applied());
  HKEY probe = nullptr;
  const LSTATUS status = RegOpenKeyExW(HKEY_CURRENT_USER, locked.c_str(), 0, KEY_READ | KEY_WOW64_64KEY, &probe);
  if (probe != nullptr) RegCloseKey(probe);
  if (status == ERROR_SUCCESS) GTEST_SKIP() << "this registry does not enforce key access lists";

  const Outcome outcome = apply_registry_changes(
      {{0, key.path(), L"first", make_dword_value(1)}, {0, locked, L"v", make_dword_value(2)}}, L"locked",
      scratch.path());
  EXPECT_FALSE(outcome.ok);
  EXPECT_EQ(outcome.message, windows_error_text(static_cast<std::uint32_t>(status)));
  EXPECT_TRUE(outcome.record_path.empty());
  EXPECT_TRUE(files_in(scratch.path()).empty());
  EXPECT_EQ(read(key.path(), L"first"), ValueState{});
}

TEST(RegistryTransaction, AccessDeniedWriteEndsRolledBackWithNothingChanged) {
  ScratchKey key;
  ScratchFolder scratch;
  raw_set_dword(key.path(), L"first", 1);
  raw_set_dword(key.sub(L"Guarded"), L"v", 1);
  const KeyTree prior = tree_of(key);
  // Reading allowed, setting values denied: what a user without administrator rights meets
  // under a machine-wide key.
  KeyAccess access(key.sub(L"Guarded"), L"D:(D;;0x0002;;;WD)(A;;KA;;;WD)");
  ASSERT_TRUE(access.applied());
  HKEY probe = nullptr;
  const LSTATUS status =
      RegOpenKeyExW(HKEY_CURRENT_USER, key.sub(L"Guarded").c_str(), 0, KEY_SET_VALUE | KEY_WOW64_64KEY, &probe);
  if (probe != nullptr) RegCloseKey(probe);
  if (status == ERROR_SUCCESS) GTEST_SKIP() << "this registry does not enforce key access lists";

  const Outcome outcome = apply_registry_changes(
      {{0, key.path(), L"first", make_dword_value(2)}, {0, key.sub(L"Guarded"), L"v", make_dword_value(2)}}, L"denied",
      scratch.path());
  EXPECT_FALSE(outcome.ok);
  EXPECT_EQ(outcome.message, windows_error_text(static_cast<std::uint32_t>(status)));
  EXPECT_EQ(tree_of(key), prior);
  const nlohmann::json document = read_json_file(outcome.record_path);
  EXPECT_EQ(document.at("state"), "rolled-back");
  EXPECT_EQ(document.at("attempted"), 2);
}

TEST(RegistryTransaction, ExportThatCannotBeWrittenChangesNothing) {
  ScratchKey key;
  ScratchFolder scratch;
  // A key name with "]" is valid in the registry but has no .reg form.
  const Outcome outcome = apply_registry_changes(
      {{0, key.path(), L"a", make_dword_value(1)}, {0, key.sub(L"odd]name"), L"v", make_dword_value(1)}}, L"export",
      scratch.path());
  EXPECT_FALSE(outcome.ok);
  EXPECT_EQ(outcome.message, L"Invalid registry key");
  EXPECT_TRUE(tree_of(key).empty());
  const nlohmann::json document = read_json_file(outcome.record_path);
  EXPECT_EQ(document.at("state"), "rolled-back");
  EXPECT_EQ(document.at("attempted"), 0);
}

TEST(CreatedKeys, CollectsMissingAncestorsBeforeDescendantsOnce) {
  ScratchKey key;
  raw_set_dword(key.sub(L"A"), L"v", 1);
  const nlohmann::json created = collect_created_keys({
      {0, key.sub(L"A\\B\\C"), L"x", make_dword_value(1)},
      {0, key.sub(L"A\\B\\D"), L"x", ValueState{}},
      {0, key.sub(L"a\\b"), L"x", make_dword_value(1)},
  });
  auto entry = [](const std::wstring& path) { return nlohmann::json{{"hive", 0}, {"path", wide_to_utf8(path)}}; };
  EXPECT_EQ(created, (nlohmann::json{entry(key.sub(L"A\\B")), entry(key.sub(L"A\\B\\C")), entry(key.sub(L"A\\B\\D")),
                                     entry(key.sub(L"a\\b"))}));
}

TEST(CreatedKeys, RemovesEmptyKeysDeepestFirstAndKeepsOthersContent) {
  ScratchKey key;
  raw_set_dword(key.sub(L"A\\Full"), L"v", 1);
  HKEY made = nullptr;
  ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, key.sub(L"A\\B\\C").c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &made,
                            nullptr),
            ERROR_SUCCESS);
  RegCloseKey(made);
  auto entry = [](const std::wstring& path) { return nlohmann::json{{"hive", 0}, {"path", wide_to_utf8(path)}}; };
  remove_created_keys(nlohmann::json{entry(key.sub(L"A")), entry(key.sub(L"A\\B")), entry(key.sub(L"A\\B\\C")),
                                     entry(key.sub(L"A\\Full")), entry(key.sub(L"Never"))});
  const KeyTree tree = tree_of(key);
  EXPECT_EQ(tree.count(key.sub(L"A\\B")), 0u);
  EXPECT_EQ(tree.count(key.sub(L"A\\Full")), 1u);
  EXPECT_EQ(tree.count(key.sub(L"A")), 1u);

  // The first bad element ends the call: nothing before it in the list is processed.
  ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, key.sub(L"Empty").c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &made,
                            nullptr),
            ERROR_SUCCESS);
  RegCloseKey(made);
  EXPECT_THROW(remove_created_keys(nlohmann::json{entry(key.sub(L"Empty")), {{"path", "x"}}}), nlohmann::json::exception);
  EXPECT_EQ(tree_of(key).count(key.sub(L"Empty")), 1u);
  EXPECT_THROW(remove_created_keys(nlohmann::json{{{"hive", "0"}, {"path", "x"}}}), nlohmann::json::exception);
}

}  // namespace
}  // namespace corvane
