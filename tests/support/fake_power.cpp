#include "support/fake_power.h"

#include <objbase.h>

#include <algorithm>
#include <stdexcept>
#include <vector>

namespace corvane::testing {
namespace {

FakePowerState* current = nullptr;

DWORD hand_out(const GUID& scheme, GUID** out) {
  auto* copy = static_cast<GUID*>(LocalAlloc(LMEM_FIXED, sizeof(GUID)));
  if (copy == nullptr) return ERROR_NOT_ENOUGH_MEMORY;
  *copy = scheme;
  *out = copy;
  return ERROR_SUCCESS;
}

DWORD WINAPI fake_get_active(HKEY, GUID** active) {
  if (current->get_error != 0) return current->get_error;
  return hand_out(current->active, active);
}

DWORD WINAPI fake_duplicate(HKEY, const GUID* source, GUID** created) {
  ++current->duplicate_calls;
  if (current->duplicate_error != 0) return current->duplicate_error;
  if (!current->exists(*source)) return ERROR_INVALID_PARAMETER;
  const GUID scheme = random_guid();
  current->schemes.push_back(scheme);
  return hand_out(scheme, created);
}

DWORD WINAPI fake_set_active(HKEY, const GUID* scheme) {
  ++current->set_calls;
  if (current->set_error != 0) return current->set_error;
  if (!current->exists(*scheme)) return ERROR_INVALID_PARAMETER;
  current->active = *scheme;
  return ERROR_SUCCESS;
}

DWORD WINAPI fake_delete(HKEY, const GUID* scheme) {
  ++current->delete_calls;
  if (current->delete_error != 0) return current->delete_error;
  if (IsEqualGUID(*scheme, current->active)) return ERROR_ACCESS_DENIED;  // as Windows refuses
  if (!current->exists(*scheme)) return ERROR_FILE_NOT_FOUND;
  std::erase_if(current->schemes, [&](const GUID& other) { return IsEqualGUID(other, *scheme) != 0; });
  return ERROR_SUCCESS;
}

}  // namespace

bool FakePowerState::exists(const GUID& scheme) const {
  return std::any_of(schemes.begin(), schemes.end(),
                     [&](const GUID& other) { return IsEqualGUID(other, scheme) != 0; });
}

FakePower::FakePower() {
  if (current != nullptr) throw std::logic_error("one fake power table at a time");
  state_.active = random_guid();
  state_.schemes = {kUltimatePerformanceTemplate, state_.active};
  functions_.get_active_scheme = fake_get_active;
  functions_.duplicate_scheme = fake_duplicate;
  functions_.set_active_scheme = fake_set_active;
  functions_.delete_scheme = fake_delete;
  current = &state_;
}

FakePower::~FakePower() { current = nullptr; }

GUID random_guid() {
  GUID guid{};
  if (FAILED(CoCreateGuid(&guid))) throw std::runtime_error("CoCreateGuid failed");
  return guid;
}

}  // namespace corvane::testing
