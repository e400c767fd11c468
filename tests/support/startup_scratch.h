#pragma once
// Registry values and files that startup tests put into the real places (Run keys, the
// StartupApproved keys, the Startup and DisabledStartup folders) and remove again.

#include "engines/startup_list.h"
#include "services/registry_value.h"

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

namespace corvane::testing {

// A REG_BINARY StartupApproved value holding these bytes.
ValueState approval_value(std::initializer_list<std::uint8_t> bytes);
ValueState expand_string_value(const std::wstring& text);

// The entries whose name begins with prefix, in listing order.
std::vector<StartupEntry> entries_with_prefix(const std::vector<StartupEntry>& entries, const std::wstring& prefix);

class StartupScratch {
 public:
  StartupScratch();  // picks a prefix unique to this process and test
  ~StartupScratch();
  StartupScratch(const StartupScratch&) = delete;
  StartupScratch& operator=(const StartupScratch&) = delete;

  const std::wstring& prefix() const { return prefix_; }
  std::wstring name(const std::wstring& stem) const { return prefix_ + stem; }

  // Sets a value (created keys stay); the value is deleted again at the end.
  void put_value(std::uint32_t hive, const std::wstring& key, const std::wstring& name, const ValueState& value);
  // Sets a value of the system's own (absent: deletes it); what was there is put back at the end.
  void replace_value(std::uint32_t hive, const std::wstring& key, const std::wstring& name, const ValueState& value);
  // Points the user's Startup folder (the per-user folder settings) at folder until the end.
  void redirect_startup_folder(const std::wstring& folder);
  // Writes a file with the given text, creating folders; the file is deleted at the end.
  void put_file(const std::wstring& path, const std::string& text = "shortcut");
  // Makes link a Unix symbolic link to target (Wine only); removed at the end.
  bool put_link(const std::wstring& target, const std::wstring& link);
  // Remembers a path (file or empty folder) to delete at the end.
  void forget_later(const std::wstring& path);

 private:
  std::wstring prefix_;
  std::vector<RegistryValue> values_;
  std::vector<RegistryValue> replaced_;  // the values as they were
  std::vector<std::wstring> paths_;
  std::vector<std::wstring> links_;
};

}  // namespace corvane::testing
