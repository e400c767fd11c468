#include "services/registry.h"

#include "services/text.h"

#include <shlobj.h>

#include <stdexcept>

namespace corvane {

namespace {

constexpr DWORD kMaxValueBytes = 16u * 1024u * 1024u;
constexpr DWORD kNameBufferChars = 16384;
constexpr std::size_t kFirstReadBytes = 512;

ValueState absent_state() { return ValueState{}; }

}  // namespace

RegistryReadGap registry_read_gap = nullptr;

HKEY hive_root(std::uint32_t hive) {
  if (hive == kHiveCurrentUser) return HKEY_CURRENT_USER;
  if (hive == kHiveLocalMachine) return HKEY_LOCAL_MACHINE;
  return HKEY_USERS;
}

ValueState read_registry_value(const RegistryValue& target) {
  HKEY raw = nullptr;
  const LSTATUS status =
      RegOpenKeyExW(hive_root(target.hive), target.key.c_str(), 0, KEY_QUERY_VALUE | KEY_WOW64_64KEY, &raw);
  if (status == ERROR_FILE_NOT_FOUND) return absent_state();
  if (status != ERROR_SUCCESS) throw_windows_error(static_cast<std::uint32_t>(status));
  const UniqueRegKey key(raw);
  return query_registry_value(key.get(), target.name);
}

ValueState query_registry_value(HKEY key, const std::wstring& name) {
  // Most values fit the first buffer and are read in one call; a bigger one reports its type and
  // size, and a buffer of that size is filled by one more call. A value that grew in between is
  // an error, never read again. The buffer is never null, so such a value reports "more data"
  // rather than success with its new size.
  ValueState state;
  state.bytes.resize(kFirstReadBytes);
  DWORD type = 0;
  DWORD size = static_cast<DWORD>(state.bytes.size());
  LSTATUS status = RegQueryValueExW(key, name.c_str(), nullptr, &type, state.bytes.data(), &size);
  if (status == ERROR_MORE_DATA) {
    if (size > kMaxValueBytes) throw std::runtime_error("Registry value too large (over 16 MiB)");
    state.bytes.resize(size);
    if (registry_read_gap != nullptr) registry_read_gap(key, name);
    status = RegQueryValueExW(key, name.c_str(), nullptr, &type, state.bytes.data(), &size);
  }
  // Gone before either call, or deleted with its key since the key was opened: absent, like a
  // value that was never there.
  if (status == ERROR_FILE_NOT_FOUND || status == ERROR_KEY_DELETED) return absent_state();
  if (status != ERROR_SUCCESS) throw_windows_error(static_cast<std::uint32_t>(status));
  if (size > state.bytes.size()) throw_windows_error(ERROR_MORE_DATA);
  state.exists = true;
  state.type = type;
  state.bytes.resize(size);
  return state;
}

void write_registry_value(const RegistryValue& target) {
  HKEY raw = nullptr;
  LSTATUS status = ERROR_SUCCESS;
  if (target.value.exists) {
    status = RegCreateKeyExW(hive_root(target.hive), target.key.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                             KEY_SET_VALUE | KEY_WOW64_64KEY, nullptr, &raw, nullptr);
  } else {
    status = RegOpenKeyExW(hive_root(target.hive), target.key.c_str(), 0, KEY_SET_VALUE | KEY_WOW64_64KEY, &raw);
    if (status == ERROR_FILE_NOT_FOUND) return;  // no key, so no value to delete
  }
  if (status != ERROR_SUCCESS) throw_windows_error(static_cast<std::uint32_t>(status));
  const UniqueRegKey key(raw);

  if (target.value.exists) {
    const std::vector<std::uint8_t>& bytes = target.value.bytes;
    if (bytes.size() > kMaxValueBytes) throw std::runtime_error("Registry value too large (over 16 MiB)");
    // Some registry implementations append a terminator to string data whose size lacks one
    // when the memory after the data happens to be zero. Follow the data with non-zero bytes
    // so that exactly the given bytes are stored.
    std::vector<std::uint8_t> buffer(bytes);
    buffer.insert(buffer.end(), {0xFF, 0xFF, 0xFF, 0xFF});
    status = RegSetValueExW(key.get(), target.name.c_str(), 0, target.value.type, buffer.data(),
                            static_cast<DWORD>(bytes.size()));
  } else {
    status = RegDeleteValueW(key.get(), target.name.c_str());
  }
  if (status != ERROR_SUCCESS && status != ERROR_FILE_NOT_FOUND) {
    throw_windows_error(static_cast<std::uint32_t>(status));
  }

  if (read_registry_value(target) != target.value) throw std::runtime_error("Registry verification failed");
}

std::vector<std::wstring> enum_registry_names(HKEY key, bool subkeys, const CancelFlag* cancel) {
  std::vector<std::wstring> names;
  std::wstring buffer(kNameBufferChars, L'\0');
  for (DWORD index = 0;; ++index) {
    DWORD length = kNameBufferChars;
    const LSTATUS status =
        subkeys ? RegEnumKeyExW(key, index, buffer.data(), &length, nullptr, nullptr, nullptr, nullptr)
                : RegEnumValueW(key, index, buffer.data(), &length, nullptr, nullptr, nullptr, nullptr);
    if (status == ERROR_SUCCESS) {
      names.emplace_back(buffer.data(), length);
    } else if (status != ERROR_MORE_DATA) {
      // The end of the list, or a key that became unusable (deleted while listed, handle
      // closed): going on would walk billions of indexes that all fail the same way.
      break;
    }
    // ERROR_MORE_DATA: a name that does not fit; skip it and go on.
    if (is_cancelled(cancel)) break;
  }
  return names;
}

void broadcast_settings_change() {
  SHChangeNotify(SHCNE_ASSOCCHANGED, SHCNF_IDLIST, nullptr, nullptr);
  static const wchar_t kArea[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Advanced";
  DWORD_PTR result = 0;
  SendMessageTimeoutW(HWND_BROADCAST, WM_SETTINGCHANGE, 0, reinterpret_cast<LPARAM>(kArea), SMTO_ABORTIFHUNG, 1000,
                      &result);
}

}  // namespace corvane
