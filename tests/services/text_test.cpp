#include "services/text.h"

#include <gtest/gtest.h>

#include <set>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace corvane {
namespace {

std::string bytes(std::initializer_list<int> values) {
  std::string out;
  for (int v : values) out.push_back(static_cast<char>(v));
  return out;
}

std::string conversion_error(const std::string& input) {
  try {
    utf8_to_wide(input);
  } catch (const std::runtime_error& error) {
    return error.what();
  }
  return "no error";
}

std::string conversion_error(const std::wstring& input) {
  try {
    wide_to_utf8(input);
  } catch (const std::runtime_error& error) {
    return error.what();
  }
  return "no error";
}

TEST(Utf8ToWide, RejectsMalformedInputWithExactTexts) {
  EXPECT_EQ(conversion_error(bytes({0xC0, 0x80})), "Invalid UTF-8");
  EXPECT_EQ(conversion_error(bytes({0x80})), "Invalid UTF-8");
  EXPECT_EQ(conversion_error(bytes({0xF5, 0x80, 0x80, 0x80})), "Invalid UTF-8");
  EXPECT_EQ(conversion_error(bytes({0xFF})), "Invalid UTF-8");
  EXPECT_EQ(conversion_error(bytes({0xE0, 0x80, 0x80})), "Invalid UTF-8 code point");
  EXPECT_EQ(conversion_error(bytes({0xED, 0xA0, 0x80})), "Invalid UTF-8 code point");
  EXPECT_EQ(conversion_error(bytes({0xF0, 0x8F, 0xBF, 0xBF})), "Invalid UTF-8 code point");
  EXPECT_EQ(conversion_error(bytes({0xF4, 0x90, 0x80, 0x80})), "Invalid UTF-8 code point");
  EXPECT_EQ(conversion_error(bytes({0xE2, 0x82})), "Truncated UTF-8");
  EXPECT_EQ(conversion_error(bytes({'a', 0xF0, 0x9F, 0x98})), "Truncated UTF-8");
  EXPECT_EQ(conversion_error(bytes({0xC3, 0x28})), "Invalid UTF-8 continuation");
  EXPECT_EQ(conversion_error(bytes({0xE2, 0x28, 0xA1})), "Invalid UTF-8 continuation");
}

TEST(Utf8ToWide, DecodesEveryLengthAndSurrogatePairs) {
  EXPECT_EQ(utf8_to_wide(""), L"");
  EXPECT_EQ(utf8_to_wide("abc"), L"abc");
  EXPECT_EQ(utf8_to_wide(bytes({0xC2, 0x80})), std::wstring(1, L'\x80'));
  EXPECT_EQ(utf8_to_wide(bytes({0xE1, 0xBB, 0x87})), L"\x1EC7");  // Vietnamese e with circumflex and dot
  EXPECT_EQ(utf8_to_wide(bytes({0xEF, 0xBF, 0xBF})), std::wstring(1, L'\xFFFF'));
  const std::wstring pair = utf8_to_wide(bytes({0xF0, 0x9F, 0x98, 0x80}));
  ASSERT_EQ(pair.size(), 2u);
  EXPECT_EQ(static_cast<unsigned>(pair[0]), 0xD83Du);
  EXPECT_EQ(static_cast<unsigned>(pair[1]), 0xDE00u);
  EXPECT_EQ(wide_to_utf8(pair), bytes({0xF0, 0x9F, 0x98, 0x80}));
  const std::wstring top = utf8_to_wide(bytes({0xF4, 0x8F, 0xBF, 0xBF}));
  EXPECT_EQ(wide_to_utf8(top), bytes({0xF4, 0x8F, 0xBF, 0xBF}));
}

TEST(WideToUtf8, RejectsBrokenSurrogates) {
  EXPECT_EQ(conversion_error(std::wstring(1, static_cast<wchar_t>(0xD83D))), "Invalid UTF-16");
  EXPECT_EQ(conversion_error(std::wstring{static_cast<wchar_t>(0xD83D), L'A'}), "Invalid UTF-16");
  EXPECT_EQ(conversion_error(std::wstring{L'x', static_cast<wchar_t>(0xDE00)}), "Invalid Unicode");
  EXPECT_EQ(wide_to_utf8(L""), "");
  EXPECT_EQ(wide_to_utf8(L"\x00E9\x0800"), bytes({0xC3, 0xA9, 0xE0, 0xA0, 0x80}));
}

TEST(Utf8ToWideLenient, NeverThrowsAndKeepsAscii) {
  EXPECT_EQ(utf8_to_wide_lenient("plain"), L"plain");
  EXPECT_EQ(utf8_to_wide_lenient(bytes({'o', 'k', 0xC3, 0x28})), L"ok\xFFFD(");
  EXPECT_EQ(utf8_to_wide_lenient(bytes({0xC3, 0xA9})), L"\x00E9");
}

TEST(FormatByteSize, UnitsStepsAndRounding) {
  EXPECT_EQ(format_byte_size(0), L"0 B");
  EXPECT_EQ(format_byte_size(512), L"512 B");
  EXPECT_EQ(format_byte_size(1023), L"1023 B");
  EXPECT_EQ(format_byte_size(1024), L"1.0 KB");
  EXPECT_EQ(format_byte_size(1536), L"1.5 KB");
  EXPECT_EQ(format_byte_size(1048575), L"1024.0 KB");
  EXPECT_EQ(format_byte_size(1048576), L"1.0 MB");
  EXPECT_EQ(format_byte_size(5ull * 1024 * 1024 * 1024), L"5.0 GB");
  EXPECT_EQ(format_byte_size(1ull << 40), L"1.0 TB");
  EXPECT_EQ(format_byte_size(2048ull << 40), L"2048.0 TB");
}

TEST(PathStrictlyInside, ComparesElementsCaseInsensitively) {
  EXPECT_TRUE(path_strictly_inside(L"C:\\Temp", L"c:\\temp\\a.txt"));
  EXPECT_TRUE(path_strictly_inside(L"C:\\Temp", L"C:/Temp/sub/b"));
  EXPECT_FALSE(path_strictly_inside(L"C:\\Temp", L"C:\\Temp"));
  EXPECT_FALSE(path_strictly_inside(L"C:\\Temp", L"C:\\Temp\\"));
  EXPECT_FALSE(path_strictly_inside(L"C:\\Temp", L"C:\\Temp2\\a"));
  EXPECT_FALSE(path_strictly_inside(L"C:\\Temp", L"C:\\Temp\\..\\Windows\\x"));
  EXPECT_FALSE(path_strictly_inside(L"C:\\Temp", L"C:\\Temp\\a\\..\\..\\Temp"));
  EXPECT_TRUE(path_strictly_inside(L"C:\\Temp", L"C:\\Temp\\.\\a\\..\\b"));
  EXPECT_FALSE(path_strictly_inside(L"C:\\Temp", L"D:\\Temp\\a"));
  EXPECT_FALSE(path_strictly_inside(L"C:\\Temp", L"C:\\"));
}

TEST(PathStrictlyInside, TrailingSeparatorOfTheRootIsIgnored) {
  EXPECT_TRUE(path_strictly_inside(L"C:\\Temp\\", L"C:\\Temp\\a"));
  EXPECT_FALSE(path_strictly_inside(L"C:\\Temp\\", L"C:\\Temp"));
  EXPECT_TRUE(path_strictly_inside(L"C:\\", L"C:\\Windows"));
}

TEST(PathStrictlyInside, RefusesRelativePathsAndMixedRoots) {
  EXPECT_FALSE(path_strictly_inside(L"Temp", L"Temp\\a"));
  EXPECT_FALSE(path_strictly_inside(L"C:\\Temp", L"Temp\\a"));
  EXPECT_FALSE(path_strictly_inside(L"C:Temp", L"C:Temp\\a"));
  EXPECT_FALSE(path_strictly_inside(L"\\Temp", L"\\Temp\\a"));
  EXPECT_FALSE(path_strictly_inside(L"", L"C:\\a"));
  EXPECT_TRUE(path_strictly_inside(L"\\\\server\\share", L"\\\\SERVER\\share\\x"));
  EXPECT_FALSE(path_strictly_inside(L"\\\\server\\share", L"C:\\server\\share\\x"));
}

TEST(WindowsErrorText, SystemTextFollowedByTheCode) {
  const std::wstring denied = windows_error_text(ERROR_ACCESS_DENIED);
  ASSERT_GT(denied.size(), 4u);
  EXPECT_EQ(denied.substr(denied.size() - 4), L" (5)");
  EXPECT_EQ(denied.find(L"Windows error"), std::wstring::npos);
  EXPECT_EQ(denied.find_first_of(L"\r\n"), std::wstring::npos);
  EXPECT_EQ(windows_error_text(0xDEADBEEFu), L"Windows error (3735928559)");
}

TEST(WindowsErrorText, ThrownAsUtf8RuntimeError) {
  try {
    throw_windows_error(ERROR_FILE_NOT_FOUND);
    FAIL() << "no exception";
  } catch (const std::runtime_error& error) {
    EXPECT_EQ(utf8_to_wide(error.what()), windows_error_text(ERROR_FILE_NOT_FOUND));
  }
}

TEST(MakeStamp, HasTheDocumentedShape) {
  const std::string stamp = make_stamp();
  // YYYYMMDD-hhmmss-mmm-pid-tick
  ASSERT_GE(stamp.size(), 23u);
  for (std::size_t i : {0u, 1u, 2u, 3u, 4u, 5u, 6u, 7u, 9u, 10u, 11u, 12u, 13u, 14u, 16u, 17u, 18u}) {
    EXPECT_TRUE(stamp[i] >= '0' && stamp[i] <= '9') << stamp;
  }
  EXPECT_EQ(stamp[8], '-');
  EXPECT_EQ(stamp[15], '-');
  EXPECT_EQ(stamp[19], '-');
  const std::string pid = "-" + std::to_string(GetCurrentProcessId()) + "-";
  EXPECT_EQ(stamp.find(pid), 19u) << stamp;
}

TEST(MakeStamp, NeverRepeatsWithinTheProcess) {
  std::vector<std::string> stamps(4 * 25);
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&stamps, t] {
      for (int i = 0; i < 25; ++i) stamps[static_cast<std::size_t>(t * 25 + i)] = make_stamp();
    });
  }
  for (auto& thread : threads) thread.join();
  EXPECT_EQ(std::set<std::string>(stamps.begin(), stamps.end()).size(), stamps.size());
}

TEST(ExpandEnvironment, ExpandsKnownAndKeepsUnknown) {
  ASSERT_TRUE(SetEnvironmentVariableW(L"CORVANE_TEST_VAR", L"value"));
  EXPECT_EQ(expand_environment(L"a%CORVANE_TEST_VAR%b"), L"avalueb");
  EXPECT_EQ(expand_environment(L"%CORVANE_NOT_SET_ANYWHERE%"), L"%CORVANE_NOT_SET_ANYWHERE%");
  EXPECT_EQ(expand_environment(L""), L"");
  const std::wstring long_value(5000, L'x');
  ASSERT_TRUE(SetEnvironmentVariableW(L"CORVANE_TEST_LONG", long_value.c_str()));
  EXPECT_EQ(expand_environment(L"%CORVANE_TEST_LONG%!"), long_value + L"!");
}

TEST(GuidToString, BracedUpperCaseRegistryForm) {
  const GUID guid = {0xED7BA470, 0x8E54, 0x465E, {0x82, 0x5C, 0x99, 0x71, 0x20, 0x43, 0xE0, 0x1C}};
  EXPECT_EQ(guid_to_string(guid), "{ED7BA470-8E54-465E-825C-99712043E01C}");
}

}  // namespace
}  // namespace corvane
