#include "startup_scratch.h"

#include "services/registry.h"
#include "unix_link.h"

#include <windows.h>

#include <atomic>
#include <filesystem>
#include <fstream>

namespace corvane::testing {

ValueState approval_value(std::initializer_list<std::uint8_t> bytes) {
  ValueState state;
  state.exists = true;
  state.type = REG_BINARY;
  state.bytes.assign(bytes);
  return state;
}

ValueState expand_string_value(const std::wstring& text) {
  ValueState state = make_string_value(text);
  state.type = REG_EXPAND_SZ;
  return state;
}

std::vector<StartupEntry> entries_with_prefix(const std::vector<StartupEntry>& entries, const std::wstring& prefix) {
  std::vector<StartupEntry> picked;
  for (const StartupEntry& entry : entries) {
    if (entry.name.compare(0, prefix.size(), prefix) == 0) picked.push_back(entry);
  }
  return picked;
}

StartupScratch::StartupScratch() {
  static std::atomic<int> counter{0};
  prefix_ = L"CvT" + std::to_wstring(GetCurrentProcessId()) + L"n" + std::to_wstring(++counter) + L"-";
}

StartupScratch::~StartupScratch() {
  for (auto it = values_.rbegin(); it != values_.rend(); ++it) {
    try {
      write_registry_value(RegistryValue{it->hive, it->key, it->name, {}});
    } catch (const std::exception&) {
    }
  }
  for (auto it = replaced_.rbegin(); it != replaced_.rend(); ++it) {
    try {
      write_registry_value(*it);
    } catch (const std::exception&) {
    }
  }
  for (const std::wstring& link : links_) remove_unix_symlink(link);
  for (auto it = paths_.rbegin(); it != paths_.rend(); ++it) {
    std::error_code ignored;
    std::filesystem::remove(*it, ignored);
  }
}

void StartupScratch::put_value(std::uint32_t hive, const std::wstring& key, const std::wstring& name,
                               const ValueState& value) {
  values_.push_back(RegistryValue{hive, key, name, {}});
  write_registry_value(RegistryValue{hive, key, name, value});
}

void StartupScratch::replace_value(std::uint32_t hive, const std::wstring& key, const std::wstring& name,
                                   const ValueState& value) {
  RegistryValue saved{hive, key, name, {}};
  saved.value = read_registry_value(saved);
  replaced_.push_back(std::move(saved));
  write_registry_value(RegistryValue{hive, key, name, value});
}

void StartupScratch::redirect_startup_folder(const std::wstring& folder) {
  ValueState setting = make_string_value(folder);
  setting.type = REG_EXPAND_SZ;
  replace_value(kHiveCurrentUser, L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders",
                L"Startup", setting);
}

void StartupScratch::put_file(const std::wstring& path, const std::string& text) {
  std::filesystem::create_directories(std::filesystem::path(path).parent_path());
  paths_.push_back(path);
  std::ofstream out(std::filesystem::path(path), std::ios::binary);
  out << text;
}

bool StartupScratch::put_link(const std::wstring& target, const std::wstring& link) {
  links_.push_back(link);
  return make_unix_symlink(target, link);
}

void StartupScratch::forget_later(const std::wstring& path) { paths_.push_back(path); }

}  // namespace corvane::testing
