#include "services/text.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

namespace corvane {
namespace {

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
  };
  for (const Case& c : cases) {
    EXPECT_EQ(path_strictly_inside(c.root, c.path), c.inside) << wide_to_utf8(c.root) << " / " << wide_to_utf8(c.path);
  }
}

TEST(LowerCase, FollowsUnicodeNotJustAscii) {
  EXPECT_EQ(lower_case(L"ĐÃ ÁP DỤNG Administrator"), L"đã áp dụng administrator");
}

}  // namespace
}  // namespace corvane
