#pragma once
// Turns a catalogue entry's changes into the concrete registry values to compare and write.

#include "engines/feature.h"
#include "services/registry_value.h"

#include <vector>

namespace corvane {

// The entry's changes with the path placeholders replaced, the diagnostic-data value fitted
// to the Windows edition, and the display texts of the context-menu verbs appended.
// Reads the registry only for the edition; writes nothing.
std::vector<RegistryValue> resolve_feature_changes(const Feature& feature);

}  // namespace corvane
