// ctest-resource-lock: edition
#include "engines/feature_resolution.h"

#include "services/registry.h"
#include "services/text.h"

#include <gtest/gtest.h>

#include <windows.h>
#include <shellapi.h>

#include <stdexcept>
#include <string>
#include <vector>

namespace corvane {
namespace {

const Feature& find(const std::string& id) {
  for (const Feature& f : feature_catalogue())
    if (f.id == id) return f;
  throw std::runtime_error("no catalogue entry " + id);
}

std::wstring this_executable() {
  wchar_t buffer[32768] = {};
  const DWORD length = GetModuleFileNameW(nullptr, buffer, 32768);
  return std::wstring(buffer, length);
}

std::wstring this_windows_folder() {
  wchar_t buffer[MAX_PATH] = {};
  GetWindowsDirectoryW(buffer, MAX_PATH);
  return buffer;
}

ValueState raw_string(const std::wstring& units) {  // units taken as they are, NULs included
  ValueState state{true, REG_SZ, {}};
  for (wchar_t unit : units) {
    state.bytes.push_back(static_cast<std::uint8_t>(unit & 0xFF));
    state.bytes.push_back(static_cast<std::uint8_t>((unit >> 8) & 0xFF));
  }
  return state;
}

std::vector<std::wstring> split_command_line(const std::wstring& command) {
  int count = 0;
  LPWSTR* argv = CommandLineToArgvW(command.c_str(), &count);
  std::vector<std::wstring> args(argv, argv + count);
  LocalFree(argv);
  return args;
}

TEST(FeatureResolution, EntriesWithoutPlaceholdersComeBackUnchanged) {
  for (const Feature& f : feature_catalogue()) {
    if (f.id == "shortcut-arrow" || f.id == "notepad" || f.id == "ownership" || f.id == "telemetry") continue;
    const auto resolved = resolve_feature_changes(f);
    ASSERT_EQ(resolved.size(), f.changes.size()) << f.id;
    for (std::size_t i = 0; i < resolved.size(); ++i) {
      EXPECT_EQ(resolved[i].hive, f.changes[i].hive) << f.id;
      EXPECT_EQ(resolved[i].key, f.changes[i].key) << f.id;
      EXPECT_EQ(resolved[i].name, f.changes[i].name) << f.id;
      EXPECT_EQ(resolved[i].value, f.changes[i].value) << f.id;
    }
  }
}

TEST(FeatureResolution, NoPlaceholderSurvivesInAnyEntry) {
  int replaced = 0;
  for (const Feature& f : feature_catalogue()) {
    const auto resolved = resolve_feature_changes(f);
    for (std::size_t i = 0; i < resolved.size(); ++i) {
      const std::wstring text = describe_value(resolved[i].value);
      EXPECT_FALSE(text.size() > 1 && text.front() == L'@' && text.back() == L'@')
          << f.id << " keeps " << wide_to_utf8(text);
      if (i < f.changes.size() && resolved[i].value != f.changes[i].value && f.id != "telemetry") ++replaced;
    }
  }
  EXPECT_EQ(replaced, 4);  // the blank icon, the Notepad command, the two ownership commands
}

TEST(FeatureResolution, BlankIconNamesThisExecutable) {
  const Feature& arrow = find("shortcut-arrow");
  const auto resolved = resolve_feature_changes(arrow);
  ASSERT_EQ(resolved.size(), 1u);
  EXPECT_EQ(resolved[0].hive, kHiveLocalMachine);
  EXPECT_EQ(resolved[0].key, L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Icons");
  EXPECT_EQ(resolved[0].name, L"29");
  EXPECT_EQ(resolved[0].value, make_string_value(L"\"" + this_executable() + L"\",-102"));
}

TEST(FeatureResolution, NotepadVerbAndItsLabel) {
  const auto resolved = resolve_feature_changes(find("notepad"));
  ASSERT_EQ(resolved.size(), 2u);
  std::wstring windows = this_windows_folder();
  if (windows.back() != L'\\') windows += L'\\';
  EXPECT_EQ(resolved[0].key, L"Software\\Classes\\*\\shell\\Corvane.Notepad\\command");
  EXPECT_EQ(resolved[0].name, L"");
  EXPECT_EQ(resolved[0].value, make_string_value(L"\"" + windows + L"System32/notepad.exe\" \"%1\""));
  EXPECT_EQ(resolved[1].hive, kHiveCurrentUser);
  EXPECT_EQ(resolved[1].key, L"Software\\Classes\\*\\shell\\Corvane.Notepad");
  EXPECT_EQ(resolved[1].name, L"");
  EXPECT_EQ(resolved[1].value, make_string_value(L"Open with Notepad"));
}

TEST(FeatureResolution, OwnershipVerbsForFilesAndFolders) {
  const auto resolved = resolve_feature_changes(find("ownership"));
  ASSERT_EQ(resolved.size(), 4u);
  const ValueState command = make_string_value(L"\"" + this_executable() + L"\" --take-ownership \"%1\"");
  const ValueState label = make_string_value(L"Take Ownership (Corvane)");
  const std::vector<std::wstring> keys{L"Software\\Classes\\*\\shell\\Corvane.TakeOwnership\\command",
                                       L"Software\\Classes\\Directory\\shell\\Corvane.TakeOwnership\\command",
                                       L"Software\\Classes\\*\\shell\\Corvane.TakeOwnership",
                                       L"Software\\Classes\\Directory\\shell\\Corvane.TakeOwnership"};
  for (std::size_t i = 0; i < 4; ++i) {
    EXPECT_EQ(resolved[i].hive, kHiveCurrentUser);
    EXPECT_EQ(resolved[i].key, keys[i]);
    EXPECT_TRUE(resolved[i].name.empty());
    EXPECT_EQ(resolved[i].value, i < 2 ? command : label) << i;
  }

  // The shell substitutes %1 with the item's path; the quoting keeps paths with blanks whole.
  std::wstring text = describe_value(resolved[0].value);
  text.replace(text.find(L"%1"), 2, L"C:\\My Files\\a b.txt");
  EXPECT_EQ(split_command_line(text),
            (std::vector<std::wstring>{this_executable(), L"--take-ownership", L"C:\\My Files\\a b.txt"}));
}

TEST(FeatureResolution, PlaceholderMatchesOnlyTheWholeTextBeforeTheFirstNul) {
  Feature f;
  f.id = "custom";
  f.changes = {
      {0, L"K", L"after-nul", raw_string(std::wstring(L"@OWNERSHIP_COMMAND@") + L'\0' + L"rest" + L'\0')},
      {0, L"K", L"inside", make_string_value(L"x@OWNERSHIP_COMMAND@")},
      {0, L"K", L"trailing", make_string_value(L"@OWNERSHIP_COMMAND@ ")},
      {0, L"K", L"lower", make_string_value(L"@ownership_command@")},
      {0, L"K", L"dword", make_dword_value(7)},
      {0, L"K", L"absent", {}},
  };
  const auto resolved = resolve_feature_changes(f);
  ASSERT_EQ(resolved.size(), f.changes.size());
  EXPECT_EQ(resolved[0].value, make_string_value(L"\"" + this_executable() + L"\" --take-ownership \"%1\""));
  for (std::size_t i = 1; i < resolved.size(); ++i) EXPECT_EQ(resolved[i].value, f.changes[i].value) << i;
}

// Sets EditionID for one test and puts the previous value back afterwards.
class EditionOverride {
 public:
  EditionOverride() : original_(read_registry_value(target({}))) {}
  ~EditionOverride() {
    try {
      write_registry_value(target(original_));
    } catch (...) {
    }
  }
  void set(const ValueState& value) { write_registry_value(target(value)); }

 private:
  static RegistryValue target(const ValueState& value) {
    return {kHiveLocalMachine, L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion", L"EditionID", value};
  }
  ValueState original_;
};

TEST(FeatureResolution, DiagnosticDataFollowsTheEdition) {
  const Feature& telemetry = find("telemetry");
  EditionOverride edition;
  struct Case {
    ValueState edition;
    std::uint32_t expected;
  };
  const std::vector<Case> cases{
      {make_string_value(L"Enterprise"), 0},        {make_string_value(L"EnterpriseS"), 0},
      {make_string_value(L"Education"), 0},         {make_string_value(L"ProfessionalEducation"), 0},
      {make_string_value(L"Professional"), 1},      {make_string_value(L"Core"), 1},
      {make_string_value(L"enterprise"), 1},        {ValueState{}, 1},
  };
  for (const Case& c : cases) {
    edition.set(c.edition);
    const auto resolved = resolve_feature_changes(telemetry);
    ASSERT_EQ(resolved.size(), 1u);
    EXPECT_EQ(resolved[0].hive, kHiveLocalMachine);
    EXPECT_EQ(resolved[0].key, L"SOFTWARE\\Policies\\Microsoft\\Windows\\DataCollection");
    EXPECT_EQ(resolved[0].name, L"AllowTelemetry");
    EXPECT_EQ(resolved[0].value, make_dword_value(c.expected)) << wide_to_utf8(describe_value(c.edition));
  }
  EXPECT_EQ(telemetry.changes[0].value, make_dword_value(1));  // the catalogue keeps the Home / Pro value
}

}  // namespace
}  // namespace corvane
