#pragma once
// Registry access in the 64-bit view: read, write with read-back verification, enumerate.

#include "services/handles.h"
#include "services/progress.h"
#include "services/registry_value.h"

#include <windows.h>

#include <string>
#include <vector>

namespace corvane {

// Root key of a hive number: 0 HKEY_CURRENT_USER, 1 HKEY_LOCAL_MACHINE, any other HKEY_USERS.
HKEY hive_root(std::uint32_t hive);

// The value named by target (its value field is ignored). Absent is {false, 0, {}}.
ValueState read_registry_value(const RegistryValue& target);

// The value `name` of an open key (opened with KEY_QUERY_VALUE). Absent when the value, or the
// key itself since it was opened, is gone; throws like read_registry_value otherwise.
ValueState query_registry_value(HKEY key, const std::wstring& name);

// Called by query_registry_value between its two reads of a value too large for the first
// buffer (replaceable, so that a value changed or deleted in between can be tested). Null in
// the product.
using RegistryReadGap = void (*)(HKEY key, const std::wstring& name);
extern RegistryReadGap registry_read_gap;

// Sets or deletes target's value, then reads it back; throws on failure or a differing read-back.
void write_registry_value(const RegistryValue& target);

// Subkey names (subkeys true) or value names of an open key. The caller owns the key. Ends at
// the first error other than a name too long (which is skipped), and when cancel is set.
std::vector<std::wstring> enum_registry_names(HKEY key, bool subkeys, const CancelFlag* cancel = nullptr);

// Tells the shell and every top-level window that settings changed.
void broadcast_settings_change();

}  // namespace corvane
