#pragma once
// activity.jsonl in the reports folder: one compact JSON line per finished change.

#include "services/registry_value.h"

#include <string>

namespace corvane {

// Never throws; a failed append is lost silently, as is one whose folder or file is reached
// through a link.
void append_activity(const std::string& operation, const Outcome& outcome);

// The same into folder's "activity.jsonl" instead of the reports folder's.
void append_activity_in(const std::wstring& folder, const std::string& operation, const Outcome& outcome);

// Test seam: when set, append_activity_in calls it with the folder once the folder chain is
// pinned, before the log file is opened or created through the pinned folder's handle.
using ActivityLogProbe = void (*)(const std::wstring& folder);
extern ActivityLogProbe activity_log_probe;

// The compact line append_activity writes, ending in CR LF, stamped now; throws on bad text.
std::string activity_line(const std::string& operation, const Outcome& outcome);

}  // namespace corvane
