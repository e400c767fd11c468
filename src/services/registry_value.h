#pragma once
// The registry value model, the result record of an operation, and their JSON form.

#include <nlohmann/json.hpp>

#include <cstdint>
#include <string>
#include <vector>

namespace corvane {

// Result of one user operation.
struct Outcome {
  bool ok = true;
  std::wstring message;      // empty on plain success, else the error text or a summary
  std::wstring record_path;  // backup or report document written, or empty
  std::uint64_t bytes = 0;
  std::uint64_t affected = 0;
  std::uint64_t skipped = 0;
};

// Content of one registry value. Absent is always {false, 0, {}}.
struct ValueState {
  bool exists = false;
  std::uint32_t type = 0;
  std::vector<std::uint8_t> bytes;

  friend bool operator==(const ValueState&, const ValueState&) = default;
};

// Hive numbers: 0 HKEY_CURRENT_USER, 1 HKEY_LOCAL_MACHINE, any other HKEY_USERS.
constexpr std::uint32_t kHiveCurrentUser = 0;
constexpr std::uint32_t kHiveLocalMachine = 1;
constexpr std::uint32_t kHiveUsers = 2;

// One registry target with a value (wanted, or as read).
struct RegistryValue {
  std::uint32_t hive = kHiveCurrentUser;
  std::wstring key;
  std::wstring name;  // empty: the key's default value
  ValueState value;
};

ValueState make_dword_value(std::uint32_t number);
ValueState make_string_value(const std::wstring& text);

std::wstring hive_display_name(std::uint32_t hive);

// "(absent)", a DWORD in decimal, a string's text, or "binary (N bytes)".
std::wstring describe_value(const ValueState& state);

// A StartupApproved value: 1 enabled, 0 disabled, -1 unknown.
int startup_approved_state(const ValueState& state);

// JSON hooks of the library. Hives above 2 cannot be stored: to_json refuses them.
void to_json(nlohmann::json& j, const ValueState& state);
void from_json(const nlohmann::json& j, ValueState& state);
void to_json(nlohmann::json& j, const RegistryValue& value);
void from_json(const nlohmann::json& j, RegistryValue& value);

}  // namespace corvane
