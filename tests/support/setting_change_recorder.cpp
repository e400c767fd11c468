#include "support/setting_change_recorder.h"

#include "services/text.h"

#include <utility>

namespace corvane::testing {
namespace {

constexpr wchar_t kClassName[] = L"CorvaneSettingChangeRecorder";

}  // namespace

void PrintTo(const SettingChange& change, std::ostream* out) {
  *out << "{" << change.wparam << ", \"" << wide_to_utf8(change.text) << "\"}";
}

LRESULT CALLBACK SettingChangeRecorder::proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_NCCREATE) {
    const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lparam);
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
  }
  auto* recorder = reinterpret_cast<SettingChangeRecorder*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  // A message sent by this very thread is a direct call: InSendMessage is false only then.
  if (message == WM_SETTINGCHANGE && recorder != nullptr && !InSendMessage()) {
    const auto* text = reinterpret_cast<const wchar_t*>(lparam);
    recorder->changes_.push_back({wparam, text != nullptr ? std::wstring(text) : std::wstring(L"(null)")});
    if (recorder->on_change_) recorder->on_change_();
    return 0;
  }
  return DefWindowProcW(window, message, wparam, lparam);
}

SettingChangeRecorder::SettingChangeRecorder(std::function<void()> on_change) : on_change_(std::move(on_change)) {
  WNDCLASSW window_class{};
  window_class.lpfnWndProc = proc;
  window_class.hInstance = GetModuleHandleW(nullptr);
  window_class.lpszClassName = kClassName;
  RegisterClassW(&window_class);  // fails harmlessly when already registered
  // Top-level (no parent, not a message-only window) so that broadcasts reach it; never shown.
  window_ = CreateWindowExW(0, kClassName, L"", WS_OVERLAPPED, 0, 0, 100, 100, nullptr, nullptr,
                            GetModuleHandleW(nullptr), this);
}

SettingChangeRecorder::~SettingChangeRecorder() {
  if (window_ != nullptr) DestroyWindow(window_);
}

}  // namespace corvane::testing
