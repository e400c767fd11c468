// ctest-resource-lock: data_folder
#include "ui/preferences.h"

#include "services/documents.h"
#include "support/scratch.h"
#include "support/set_aside.h"
#include "support/ui_app.h"
#include "ui/app.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace corvane {
namespace {

using nlohmann::json;

struct Taken {
  StartOptions options;
  ThemeMode mode = THEME_SYSTEM;
  bool threw = false;
};

Taken take(const json& document, StartOptions options = {}) {
  Taken taken;
  taken.options = options;
  taken.mode = options.theme_given ? (options.dark ? THEME_DARK : THEME_LIGHT) : THEME_SYSTEM;
  try {
    apply_preferences(document, taken.options, taken.mode);
  } catch (const std::exception&) {
    taken.threw = true;
  }
  return taken;
}

TEST(Preferences, DocumentsAndTheCommandLine) {
  StartOptions given;  // language and theme from the command line win
  given.language_given = true;
  given.theme_given = true;
  given.dark = true;
  const struct {
    json document;
    StartOptions options;
    bool threw, vietnamese;
    ThemeMode mode;
  } cases[] = {
      {json{{"language", "vi"}, {"theme", "light"}}, {}, false, true, THEME_LIGHT},
      {json{{"theme", "dark"}}, {}, false, false, THEME_DARK},
      // Missing keys and unknown texts give the defaults.
      {json::object(), {}, false, false, THEME_SYSTEM},
      {json{{"language", "fr"}, {"theme", "purple"}}, {}, false, false, THEME_SYSTEM},
      // A mistyped language stops before the theme; a mistyped theme keeps a good language.
      {json{{"language", 1}, {"theme", "dark"}}, {}, true, false, THEME_SYSTEM},
      {json{{"language", "vi"}, {"theme", true}}, {}, true, true, THEME_SYSTEM},
      {json::array({1, 2}), {}, true, false, THEME_SYSTEM},
      {json{{"language", "vi"}, {"theme", "light"}}, given, false, false, THEME_DARK},
  };
  for (const auto& c : cases) {
    const Taken taken = take(c.document, c.options);
    EXPECT_EQ(taken.threw, c.threw) << c.document.dump();
    EXPECT_EQ(taken.options.vietnamese, c.vietnamese) << c.document.dump();
    EXPECT_EQ(taken.mode, c.mode) << c.document.dump();
  }
  EXPECT_EQ(preferences_document(true, THEME_SYSTEM), (json{{"language", "vi"}, {"theme", "system"}}));
  EXPECT_EQ(preferences_document(false, THEME_DARK), (json{{"language", "en"}, {"theme", "dark"}}));
  EXPECT_EQ(preferences_document(false, THEME_LIGHT), (json{{"language", "en"}, {"theme", "light"}}));
}

// The real file in the data folder, read by App construction and written by save_preferences.
// Each test starts without it; whatever the test leaves is removed and a file that was there put back.
class PreferencesFile : public ::testing::Test {
 protected:
  void SetUp() override { std::filesystem::create_directories(std::filesystem::path(app_data_folder())); }
  static void write(const std::string& text) { testing::write_file_bytes(preferences_path(), text); }

 private:
  testing::PathSetAside preferences_{preferences_path()};
};

TEST_F(PreferencesFile, AppTakesTheFileAndTheCommandLineFirst) {
  write(R"({"language": "vi", "theme": "light"})");
  {
    App app(StartOptions{});
    EXPECT_TRUE(app.options.vietnamese);
    EXPECT_EQ(app.theme_mode, THEME_LIGHT);
    EXPECT_FALSE(app.options.dark);
    EXPECT_EQ(app.status_text, L"Sẵn sàng - Chưa thay đổi hệ thống");
  }
  StartOptions given;
  given.language_given = true;
  given.theme_given = true;
  given.dark = true;
  App app(given);
  EXPECT_FALSE(app.options.vietnamese);
  EXPECT_EQ(app.theme_mode, THEME_DARK);
  EXPECT_TRUE(app.options.dark);
  EXPECT_EQ(app.status_text, L"Ready - No system changes made");
}

TEST_F(PreferencesFile, BrokenMistypedOrMissingFileLeavesTheDefaults) {
  for (const char* text : {"{ not json", R"({"language": 7, "theme": "dark"})", ""}) {
    if (*text != 0) {
      write(text);
    } else {
      std::filesystem::remove(std::filesystem::path(preferences_path()));
    }
    App app(StartOptions{});
    EXPECT_FALSE(app.options.vietnamese) << text;
    EXPECT_EQ(app.theme_mode, THEME_SYSTEM) << text;
  }
}

TEST_F(PreferencesFile, TestModesNeitherReadNorWrite) {
  write(R"({"language": "vi", "theme": "dark"})");
  StartOptions smoke;
  smoke.smoke = true;
  App app(smoke);
  EXPECT_FALSE(app.options.vietnamese);
  EXPECT_EQ(app.theme_mode, THEME_SYSTEM);
  app.theme_mode = THEME_LIGHT;
  app.save_preferences();
  EXPECT_EQ(testing::read_file_bytes(preferences_path()), R"({"language": "vi", "theme": "dark"})");
}

TEST_F(PreferencesFile, SaveWritesTheDocument) {
  App app(StartOptions{});
  app.options.vietnamese = true;
  app.theme_mode = THEME_DARK;
  app.save_preferences();
  EXPECT_EQ(testing::read_file_bytes(preferences_path()), "{\n  \"language\": \"vi\",\n  \"theme\": \"dark\"\n}");
}

}  // namespace
}  // namespace corvane
