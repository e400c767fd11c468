// ctest-resource-lock: data_folder windows_theme reports_folder
// The Windows app theme is one value of the prefix: this program alone changes it. The
// catalogue's registry test writes it too and runs under the reports folder's lock.
#include "ui/app.h"

#include "services/documents.h"
#include "support/dib_canvas.h"
#include "support/registry_baseline.h"
#include "support/scratch.h"
#include "support/set_aside.h"
#include "support/ui_app.h"
#include "ui/preferences.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace corvane {
namespace {

constexpr wchar_t kPersonalize[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Themes\\Personalize";

// Each test starts with no Windows app theme value (nor the empty keys that held it) and no
// preferences file, and leaves them so however it ends; a preferences file that was there is
// put back.
class ThemeFollow : public ::testing::Test {
 protected:
  void SetUp() override {
    std::filesystem::create_directories(std::filesystem::path(app_data_folder()));
    set_windows_light(true);
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
  testing::RegistryBaseline theme_{{{kHiveCurrentUser, kPersonalize, L"AppsUseLightTheme", ValueState{}}}};
  testing::PathSetAside preferences_{preferences_path()};
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
