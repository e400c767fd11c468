#pragma once
// Text conversion, formatting, time stamps and Windows error texts.

#include <windows.h>

#include <cstdint>
#include <string>
#include <string_view>

namespace corvane {

// Strict conversions: malformed input throws std::runtime_error with a short text.
std::wstring utf8_to_wide(std::string_view text);
std::string wide_to_utf8(std::wstring_view text);

// For failure paths only: never throws; malformed sequences become U+FFFD.
std::wstring utf8_to_wide_lenient(std::string_view text);

// "512 B", "1.5 KB", ... "2048.0 TB".
std::wstring format_byte_size(std::uint64_t bytes);

// Lower case by the platform's Unicode mapping ("Đ" becomes "đ"), the same in every locale.
std::wstring lower_case(const std::wstring& text);

// True when a and b are the same path text, letter case aside (the file system's ordinal rule).
bool same_path_text(const std::wstring& a, const std::wstring& b);

// Lexical test: candidate lies below root (not equal to it). No file-system access.
bool path_strictly_inside(const std::wstring& root, const std::wstring& candidate);

// The system's message for a Windows error code, then " (code)".
std::wstring windows_error_text(std::uint32_t code);

// Throws std::runtime_error carrying windows_error_text(code) in UTF-8.
[[noreturn]] void throw_windows_error(std::uint32_t code);

// "YYYYMMDD-hhmmss-mmm-pid-tick". Never returns the same text twice in one process.
std::string make_stamp();

// %VAR% references expanded; the input unchanged when expansion fails.
std::wstring expand_environment(const std::wstring& text);

// Braced upper-case registry form, e.g. "{ED7BA470-8E54-465E-825C-99712043E01C}".
std::string guid_to_string(const GUID& guid);

}  // namespace corvane
