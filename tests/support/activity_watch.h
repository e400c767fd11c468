#pragma once
// Reads the activity lines appended to the reports folder's activity.jsonl since a moment.

#include <nlohmann/json.hpp>

#include <cstdint>
#include <string>
#include <vector>

namespace corvane::testing {

class ActivityWatch {
 public:
  // Remembers how long the log is now.
  ActivityWatch();

  // The lines appended since, parsed, keeping those of one operation ("registry", "restore", ...);
  // every line when operation is empty.
  std::vector<nlohmann::json> lines(const std::string& operation = {}) const;
  // The raw bytes appended since.
  std::string appended() const;

 private:
  std::wstring path_;
  std::uint64_t start_ = 0;
};

}  // namespace corvane::testing
