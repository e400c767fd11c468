#pragma once
// Registry values of the shared prefix that a test changes, held at a known baseline: every value
// is put at its baseline when the guard is made and again when it goes, whatever the test did in
// between. A value whose baseline is absent also leaves no empty key on its path (but the machine's
// Software\Policies, which a fresh system has even when empty), so a run never starts from what an
// earlier run (or a fault) left behind, nor takes that as "original".

#include "services/registry_value.h"

#include <vector>

namespace corvane::testing {

// The state a fresh Windows, and a fresh Wine prefix, has for a value that the feature catalogue
// writes: absent, except the menu delay, which Windows itself sets to "400".
RegistryValue catalogue_baseline(RegistryValue target);

class RegistryBaseline {
 public:
  // Each entry's value is its baseline (ValueState{}: absent). Establishes it at once; throws
  // when it cannot.
  explicit RegistryBaseline(std::vector<RegistryValue> baseline);
  // Establishes the baseline again; a failure to do so fails the running test.
  ~RegistryBaseline();
  RegistryBaseline(const RegistryBaseline&) = delete;
  RegistryBaseline& operator=(const RegistryBaseline&) = delete;

  // Puts every value at its baseline and removes the keys that this leaves empty, deepest first,
  // up to the first key that holds something. Throws on failure.
  void establish() const;
  const std::vector<RegistryValue>& values() const { return baseline_; }

 private:
  std::vector<RegistryValue> baseline_;
};

}  // namespace corvane::testing
