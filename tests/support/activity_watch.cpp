#include "support/activity_watch.h"

#include "services/documents.h"
#include "support/scratch.h"

#include <filesystem>
#include <sstream>
#include <system_error>

namespace corvane::testing {

ActivityWatch::ActivityWatch()
    : path_((std::filesystem::path(reports_folder()) / L"activity.jsonl").wstring()) {
  std::error_code error;
  const auto size = std::filesystem::file_size(path_, error);
  start_ = error ? 0 : size;
}

std::string ActivityWatch::appended() const { return read_file_bytes(path_, start_); }

std::vector<nlohmann::json> ActivityWatch::lines(const std::string& operation) const {
  std::vector<nlohmann::json> found;
  std::istringstream in(appended());
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty()) continue;
    const nlohmann::json parsed = nlohmann::json::parse(line, nullptr, false);
    if (parsed.is_object() && (operation.empty() || parsed.value("operation", std::string()) == operation)) {
      found.push_back(parsed);
    }
  }
  return found;
}

}  // namespace corvane::testing
