#pragma once
// An in-memory stand-in for the system's power schemes, reached through a PowerFunctions
// table: duplicate, activate and delete act on the state below, and each call can be made
// to fail with a chosen Windows error. One fake at a time per process.

#include "engines/power_plan.h"

#include <windows.h>

#include <vector>

namespace corvane::testing {

struct FakePowerState {
  GUID active{};
  std::vector<GUID> schemes;  // every scheme that exists, the template included
  DWORD get_error = 0;
  DWORD duplicate_error = 0;
  DWORD set_error = 0;
  DWORD delete_error = 0;
  int duplicate_calls = 0;
  int set_calls = 0;
  int delete_calls = 0;

  bool exists(const GUID& scheme) const;
};

class FakePower {
 public:
  // Starts with the template and one other scheme, which is active.
  FakePower();
  ~FakePower();
  FakePower(const FakePower&) = delete;
  FakePower& operator=(const FakePower&) = delete;

  FakePowerState& state() { return state_; }
  const PowerFunctions& functions() const { return functions_; }

 private:
  FakePowerState state_;
  PowerFunctions functions_;
};

GUID random_guid();

}  // namespace corvane::testing
