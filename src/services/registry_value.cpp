#include "services/registry_value.h"

#include "services/text.h"

#include <windows.h>

#include <cmath>
#include <stdexcept>

namespace corvane {

ValueState make_dword_value(std::uint32_t number) {
  ValueState state;
  state.exists = true;
  state.type = REG_DWORD;
  for (int shift = 0; shift < 32; shift += 8) state.bytes.push_back(static_cast<std::uint8_t>(number >> shift));
  return state;
}

ValueState make_string_value(const std::wstring& text) {
  ValueState state;
  state.exists = true;
  state.type = REG_SZ;
  state.bytes.reserve((text.size() + 1) * 2);
  for (wchar_t unit : text) {
    const auto code = static_cast<std::uint16_t>(unit);
    state.bytes.push_back(static_cast<std::uint8_t>(code & 0xFF));
    state.bytes.push_back(static_cast<std::uint8_t>(code >> 8));
  }
  state.bytes.push_back(0);
  state.bytes.push_back(0);
  return state;
}

std::wstring hive_display_name(std::uint32_t hive) {
  if (hive == kHiveCurrentUser) return L"HKEY_CURRENT_USER";
  if (hive == kHiveLocalMachine) return L"HKEY_LOCAL_MACHINE";
  return L"HKEY_USERS";
}

std::wstring describe_value(const ValueState& state) {
  if (!state.exists) return L"(absent)";
  if (state.type == REG_DWORD && state.bytes.size() == 4) {
    const std::uint32_t number = static_cast<std::uint32_t>(state.bytes[0]) |
                                 (static_cast<std::uint32_t>(state.bytes[1]) << 8) |
                                 (static_cast<std::uint32_t>(state.bytes[2]) << 16) |
                                 (static_cast<std::uint32_t>(state.bytes[3]) << 24);
    return std::to_wstring(number);
  }
  if (state.type == REG_SZ || state.type == REG_EXPAND_SZ) {
    std::wstring text;
    for (std::size_t i = 0; i + 1 < state.bytes.size(); i += 2) {
      const auto unit = static_cast<wchar_t>(state.bytes[i] | (state.bytes[i + 1] << 8));
      if (unit == L'\0') break;
      text.push_back(unit);
    }
    return text;
  }
  return L"binary (" + std::to_wstring(state.bytes.size()) + L" bytes)";
}

int startup_approved_state(const ValueState& state) {
  if (!state.exists) return 1;
  if (state.type != REG_BINARY || (state.bytes.size() != 4 && state.bytes.size() != 12)) return -1;
  switch (state.bytes[0]) {
    case 2:
    case 6:
      return 1;
    case 3:
    case 7:
      return 0;
    default:
      return -1;
  }
}

void to_json(nlohmann::json& j, const ValueState& state) {
  nlohmann::json bytes = nlohmann::json::array();
  for (std::uint8_t b : state.bytes) bytes.push_back(b);
  j = nlohmann::json::object();
  j["exists"] = state.exists;
  j["type"] = state.type;
  j["bytes"] = std::move(bytes);
}

namespace {

// One element of "bytes". Anything but a number fails with the JSON library's own type error
// (read as the library's unsigned type, which takes no boolean either); a damaged document must
// not restore bytes that were never stored, so a number that is not a whole 0..255 is refused.
std::uint8_t registry_byte(const nlohmann::json& element) {
  if (!element.is_number()) (void)element.get<nlohmann::json::number_unsigned_t>();
  if (element.is_number_unsigned()) {
    const auto number = element.get<std::uint64_t>();
    if (number <= 255) return static_cast<std::uint8_t>(number);
  } else if (element.is_number_integer()) {
    const auto number = element.get<std::int64_t>();
    if (number >= 0 && number <= 255) return static_cast<std::uint8_t>(number);
  } else {
    const double number = element.get<double>();
    if (number >= 0.0 && number <= 255.0 && std::floor(number) == number) return static_cast<std::uint8_t>(number);
  }
  throw std::runtime_error("Invalid registry bytes");
}

}  // namespace

void from_json(const nlohmann::json& j, ValueState& state) {
  ValueState read;
  read.exists = j.at("exists").get<bool>();
  read.type = j.at("type").get<std::uint32_t>();
  const nlohmann::json& bytes = j.at("bytes");
  if (!bytes.is_array()) bytes.get<std::vector<nlohmann::json>>();  // the library's own type error
  read.bytes.reserve(bytes.size());
  for (const nlohmann::json& element : bytes) read.bytes.push_back(registry_byte(element));
  state = std::move(read);
}

void to_json(nlohmann::json& j, const RegistryValue& value) {
  if (value.hive > kHiveUsers) throw std::runtime_error("Invalid registry hive");
  j = nlohmann::json::object();
  j["hive"] = value.hive;
  j["key"] = wide_to_utf8(value.key);
  j["name"] = wide_to_utf8(value.name);
  j["value"] = value.value;
}

void from_json(const nlohmann::json& j, RegistryValue& value) {
  RegistryValue read;
  const nlohmann::json& hive = j.at("hive");
  if (hive.is_number_float()) {
    const double number = hive.get<double>();
    // Truncated like a cast; anything outside 0..2 (negative ones included) is refused.
    if (!(number > -1.0 && number < 3.0)) throw std::runtime_error("Invalid registry hive");
    read.hive = static_cast<std::uint32_t>(number < 0.0 ? 0.0 : number);
  } else if (hive.is_number_integer() && !hive.is_number_unsigned()) {
    const auto number = hive.get<std::int64_t>();
    if (number < 0 || number > 2) throw std::runtime_error("Invalid registry hive");
    read.hive = static_cast<std::uint32_t>(number);
  } else if (hive.is_boolean()) {
    read.hive = hive.get<bool>() ? 1u : 0u;
  } else {
    const auto number = hive.get<std::uint64_t>();  // other JSON types throw the library's error
    if (number > 2) throw std::runtime_error("Invalid registry hive");
    read.hive = static_cast<std::uint32_t>(number);
  }
  read.key = utf8_to_wide(j.at("key").get<std::string>());
  read.name = utf8_to_wide(j.at("name").get<std::string>());
  read.value = j.at("value").get<ValueState>();
  value = std::move(read);
}

}  // namespace corvane
