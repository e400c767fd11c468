#include "services/registry_value.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <tuple>
#include <utility>

namespace corvane {
namespace {

using nlohmann::json;

ValueState binary(std::initializer_list<std::uint8_t> data) {
  return ValueState{true, REG_BINARY, std::vector<std::uint8_t>(data)};
}

std::string from_json_error(const json& document) {
  try {
    document.get<RegistryValue>();
  } catch (const std::exception& error) {
    return error.what();
  }
  return "no error";
}

TEST(ValueModel, OutcomeStartsAsPlainSuccess) {
  const Outcome outcome;
  EXPECT_TRUE(outcome.ok);
  EXPECT_TRUE(outcome.message.empty());
  EXPECT_TRUE(outcome.record_path.empty());
  EXPECT_EQ(outcome.bytes + outcome.affected + outcome.skipped, 0u);
}

TEST(ValueModel, MakersProduceExactBytes) {
  EXPECT_EQ(make_dword_value(0x12345678), (ValueState{true, REG_DWORD, {0x78, 0x56, 0x34, 0x12}}));
  EXPECT_EQ(make_string_value(L"A\x1EC7"), (ValueState{true, REG_SZ, {0x41, 0x00, 0xC7, 0x1E, 0x00, 0x00}}));
  EXPECT_EQ(make_string_value(L""), (ValueState{true, REG_SZ, {0x00, 0x00}}));
}

TEST(ValueModel, EqualityComparesAllThreeFields) {
  EXPECT_EQ(ValueState{}, ValueState{});
  EXPECT_NE((ValueState{false, 0, {}}), (ValueState{false, 4, {}}));
  EXPECT_NE((ValueState{false, 0, {}}), (ValueState{false, 0, {1}}));
  EXPECT_NE(make_dword_value(1), (ValueState{true, REG_BINARY, {1, 0, 0, 0}}));
  EXPECT_NE(make_string_value(L"a"), (ValueState{true, REG_SZ, {0x61, 0x00}}));
}

TEST(ValueModel, HiveNames) {
  EXPECT_EQ((std::vector<std::wstring>{hive_display_name(0), hive_display_name(1), hive_display_name(2),
                                       hive_display_name(7)}),
            (std::vector<std::wstring>{L"HKEY_CURRENT_USER", L"HKEY_LOCAL_MACHINE", L"HKEY_USERS", L"HKEY_USERS"}));
}

TEST(DescribeValue, EveryForm) {
  EXPECT_EQ(describe_value(ValueState{}), L"(absent)");
  EXPECT_EQ(describe_value(ValueState{true, REG_DWORD, {0x01, 0x00, 0x00, 0x80}}), L"2147483649");
  EXPECT_EQ(describe_value(ValueState{true, REG_DWORD, {1, 0, 0, 0, 0, 0, 0, 0}}), L"binary (8 bytes)");
  EXPECT_EQ(describe_value(ValueState{true, REG_SZ, {'a', 0, 'b', 0}}), L"ab");
  EXPECT_EQ(describe_value(ValueState{true, REG_SZ, {'a', 0, 0, 0, 'b', 0}}), L"a");
  EXPECT_EQ(describe_value(ValueState{true, REG_EXPAND_SZ, {'%', 0, 'X', 0, '%', 0, 'q'}}), L"%X%");
  EXPECT_EQ(describe_value(ValueState{true, REG_SZ, {}}), L"");
  EXPECT_EQ(describe_value(binary({1, 2, 3})), L"binary (3 bytes)");
  EXPECT_EQ(describe_value(ValueState{true, REG_MULTI_SZ, {'a', 0, 0, 0, 0, 0}}), L"binary (6 bytes)");
  EXPECT_EQ(describe_value(ValueState{true, REG_QWORD, {1, 0, 0, 0, 0, 0, 0, 0}}), L"binary (8 bytes)");
}

TEST(StartupApprovedState, ReadsWindowsForms) {
  EXPECT_EQ(startup_approved_state(ValueState{}), 1);
  EXPECT_EQ(startup_approved_state(binary({3, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0})), 0);
  EXPECT_EQ(startup_approved_state(binary({7, 0, 0, 0})), 0);
  EXPECT_EQ(startup_approved_state(binary({2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0})), 1);
  EXPECT_EQ(startup_approved_state(binary({6, 0, 0, 0})), 1);
  EXPECT_EQ(startup_approved_state(binary({1, 0, 0, 0})), -1);
  EXPECT_EQ(startup_approved_state(binary({2, 0, 0, 0, 0, 0, 0, 0})), -1);
  EXPECT_EQ(startup_approved_state(make_dword_value(2)), -1);
}

TEST(RegistryValueJson, DumpsExactKeysAndOrder) {
  const RegistryValue value{1, L"Software\\T\x00E9st", L"N", ValueState{true, REG_BINARY, {0, 255, 16}}};
  EXPECT_EQ(json(value).dump(),
            "{\"hive\":1,\"key\":\"Software\\\\T\xC3\xA9st\",\"name\":\"N\","
            "\"value\":{\"bytes\":[0,255,16],\"exists\":true,\"type\":3}}");
  EXPECT_EQ(json(RegistryValue{0, L"K", L"", ValueState{}}).dump(),
            "{\"hive\":0,\"key\":\"K\",\"name\":\"\",\"value\":{\"bytes\":[],\"exists\":false,\"type\":0}}");
}

TEST(RegistryValueJson, RoundTripsEveryHive) {
  for (std::uint32_t hive = 0; hive <= 2; ++hive) {
    const RegistryValue value{hive, L"A\\B", L"v\x00E9", make_string_value(L"x")};
    const auto back = json::parse(json(value).dump()).get<RegistryValue>();
    EXPECT_EQ(std::tie(back.hive, back.key, back.name, back.value),
              std::tie(value.hive, value.key, value.name, value.value));
  }
}

TEST(RegistryValueJson, RefusesHivesItCannotReadBack) {
  EXPECT_THROW(json(RegistryValue{3, L"K", L"", ValueState{}}), std::runtime_error);
  const std::string value = R"("key":"K","name":"","value":{"bytes":[],"exists":false,"type":0})";
  for (const char* hive : {"3", "-1", "3.5", "4294967297"}) {
    EXPECT_EQ(from_json_error(json::parse("{\"hive\":" + std::string(hive) + "," + value + "}")), "Invalid registry hive");
  }
  EXPECT_EQ(json::parse("{\"hive\":1.9," + value + "}").get<RegistryValue>().hive, 1u);
  EXPECT_EQ(json::parse("{\"hive\":true," + value + "}").get<RegistryValue>().hive, 1u);
}

TEST(RegistryValueJson, ReportsTheLibrarysOwnErrors) {
  const std::string absent = R"("value":{"bytes":[],"exists":false,"type":0})";
  const std::pair<std::string, const char*> cases[] = {
      {R"({"key":"K","name":"",)" + absent + "}", "key 'hive' not found"},
      {"[1]", "cannot use at() with array"},
      {R"({"hive":"0","key":"K","name":"",)" + absent + "}", "type must be number, but is string"},
      {R"({"hive":0,"key":"K","name":"","value":{"bytes":[],"exists":1,"type":0}})", "type must be boolean, but is number"},
      {R"({"hive":0,"key":"K","name":"","value":{"bytes":5,"exists":true,"type":0}})", "type must be array, but is number"},
      {R"({"hive":0,"key":7,"name":"",)" + absent + "}", "type must be string"},
  };
  for (const auto& [text, error] : cases) {
    EXPECT_NE(from_json_error(json::parse(text)).find(error), std::string::npos) << text;
  }
}

TEST(RegistryValueJson, BytesAreWholeNumbersUpTo255) {
  auto with_bytes = [](const std::string& bytes) {
    return R"({"hive":0,"key":"K","name":"","value":{"bytes":)" + bytes + R"(,"exists":true,"type":3}})";
  };
  EXPECT_EQ(json::parse(with_bytes("[0,128,255,7.0]")).get<RegistryValue>().value.bytes,
            (std::vector<std::uint8_t>{0, 128, 255, 7}));
  for (const char* bad : {"[256]", "[-1]", "[1.9]", "[255.5]", "[-0.5]", "[1e300]", "[18446744073709551615]"}) {
    EXPECT_EQ(from_json_error(json::parse(with_bytes(bad))), "Invalid registry bytes") << bad;
  }
  // Anything but a number is the library's own type error, a boolean included.
  const std::pair<const char*, const char*> wrong_types[] = {
      {"[true]", "boolean"}, {"[\"1\"]", "string"}, {"[null]", "null"}, {"[[1]]", "array"}, {"[{}]", "object"}};
  for (const auto& [bad, type] : wrong_types) {
    EXPECT_EQ(from_json_error(json::parse(with_bytes(bad))),
              std::string("[json.exception.type_error.302] type must be number, but is ") + type)
        << bad;
  }
}

TEST(RegistryValueJson, KeyTextMustBeValidUtf8) {
  // The parser refuses such text, but a document built in memory can still carry it.
  json document = json::parse(R"({"hive":0,"key":"K","name":"","value":{"bytes":[],"exists":false,"type":0}})");
  document["key"] = std::string("\xC3\x28");
  try {
    document.get<RegistryValue>();
    FAIL() << "no exception";
  } catch (const std::runtime_error& error) {
    EXPECT_STREQ(error.what(), "Invalid UTF-8 continuation");
  }
}

}  // namespace
}  // namespace corvane
