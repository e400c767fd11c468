#pragma once
// The all-settings folder on the Desktop, which Explorer shows as the list of every
// Control Panel tool.

#include "services/registry_value.h"

namespace corvane {

// Name of the folder on the Desktop; the class id is that of the all-tasks shell folder.
inline constexpr const wchar_t* kToolsFolderName = L"Corvane Tools.{ED7BA470-8E54-465E-825C-99712043E01C}";

// Creates the folder. ok with message = its full path and affected 1 when it was created now,
// 0 when it was already there; ok false with the Windows text when it cannot be created
// (also when a file of that name is in the way).
Outcome create_tools_folder();

}  // namespace corvane
