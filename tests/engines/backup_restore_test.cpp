// ctest-resource-lock: data_folder reports_folder
#include "engines/backup_restore.h"

#include "engines/power_plan.h"
#include "services/documents.h"
#include "services/registry.h"
#include "services/registry_transaction.h"
#include "services/text.h"
#include "support/activity_watch.h"
#include "support/backups_guard.h"
#include "support/fake_power.h"
#include "support/scratch.h"
#include "support/wine.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <iterator>
#include <random>
#include <set>
#include <string>
#include <vector>

namespace corvane {
namespace {

using nlohmann::json;
using testing::ActivityWatch;
using testing::BackupsGuard;
using testing::ScratchFolder;
using testing::ScratchKey;

const wchar_t kAdvice[] = L"Use Windows Advanced Security to restore the owner SID recorded in this backup.";
const wchar_t kRefusedState[] = L"This backup has already been restored or was not applied";
const wchar_t kChangedSince[] = L"Registry changed after this backup. Restore cancelled to preserve newer changes.";

// Wine reads the token as elevated and keeps no owner on files, so an elevated restore would
// refuse every document: these tests restore the way a non-elevated Corvane does.
RestoreHandlers unelevated_handlers() {
  RestoreHandlers handlers = system_restore_handlers();
  handlers.elevated = false;
  return handlers;
}

RegistryValue target(const std::wstring& key, const std::wstring& name, ValueState value = {}) {
  RegistryValue result;
  result.key = key;
  result.name = name;
  result.value = std::move(value);
  return result;
}

bool key_exists(const std::wstring& path) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ | KEY_WOW64_64KEY, &key) != ERROR_SUCCESS) {
    return false;
  }
  RegCloseKey(key);
  return true;
}

// Three values under a scratch key: A changes, B is created under two new keys, C is deleted.
class BackupRestore : public ::testing::Test {
 protected:
  void SetUp() override {
    write_registry_value(target(key.path(), L"A", make_dword_value(1)));
    write_registry_value(target(key.path(), L"C", make_string_value(L"old")));
    deep = key.sub(L"New\\Deep");
    changes = {target(key.path(), L"A", make_dword_value(2)), target(deep, L"B", make_string_value(L"new")),
               target(key.path(), L"C")};
  }

  // Applies the changes; returns the backup document's path.
  std::wstring apply(const std::wstring& label = L"Test change") {
    const Outcome outcome = apply_registry_changes(changes, label, backups_folder());
    if (!outcome.ok) throw std::runtime_error("apply failed: " + wide_to_utf8(outcome.message));
    return outcome.record_path;
  }

  ValueState value(const std::wstring& key_path, const std::wstring& name) {
    return read_registry_value(target(key_path, name));
  }

  bool original_state() {
    return value(key.path(), L"A") == make_dword_value(1) && value(key.path(), L"C") == make_string_value(L"old") &&
           value(deep, L"B") == ValueState{} && !key_exists(key.sub(L"New"));
  }

  bool changed_state() {
    return value(key.path(), L"A") == make_dword_value(2) && value(key.path(), L"C") == ValueState{} &&
           value(deep, L"B") == make_string_value(L"new");
  }

  // A document of our own making in the scratch folder.
  std::wstring place(const json& document, const std::wstring& name = L"hand-made.json") {
    const std::wstring path = scratch.file(name);
    testing::write_file_bytes(path, document.dump(2));
    return path;
  }

  ScratchKey key;
  ScratchFolder scratch;
  BackupsGuard backups;
  ActivityWatch activity;
  std::wstring deep;
  std::vector<RegistryValue> changes;
};

TEST_F(BackupRestore, RestoreBringsBackTheOriginalValuesAndMarksTheDocument) {
  const std::wstring path = apply();
  ASSERT_TRUE(changed_state());
  const json applied = read_json_file(path);

  std::vector<std::uint64_t> done;
  const Outcome outcome =
      restore_backup(path, nullptr, [&](std::uint64_t step, std::uint64_t, const std::wstring&) { done.push_back(step); },
                     unelevated_handlers());

  ASSERT_TRUE(outcome.ok) << wide_to_utf8(outcome.message);
  EXPECT_TRUE(outcome.message.empty());
  EXPECT_EQ(outcome.affected, 3u);
  EXPECT_EQ(done, (std::vector<std::uint64_t>{1, 2, 3}));
  EXPECT_TRUE(original_state()) << "values not restored or created keys left behind";

  json expected = applied;
  expected["state"] = "restored";
  EXPECT_EQ(testing::read_file_bytes(path), dump_json_document(expected));

  // The restore is itself an ordinary, restorable change with its own backup.
  ASSERT_FALSE(outcome.record_path.empty());
  EXPECT_NE(outcome.record_path, path);
  const json own = read_json_file(outcome.record_path);
  EXPECT_EQ(own["label"], "Restore: Test change");
  EXPECT_EQ(own["state"], "applied");
  // The change and the restore's own transaction (other programs may log "registry" lines too).
  EXPECT_GE(activity.lines("registry").size(), 2u);
  const auto lines = activity.lines("restore");
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0]["ok"], true);
  EXPECT_EQ(lines[0]["affected"], 3);

  const Outcome again = restore_backup(path, nullptr, {}, unelevated_handlers());
  EXPECT_FALSE(again.ok);
  EXPECT_EQ(again.message, kRefusedState);
  EXPECT_EQ(testing::read_file_bytes(path), dump_json_document(expected));
  EXPECT_EQ(activity.lines("restore").size(), 2u);
}

TEST_F(BackupRestore, OneValueChangedSinceRefusesTheWholeRestore) {
  const std::wstring path = apply();
  write_registry_value(target(key.path(), L"C", make_string_value(L"newer")));
  const std::string bytes = testing::read_file_bytes(path);
  const std::size_t files = backups.new_files().size();

  const Outcome outcome = restore_backup(path, nullptr, {}, unelevated_handlers());
  EXPECT_FALSE(outcome.ok);
  EXPECT_EQ(outcome.message, kChangedSince);
  EXPECT_EQ(value(key.path(), L"A"), make_dword_value(2)) << "a value was written before the refusal";
  EXPECT_EQ(value(deep, L"B"), make_string_value(L"new"));
  EXPECT_EQ(value(key.path(), L"C"), make_string_value(L"newer"));
  EXPECT_EQ(testing::read_file_bytes(path), bytes);
  EXPECT_EQ(backups.new_files().size(), files);
  const auto lines = activity.lines("restore");
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0]["ok"], false);
}

TEST_F(BackupRestore, ValuesPutBackByHandAreSkipped) {
  const std::wstring path = apply(L"");
  write_registry_value(target(key.path(), L"A", make_dword_value(1)));
  const Outcome outcome = restore_backup(path, nullptr, {}, unelevated_handlers());
  ASSERT_TRUE(outcome.ok) << wide_to_utf8(outcome.message);
  EXPECT_EQ(outcome.affected, 2u);
  EXPECT_TRUE(original_state());
  EXPECT_EQ(read_json_file(outcome.record_path)["label"], "Restore: ");
}

TEST_F(BackupRestore, EverythingAlreadyOriginalStillRemovesCreatedKeysAndMarks) {
  const std::wstring path = apply();
  write_registry_value(target(key.path(), L"A", make_dword_value(1)));
  write_registry_value(target(key.path(), L"C", make_string_value(L"old")));
  write_registry_value(target(deep, L"B"));
  const std::size_t files = backups.new_files().size();

  const Outcome outcome = restore_backup(path, nullptr, {}, unelevated_handlers());
  EXPECT_TRUE(outcome.ok);
  EXPECT_EQ(outcome.message, L"Already matches the original values");
  EXPECT_TRUE(outcome.record_path.empty());
  EXPECT_EQ(outcome.affected, 0u);
  EXPECT_TRUE(original_state());
  EXPECT_EQ(read_json_file(path)["state"], "restored");
  EXPECT_EQ(backups.new_files().size(), files);
  EXPECT_EQ(activity.lines("restore").size(), 1u);
}

TEST_F(BackupRestore, PreparedAndRollbackIncompleteDocumentsAreRestorable) {
  for (const char* state : {"prepared", "rollback-incomplete"}) {
    const std::wstring path = apply();
    json document = read_json_file(path);
    document["state"] = state;
    write_json_atomic(path, document);
    const Outcome outcome = restore_backup(path, nullptr, {}, unelevated_handlers());
    EXPECT_TRUE(outcome.ok) << state << ": " << wide_to_utf8(outcome.message);
    EXPECT_TRUE(original_state()) << state;
  }
}

TEST_F(BackupRestore, StopBeforeStartingReadsNothingAndLogsNothing) {
  const std::wstring path = apply();
  CancelFlag cancel{1};
  const Outcome outcome = restore_backup(scratch.file(L"does-not-exist.json"), &cancel, {});
  EXPECT_FALSE(outcome.ok);
  EXPECT_EQ(outcome.message, L"Operation stopped before restoring.");
  EXPECT_EQ(restore_backup(path, &cancel, {}).message, L"Operation stopped before restoring.");
  EXPECT_TRUE(changed_state());
  EXPECT_TRUE(activity.lines("restore").empty());
}

TEST_F(BackupRestore, OwnerAndUnknownKindsOnlyGetAdvice) {
  const json owner = {{"schema", 1}, {"kind", "owner"},          {"label", "Take Ownership"},
                      {"path", "C:\\x"}, {"before", "S-1-5-18"}, {"state", "applied"}};
  for (const json& document : {owner, json{{"schema", 1}, {"kind", "unheard-of"}, {"state", "prepared"}}}) {
    const std::wstring path = place(document);
    const std::string bytes = testing::read_file_bytes(path);
    const Outcome outcome = restore_backup(path, nullptr, {}, unelevated_handlers());
    EXPECT_FALSE(outcome.ok);
    EXPECT_EQ(outcome.message, kAdvice);
    EXPECT_EQ(testing::read_file_bytes(path), bytes);
  }
  EXPECT_TRUE(activity.lines("restore").empty());
}

// Documents refused before anything is read from the registry; each is left as it was and
// each refusal leaves one "restore" line.
TEST_F(BackupRestore, RefusedDocumentsKeepTheirBytesAndLogTheRefusal) {
  const json good = read_json_file(apply());
  const auto with = [&](const std::string& key_name, const json& replacement) {
    json document = good;
    document[key_name] = replacement;
    return document;
  };
  const auto without = [&](const std::string& key_name) {
    json document = good;
    document.erase(key_name);
    return document;
  };
  json short_after = good;
  short_after["after"].erase(short_after["after"].begin());
  json other_target = good;
  other_target["after"][0]["key"] = wide_to_utf8(key.path()) + "\\Other";
  json other_case = good;
  other_case["after"][0]["name"] = "a";
  json bad_hive = good;
  bad_hive["before"][0]["hive"] = 7;
  json bad_created = good;
  bad_created["created_keys"][0]["path"] = 5;

  struct Case {
    json document;
    std::wstring message;  // empty: only non-empty is required (the JSON library's text)
  };
  const std::vector<Case> cases = {
      {with("schema", 2), L"Unsupported backup schema"},
      {with("schema", "1"), L"Unsupported backup schema"},
      {with("state", "restored"), kRefusedState},
      {with("state", "rolled-back"), kRefusedState},
      {with("state", "failed"), kRefusedState},
      {with("state", "Applied"), kRefusedState},
      {without("state"), kRefusedState},
      {with("state", 1), L""},
      {without("schema"), L""},
      {without("kind"), L""},
      {with("kind", json::array()), L""},
      {without("before"), L""},
      {with("after", json::object()), L""},
      {short_after, L"Invalid backup"},
      {other_target, L"Backup targets differ"},
      {other_case, L"Backup targets differ"},
      {bad_hive, L"Invalid registry hive"},
      {with("label", 3), L""},
      {with("created_keys", "none"), L"Invalid backup"},
      {bad_created, L"Invalid backup"},
  };
  for (std::size_t i = 0; i < cases.size(); ++i) {
    SCOPED_TRACE("case " + std::to_string(i));
    const std::wstring path = place(cases[i].document, L"case-" + std::to_wstring(i) + L".json");
    const std::string bytes = testing::read_file_bytes(path);
    const Outcome outcome = restore_backup(path, nullptr, {}, unelevated_handlers());
    EXPECT_FALSE(outcome.ok);
    if (cases[i].message.empty()) {
      EXPECT_FALSE(outcome.message.empty());
    } else {
      EXPECT_EQ(outcome.message, cases[i].message);
    }
    EXPECT_EQ(testing::read_file_bytes(path), bytes);
  }
  EXPECT_TRUE(changed_state());
  EXPECT_EQ(activity.lines("restore").size(), cases.size());

  const Outcome missing = restore_backup(scratch.file(L"missing.json"), nullptr, {}, unelevated_handlers());
  EXPECT_EQ(missing.message, L"Cannot read backup");
  testing::write_file_bytes(scratch.file(L"broken.json"), "{\"schema\": 1, ");
  EXPECT_FALSE(restore_backup(scratch.file(L"broken.json"), nullptr, {}, unelevated_handlers()).message.empty());
}

TEST_F(BackupRestore, SchemaOneWrittenAsAFloatIsAccepted) {
  json document = read_json_file(apply());
  document["schema"] = 1.0;
  const std::wstring path = place(document);
  const Outcome outcome = restore_backup(path, nullptr, {}, unelevated_handlers());
  EXPECT_TRUE(outcome.ok) << wide_to_utf8(outcome.message);
  EXPECT_TRUE(original_state());
}

class PowerAndStartupRestore : public ::testing::Test {
 protected:
  ScratchFolder scratch;
  BackupsGuard backups;
  ActivityWatch activity;
  testing::FakePower fake;

  RestoreHandlers fake_handlers() {
    RestoreHandlers handlers = unelevated_handlers();
    handlers.power = [this](const json& document) { return restore_power_backup(document, fake.functions()); };
    return handlers;
  }
};

TEST_F(PowerAndStartupRestore, PowerDocumentsGoToThePowerEngine) {
  const GUID previous = fake.state().active;
  const Outcome applied = enable_ultimate_performance(fake.functions());
  ASSERT_TRUE(applied.ok);

  const Outcome outcome = restore_backup(applied.record_path, nullptr, {}, fake_handlers());
  ASSERT_TRUE(outcome.ok) << wide_to_utf8(outcome.message);
  EXPECT_EQ(outcome.affected, 1u);
  EXPECT_TRUE(IsEqualGUID(fake.state().active, previous));
  EXPECT_EQ(fake.state().schemes.size(), 2u) << "our duplicate was not deleted";
  EXPECT_EQ(read_json_file(applied.record_path)["state"], "restored");
  ASSERT_EQ(activity.lines("restore").size(), 1u);

  const Outcome again = restore_backup(applied.record_path, nullptr, {}, fake_handlers());
  EXPECT_EQ(again.message, kRefusedState);
}

TEST_F(PowerAndStartupRestore, APowerRefusalLeavesTheDocumentApplied) {
  const Outcome applied = enable_ultimate_performance(fake.functions());
  ASSERT_TRUE(applied.ok);
  fake.state().active = kUltimatePerformanceTemplate;
  const int sets = fake.state().set_calls;
  const std::string bytes = testing::read_file_bytes(applied.record_path);

  const Outcome outcome = restore_backup(applied.record_path, nullptr, {}, fake_handlers());
  EXPECT_FALSE(outcome.ok);
  EXPECT_EQ(outcome.message, L"Power plan changed after this backup; restore cancelled.");
  EXPECT_EQ(fake.state().set_calls, sets);
  EXPECT_EQ(fake.state().delete_calls, 0);
  EXPECT_EQ(fake.state().schemes.size(), 3u);
  EXPECT_EQ(testing::read_file_bytes(applied.record_path), bytes);
  const auto lines = activity.lines("restore");
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0]["ok"], false);
}

// With the system's own handlers: under Wine the active scheme cannot be read; on Windows the
// random "after" scheme is not the active one. Either way nothing changes.
TEST_F(PowerAndStartupRestore, SystemPowerRestoreReportsAndChangesNothing) {
  const json document = {{"schema", 1},
                         {"kind", "power"},
                         {"label", "Ultimate Performance"},
                         {"before", guid_to_string(testing::random_guid())},
                         {"after", guid_to_string(testing::random_guid())},
                         {"state", "applied"}};
  const std::wstring path = scratch.file(L"power.json");
  write_json_atomic(path, document);
  const std::string bytes = testing::read_file_bytes(path);
  const Outcome outcome = restore_backup(path, nullptr, {}, unelevated_handlers());
  EXPECT_FALSE(outcome.ok);
  if (testing::running_under_wine()) {
    EXPECT_EQ(outcome.message, windows_error_text(ERROR_CALL_NOT_IMPLEMENTED));
  } else {
    EXPECT_EQ(outcome.message, L"Power plan changed after this backup; restore cancelled.");
  }
  EXPECT_EQ(testing::read_file_bytes(path), bytes);
  EXPECT_EQ(activity.lines("restore").size(), 1u);
}

TEST_F(PowerAndStartupRestore, StartupJournalsGoToTheStartupEngine) {
  json journal = {{"schema", 1}, {"kind", "startup"}, {"label", "Startup"}, {"state", "applied"},
                  {"source", "folder"}, {"before", "C:\\outside.lnk"}, {"after", "C:\\elsewhere.lnk"}};
  const std::wstring path = scratch.file(L"journal.json");
  write_json_atomic(path, journal);

  // Through a stand-in: success marks the journal restored.
  RestoreHandlers handlers = fake_handlers();
  int calls = 0;
  handlers.startup = [&](const json& document) {
    ++calls;
    EXPECT_EQ(document, journal);
    Outcome outcome;
    outcome.affected = 1;
    return outcome;
  };
  EXPECT_TRUE(restore_backup(path, nullptr, {}, handlers).ok);
  EXPECT_EQ(calls, 1);
  EXPECT_EQ(read_json_file(path)["state"], "restored");

  // The real engine refuses paths outside the startup folders; the journal stays as it was.
  write_json_atomic(path, journal);
  const std::string bytes = testing::read_file_bytes(path);
  const Outcome outcome = restore_backup(path, nullptr, {}, unelevated_handlers());
  EXPECT_FALSE(outcome.ok);
  EXPECT_EQ(outcome.message, L"Startup journal path is outside the startup folders");
  EXPECT_EQ(testing::read_file_bytes(path), bytes);
  EXPECT_EQ(activity.lines("restore").size(), 2u);
}

// Damaged copies of real documents: truncated, with bytes that are not UTF-8, with a node
// replaced by one of another JSON type, with a key or an array element dropped, with one
// character overwritten. A restore must refuse each with a text and change nothing, or,
// where the damage left a usable document, restore exactly what it says.
class DamagedDocuments {
 public:
  explicit DamagedDocuments(const json& document, std::uint32_t seed)
      : text_(document.dump(2)), document_(document), random_(seed) {
    collect(document_, json::json_pointer());
  }

  std::string next() {
    switch (pick(5)) {
      case 0:
        return text_.substr(0, pick(text_.size()));
      case 1: {
        std::string damaged = text_;
        damaged.insert(pick(damaged.size() + 1), 1, static_cast<char>(0x80 + pick(0x80)));
        return damaged;
      }
      case 2: {
        json damaged = document_;
        const json::json_pointer& at = nodes_[pick(nodes_.size())];
        damaged[at] = other_type(damaged[at]);
        return damaged.dump(2);
      }
      case 3: {
        json damaged = document_;
        const json::json_pointer& at = containers_[pick(containers_.size())];
        json& container = damaged[at];
        if (container.empty()) return damaged.dump(2);
        if (container.is_object()) {
          auto it = container.begin();
          std::advance(it, static_cast<long>(pick(container.size())));
          container.erase(it.key());
        } else {
          container.erase(pick(container.size()));
        }
        return damaged.dump(2);
      }
      default: {
        std::string damaged = text_;
        damaged[pick(damaged.size())] = "{}[]\",:0 tn"[pick(12)];
        return damaged;
      }
    }
  }

 private:
  std::size_t pick(std::size_t count) { return std::uniform_int_distribution<std::size_t>(0, count - 1)(random_); }

  void collect(const json& node, const json::json_pointer& at) {
    nodes_.push_back(at);
    if (node.is_object()) {
      containers_.push_back(at);
      for (const auto& item : node.items()) collect(item.value(), at / item.key());
    } else if (node.is_array()) {
      containers_.push_back(at);
      for (std::size_t i = 0; i < node.size(); ++i) collect(node[i], at / i);
    }
  }

  static int kind(const json& node) {
    if (node.is_number()) return 2;
    return static_cast<int>(node.type()) + 10;
  }

  json other_type(const json& node) {
    const json choices[] = {nullptr, true, 7, -1, 2.5, "text", json::array(), json::object(), json::array({1}),
                            json{{"x", 1}}};
    for (;;) {
      const json& candidate = choices[pick(std::size(choices))];
      if (kind(candidate) != kind(node)) return candidate;
    }
  }

  std::string text_;
  json document_;
  std::mt19937 random_;
  std::vector<json::json_pointer> nodes_;
  std::vector<json::json_pointer> containers_;
};

TEST_F(BackupRestore, DamagedRegistryDocumentsChangeNothingUnlessStillUsable) {
  const json original = read_json_file(apply());
  const std::wstring path = scratch.file(L"damaged.json");
  const std::uint32_t seed = 20261206;
  DamagedDocuments damaged(original, seed);
  int refused = 0;
  int restored = 0;
  for (int round = 0; round < 300; ++round) {
    SCOPED_TRACE("seed " + std::to_string(seed) + " round " + std::to_string(round));
    const std::string text = damaged.next();
    testing::write_file_bytes(path, text);
    const std::vector<std::wstring> files = backups.new_files();

    const Outcome outcome = restore_backup(path, nullptr, {}, unelevated_handlers());
    if (!outcome.ok) {
      ++refused;
      EXPECT_FALSE(outcome.message.empty());
      EXPECT_TRUE(changed_state()) << text;
      EXPECT_EQ(testing::read_file_bytes(path), text);
      EXPECT_EQ(backups.new_files(), files);
      continue;
    }
    // The damage left a usable document (a label, a created key, some bytes of an old value):
    // the registry now holds exactly the values it names as "before".
    ++restored;
    const json used = json::parse(text);
    for (const json& entry : used.at("before")) {
      const RegistryValue before = entry.get<RegistryValue>();
      EXPECT_EQ(read_registry_value(before), before.value) << text;
    }
    EXPECT_EQ(read_json_file(path)["state"], "restored");
    for (const std::wstring& file : backups.new_files()) {
      if (std::find(files.begin(), files.end(), file) == files.end()) std::filesystem::remove(file);
    }
    for (const RegistryValue& change : changes) write_registry_value(change);
  }
  EXPECT_GT(refused, 250) << "too few damaged documents were refused: " << refused << " refused, " << restored
                          << " restored";
}

TEST_F(PowerAndStartupRestore, DamagedPowerDocumentsChangeNothingUnlessStillUsable) {
  const Outcome applied = enable_ultimate_performance(fake.functions());
  ASSERT_TRUE(applied.ok);
  const json original = read_json_file(applied.record_path);
  const testing::FakePowerState saved = fake.state();
  const std::wstring path = scratch.file(L"damaged-power.json");
  const std::uint32_t seed = 61206;
  DamagedDocuments damaged(original, seed);
  int refused = 0;
  for (int round = 0; round < 200; ++round) {
    SCOPED_TRACE("seed " + std::to_string(seed) + " round " + std::to_string(round));
    const std::string text = damaged.next();
    testing::write_file_bytes(path, text);
    const Outcome outcome = restore_backup(path, nullptr, {}, fake_handlers());
    if (!outcome.ok) {
      ++refused;
      EXPECT_FALSE(outcome.message.empty());
      EXPECT_TRUE(IsEqualGUID(fake.state().active, saved.active)) << text;
      EXPECT_EQ(fake.state().schemes.size(), saved.schemes.size()) << text;
      EXPECT_EQ(testing::read_file_bytes(path), text);
      continue;
    }
    EXPECT_EQ(read_json_file(path)["state"], "restored");
    fake.state().active = saved.active;
    fake.state().schemes = saved.schemes;
  }
  EXPECT_GT(refused, 150) << refused << " of 200";
}

TEST_F(BackupRestore, TheLabelIsReadOnlyWhenValuesAreWrittenBack) {
  const std::wstring path = apply();
  json document = read_json_file(path);
  document["label"] = 5;
  write_json_atomic(path, document);
  const std::string bytes = testing::read_file_bytes(path);

  // Something to write back: the label is needed, and its wrong type stops the restore.
  const Outcome refused = restore_backup(path, nullptr, {}, unelevated_handlers());
  EXPECT_FALSE(refused.ok);
  EXPECT_EQ(refused.message, L"[json.exception.type_error.302] type must be string, but is number");
  EXPECT_TRUE(changed_state());
  EXPECT_EQ(testing::read_file_bytes(path), bytes);

  // Everything put back by hand: nothing to write, so no label is read.
  for (const RegistryValue& original : {target(key.path(), L"A", make_dword_value(1)), target(deep, L"B"),
                                        target(key.path(), L"C", make_string_value(L"old"))}) {
    write_registry_value(original);
  }
  const Outcome matched = restore_backup(path, nullptr, {}, unelevated_handlers());
  ASSERT_TRUE(matched.ok) << wide_to_utf8(matched.message);
  EXPECT_EQ(matched.message, L"Already matches the original values");
  EXPECT_TRUE(original_state()) << "created keys left behind";
  EXPECT_EQ(read_json_file(path)["state"], "restored");
}

// Wine keeps no owner on files: every document here reads as the user's own.
TEST(ElevatedRestore, ADocumentTheUserCouldChangeIsRefusedAndNothingChanges) {
  const testing::ScratchKey key;
  const testing::ScratchFolder scratch;
  const testing::BackupsGuard backups;
  const RegistryValue value{0, key.path(), L"v", make_dword_value(1)};
  write_registry_value(value);
  const Outcome applied = apply_registry_changes({{0, key.path(), L"v", make_dword_value(2)}}, L"t", scratch.path());
  ASSERT_TRUE(applied.ok);
  const std::string bytes = testing::read_file_bytes(applied.record_path);

  RestoreHandlers handlers = system_restore_handlers();
  handlers.elevated = true;
  EXPECT_EQ(restore_backup(applied.record_path, nullptr, {}, handlers).message, kUnprotectedBackupMessage);
  EXPECT_EQ(read_registry_value(value), make_dword_value(2));
  EXPECT_EQ(testing::read_file_bytes(applied.record_path), bytes);
  handlers.elevated = false;
  EXPECT_TRUE(restore_backup(applied.record_path, nullptr, {}, handlers).ok);
  EXPECT_EQ(read_registry_value(value), make_dword_value(1));
}

}  // namespace
}  // namespace corvane
