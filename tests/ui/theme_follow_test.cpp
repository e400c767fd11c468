// ctest-resource-lock: data_folder windows_theme reports_folder
// The Windows app theme is one value of the prefix: this program alone changes it. The
// catalogue's registry test writes it too and runs under the reports folder's lock.
#include "ui/app.h"

#include "services/documents.h"
#include "support/dib_canvas.h"
#include "support/scratch.h"
#include "support/ui_app.h"
#include "ui/preferences.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace corvane {
namespace {

constexpr wchar_t kThemes[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Themes";
constexpr wchar_t kPersonalize[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Themes\\Personalize";

bool key_exists(const wchar_t* path) {
  HKEY key = nullptr;
  const bool found = RegOpenKeyExW(HKEY_CURRENT_USER, path, 0, KEY_READ, &key) == ERROR_SUCCESS;
  if (found) RegCloseKey(key);
  return found;
}

// Puts the Windows app theme, the keys that hold it and the preferences file back as they were.
class ThemeFollow : public ::testing::Test {
 protected:
  void SetUp() override {
    DWORD size = sizeof(old_value_);
    had_value_ = RegGetValueW(HKEY_CURRENT_USER, kPersonalize, L"AppsUseLightTheme", RRF_RT_REG_DWORD, nullptr,
                              &old_value_, &size) == ERROR_SUCCESS;
    had_themes_key_ = key_exists(kThemes);
    had_personalize_key_ = key_exists(kPersonalize);
    std::filesystem::create_directories(std::filesystem::path(app_data_folder()));
    had_preferences_ = std::filesystem::exists(std::filesystem::path(preferences_path()));
    old_preferences_ = testing::read_file_bytes(preferences_path());
    set_windows_light(true);
  }
  void TearDown() override {
    if (had_value_) {
      set_value(old_value_);
    } else {
      RegDeleteKeyValueW(HKEY_CURRENT_USER, kPersonalize, L"AppsUseLightTheme");
    }
    if (!had_personalize_key_) RegDeleteKeyW(HKEY_CURRENT_USER, kPersonalize);
    if (!had_themes_key_) RegDeleteKeyW(HKEY_CURRENT_USER, kThemes);
    if (had_preferences_) {
      testing::write_file_bytes(preferences_path(), old_preferences_);
    } else {
      std::error_code ignored;
      std::filesystem::remove(std::filesystem::path(preferences_path()), ignored);
    }
  }
  static void set_value(DWORD value) {
    ASSERT_EQ(RegSetKeyValueW(HKEY_CURRENT_USER, kPersonalize, L"AppsUseLightTheme", REG_DWORD, &value, sizeof(value)),
              ERROR_SUCCESS);
  }
  static void set_windows_light(bool light) { set_value(light ? 1 : 0); }
  static void broadcast(App& app) {
    SendMessageW(app.main_window, WM_SETTINGCHANGE, 0, reinterpret_cast<LPARAM>(L"ImmersiveColorSet"));
  }
  static COLORREF window_pixel(App& app) {
    RECT client{};
    GetClientRect(app.main_window, &client);
    testing::DibCanvas canvas(client.right, client.bottom);
    app.paint(canvas.dc());
    return canvas.pixel(app.renderer.scale(250), app.renderer.scale(10));
  }

 private:
  bool had_value_ = false;
  bool had_themes_key_ = false;
  bool had_personalize_key_ = false;
  DWORD old_value_ = 0;
  bool had_preferences_ = false;
  std::string old_preferences_;
};

StartOptions system_theme_options() {
  StartOptions options;
  options.language_given = true;  // the theme comes from the preferences, which say "system"
  return options;
}

TEST_F(ThemeFollow, SystemModeFollowsWindowsAndRewritesThePreferences) {
  testing::write_file_bytes(preferences_path(), R"({"language": "en", "theme": "system"})");
  testing::WindowApp app(system_theme_options());
  ASSERT_TRUE(app.created());
  ASSERT_EQ(app->theme_mode, THEME_SYSTEM);
  EXPECT_FALSE(app->options.dark);
  EXPECT_EQ(window_pixel(*app), kLightPalette[kColorWindow]);
  std::filesystem::remove(std::filesystem::path(preferences_path()));

  set_windows_light(false);
  broadcast(*app);
  EXPECT_TRUE(app->options.dark);
  EXPECT_TRUE(app->renderer.dark);
  EXPECT_EQ(window_pixel(*app), kDarkPalette[kColorWindow]);
  EXPECT_EQ(testing::read_file_bytes(preferences_path()), "{\n  \"language\": \"en\",\n  \"theme\": \"system\"\n}");

  // The same broadcast again changes nothing and writes nothing.
  std::filesystem::remove(std::filesystem::path(preferences_path()));
  SendMessageW(app->main_window, WM_THEMECHANGED, 0, 0);
  EXPECT_TRUE(app->renderer.dark);
  EXPECT_FALSE(std::filesystem::exists(std::filesystem::path(preferences_path())));

  set_windows_light(true);
  SendMessageW(app->main_window, WM_THEMECHANGED, 0, 0);
  EXPECT_FALSE(app->renderer.dark);
}

TEST_F(ThemeFollow, FixedModesIgnoreWindows) {
  testing::WindowApp app(system_theme_options());
  ASSERT_TRUE(app.created());
  app->command(CMD_THEME_LIGHT);
  EXPECT_EQ(app->theme_mode, THEME_LIGHT);
  EXPECT_FALSE(app->renderer.dark);
  set_windows_light(false);
  broadcast(*app);
  EXPECT_FALSE(app->renderer.dark);
  EXPECT_EQ(window_pixel(*app), kLightPalette[kColorWindow]);
  app->command(CMD_THEME_DARK);
  EXPECT_TRUE(app->renderer.dark);
  EXPECT_EQ(testing::read_file_bytes(preferences_path()), "{\n  \"language\": \"en\",\n  \"theme\": \"dark\"\n}");
  set_windows_light(true);
  broadcast(*app);
  EXPECT_TRUE(app->renderer.dark);
  // Back to following Windows, which is light now.
  app->command(CMD_THEME_SYSTEM);
  EXPECT_FALSE(app->renderer.dark);
}

}  // namespace
}  // namespace corvane
