#include "services/registry_value.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

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

TEST(RegistryValueJson, AcceptsOnlyWholeBytes) {
  auto with_bytes = [](const std::string& bytes) {
    return R"({"hive":0,"key":"K","name":"","value":{"bytes":)" + bytes + R"(,"exists":true,"type":3}})";
  };
  EXPECT_EQ(json::parse(with_bytes("[0,128,255]")).get<RegistryValue>().value.bytes,
            (std::vector<std::uint8_t>{0, 128, 255}));
  for (const char* bad : {"[256]", "[-1]", "[1.9]", "[1.0]", "[true]", "[\"1\"]", "[null]", "[[1]]"}) {
    EXPECT_EQ(from_json_error(json::parse(with_bytes(bad))), "Invalid registry bytes") << bad;
  }
}

}  // namespace
}  // namespace corvane
