#pragma once
// "preferences.json" in the data folder: the interface language and the theme mode.

#include "ui/start_options.h"

#include <nlohmann/json.hpp>

#include <string>

namespace corvane {

// The file's path in the data folder.
std::wstring preferences_path();

// Takes the language unless it was given on the command line, then the theme mode unless
// it was given. A value of another JSON type than text throws and leaves the rest untaken.
void apply_preferences(const nlohmann::json& document, StartOptions& options, ThemeMode& theme_mode);

// {"language": "vi"|"en", "theme": "system"|"light"|"dark"}.
nlohmann::json preferences_document(bool vietnamese, ThemeMode theme_mode);

}  // namespace corvane
