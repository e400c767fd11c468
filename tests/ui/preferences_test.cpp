// ctest-resource-lock: data_folder
#include "ui/preferences.h"

#include "services/documents.h"
#include "support/scratch.h"
#include "support/ui_app.h"
#include "ui/app.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace corvane {
namespace {

// The real file in the data folder, read by App construction and written by save_preferences.
class PreferencesFile : public ::testing::Test {
 protected:
  void SetUp() override {
    std::filesystem::create_directories(std::filesystem::path(app_data_folder()));
    saved_ = testing::read_file_bytes(preferences_path());
    had_file_ = std::filesystem::exists(std::filesystem::path(preferences_path()));
  }
  void TearDown() override {
    if (had_file_) {
      testing::write_file_bytes(preferences_path(), saved_);
    } else {
      std::error_code ignored;
      std::filesystem::remove(std::filesystem::path(preferences_path()), ignored);
    }
  }
  static void write(const std::string& text) { testing::write_file_bytes(preferences_path(), text); }

 private:
  std::string saved_;
  bool had_file_ = false;
};

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

TEST_F(PreferencesFile, SaveWritesTheDocument) {
  App app(StartOptions{});
  app.options.vietnamese = true;
  app.theme_mode = THEME_DARK;
  app.save_preferences();
  EXPECT_EQ(testing::read_file_bytes(preferences_path()), "{\n  \"language\": \"vi\",\n  \"theme\": \"dark\"\n}");
}

}  // namespace
}  // namespace corvane
