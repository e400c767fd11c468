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
const bool g_own_desktop = testing::run_on_own_desktop();

HWND focus_button(HWND dialog, int index) {
  const HWND button = GetDlgItem(dialog, ID_DIALOG_BUTTON_BASE + index);
  SetFocus(button);
  return button;
}

void post_key(HWND target, WPARAM key) {
  PostMessageW(target, WM_KEYDOWN, key, 0);
  PostMessageW(target, WM_KEYUP, key, 0);
}

TEST(DialogGeometry, ButtonsAreRightAligned) {
  const auto one = [](int px) { return px; };
  const int cw = 734;
  EXPECT_EQ(dialog_button_rect(0, 3, cw, 451, one).left, cw - 494);
  EXPECT_EQ(dialog_button_rect(1, 3, cw, 451, one).left, cw - 334);
  EXPECT_EQ(dialog_button_rect(2, 3, cw, 451, one).left, cw - 174);
  EXPECT_EQ(dialog_button_rect(2, 3, cw, 451, one).right, cw - 24);
  EXPECT_EQ(dialog_button_rect(0, 1, cw, 451, one).top, 451 - 60);
  EXPECT_EQ(dialog_button_rect(0, 1, cw, 451, one).bottom, 451 - 24);
}

TEST(DialogText, BareLineFeedsBecomeCarriageReturnLineFeeds) {
  EXPECT_EQ(normalize_line_breaks(L"a\nb\r\nc\n"), L"a\r\nb\r\nc\r\n");
  EXPECT_EQ(normalize_line_breaks(L"\n\n"), L"\r\n\r\n");
  EXPECT_EQ(normalize_line_breaks(L"plain"), L"plain");
}

TEST(Dialogs, WindowLayoutTextAndButtons) {
  WindowApp app(dialog_options(), true);
  ASSERT_TRUE(app.created());
  RECT owner{};
  GetWindowRect(app->main_window, &owner);
  bool checked = false;
  DialogDriver driver([&](HWND dialog) {
    const auto s = [&](int px) { return app->renderer.scale(px); };
    EXPECT_EQ(window_text(dialog), L"Three choices");
    EXPECT_EQ(GetWindow(dialog, GW_OWNER), app->main_window);
    EXPECT_FALSE(IsWindowEnabled(app->main_window));
    // 750 x 490, centred on the owner.
    RECT rect{};
    GetWindowRect(dialog, &rect);
    const int left = owner.left + (owner.right - owner.left - s(750)) / 2;
    const int top = owner.top + (owner.bottom - owner.top - s(490)) / 2;
    const RECT expected{left, top, left + s(750), top + s(490)};
    EXPECT_TRUE(EqualRect(&rect, &expected));
    RECT client{};
    GetClientRect(dialog, &client);
    const HWND text = GetDlgItem(dialog, ID_DIALOG_TEXT);
    EXPECT_EQ(window_text(text), L"first\r\nsecond\r\nthird");
    EXPECT_NE(GetWindowLongPtrW(text, GWL_STYLE) & ES_READONLY, 0);
    const RECT text_rect = testing::child_rect(text);
    const RECT text_expected{s(24), s(24), client.right - s(24), client.bottom - 2 * s(24) - s(36)};
    EXPECT_TRUE(EqualRect(&text_rect, &text_expected));
    // Right-aligned, 150 wide with 10 between them.
    const wchar_t* labels[] = {L"Yes", L"No", L"Later"};
    for (int i = 0; i < 3; ++i) {
      const HWND button = GetDlgItem(dialog, ID_DIALOG_BUTTON_BASE + i);
      ASSERT_NE(button, nullptr);
      EXPECT_EQ(window_text(button), labels[i]);
      const RECT button_rect = testing::child_rect(button);
      EXPECT_EQ(button_rect.left, client.right - s(160) * (3 - i) - s(24) + s(10));
      EXPECT_EQ(button_rect.top, client.bottom - s(36) - s(24));
      EXPECT_EQ(button_rect.right - button_rect.left, s(150));
    }
    EXPECT_EQ(GetFocus(), GetDlgItem(dialog, ID_DIALOG_BUTTON_BASE));
    checked = true;
    post_key(dialog, VK_ESCAPE);
  });
  EXPECT_EQ(app->show_dialog(L"Three choices", L"first\nsecond\r\nthird", {L"Yes", L"No", L"Later"}), -1);
  EXPECT_TRUE(checked);
  EXPECT_TRUE(IsWindowEnabled(app->main_window));
  EXPECT_EQ(find_dialog(), nullptr);
}

TEST(Dialogs, KeyboardClicksAndCloseBox) {
  WindowApp app(dialog_options(), true);
  ASSERT_TRUE(app.created());
  const auto click = [](HWND dialog, int index) {
    SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(ID_DIALOG_BUTTON_BASE + index, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, ID_DIALOG_BUTTON_BASE + index)));
  };
  const struct {
    const wchar_t* title;
    std::function<void(HWND)> action;
    std::vector<std::wstring> buttons;
    int expected;
  } cases[] = {
      {L"Enter", [](HWND d) { post_key(focus_button(d, 0), VK_RETURN); }, {L"OK", L"Cancel"}, 0},
      {L"Second", [](HWND d) { post_key(focus_button(d, 1), VK_RETURN); }, {L"OK", L"Cancel"}, 1},
      // Tab moves from the first button to the second; Enter presses the focused one.
      {L"Tab",
       [](HWND d) {
         post_key(focus_button(d, 0), VK_TAB);
         post_key(GetDlgItem(d, ID_DIALOG_BUTTON_BASE + 1), VK_RETURN);
       },
       {L"OK", L"Cancel"}, 1},
      {L"Close box", [](HWND d) { PostMessageW(d, WM_SYSCOMMAND, SC_CLOSE, 0); }, {L"OK", L"Cancel"}, -1},
      {L"Click", [&](HWND d) { click(d, 2); }, {L"A", L"B", L"C"}, 2},
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
  // Escape to the dialog itself refuses too.
  DialogDriver driver([](HWND dialog) { post_key(dialog, VK_ESCAPE); });
  EXPECT_FALSE(app->confirm(L"Remove", L"Sure?", L"Remove entry"));
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

TEST(Dialogs, QuitMessageEndsTheDialogAndReachesTheMainLoop) {
  WindowApp app(dialog_options(), true);
  ASSERT_TRUE(app.created());
  DialogDriver driver([](HWND) { PostQuitMessage(7); });
  EXPECT_EQ(app->show_dialog(L"Quit", L"text", {L"OK"}), -1);
  EXPECT_EQ(find_dialog(), nullptr);
  EXPECT_TRUE(IsWindowEnabled(app->main_window));
  MSG message{};
  ASSERT_TRUE(PeekMessageW(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
  EXPECT_EQ(message.wParam, 7u);
}

TEST(Dialogs, TestModeRefusesAtOnce) {
  WindowApp app(testing::window_test_options(), false);
  ASSERT_TRUE(app.created());
  EXPECT_EQ(app->show_dialog(L"Smoke", L"text", {L"OK"}), -1);
  EXPECT_FALSE(app->confirm(L"Smoke", L"text", L"OK"));
  EXPECT_EQ(find_dialog(), nullptr);
  EXPECT_TRUE(IsWindowEnabled(app->main_window));
}

TEST(Dialogs, JobsFinishWhileADialogIsOpen) {
  WindowApp app(dialog_options(), true);
  ASSERT_TRUE(app.created());
  app->start_work([] {
    auto work = std::make_unique<Work>();
    work->kind = WORK_SCAN;
    return work;
  });
  bool finished_inside = false;
  DialogDriver driver([&](HWND dialog) {
    pump_until([&] { return !app->busy; });
    finished_inside = !app->busy;
    post_key(dialog, VK_ESCAPE);
  });
  app->show_dialog(L"Waiting", L"text", {L"OK"});
  EXPECT_TRUE(finished_inside);
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
  const Outcome bytes = outcome(true, 0, 0, 1536);
  const Outcome full = outcome(true, 12, 0, 3565158, L"Cleanup finished", L"C:\\Reports\\x-cleanup.json");
  const Outcome plain;
  const OutcomeCase cases[] = {
      {counts, false, L"Completed - 3 processed, 1 skipped"},
      {failure, false, L"Not completed\r\nAccess is denied. (5)"},
      {bytes, false, L"Completed - 1.5 KB"},
      {full, false, L"Completed - 12 processed, 0 skipped - 3.4 MB\r\nCleanup finished\r\nC:\\Reports\\x-cleanup.json"},
      {plain, false, L"Completed"},
      {counts, true, L"Hoàn tất - 3 mục xử lý, 1 mục bỏ qua"},
      {failure, true, L"Không hoàn tất\r\nAccess is denied. (5)"},
  };
  for (const OutcomeCase& item : cases) {
    WindowApp app(dialog_options(item.vietnamese), true);
    ASSERT_TRUE(app.created());
    std::wstring shown_title;
    std::wstring shown_text;
    std::wstring shown_button;
    DialogDriver driver([&](HWND dialog) {
      shown_title = window_text(dialog);
      shown_text = window_text(GetDlgItem(dialog, ID_DIALOG_TEXT));
      shown_button = window_text(GetDlgItem(dialog, ID_DIALOG_BUTTON_BASE));
      EXPECT_EQ(GetDlgItem(dialog, ID_DIALOG_BUTTON_BASE + 1), nullptr);
      post_key(focus_button(dialog, 0), VK_RETURN);
    });
    app->show_outcome(item.outcome);
    EXPECT_EQ(app->status_text, item.expected);
    EXPECT_EQ(shown_text, item.expected);
    EXPECT_EQ(shown_title, item.vietnamese ? L"Kết quả thao tác" : L"Operation result");
    EXPECT_EQ(shown_button, item.vietnamese ? L"Đóng" : L"Close");
  }
}

}  // namespace
}  // namespace corvane
