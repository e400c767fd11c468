#include "ui/dialogs.h"

#include "support/ui_app.h"
#include "support/wine.h"
#include "ui/app.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace corvane {
namespace {

using testing::pump_until;
using testing::WindowApp;

// Not the test mode (which refuses every dialog), with language and theme given so the
// preferences are not read.
StartOptions dialog_options(bool vietnamese = false) {
  StartOptions options;
  options.language_given = true;
  options.vietnamese = vietnamese;
  options.theme_given = true;
  options.dark = false;
  return options;
}

HWND find_dialog() {
  HWND found = nullptr;
  EnumThreadWindows(
      GetCurrentThreadId(),
      [](HWND window, LPARAM param) -> BOOL {
        wchar_t name[64] = {};
        GetClassNameW(window, name, 64);
        if (std::wstring(name) == L"Corvane.Dialog" && IsWindowVisible(window)) {
          *reinterpret_cast<HWND*>(param) = window;
          return FALSE;
        }
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&found));
  return found;
}

// Runs `action` from a timer as soon as a dialog is shown on this thread. Posted keys can be
// lost when another window holds the focus for a moment: while the same dialog stays open the
// action is repeated every 2 s, and after the third repeat the dialog is closed and the test
// fails, so a lost key never hangs the run (nor does a dialog that never becomes visible).
class DialogDriver {
 public:
  explicit DialogDriver(std::function<void(HWND)> action) {
    state() = State{std::move(action), nullptr, 0, 0, false};
    timer_ = SetTimer(nullptr, 0, 20, &DialogDriver::tick);
  }
  ~DialogDriver() {
    KillTimer(nullptr, timer_);
    state() = State{};
  }

 private:
  struct State {
    std::function<void(HWND)> action;
    HWND driven = nullptr;  // the dialog the action was run on
    int ticks = 0;          // timer ticks since the last run
    int repeats = 0;
    bool running = false;
  };
  static State& state() {
    static State current;
    return current;
  }
  static void CALLBACK tick(HWND, UINT, UINT_PTR, DWORD) {
    State& s = state();
    if (!s.action || s.running) return;  // an action may pump messages itself
    const HWND dialog = find_dialog();
    if (dialog == nullptr) {
      // A dialog that never became visible would keep its loop running for ever.
      if (s.driven == nullptr && ++s.ticks >= 500) {
        ADD_FAILURE() << "no visible dialog appeared";
        s.action = nullptr;
        if (const HWND hidden = FindWindowW(L"Corvane.Dialog", nullptr)) {
          PostMessageW(hidden, WM_SYSCOMMAND, SC_CLOSE, 0);
        }
      }
      return;
    }
    if (dialog == s.driven && ++s.ticks < 100) return;
    if (dialog == s.driven && ++s.repeats > 3) {
      ADD_FAILURE() << "the dialog did not answer its driven input";
      s.action = nullptr;
      PostMessageW(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
      return;
    }
    if (dialog != s.driven) s.repeats = 0;
    s.driven = dialog;
    s.ticks = 0;
    s.running = true;
    const std::function<void(HWND)> action = s.action;
    action(dialog);
    state().running = false;
  }
  UINT_PTR timer_ = 0;
};

// Keyboard tests need the focus to stay with this program while others run.
class OwnDesktop : public ::testing::Environment {
 public:
  void SetUp() override { testing::use_own_desktop(); }
};
const auto* const g_own_desktop = ::testing::AddGlobalTestEnvironment(new OwnDesktop);

HWND focus_button(HWND dialog, int index) {
  const HWND button = GetDlgItem(dialog, ID_DIALOG_BUTTON_BASE + index);
  SetFocus(button);
  return button;
}

void post_key(HWND target, WPARAM key) {
  PostMessageW(target, WM_KEYDOWN, key, 0);
  PostMessageW(target, WM_KEYUP, key, 0);
}

TEST(Dialogs, KeyboardClicksAndCloseBox) {
  WindowApp app(dialog_options(), true);
  ASSERT_TRUE(app.created());
  const struct {
    const wchar_t* title;
    std::function<void(HWND)> action;
    std::vector<std::wstring> buttons;
    int expected;
  } cases[] = {
      {L"Enter", [](HWND d) { post_key(focus_button(d, 0), VK_RETURN); }, {L"OK", L"Cancel"}, 0},
      // Tab moves from the first button to the second; Enter presses the focused one.
      {L"Tab",
       [](HWND d) {
         post_key(focus_button(d, 0), VK_TAB);
         post_key(GetDlgItem(d, ID_DIALOG_BUTTON_BASE + 1), VK_RETURN);
       },
       {L"OK", L"Cancel"}, 1},
      {L"Close box", [](HWND d) { PostMessageW(d, WM_SYSCOMMAND, SC_CLOSE, 0); }, {L"OK", L"Cancel"}, -1},
      // An id beyond this dialog's buttons is not a result.
      {L"Stray",
       [](HWND d) {
         SendMessageW(d, WM_COMMAND, ID_DIALOG_BUTTON_BASE + 5, 0);
         post_key(d, VK_ESCAPE);
       },
       {L"A"}, -1},
  };
  for (const auto& c : cases) {
    DialogDriver driver(c.action);
    EXPECT_EQ(app->show_dialog(c.title, L"text", c.buttons), c.expected) << c.title;
  }
  // confirm: true only for the first button.
  for (const WPARAM key : {static_cast<WPARAM>(VK_RETURN), static_cast<WPARAM>(VK_ESCAPE)}) {
    DialogDriver driver([key](HWND dialog) { post_key(focus_button(dialog, 0), key); });
    EXPECT_EQ(app->confirm(L"Remove", L"Sure?", L"Remove entry"), key == VK_RETURN);
  }
}

HHOOK g_hook = nullptr;
HWND g_owner = nullptr;
int g_owner_enabled_at_destroy = -1;

LRESULT CALLBACK watch_destroy(int code, WPARAM wparam, LPARAM lparam) {
  if (code == HCBT_DESTROYWND) {
    wchar_t name[64] = {};
    GetClassNameW(reinterpret_cast<HWND>(wparam), name, 64);
    if (std::wstring(name) == L"Corvane.Dialog") g_owner_enabled_at_destroy = IsWindowEnabled(g_owner) ? 1 : 0;
  }
  return CallNextHookEx(g_hook, code, wparam, lparam);
}

TEST(Dialogs, OwnerIsEnabledBeforeTheDialogGoes) {
  WindowApp app(dialog_options(), true);
  ASSERT_TRUE(app.created());
  g_owner = app->main_window;
  g_hook = SetWindowsHookExW(WH_CBT, watch_destroy, nullptr, GetCurrentThreadId());
  ASSERT_NE(g_hook, nullptr);
  for (const WPARAM key : {static_cast<WPARAM>(VK_RETURN), static_cast<WPARAM>(VK_ESCAPE)}) {
    g_owner_enabled_at_destroy = -1;
    DialogDriver driver([key](HWND dialog) { post_key(focus_button(dialog, 0), key); });
    app->show_dialog(L"Owner", L"text", {L"OK"});
    EXPECT_EQ(g_owner_enabled_at_destroy, 1);
  }
  UnhookWindowsHookEx(g_hook);
}

struct OutcomeCase {
  Outcome outcome;
  bool vietnamese;
  std::wstring expected;
};

TEST(Dialogs, OperationResultTexts) {
  const auto outcome = [](bool ok, std::uint64_t affected, std::uint64_t skipped, std::uint64_t bytes,
                          const wchar_t* message = L"", const wchar_t* record_path = L"") {
    return Outcome{ok, message, record_path, bytes, affected, skipped};
  };
  const Outcome counts = outcome(true, 3, 1, 0);
  const Outcome failure = outcome(false, 0, 0, 0, L"Access is denied. (5)");
  const Outcome full = outcome(true, 12, 0, 3565158, L"Cleanup finished", L"C:\\Reports\\x-cleanup.json");
  const OutcomeCase cases[] = {
      {counts, false, L"Completed - 3 processed, 1 skipped"},
      {failure, false, L"Not completed\r\nAccess is denied. (5)"},
      {full, false, L"Completed - 12 processed, 0 skipped - 3.4 MB\r\nCleanup finished\r\nC:\\Reports\\x-cleanup.json"},
      {counts, true, L"Hoàn tất - 3 mục xử lý, 1 mục bỏ qua"},
  };
  for (const OutcomeCase& item : cases) {
    WindowApp app(dialog_options(item.vietnamese), true);
    ASSERT_TRUE(app.created());
    std::wstring shown_text;
    DialogDriver driver([&](HWND dialog) {
      shown_text = window_text(GetDlgItem(dialog, ID_DIALOG_TEXT));
      post_key(focus_button(dialog, 0), VK_RETURN);
    });
    app->show_outcome(item.outcome);
    EXPECT_EQ(app->status_text, item.expected);
    EXPECT_EQ(shown_text, item.expected);
  }
}

}  // namespace
}  // namespace corvane
