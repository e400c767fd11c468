#include "ui/preferences.h"

#include "services/documents.h"

namespace corvane {

std::wstring preferences_path() {
  return app_data_folder() + L"\\preferences.json";
}

void apply_preferences(const nlohmann::json& document, StartOptions& options, ThemeMode& theme_mode) {
  if (!options.language_given) {
    options.vietnamese = document.value("language", std::string("en")) == "vi";
  }
  if (!options.theme_given) {
    const std::string theme = document.value("theme", std::string("system"));
    theme_mode = theme == "dark" ? THEME_DARK : theme == "light" ? THEME_LIGHT : THEME_SYSTEM;
  }
}

nlohmann::json preferences_document(bool vietnamese, ThemeMode theme_mode) {
  const char* theme = theme_mode == THEME_DARK ? "dark" : theme_mode == THEME_LIGHT ? "light" : "system";
  return nlohmann::json{{"language", vietnamese ? "vi" : "en"}, {"theme", theme}};
}

}  // namespace corvane
