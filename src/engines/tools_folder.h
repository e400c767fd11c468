#pragma once
// The all-settings folder on the Desktop, which Explorer shows as the list of every
// Control Panel tool.

#include "services/registry_value.h"

namespace corvane {

// Name of the folder on the Desktop; the class id is that of the all-tasks shell folder.
inline constexpr const wchar_t* kToolsFolderName = L"Corvane Tools.{ED7BA470-8E54-465E-825C-99712043E01C}";

// Why an elevated Corvane made no folder on a Desktop that any program of the user can point
// anywhere. The outcome carries the English text; the Vietnamese one is for the user interface.
inline constexpr wchar_t kDesktopOutsideProfileMessage[] =
    L"Your Desktop folder is outside your user profile. Create this folder with Corvane running without "
    L"administrator access.";
inline constexpr wchar_t kDesktopOutsideProfileMessageVi[] =
    L"Thư mục Desktop nằm ngoài hồ sơ người dùng của bạn. Hãy tạo thư mục này khi mở Corvane không dùng quyền "
    L"quản trị.";

// Creates the folder, by its name through the pinned Desktop folder's handle. ok with message =
// its full path and affected 1 when it was created now, 0 when it was already there; ok false
// with the Windows text when it cannot be created (also when a file of that name is in the way).
// Elevated (as process_elevated says, or as given), the Desktop must lie inside the user's
// profile folder as the machine records it, with no link on its way: else ok false with
// kDesktopOutsideProfileMessage and nothing made.
Outcome create_tools_folder();
Outcome create_tools_folder(bool elevated);

}  // namespace corvane
