#pragma once
// Themed standard controls: the subclass procedures that Renderer::style_control attaches
// and the window properties that hold the state the standard controls do not keep.

#include <windows.h>

namespace corvane {

// Sent by a navigation button to its parent when it receives the focus; wParam = the button.
inline constexpr UINT WM_NAV_FOCUSED = WM_APP + 73;

// Window properties of the program's own (a missing property reads as 0).
inline constexpr const wchar_t* kPropHot = L"Corvane.Hot";                // mouse over the control
inline constexpr const wchar_t* kPropMouseFocus = L"Corvane.MouseFocus";  // focus came from the mouse
inline constexpr const wchar_t* kPropNav = L"Corvane.Nav";                // navigation button
inline constexpr const wchar_t* kPropIcon = L"Corvane.Icon";              // icon glyph code, 0 = none
inline constexpr const wchar_t* kPropLevel = L"Corvane.Level";            // navigation nesting level
inline constexpr const wchar_t* kPropSelected = L"Corvane.Selected";      // button of the current page
inline constexpr const wchar_t* kPropLink = L"Corvane.Link";              // link button

inline constexpr const wchar_t* kControlProperties[] = {
    kPropHot, kPropMouseFocus, kPropNav, kPropIcon, kPropLevel, kPropSelected, kPropLink};

// Reads a property as a number (0 when missing).
UINT_PTR control_property(HWND control, const wchar_t* name);
// Sets a property; a value of 0 removes it.
void set_control_property(HWND control, const wchar_t* name, UINT_PTR value);
// Removes every property above from the control.
void remove_control_properties(HWND control);

// Subclass procedures (SUBCLASSPROC). reference = the Renderer*, except combo_list_proc (0).
LRESULT CALLBACK button_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam,
                             UINT_PTR id, DWORD_PTR reference);
LRESULT CALLBACK edit_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam,
                           UINT_PTR id, DWORD_PTR reference);
LRESULT CALLBACK combo_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam,
                            UINT_PTR id, DWORD_PTR reference);
LRESULT CALLBACK combo_list_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam,
                                 UINT_PTR id, DWORD_PTR reference);
LRESULT CALLBACK header_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam,
                             UINT_PTR id, DWORD_PTR reference);

}  // namespace corvane
