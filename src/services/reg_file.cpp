#include "services/reg_file.h"

#include "services/documents.h"

#include <windows.h>

#include <exception>
#include <stdexcept>

namespace corvane {

std::wstring quote_reg_string(const std::wstring& text) {
  std::wstring out = L"\"";
  for (wchar_t c : text) {
    if (c == L'\r' || c == L'\n') throw std::runtime_error("Invalid registry string");
    if (c == L'\\' || c == L'"') out.push_back(L'\\');
    out.push_back(c);
  }
  out.push_back(L'"');
  return out;
}

namespace {

const wchar_t kHexDigits[] = L"0123456789abcdef";

void append_hex_byte(std::wstring& out, std::uint8_t byte) {
  out.push_back(kHexDigits[byte >> 4]);
  out.push_back(kHexDigits[byte & 0x0F]);
}

std::wstring hex_number(std::uint32_t number, int min_digits) {
  std::wstring digits;
  do {
    digits.insert(digits.begin(), kHexDigits[number & 0x0F]);
    number >>= 4;
  } while (number != 0);
  while (static_cast<int>(digits.size()) < min_digits) digits.insert(digits.begin(), L'0');
  return digits;
}

std::wstring reg_data_text(const ValueState& state) {
  if (!state.exists) return L"-";
  if (state.type == REG_DWORD && state.bytes.size() == 4) {
    const std::uint32_t number = static_cast<std::uint32_t>(state.bytes[0]) |
                                 (static_cast<std::uint32_t>(state.bytes[1]) << 8) |
                                 (static_cast<std::uint32_t>(state.bytes[2]) << 16) |
                                 (static_cast<std::uint32_t>(state.bytes[3]) << 24);
    return L"dword:" + hex_number(number, 8);
  }
  std::wstring out = L"hex(" + hex_number(state.type, 1) + L"):";
  for (std::size_t i = 0; i < state.bytes.size(); ++i) {
    if (i > 0) {
      out.push_back(L',');
      if (i % 24 == 0) out += L"\\\r\n  ";
    }
    append_hex_byte(out, state.bytes[i]);
  }
  return out;
}

}  // namespace

std::wstring reg_file_text(const std::vector<RegistryValue>& values) {
  std::wstring text = L"Windows Registry Editor Version 5.00\r\n";
  for (const RegistryValue& entry : values) {
    if (entry.hive > kHiveUsers) throw std::runtime_error("Invalid registry hive");
    if (entry.key.find_first_of(L"\r\n]") != std::wstring::npos) throw std::runtime_error("Invalid registry key");
    text += L"\r\n[" + hive_display_name(entry.hive) + L"\\" + entry.key + L"]\r\n";
    text += entry.name.empty() ? std::wstring(L"@") : quote_reg_string(entry.name);
    text += L"=" + reg_data_text(entry.value) + L"\r\n";
  }
  return text;
}

void write_reg_file(const std::wstring& path, const std::vector<RegistryValue>& values) {
  const std::wstring text = reg_file_text(values);
  std::string bytes;
  bytes.reserve(2 + text.size() * 2);
  bytes.push_back(static_cast<char>(0xFF));
  bytes.push_back(static_cast<char>(0xFE));
  for (wchar_t unit : text) {
    const auto code = static_cast<std::uint16_t>(unit);
    bytes.push_back(static_cast<char>(code & 0xFF));
    bytes.push_back(static_cast<char>(code >> 8));
  }
  try {
    write_file_atomic(path, bytes, false);
  } catch (const std::exception&) {
    // Also a link on the way to the folder: refused before anything was written.
    throw std::runtime_error("Cannot write .reg backup");
  }
}

}  // namespace corvane
