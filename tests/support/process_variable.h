#pragma once
// A variable of this process's environment set for a test's lifetime, as whoever starts Corvane
// can set it; put back as it was (or removed) however the test ends.

#include <windows.h>

#include <string>

namespace corvane::testing {

class ProcessVariable {
 public:
  ProcessVariable(const wchar_t* name, const std::wstring& value) : name_(name) {
    wchar_t old[1024] = {};
    const DWORD length = GetEnvironmentVariableW(name, old, 1024);
    had_ = length > 0 && length < 1024;
    if (had_) old_ = old;
    SetEnvironmentVariableW(name, value.c_str());
  }
  ~ProcessVariable() { SetEnvironmentVariableW(name_, had_ ? old_.c_str() : nullptr); }
  ProcessVariable(const ProcessVariable&) = delete;
  ProcessVariable& operator=(const ProcessVariable&) = delete;

 private:
  const wchar_t* name_;
  std::wstring old_;
  bool had_ = false;
};

}  // namespace corvane::testing
