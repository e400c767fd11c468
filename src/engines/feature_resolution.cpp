#include "engines/feature_resolution.h"

#include "services/shell.h"
#include "services/system_info.h"

#include <stdexcept>

namespace corvane {

namespace {

std::wstring quoted(const std::wstring& text) { return L"\"" + text + L"\""; }

// Joins with one backslash unless the folder already ends in a separator; the appended part
// keeps its own separators.
std::wstring join_path(const std::wstring& folder, const std::wstring& relative) {
  if (!folder.empty() && (folder.back() == L'\\' || folder.back() == L'/')) return folder + relative;
  return folder + L"\\" + relative;
}

// The replacement of a placeholder, or empty when the text is none.
std::wstring placeholder_replacement(const std::wstring& text) {
  if (text == L"@CORVANE_BLANK_ICON@") return quoted(executable_path()) + L",-102";
  if (text == L"@NOTEPAD_COMMAND@") {
    const std::wstring windows = windows_folder();
    // Without it the verb would name a notepad.exe at the root of the current drive.
    if (windows.empty()) throw std::runtime_error("Cannot determine the Windows folder");
    return quoted(join_path(windows, L"System32/notepad.exe")) + L" " + quoted(L"%1");
  }
  if (text == L"@OWNERSHIP_COMMAND@") return quoted(executable_path()) + L" --take-ownership " + quoted(L"%1");
  return {};
}

bool is_volume_licensed_edition(const std::wstring& edition) {
  return edition.find(L"Enterprise") != std::wstring::npos || edition.find(L"Education") != std::wstring::npos;
}

RegistryValue verb_label(const wchar_t* key, const wchar_t* text) {
  return RegistryValue{kHiveCurrentUser, key, L"", make_string_value(text)};
}

}  // namespace

std::vector<RegistryValue> resolve_feature_changes(const Feature& feature) {
  std::vector<RegistryValue> result = feature.changes;

  for (RegistryValue& change : result) {
    const std::wstring replacement = placeholder_replacement(describe_value(change.value));
    if (!replacement.empty()) change.value = make_string_value(replacement);
  }

  if (feature.id == "telemetry" && !result.empty()) {
    if (is_volume_licensed_edition(query_system_info().edition)) result.front().value = make_dword_value(0);
  } else if (feature.id == "notepad") {
    result.push_back(verb_label(L"Software\\Classes\\*\\shell\\Corvane.Notepad", L"Open with Notepad"));
  } else if (feature.id == "ownership") {
    result.push_back(verb_label(L"Software\\Classes\\*\\shell\\Corvane.TakeOwnership", L"Take Ownership (Corvane)"));
    result.push_back(
        verb_label(L"Software\\Classes\\Directory\\shell\\Corvane.TakeOwnership", L"Take Ownership (Corvane)"));
  }
  return result;
}

}  // namespace corvane
