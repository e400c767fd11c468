// The information pages: the licence text, the Options combos and the layout rules.
#include "ui/app.h"

#include "support/built_program.h"
#include "support/scratch.h"
#include "support/ui_app.h"

#include <gtest/gtest.h>

#include <string>

namespace corvane {
namespace {

using testing::window_test_options;
using testing::WindowApp;

constexpr wchar_t kUnreadable[] = L"The embedded license text could not be read.";

// Shown by the page (the test's main window itself stays hidden).
bool shown(HWND control) { return (GetWindowLongPtrW(control, GWL_STYLE) & WS_VISIBLE) != 0; }

TEST(LicenceText, CarriesEveryNoticeOfTheProgramWithCrLfLineEnds) {
  const HMODULE module = LoadLibraryExW(testing::built_corvane_exe().c_str(), nullptr,
                                        LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
  ASSERT_NE(module, nullptr);
  const std::wstring text = licence_notices_text(module, false);
  FreeLibrary(module);
  for (const wchar_t* expected : {L"Omar Cornut", L"Niels Lohmann", L"Florian Loitsch", L"LLVM", L"ProggyClean",
                                  L"Permission is hereby granted", L"GCC RUNTIME LIBRARY EXCEPTION"}) {
    EXPECT_NE(text.find(expected), std::wstring::npos) << expected;
  }
  EXPECT_EQ(text.find(kUnreadable), std::wstring::npos);
  for (std::size_t at = text.find(L'\n'); at != std::wstring::npos; at = text.find(L'\n', at + 1)) {
    ASSERT_TRUE(at > 0 && text[at - 1] == L'\r') << "bare line feed at " << at;
  }
}

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

TEST(InfoPages, LicencePageShowsItsTextInTheFieldColours) {
  WindowApp app(window_test_options());
  ASSERT_TRUE(app.created());
  app->command(CMD_PAGE_LICENSES);
  EXPECT_TRUE(shown(app->licence_text));
  EXPECT_EQ(window_text(app->licence_text), app->licenses_text());
  const HDC dc = GetDC(app->main_window);
  EXPECT_EQ(SendMessageW(app->main_window, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                         reinterpret_cast<LPARAM>(app->licence_text)),
            reinterpret_cast<LRESULT>(app->renderer.brushes[kBrushField]));
  EXPECT_EQ(SendMessageW(app->main_window, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                         reinterpret_cast<LPARAM>(app->progress_title)),
            reinterpret_cast<LRESULT>(app->renderer.brushes[kBrushSurface]));
  ReleaseDC(app->main_window, dc);
}

TEST(InfoPages, OptionsCombosSwitchAtOnceButNotWhileBusy) {
  WindowApp app(window_test_options());
  ASSERT_TRUE(app.created());
  app->theme_mode = THEME_SYSTEM;
  app->command(CMD_PAGE_OPTIONS);
  ASSERT_TRUE(shown(app->theme_combo) && shown(app->language_combo));
  EXPECT_EQ(SendMessageW(app->theme_combo, CB_GETCOUNT, 0, 0), 3);
  EXPECT_EQ(SendMessageW(app->theme_combo, CB_GETCURSEL, 0, 0), 0);
  EXPECT_EQ(SendMessageW(app->language_combo, CB_GETCURSEL, 0, 0), 1);
  const auto choose = [&](HWND combo, int id, int index) {
    SendMessageW(combo, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
    SendMessageW(app->main_window, WM_COMMAND, MAKEWPARAM(id, CBN_SELCHANGE), reinterpret_cast<LPARAM>(combo));
  };
  app->busy = true;
  choose(app->theme_combo, ID_THEME_COMBO, 2);
  app->busy = false;
  EXPECT_EQ(app->theme_mode, THEME_SYSTEM);
  choose(app->theme_combo, ID_THEME_COMBO, 2);
  EXPECT_EQ(app->theme_mode, THEME_DARK);
  choose(app->language_combo, ID_LANGUAGE_COMBO, 0);
  EXPECT_TRUE(app->options.vietnamese);
}

TEST(InfoPages, NarrowWindowShrinksTheOptionsCombosAndTheLicenceBoxKeepsItsHeight) {
  testing::WindowApp app(testing::window_test_options());
  ASSERT_TRUE(app.created());
  // A popup has no minimum tracking size, so the window can be made smaller than the product allows.
  SetWindowLongPtrW(app->main_window, GWL_STYLE, WS_POPUP | WS_CLIPCHILDREN);
  SetWindowPos(app->main_window, nullptr, 0, 0, 800, 300, SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
  app->layout();
  RECT client{};
  GetClientRect(app->main_window, &client);
  const auto s = [&](int px) { return app->renderer.scale(px); };
  const int width = client.right - s(32) - s(272);
  ASSERT_LT(width - s(254), s(350));
  const RECT combo = testing::child_rect(app->language_combo);
  EXPECT_EQ(combo.right - combo.left, width - s(254));
  const RECT theme = testing::child_rect(app->theme_combo);
  EXPECT_EQ(theme.right - theme.left, width - s(254));
  const RECT licence = testing::child_rect(app->licence_text);
  EXPECT_EQ(licence.bottom - licence.top, s(150));
}

}  // namespace
}  // namespace corvane
