#pragma once
// Makes the built-in Administrators group the owner of one file or folder, after recording
// the previous owner's SID in an "owner" backup document.

#include "services/registry_value.h"

#include <string>

namespace corvane {

// Only the item's own owner changes: no permission entry, nothing inside a folder. The item is
// acted on only when its handle leads to path itself, with no link on the way.
// Throws only when the target's existence cannot be determined for a reason other than
// "not found", or when the document's path or texts cannot be built.
Outcome take_ownership(const std::wstring& path);

}  // namespace corvane
