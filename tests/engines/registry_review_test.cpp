// ctest-resource-lock: run_keys data_folder reports_folder
#include "engines/registry_review.h"

#include "services/documents.h"
#include "services/registry.h"
#include "services/text.h"
#include "support/activity_watch.h"
#include "support/backups_guard.h"
#include "support/scratch.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

namespace corvane {
namespace {

using nlohmann::json;
using testing::ScratchFolder;

const wchar_t kRun[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";

const AuditEntry* find_named(const std::vector<AuditEntry>& entries, const std::wstring& name) {
  const auto found = std::find_if(entries.begin(), entries.end(),
                                  [&](const AuditEntry& entry) { return entry.target.name == name; });
  return found == entries.end() ? nullptr : &*found;
}

class RegistryReviewRemoval : public ::testing::Test {
 protected:
  ~RegistryReviewRemoval() override {
    for (const std::wstring& name : names) RegDeleteKeyValueW(HKEY_CURRENT_USER, kRun, name.c_str());
  }

  // A Run value, removed again at the end.
  std::wstring put_run_value(const wchar_t* suffix, const std::wstring& text) {
    names.push_back(tag + L"-" + suffix);
    set_text(names.back(), text);
    return names.back();
  }
  static void set_text(const std::wstring& name, const std::wstring& text) {
    write_registry_value({kHiveCurrentUser, kRun, name, make_string_value(text)});
  }

  ValueState run_value(const std::wstring& value_name) {
    return read_registry_value({kHiveCurrentUser, kRun, value_name, {}});
  }

  AuditEntry scanned(const std::wstring& value_name) {
    const std::vector<AuditEntry> entries = audit_registry_entries(nullptr);
    const AuditEntry* entry = find_named(entries, value_name);
    if (entry == nullptr) throw std::runtime_error("fixture not found by the scan");
    return *entry;
  }

  testing::BackupsGuard backups;
  testing::ActivityWatch activity;
  ScratchFolder scratch;
  std::vector<std::wstring> names;
  const std::wstring tag = L"CorvaneRemoval" + testing::random_name();
};

TEST_F(RegistryReviewRemoval, DeletesExactlyTheConfirmedValueBehindABackup) {
  const std::wstring gone = scratch.file(L"gone.exe");
  const std::wstring removed = put_run_value(L"removed", gone);
  const std::wstring kept = put_run_value(L"kept", scratch.file(L"other.exe"));
  const AuditEntry entry = scanned(removed);

  std::vector<std::uint64_t> progress_done;
  const Outcome outcome = remove_audit_entry(
      entry, nullptr, [&](std::uint64_t done, std::uint64_t, const std::wstring&) { progress_done.push_back(done); });

  ASSERT_TRUE(outcome.ok) << wide_to_utf8(outcome.message);
  EXPECT_EQ(outcome.affected, 1u);
  EXPECT_EQ(progress_done, std::vector<std::uint64_t>{1});
  EXPECT_EQ(run_value(removed), ValueState{});
  EXPECT_EQ(run_value(kept), make_string_value(scratch.file(L"other.exe")));

  const json document = read_json_file(outcome.record_path);
  EXPECT_EQ(document["label"], "Registry review");
  EXPECT_EQ(document["state"], "applied");
  EXPECT_EQ(document["after"], json::array({json(RegistryValue{kHiveCurrentUser, kRun, removed, {}})}));
  EXPECT_EQ(document["before"],
            json::array({json(RegistryValue{kHiveCurrentUser, kRun, removed, make_string_value(gone)})}));
  std::filesystem::path reg_export(outcome.record_path);
  reg_export.replace_extension(L".reg");
  EXPECT_TRUE(std::filesystem::exists(reg_export));
  EXPECT_EQ(backups.new_files().size(), 2u);
  EXPECT_GE(activity.lines("registry").size(), 1u);  // other programs may log "registry" lines too
}

TEST_F(RegistryReviewRemoval, ChangedVanishedOrStoppedEntriesAreRefusedAndNothingIsWritten) {
  const std::wstring changed = put_run_value(L"changed", scratch.file(L"gone.exe"));
  const std::wstring vanished = put_run_value(L"vanished", scratch.file(L"gone2.exe"));
  const std::wstring stopped = put_run_value(L"stopped", scratch.file(L"gone3.exe"));
  const AuditEntry changed_entry = scanned(changed);
  const AuditEntry vanished_entry = scanned(vanished);
  const AuditEntry stopped_entry = scanned(stopped);
  AuditEntry other_evidence = stopped_entry;
  other_evidence.evidence += L"x";

  set_text(changed, scratch.file(L"elsewhere.exe"));
  RegDeleteKeyValueW(HKEY_CURRENT_USER, kRun, vanished.c_str());

  CancelFlag cancel{1};
  const struct {
    const AuditEntry& entry;
    CancelFlag* cancel;
  } cases[] = {{changed_entry, nullptr}, {vanished_entry, nullptr}, {stopped_entry, &cancel}, {other_evidence, nullptr}};
  for (const auto& c : cases) {
    const Outcome outcome = remove_audit_entry(c.entry, c.cancel, {});
    EXPECT_FALSE(outcome.ok) << wide_to_utf8(c.entry.target.name);
    EXPECT_EQ(outcome.message, L"Entry changed or scan cancelled. Refresh before removing it.");
    EXPECT_TRUE(outcome.record_path.empty());
  }
  EXPECT_EQ(run_value(changed), make_string_value(scratch.file(L"elsewhere.exe")));
  EXPECT_EQ(run_value(stopped), make_string_value(scratch.file(L"gone3.exe")));
  EXPECT_TRUE(backups.new_files().empty());
}

TEST(RegistryReviewReport, ExactBytesWithoutTitles) {
  AuditEntry run;
  run.title_en = L"Run entry targets a missing file";
  run.title_vi = L"M\u1EE5c Run";
  run.target.key = kRun;
  run.target.name = L"Tr\u00ECnh";
  run.evidence = L"C:\\Ch\u01B0\u01A1ng tr\u00ECnh\\app.exe";
  run.repairable = true;
  AuditEntry association;
  association.target.key = L"Software\\Classes\\.abc";
  association.evidence = L"HKCR\\.abc \u2192 Gone.File";

  const std::string expected =
      "[\n  {\n    \"evidence\": \"C:\\\\Ch\xC6\xB0\xC6\xA1ng tr\xC3\xACnh\\\\app.exe\",\n    \"repairable\": true,\n"
      "    \"target\": {\n      \"hive\": 0,\n      \"key\": \"Software\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\Run\",\n"
      "      \"name\": \"Tr\xC3\xACnh\",\n      \"value\": {\n        \"bytes\": [],\n        \"exists\": false,\n"
      "        \"type\": 0\n      }\n    }\n  },\n"
      "  {\n    \"evidence\": \"HKCR\\\\.abc \xE2\x86\x92 Gone.File\",\n    \"repairable\": false,\n"
      "    \"target\": {\n      \"hive\": 0,\n      \"key\": \"Software\\\\Classes\\\\.abc\",\n      \"name\": \"\",\n"
      "      \"value\": {\n        \"bytes\": [],\n        \"exists\": false,\n        \"type\": 0\n      }\n    }\n  }\n]";
  EXPECT_EQ(dump_json_document(audit_report({run, association})), expected);
  EXPECT_EQ(dump_json_document(audit_report({})), "[]");

  const std::wstring path = write_audit_report({run, association});
  const std::filesystem::path written(path);
  EXPECT_EQ(written.parent_path(), std::filesystem::path(reports_folder()));
  const std::wstring file_name = written.filename().wstring();
  EXPECT_TRUE(file_name.size() > 14 && file_name.substr(file_name.size() - 14) == L"-registry.json");
  EXPECT_EQ(testing::read_file_bytes(path), expected);
  const std::wstring empty_path = write_audit_report({});
  EXPECT_EQ(testing::read_file_bytes(empty_path), "[]");
  std::filesystem::remove(path);
  std::filesystem::remove(empty_path);
}

}  // namespace
}  // namespace corvane
