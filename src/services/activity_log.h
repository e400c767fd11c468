#pragma once
// activity.jsonl in the reports folder: one compact JSON line per finished change.

#include "services/registry_value.h"

#include <string>

namespace corvane {

// Never throws; a failed append is lost silently.
void append_activity(const std::string& operation, const Outcome& outcome);

}  // namespace corvane
