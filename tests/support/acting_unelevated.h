#pragma once
// For its lifetime the process reads as not elevated, so that the paths of an unelevated
// Corvane can be taken under a test platform where every process is elevated.

#include "services/system_info.h"

namespace corvane::testing {

class ActingUnelevated {
 public:
  ActingUnelevated() { process_elevation_override = [] { return Elevation::not_elevated; }; }
  ~ActingUnelevated() { process_elevation_override = nullptr; }
  ActingUnelevated(const ActingUnelevated&) = delete;
  ActingUnelevated& operator=(const ActingUnelevated&) = delete;
};

}  // namespace corvane::testing
