#include "services/text.h"

#include <gtest/gtest.h>

#include <regex>
#include <set>
#include <stdexcept>
#include <string>
#include <thread>
#include <type_traits>
#include <utility>
#include <vector>

namespace corvane {
namespace {

template <typename Text>
std::string conversion_error(const Text& input) {
  try {
    if constexpr (std::is_same_v<Text, std::string>) {
      utf8_to_wide(input);
    } else {
      wide_to_utf8(input);
    }
  } catch (const std::runtime_error& error) {
    return error.what();
  }
  return "no error";
}

TEST(Utf8ToWide, RejectsMalformedInputWithExactTexts) {
  const std::pair<const char*, const char*> cases[] = {
      {"\xC0\x80", "Invalid UTF-8"}, {"\x80", "Invalid UTF-8"},
      {"\xF5\x80\x80\x80", "Invalid UTF-8"}, {"\xFF", "Invalid UTF-8"},
      {"\xE0\x80\x80", "Invalid UTF-8 code point"}, {"\xED\xA0\x80", "Invalid UTF-8 code point"},
      {"\xF0\x8F\xBF\xBF", "Invalid UTF-8 code point"}, {"\xF4\x90\x80\x80", "Invalid UTF-8 code point"},
      {"\xE2\x82", "Truncated UTF-8"}, {"a\xF0\x9F\x98", "Truncated UTF-8"},
      {"\xC3(", "Invalid UTF-8 continuation"}, {"\xE2(\xA1", "Invalid UTF-8 continuation"},
  };
  for (const auto& [input, text] : cases) EXPECT_EQ(conversion_error(std::string(input)), text) << input;
}

TEST(Utf8ToWide, DecodesEveryLengthAndSurrogatePairs) {
  EXPECT_EQ(utf8_to_wide(""), L"");
  EXPECT_EQ(utf8_to_wide("abc"), L"abc");
  EXPECT_EQ(utf8_to_wide("\xC2\x80"), std::wstring(1, L'\x80'));
  EXPECT_EQ(utf8_to_wide("\xE1\xBB\x87"), L"\x1EC7");
  EXPECT_EQ(utf8_to_wide("\xEF\xBF\xBF"), std::wstring(1, L'\xFFFF'));
  const std::wstring pair = utf8_to_wide("\xF0\x9F\x98\x80");
  EXPECT_EQ(pair, (std::wstring{static_cast<wchar_t>(0xD83D), static_cast<wchar_t>(0xDE00)}));
  EXPECT_EQ(wide_to_utf8(pair), "\xF0\x9F\x98\x80");
  EXPECT_EQ(wide_to_utf8(utf8_to_wide("\xF4\x8F\xBF\xBF")), "\xF4\x8F\xBF\xBF");
}

TEST(WideToUtf8, RejectsBrokenSurrogates) {
  EXPECT_EQ(conversion_error(std::wstring(1, static_cast<wchar_t>(0xD83D))), "Invalid UTF-16");
  EXPECT_EQ(conversion_error(std::wstring{static_cast<wchar_t>(0xD83D), L'A'}), "Invalid UTF-16");
  EXPECT_EQ(conversion_error(std::wstring{L'x', static_cast<wchar_t>(0xDE00)}), "Invalid Unicode");
  EXPECT_EQ(wide_to_utf8(L""), "");
  EXPECT_EQ(wide_to_utf8(L"\x00E9\x0800"), "\xC3\xA9\xE0\xA0\x80");
}

TEST(Utf8ToWideLenient, NeverThrowsAndKeepsAscii) {
  EXPECT_EQ(utf8_to_wide_lenient("plain"), L"plain");
  EXPECT_EQ(utf8_to_wide_lenient("ok\xC3("), L"ok\xFFFD(");
  EXPECT_EQ(utf8_to_wide_lenient("\xC3\xA9"), L"\x00E9");
}

TEST(FormatByteSize, UnitsStepsAndRounding) {
  const std::pair<std::uint64_t, const wchar_t*> cases[] = {
      {0, L"0 B"}, {512, L"512 B"}, {1023, L"1023 B"}, {1024, L"1.0 KB"}, {1536, L"1.5 KB"}, {1048575, L"1024.0 KB"},
      {1048576, L"1.0 MB"}, {5ull << 30, L"5.0 GB"}, {1ull << 40, L"1.0 TB"}, {2048ull << 40, L"2048.0 TB"},
  };
  for (const auto& [size, text] : cases) EXPECT_EQ(format_byte_size(size), text) << size;
}

TEST(PathStrictlyInside, ComparesWholeElementsCaseInsensitively) {
  struct Case {
    const wchar_t* root;
    const wchar_t* path;
    bool inside;
  };
  const Case cases[] = {
      {L"C:\\Temp", L"c:\\temp\\a.txt", true}, {L"C:\\Temp", L"C:/Temp/sub/b", true},
      {L"C:\\Temp", L"C:\\Temp", false}, {L"C:\\Temp", L"C:\\Temp\\", false}, {L"C:\\Temp", L"C:\\Temp2\\a", false},
      {L"C:\\Temp", L"C:\\Temp\\..\\Windows\\x", false}, {L"C:\\Temp", L"C:\\Temp\\a\\..\\..\\Temp", false},
      {L"C:\\Temp", L"C:\\Temp\\.\\a\\..\\b", true}, {L"C:\\Temp", L"D:\\Temp\\a", false}, {L"C:\\Temp", L"C:\\", false},
      // A trailing separator of the root is ignored.
      {L"C:\\Temp\\", L"C:\\Temp\\a", true}, {L"C:\\Temp\\", L"C:\\Temp", false}, {L"C:\\", L"C:\\Windows", true},
      // Relative paths and mixed roots are refused.
      {L"Temp", L"Temp\\a", false}, {L"C:\\Temp", L"Temp\\a", false}, {L"C:Temp", L"C:Temp\\a", false},
      {L"\\Temp", L"\\Temp\\a", false}, {L"", L"C:\\a", false},
      {L"\\\\server\\share", L"\\\\SERVER\\share\\x", true}, {L"\\\\server\\share", L"C:\\server\\share\\x", false},
      // Doubled separators, names that only begin with dots, a longer neighbour, a shorter path.
      {L"C:\\Temp", L"C:\\\\Temp\\\\a", true}, {L"C:\\..Temp", L"C:\\..temp\\.a", true},
      {L"C:\\.Temp", L"C:\\Temp\\a", false}, {L"\\\\server\\share", L"\\\\server\\sharex\\a", false},
      {L"C:\\Temp\\a\\b", L"C:\\Temp\\a", false}, {L"\\\\server\\share", L"\\\\server", false},
      // A path that begins with two separators names a server, never a drive of the same names.
      {L"C:\\Temp", L"\\\\C:\\Temp\\a", false}, {L"\\\\C:\\Temp", L"C:\\Temp\\a", false},
      {L"C:\\Temp", L"\\\\C:\\Temp\\.\\a", false},
      // A root's own "." and ".." elements are resolved too.
      {L"C:\\Temp\\.", L"C:\\Temp\\a", true}, {L"C:\\Windows\\..\\Temp", L"C:\\Temp\\a", true},
      {L"C:\\Windows\\..\\Temp", L"C:\\Windows\\a", false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(path_strictly_inside(c.root, c.path), c.inside) << wide_to_utf8(c.root) << " / " << wide_to_utf8(c.path);
  }
}

TEST(LowerCase, FollowsUnicodeNotJustAscii) {
  EXPECT_EQ(lower_case(L"ĐÃ ÁP DỤNG Administrator"), L"đã áp dụng administrator");
}

TEST(WindowsErrorText, SystemTextFollowedByTheCode) {
  const std::wstring denied = windows_error_text(ERROR_ACCESS_DENIED);
  ASSERT_GT(denied.size(), 4u);
  EXPECT_EQ(denied.substr(denied.size() - 4), L" (5)");
  EXPECT_EQ(denied.find(L"Windows error"), std::wstring::npos);
  EXPECT_EQ(denied.find_first_of(L"\r\n"), std::wstring::npos);
  EXPECT_EQ(windows_error_text(0xDEADBEEFu), L"Windows error (3735928559)");
  try {
    throw_windows_error(ERROR_FILE_NOT_FOUND);
    FAIL() << "no exception";
  } catch (const std::runtime_error& error) {
    EXPECT_EQ(utf8_to_wide(error.what()), windows_error_text(ERROR_FILE_NOT_FOUND));
  }
}

TEST(MakeStamp, HasTheDocumentedShape) {
  // YYYYMMDD-hhmmss-mmm-pid-tick
  const std::string stamp = make_stamp();
  EXPECT_TRUE(std::regex_match(stamp, std::regex("\\d{8}-\\d{6}-\\d{3}-" + std::to_string(GetCurrentProcessId()) + "-\\d+")))
      << stamp;
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
