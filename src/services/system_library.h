#pragma once
// Libraries that only a few actions need, loaded from the system folder when first needed rather
// than with the program: every library loaded at start delays the first window.

#include <windows.h>

namespace corvane {

// The library name from the system folder only, never from the program's folder or the path;
// null with GetLastError set when it cannot be loaded. It stays loaded.
inline HMODULE load_system_library(const wchar_t* name) {
  return LoadLibraryExW(name, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
}

// Sets function to the export name of module (null when it is missing); true when found.
template <typename Function>
bool find_function(HMODULE module, const char* name, Function& function) {
  const FARPROC found = GetProcAddress(module, name);
  function = reinterpret_cast<Function>(reinterpret_cast<void*>(found));
  return found != nullptr;
}

}  // namespace corvane
