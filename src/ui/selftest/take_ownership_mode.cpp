#include "ui/selftest/take_ownership_mode.h"

#include "engines/ownership.h"
#include "services/shell.h"
#include "services/system_info.h"
#include "services/text.h"

#include <shellapi.h>

#include <exception>

namespace corvane {

namespace {

int real_message_box(const std::wstring& text, const std::wstring& caption, UINT style) {
  return MessageBoxW(nullptr, text.c_str(), caption.c_str(), style);
}

bool real_elevated() {
  return query_system_info().elevated;
}

bool real_relaunch(const std::wstring& parameters) {
  const std::wstring program = executable_path();
  const auto result = reinterpret_cast<INT_PTR>(
      ShellExecuteW(nullptr, L"runas", program.c_str(), parameters.c_str(), nullptr, SW_SHOWNORMAL));
  return result > 32;
}

}  // namespace

const TakeOwnershipSystem& system_take_ownership() {
  static const TakeOwnershipSystem system{real_message_box, real_elevated, take_ownership, real_relaunch};
  return system;
}

std::wstring take_ownership_parameters(const std::wstring& path) {
  std::size_t trailing = 0;
  while (trailing < path.size() && path[path.size() - 1 - trailing] == L'\\') ++trailing;
  return L"--take-ownership \"" + path + std::wstring(trailing, L'\\') + L"\"";
}

int take_ownership_command(const std::wstring& path) {
  return take_ownership_command(path, system_take_ownership());
}

int take_ownership_command(const std::wstring& path, const TakeOwnershipSystem& system) {
  const int answer = system.message_box(L"Take ownership of this item only?\r\n\r\n" + path +
                                            L"\r\n\r\nThe original owner SID is saved. Folder contents are not changed.",
                                        L"Corvane - Take Ownership", MB_YESNO | MB_ICONWARNING | MB_DEFBUTTON2);
  if (answer != IDYES) return 0;
  try {
    if (!system.elevated()) return system.relaunch_elevated(take_ownership_parameters(path)) ? 0 : 1;
    const Outcome outcome = system.take(path);
    system.message_box(outcome.message, L"Corvane", MB_OK | (outcome.ok ? MB_ICONINFORMATION : MB_ICONERROR));
    return outcome.ok ? 0 : 1;
  } catch (const std::exception& error) {
    system.message_box(utf8_to_wide_lenient(error.what()), L"Corvane", MB_OK | MB_ICONERROR);
    return 1;
  }
}

}  // namespace corvane
