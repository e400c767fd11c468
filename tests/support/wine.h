#pragma once
// Test helpers for running under Wine.

namespace corvane::testing {

// True when ntdll exports wine_get_version.
bool running_under_wine();

// Moves this thread, before it has any window, to a desktop of its own. Under Wine without a
// window manager every program that focuses a window takes the X input focus, and a program on
// the shared screen then drops its own focus; a desktop that Wine shows as a virtual desktop
// (its size registered under Wine's Explorer key before it is created) has a screen of its own
// and keeps its focus. On Windows the key means nothing and the desktop is an ordinary one.
void use_own_desktop();

// Registers a test environment that calls use_own_desktop before the first test of the program;
// a test file whose tests need the keyboard focus or the pointer keeps the result in a global.
// A virtual desktop still shares the X pointer of its display: a test that moves the pointer
// also asks for a display of its own ("// ctest-own-display", see tests/CMakeLists.txt).
bool run_on_own_desktop();

}  // namespace corvane::testing
