#pragma once
// A harmless process running under a chosen executable name (e.g. "chrome.exe"), made from
// the idle_process fixture built beside the test programs.

#include "services/handles.h"

#include <string>

namespace corvane::testing {

class IdleProcess {
 public:
  // Copies the fixture into a fresh temporary folder as exe_name and starts it; started()
  // tells whether that worked. The process is ended and the copy removed on destruction.
  explicit IdleProcess(const std::wstring& exe_name);
  ~IdleProcess();
  IdleProcess(const IdleProcess&) = delete;
  IdleProcess& operator=(const IdleProcess&) = delete;

  bool started() const { return static_cast<bool>(process_); }

 private:
  std::wstring folder_;
  UniqueHandle process_;
};

}  // namespace corvane::testing
