#include "support/registry_baseline.h"

#include "services/handles.h"
#include "services/registry.h"
#include "services/text.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <exception>
#include <stdexcept>
#include <string>
#include <utility>

namespace corvane::testing {
namespace {

bool kept_when_empty(std::uint32_t hive, const std::wstring& path) {
  return hive == kHiveLocalMachine && lower_case(path) == L"software\\policies";
}

// Removes path and then each parent while it holds no value and no subkey; stops at the first
// key that holds something or that the system keeps.
void remove_empty_keys(std::uint32_t hive, std::wstring path) {
  while (!path.empty() && !kept_when_empty(hive, path)) {
    HKEY raw = nullptr;
    LSTATUS status = RegOpenKeyExW(hive_root(hive), path.c_str(), 0, KEY_READ | KEY_WOW64_64KEY, &raw);
    if (status == ERROR_SUCCESS) {
      const UniqueRegKey key(raw);
      DWORD subkeys = 0;
      DWORD values = 0;
      status = RegQueryInfoKeyW(key.get(), nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values, nullptr,
                                nullptr, nullptr, nullptr);
      if (status != ERROR_SUCCESS) throw std::runtime_error("cannot read key " + wide_to_utf8(path));
      if (subkeys != 0 || values != 0) return;
      status = RegDeleteKeyExW(hive_root(hive), path.c_str(), KEY_WOW64_64KEY, 0);
      if (status != ERROR_SUCCESS && status != ERROR_FILE_NOT_FOUND) {
        throw std::runtime_error("cannot remove key " + wide_to_utf8(path));
      }
    } else if (status != ERROR_FILE_NOT_FOUND) {
      throw std::runtime_error("cannot open key " + wide_to_utf8(path));
    }
    const std::size_t parent = path.rfind(L'\\');
    path.erase(parent == std::wstring::npos ? 0 : parent);
  }
}

}  // namespace

RegistryValue catalogue_baseline(RegistryValue target) {
  target.value = ValueState{};
  if (target.hive == kHiveCurrentUser && lower_case(target.key) == L"control panel\\desktop" &&
      lower_case(target.name) == L"menushowdelay") {
    target.value = make_string_value(L"400");
  }
  return target;
}

RegistryBaseline::RegistryBaseline(std::vector<RegistryValue> baseline) : baseline_(std::move(baseline)) {
  establish();
}

RegistryBaseline::~RegistryBaseline() {
  try {
    establish();
  } catch (const std::exception& error) {
    ADD_FAILURE() << "the registry baseline could not be put back: " << error.what();
  }
}

void RegistryBaseline::establish() const {
  for (const RegistryValue& value : baseline_) write_registry_value(value);
  for (const RegistryValue& value : baseline_) {
    if (!value.value.exists) remove_empty_keys(value.hive, value.key);
  }
}

}  // namespace corvane::testing
