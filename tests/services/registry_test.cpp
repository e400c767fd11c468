#include "services/registry.h"

#include "services/handles.h"
#include "services/text.h"
#include "support/scratch.h"
#include "support/setting_change_recorder.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <stdexcept>
#include <utility>

namespace corvane {
namespace {

using testing::ScratchKey;

std::string error_of_write(const RegistryValue& target) {
  try {
    write_registry_value(target);
  } catch (const std::runtime_error& error) {
    return error.what();
  }
  return "no error";
}

UniqueRegKey open_key(const std::wstring& path) {
  HKEY key = nullptr;
  RegOpenKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ | KEY_WOW64_64KEY, &key);
  return UniqueRegKey(key);
}

bool key_exists(const std::wstring& path) { return static_cast<bool>(open_key(path)); }

// Stores raw data with the platform call, bypassing the code under test.
void raw_set(const std::wstring& path, const std::wstring& name, DWORD type, const std::vector<std::uint8_t>& data) {
  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_SET_VALUE | KEY_WOW64_64KEY, nullptr,
                            &key, nullptr),
            ERROR_SUCCESS);
  std::vector<std::uint8_t> buffer(data);
  buffer.insert(buffer.end(), {0xFF, 0xFF});
  EXPECT_EQ(RegSetValueExW(key, name.c_str(), 0, type, buffer.data(), static_cast<DWORD>(data.size())), ERROR_SUCCESS);
  RegCloseKey(key);
}

TEST(RegistryRead, ExactBytesOrAbsentAndNothingAbove16MiB) {
  ScratchKey scratch;
  EXPECT_EQ(read_registry_value({kHiveCurrentUser, scratch.sub(L"No\\Such"), L"v", {}}), ValueState{});
  raw_set(scratch.path(), L"bin", REG_BINARY, {1, 2, 3, 0, 0});
  raw_set(scratch.path(), L"empty", REG_BINARY, {});
  raw_set(scratch.path(), L"unterminated", REG_SZ, {'a', 0, 'b', 0});
  EXPECT_EQ(read_registry_value({0, scratch.path(), L"bin", {}}), (ValueState{true, REG_BINARY, {1, 2, 3, 0, 0}}));
  EXPECT_EQ(read_registry_value({0, scratch.path(), L"empty", {}}), (ValueState{true, REG_BINARY, {}}));
  EXPECT_EQ(read_registry_value({0, scratch.path(), L"unterminated", {}}), (ValueState{true, REG_SZ, {'a', 0, 'b', 0}}));
  EXPECT_EQ(read_registry_value({kHiveCurrentUser, scratch.path(), L"missing", {}}), ValueState{});
  EXPECT_EQ(read_registry_value({kHiveCurrentUser, scratch.path(), L"", {}}), ValueState{});
  // Values above 16 MiB are refused.
  raw_set(scratch.path(), L"huge", REG_BINARY, std::vector<std::uint8_t>(16u * 1024u * 1024u + 1u, 7));
  raw_set(scratch.path(), L"limit", REG_BINARY, std::vector<std::uint8_t>(16u * 1024u * 1024u, 7));
  EXPECT_THROW(read_registry_value({0, scratch.path(), L"huge", {}}), std::runtime_error);
  EXPECT_EQ(read_registry_value({0, scratch.path(), L"limit", {}}).bytes.size(), 16u * 1024u * 1024u);
}

TEST(RegistryRead, SizesAroundTheFirstReadAndThroughAnOpenKey) {
  ScratchKey scratch;
  std::vector<std::vector<std::uint8_t>> values;
  for (const std::size_t size : {std::size_t{511}, std::size_t{512}, std::size_t{513}, std::size_t{70000}}) {
    std::vector<std::uint8_t> bytes(size);
    for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<std::uint8_t>(i * 7 + size);
    raw_set(scratch.path(), L"v" + std::to_wstring(size), REG_BINARY, bytes);
    values.push_back(bytes);
  }
  const UniqueRegKey key = open_key(scratch.path());
  ASSERT_TRUE(key);
  for (const std::vector<std::uint8_t>& bytes : values) {
    const std::wstring name = L"v" + std::to_wstring(bytes.size());
    EXPECT_EQ(read_registry_value({0, scratch.path(), name, {}}), (ValueState{true, REG_BINARY, bytes})) << bytes.size();
    EXPECT_EQ(query_registry_value(key.get(), name), (ValueState{true, REG_BINARY, bytes})) << bytes.size();
  }
  EXPECT_EQ(query_registry_value(key.get(), L"missing"), ValueState{});
  // The key goes away while it is held open: its values read as absent, not as an error.
  ASSERT_EQ(RegDeleteTreeW(HKEY_CURRENT_USER, scratch.path().c_str()), ERROR_SUCCESS);
  EXPECT_EQ(query_registry_value(key.get(), L"v511"), ValueState{});
}

// What happens to a large value between the two reads, and what the second read then meets.
struct GapPlan {
  enum Kind { kDeleteValue, kDeleteKey, kGrow } kind = kDeleteValue;
  std::wstring path;
  int calls = 0;
  LSTATUS met = ERROR_SUCCESS;
};
GapPlan gap;

void act_in_the_gap(HKEY key, const std::wstring& name) {
  ++gap.calls;
  // Through handles of their own, as another program would.
  if (gap.kind == GapPlan::kDeleteValue) RegDeleteKeyValueW(HKEY_CURRENT_USER, gap.path.c_str(), name.c_str());
  if (gap.kind == GapPlan::kDeleteKey) RegDeleteTreeW(HKEY_CURRENT_USER, gap.path.c_str());
  if (gap.kind == GapPlan::kGrow) raw_set(gap.path, name, REG_BINARY, std::vector<std::uint8_t>(2000, 5));
  std::vector<std::uint8_t> probe(600);
  DWORD size = static_cast<DWORD>(probe.size());
  gap.met = RegQueryValueExW(key, name.c_str(), nullptr, nullptr, probe.data(), &size);
}

struct GapSeam {
  explicit GapSeam(GapPlan plan) {
    gap = std::move(plan);
    registry_read_gap = act_in_the_gap;
  }
  ~GapSeam() { registry_read_gap = nullptr; }
};

TEST(RegistryRead, ALargeValueDeletedBetweenTheTwoReadsIsAbsentAndOneThatGrewIsAnError) {
  ScratchKey scratch;
  const std::vector<std::uint8_t> large(600, 9);
  {
    raw_set(scratch.path(), L"v", REG_BINARY, large);
    const GapSeam seam({GapPlan::kDeleteValue, scratch.path()});
    EXPECT_NO_THROW(EXPECT_EQ(read_registry_value({0, scratch.path(), L"v", {}}), ValueState{}));
    EXPECT_EQ(gap.calls, 1);
    EXPECT_EQ(gap.met, ERROR_FILE_NOT_FOUND);
  }
  {
    raw_set(scratch.path(), L"v", REG_BINARY, large);
    const GapSeam seam({GapPlan::kDeleteKey, scratch.path()});
    EXPECT_NO_THROW(EXPECT_EQ(read_registry_value({0, scratch.path(), L"v", {}}), ValueState{}));
    EXPECT_EQ(gap.calls, 1);
    EXPECT_EQ(gap.met, ERROR_KEY_DELETED);
    EXPECT_FALSE(key_exists(scratch.path()));
  }
  {
    raw_set(scratch.path(), L"v", REG_BINARY, large);
    const GapSeam seam({GapPlan::kGrow, scratch.path()});
    const UniqueRegKey key = open_key(scratch.path());
    try {
      query_registry_value(key.get(), L"v");
      ADD_FAILURE() << "a value that grew was read";
    } catch (const std::runtime_error& error) {
      EXPECT_EQ(error.what(), wide_to_utf8(windows_error_text(ERROR_MORE_DATA)));
    }
    EXPECT_EQ(gap.calls, 1);
    EXPECT_EQ(gap.met, ERROR_MORE_DATA);
    // A value that fits the first buffer is read in one call: there is no gap.
    raw_set(scratch.path(), L"small", REG_BINARY, {1});
    EXPECT_EQ(query_registry_value(key.get(), L"small"), (ValueState{true, REG_BINARY, {1}}));
    EXPECT_EQ(gap.calls, 1);
  }
}

TEST(RegistryRead, OpenErrorOtherThanNotFoundThrowsTheWindowsText) {
  // A path element longer than the 255 characters a key name may have.
  const std::wstring too_long = L"Software\\CorvaneTest\\" + std::wstring(300, L'x');
  HKEY key = nullptr;
  const LSTATUS status = RegOpenKeyExW(HKEY_CURRENT_USER, too_long.c_str(), 0, KEY_QUERY_VALUE, &key);
  if (status == ERROR_FILE_NOT_FOUND || status == ERROR_SUCCESS) {
    if (key != nullptr) RegCloseKey(key);
    GTEST_SKIP() << "this registry answers a too-long key name with not-found";
  }
  try {
    read_registry_value({0, too_long, L"v", {}});
    FAIL() << "no error";
  } catch (const std::runtime_error& error) {
    EXPECT_EQ(error.what(), wide_to_utf8(windows_error_text(static_cast<std::uint32_t>(status))));
  }
}

TEST(RegistryWrite, RoundTripsEveryTypeExactly) {
  ScratchKey scratch;
  const std::vector<RegistryValue> values = {
      {0, scratch.path(), L"dword", make_dword_value(0x80000001u)},
      {0, scratch.path(), L"", make_string_value(L"default value \x1EA0")},
      {0, scratch.path(), L"sz-unterminated", ValueState{true, REG_SZ, {'a', 0, 'b', 0}}},
      {0, scratch.path(), L"expand-unterminated", ValueState{true, REG_EXPAND_SZ, {'%', 0}}},
      {0, scratch.path(), L"multi", ValueState{true, REG_MULTI_SZ, {'a', 0, 0, 0, 'b', 0, 0, 0, 0, 0}}},
      {0, scratch.path(), L"empty-binary", ValueState{true, REG_BINARY, {}}},
      {0, scratch.path(), L"empty-string", ValueState{true, REG_SZ, {}}},
      {0, scratch.path(), L"qword", ValueState{true, REG_QWORD, {1, 2, 3, 4, 5, 6, 7, 8}}},
      {0, scratch.path(), L"odd", ValueState{true, REG_SZ, {'a', 0, 'b'}}},
  };
  // Repeated, because a stray terminator depends on whatever memory follows the data.
  for (int round = 0; round < 20; ++round) {
    for (const RegistryValue& value : values) {
      SCOPED_TRACE(wide_to_utf8(value.name));
      ASSERT_NO_THROW(write_registry_value(value));
      EXPECT_EQ(read_registry_value(value), value.value);
    }
  }
}

TEST(RegistryWrite, CreatesMissingKeysAndDeletesValuesOnly) {
  ScratchKey scratch;
  const std::wstring deep = scratch.sub(L"A\\B\\C\\D");
  write_registry_value({0, deep, L"v", make_dword_value(5)});
  EXPECT_EQ(read_registry_value({0, deep, L"v", {}}), make_dword_value(5));
  write_registry_value({0, deep, L"v", ValueState{}});
  EXPECT_EQ(read_registry_value({0, deep, L"v", {}}), ValueState{});
  EXPECT_NO_THROW(write_registry_value({0, deep, L"v", ValueState{}}));
  EXPECT_NO_THROW(write_registry_value({0, deep, L"", ValueState{}}));
  EXPECT_TRUE(key_exists(deep));
  // Deleting under a missing key creates nothing.
  const ScratchKey other;
  write_registry_value({0, other.sub(L"Missing"), L"v", ValueState{}});
  EXPECT_FALSE(key_exists(other.path()));
}

TEST(RegistryWrite, FailuresGiveVerificationOrTheWindowsText) {
  ScratchKey scratch;
  write_registry_value({0, scratch.path(), L"v", make_dword_value(1)});
  EXPECT_EQ(error_of_write({0, scratch.path(), L"v", ValueState{false, REG_DWORD, {}}}), "Registry verification failed");
  EXPECT_EQ(read_registry_value({0, scratch.path(), L"v", {}}), ValueState{});
  EXPECT_EQ(error_of_write({0, scratch.path(), L"v", ValueState{false, 0, {1}}}), "Registry verification failed");

  // A key that cannot be made: a non-volatile key below a volatile one.
  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, scratch.sub(L"Volatile").c_str(), 0, nullptr, REG_OPTION_VOLATILE,
                            KEY_WRITE | KEY_WOW64_64KEY, nullptr, &key, nullptr),
            ERROR_SUCCESS);
  RegCloseKey(key);
  EXPECT_EQ(error_of_write({0, scratch.sub(L"Volatile\\Child"), L"v", make_dword_value(1)}),
            wide_to_utf8(windows_error_text(ERROR_CHILD_MUST_BE_VOLATILE)));
}

TEST(RegistryEnum, ListsSubkeysAndValueNames) {
  ScratchKey scratch;
  write_registry_value({0, scratch.sub(L"Alpha"), L"x", make_dword_value(1)});
  write_registry_value({0, scratch.sub(L"Beta\\Inner"), L"x", make_dword_value(1)});
  write_registry_value({0, scratch.path(), L"one", make_dword_value(1)});
  write_registry_value({0, scratch.path(), L"", make_dword_value(2)});
  write_registry_value({0, scratch.path(), std::wstring(300, L'n'), make_dword_value(3)});
  const UniqueRegKey key = open_key(scratch.path());
  ASSERT_TRUE(key);
  auto sorted = [&](bool subkeys) {
    std::vector<std::wstring> names = enum_registry_names(key.get(), subkeys);
    return std::sort(names.begin(), names.end()), names;
  };
  EXPECT_EQ(sorted(true), (std::vector<std::wstring>{L"Alpha", L"Beta"}));
  EXPECT_EQ(sorted(false), (std::vector<std::wstring>{L"", std::wstring(300, L'n'), L"one"}));
}

TEST(RegistryEnum, EndsWhenTheKeyIsDeletedOrUnusable) {
  ScratchKey scratch;
  for (int i = 0; i < 3; ++i) write_registry_value({0, scratch.sub(L"K" + std::to_wstring(i)), L"", make_dword_value(1)});
  const UniqueRegKey key = open_key(scratch.path());
  ASSERT_TRUE(key);
  ASSERT_EQ(RegDeleteTreeW(HKEY_CURRENT_USER, scratch.path().c_str()), ERROR_SUCCESS);
  const auto start = std::chrono::steady_clock::now();
  EXPECT_TRUE(enum_registry_names(key.get(), true).empty());
  EXPECT_TRUE(enum_registry_names(key.get(), false).empty());
  // A handle that was never valid ends at once as well.
  EXPECT_TRUE(enum_registry_names(reinterpret_cast<HKEY>(static_cast<std::uintptr_t>(0x7FFF1234)), true).empty());
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
}

TEST(RegistryEnum, EndsAtTheCancelFlag) {
  ScratchKey scratch;
  for (int i = 0; i < 3; ++i) write_registry_value({0, scratch.path(), L"v" + std::to_wstring(i), make_dword_value(1)});
  const UniqueRegKey key = open_key(scratch.path());
  CancelFlag cancel{1};
  EXPECT_EQ(enum_registry_names(key.get(), false, &cancel).size(), 1u);
}

// Every key is opened in the 64-bit view: the 32-bit registry is reached only through its
// WOW6432Node path.
TEST(RegistryRead, ThirtyTwoBitValuesOnlyThroughTheirWow6432NodePath) {
  const std::wstring name = testing::random_name();
  const std::wstring wow = L"Software\\WOW6432Node\\CorvaneTest\\" + name;
  write_registry_value({kHiveLocalMachine, wow, L"v", make_dword_value(32)});
  const ValueState in_32_view = read_registry_value({kHiveLocalMachine, wow, L"v", {}});
  const ValueState in_64_view = read_registry_value({kHiveLocalMachine, L"Software\\CorvaneTest\\" + name, L"v", {}});
  RegDeleteTreeW(HKEY_LOCAL_MACHINE, wow.c_str());
  EXPECT_EQ(in_32_view, make_dword_value(32));
  EXPECT_EQ(in_64_view, ValueState{});
}

TEST(RegistryRoots, HiveNumbersMapToRootKeys) {
  EXPECT_EQ((std::vector<HKEY>{hive_root(0), hive_root(1), hive_root(2), hive_root(7)}),
            (std::vector<HKEY>{HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE, HKEY_USERS, HKEY_USERS}));
}

TEST(RegistryBroadcast, ReachesEveryTopLevelWindowWithTheExplorerArea) {
  testing::SettingChangeRecorder recorder;
  ASSERT_TRUE(recorder.created());
  const auto start = std::chrono::steady_clock::now();
  EXPECT_NO_THROW(broadcast_settings_change());
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(30));
  EXPECT_EQ(recorder.changes(), (std::vector<testing::SettingChange>{
                                    {0, L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Advanced"}}));
}

}  // namespace
}  // namespace corvane
