#pragma once
// A hidden top-level window that records the WM_SETTINGCHANGE messages that its own thread
// sends, a broadcast to every top-level window included. Other programs' broadcasts arrive
// from other threads and are left out, so parallel test programs cannot add to the record.

#include <windows.h>

#include <functional>
#include <ostream>
#include <string>
#include <vector>

namespace corvane::testing {

struct SettingChange {
  WPARAM wparam = 0;
  std::wstring text;  // the area text; "(null)" when none was sent
  bool operator==(const SettingChange&) const = default;
};

// For test failure messages: the wparam and the text in UTF-8.
void PrintTo(const SettingChange& change, std::ostream* out);

class SettingChangeRecorder {
 public:
  // on_change, when given, runs inside the window procedure as each message arrives.
  explicit SettingChangeRecorder(std::function<void()> on_change = {});
  ~SettingChangeRecorder();
  SettingChangeRecorder(const SettingChangeRecorder&) = delete;
  SettingChangeRecorder& operator=(const SettingChangeRecorder&) = delete;

  bool created() const { return window_ != nullptr; }
  const std::vector<SettingChange>& changes() const { return changes_; }

 private:
  static LRESULT CALLBACK proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
  HWND window_ = nullptr;
  std::function<void()> on_change_;
  std::vector<SettingChange> changes_;
};

}  // namespace corvane::testing
