#pragma once
// Test programs carry no manifest, so the standard controls they create would be the old
// ones (no cue banners, no visual styles). This activates version 6 of the common controls
// for the rest of the process, as the product's manifest does for the program.

namespace corvane::testing {

// Idempotent; returns false when the activation context could not be made.
bool activate_common_controls_v6();

}  // namespace corvane::testing
