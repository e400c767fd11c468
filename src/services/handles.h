#pragma once
// RAII owners for the platform handles used across services and engines.

#include <windows.h>

#include <memory>
#include <type_traits>

namespace corvane {

struct HandleCloser {
  void operator()(HANDLE handle) const {
    if (handle != nullptr && handle != INVALID_HANDLE_VALUE) CloseHandle(handle);
  }
};
// A kernel handle (file, process, token, snapshot). Null and INVALID_HANDLE_VALUE are both "none".
using UniqueHandle = std::unique_ptr<void, HandleCloser>;

inline UniqueHandle adopt_handle(HANDLE handle) {
  return UniqueHandle(handle == INVALID_HANDLE_VALUE ? nullptr : handle);
}

struct FindCloser {
  void operator()(HANDLE handle) const {
    if (handle != nullptr && handle != INVALID_HANDLE_VALUE) FindClose(handle);
  }
};
using UniqueFindHandle = std::unique_ptr<void, FindCloser>;

struct RegKeyCloser {
  void operator()(HKEY key) const {
    if (key != nullptr) RegCloseKey(key);
  }
};
using UniqueRegKey = std::unique_ptr<std::remove_pointer_t<HKEY>, RegKeyCloser>;

struct LocalFreer {
  void operator()(void* memory) const {
    if (memory != nullptr) LocalFree(memory);
  }
};

}  // namespace corvane
