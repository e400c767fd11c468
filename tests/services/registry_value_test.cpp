#include "services/registry_value.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <utility>

namespace corvane {
namespace {

using nlohmann::json;

std::string from_json_error(const json& document) {
  try {
    document.get<RegistryValue>();
  } catch (const std::exception& error) {
    return error.what();
  }
  return "no error";
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

}  // namespace
}  // namespace corvane
