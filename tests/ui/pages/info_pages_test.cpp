// The Licenses page's text and the layout rules of the information pages.
#include "ui/app.h"

#include "support/scratch.h"
#include "support/ui_app.h"

#include <gtest/gtest.h>

namespace corvane {
namespace {

TEST(LicenceText, ANoticeThatIsMissingOrNotUtf8IsReplacedAndLineEndsBecomeCrLf) {
  // A copy of this program with notice 201 holding a bare line feed, 202 not UTF-8, 203 missing.
  testing::ScratchFolder folder;
  wchar_t self[MAX_PATH]{};
  GetModuleFileNameW(nullptr, self, MAX_PATH);
  const std::wstring copy = folder.file(L"notices.exe");
  ASSERT_TRUE(CopyFileW(self, copy.c_str(), FALSE));
  const HANDLE update = BeginUpdateResourceW(copy.c_str(), TRUE);
  ASSERT_NE(update, nullptr);
  char plain[] = "first\nsecond", malformed[] = "caf\xC3\x28";
  ASSERT_TRUE(UpdateResourceW(update, RT_RCDATA, MAKEINTRESOURCEW(201), 0, plain, sizeof(plain) - 1));
  ASSERT_TRUE(UpdateResourceW(update, RT_RCDATA, MAKEINTRESOURCEW(202), 0, malformed, sizeof(malformed) - 1));
  ASSERT_TRUE(EndUpdateResourceW(update, FALSE));
  const HMODULE module = LoadLibraryExW(copy.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
  ASSERT_NE(module, nullptr);
  const std::wstring text = licence_notices_text(module, false);
  FreeLibrary(module);
  const std::wstring unreadable = L"The embedded license text could not be read.\r\n\r\n";
  EXPECT_EQ(text, L"Copyright notices for components distributed with Corvane.\r\n\r\n"
                  L"Interface component\r\n\r\nfirst\r\nsecond\r\n\r\nData component\r\n\r\n" +
                      unreadable + L"Additional notices\r\n\r\n" + unreadable);
}

}  // namespace
}  // namespace corvane
