#pragma once
// The cleanup run: deletes the files of one scan, each re-checked, with a report written
// before the first deletion and rewritten at the end.

#include "engines/cleanup_areas.h"
#include "engines/cleanup_scan.h"
#include "services/progress.h"
#include "services/registry_value.h"

#include <nlohmann/json.hpp>

#include <vector>

namespace corvane {

// Deletes the items of scan whose area is among the confirmed areas, whose browser is not
// running, and which still pass every check of delete_scanned_file. The report goes to the
// reports folder as "<stamp>-cleanup.json"; one activity line is appended. A failed report
// write is answered in the outcome; any other error (a path the report cannot hold) is thrown
// before anything is written. Elevated, each deletion is checked as delete_scanned_file says;
// without elevated, as process_elevated says.
Outcome execute_cleanup(const ScanResult& scan, const std::vector<CleanupArea>& areas, const CancelFlag* cancel,
                        const ProgressFn& progress, bool elevated);
Outcome execute_cleanup(const ScanResult& scan, const std::vector<CleanupArea>& areas, const CancelFlag* cancel,
                        const ProgressFn& progress);

// The report as first written: state "prepared", one "files" entry per item in scan order.
nlohmann::json prepared_cleanup_report(const ScanResult& scan);

}  // namespace corvane
