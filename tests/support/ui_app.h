#pragma once
// Helpers for tests that run the App in-process with real windows.

#include "ui/app.h"

#include <windows.h>

#include <chrono>
#include <functional>
#include <memory>

namespace corvane::testing {

// Test-mode options (no preferences read or written, dialogs refused at once) with the language
// and the theme given, so nothing of the prefix's settings leaks in.
inline StartOptions window_test_options(bool vietnamese = false, bool dark = false) {
  StartOptions options;
  options.smoke = true;
  options.vietnamese = vietnamese;
  options.language_given = true;
  options.dark = dark;
  options.theme_given = true;
  return options;
}

// Dispatches what is queued for this thread.
inline void pump_messages() {
  MSG message{};
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (message.message == WM_QUIT) {
      // Leave it for whoever waits on it.
      PostQuitMessage(static_cast<int>(message.wParam));
      return;
    }
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
}

// Pumps messages until `done` holds or the time is up; returns done().
inline bool pump_until(const std::function<bool()>& done, int timeout_ms = 5000) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
  while (!done()) {
    if (std::chrono::steady_clock::now() >= end) return done();
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    pump_messages();
  }
  return true;
}

// Removes a pending WM_QUIT (a destroyed main window posts one).
inline void drop_quit_message() {
  MSG message{};
  while (PeekMessageW(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
  }
}

// An App with its main window made (hidden unless `show`). The window is destroyed before the
// App, and the quit message that this posts is dropped.
class WindowApp {
 public:
  explicit WindowApp(const StartOptions& options, bool show = false) : app_(std::make_unique<App>(options)) {
    created_ = app_->create_main_window(GetModuleHandleW(nullptr));
    if (created_ && show) {
      ShowWindow(app_->main_window, SW_SHOWNOACTIVATE);
      UpdateWindow(app_->main_window);
    }
    pump_messages();
  }
  ~WindowApp() {
    if (app_->main_window != nullptr && IsWindow(app_->main_window)) DestroyWindow(app_->main_window);
    pump_messages();
    app_.reset();
    drop_quit_message();
  }
  WindowApp(const WindowApp&) = delete;
  WindowApp& operator=(const WindowApp&) = delete;

  bool created() const { return created_; }
  App& operator*() { return *app_; }
  App* operator->() { return app_.get(); }

 private:
  std::unique_ptr<App> app_;
  bool created_ = false;
};

// Client rectangle of a child in its parent's client coordinates.
inline RECT child_rect(HWND child) {
  RECT rect{};
  GetWindowRect(child, &rect);
  MapWindowPoints(HWND_DESKTOP, GetParent(child), reinterpret_cast<POINT*>(&rect), 2);
  return rect;
}

}  // namespace corvane::testing
