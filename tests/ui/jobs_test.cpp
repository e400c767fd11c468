#include "ui/app.h"

#include "support/ui_app.h"

#include <memory>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <system_error>
#include <thread>

namespace corvane {
namespace {

using testing::pump_messages;
using testing::pump_until;
using testing::window_test_options;
using testing::WindowApp;

// A latch the test opens from the user-interface thread.
struct Latch {
  std::atomic<bool> open{false};
  std::atomic<bool> entered{false};
  void wait() {
    entered = true;
    while (!open) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  // A job that waits on the latch and returns an empty result.
  Job held() {
    return [this] {
      wait();
      return std::make_unique<Work>();
    };
  }
};

// A job that only notes that it ran.
Job noting(std::atomic<bool>& ran) {
  return [&ran] {
    ran = true;
    return std::make_unique<Work>();
  };
}

class Jobs : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(app.created()); }
  WindowApp app{window_test_options()};
};

TEST_F(Jobs, ExceptionsBecomeErrorWork) {
  // An empty job and a job that returns nothing are failures too, not silent successes.
  const struct {
    Job job;
    std::wstring status;
    bool exact;
  } cases[] = {{[]() -> std::unique_ptr<Work> { throw std::runtime_error("Disk exploded"); },
                L"Not completed\r\nDisk exploded", true},
               {Job{}, L"Not completed", false},
               {[]() -> std::unique_ptr<Work> { return nullptr; }, L"Not completed", false}};
  for (const auto& c : cases) {
    app->start_work(c.job);
    ASSERT_TRUE(pump_until([&] { return !app->busy; }));
    EXPECT_EQ(c.exact ? app->status_text : app->status_text.substr(0, c.status.size()), c.status);
  }
}

TEST_F(Jobs, SecondJobWhileBusyIsDropped) {
  Latch latch;
  std::atomic<bool> second_ran{false};
  app->start_work(latch.held());
  app->start_work(noting(second_ran));
  latch.open = true;
  ASSERT_TRUE(pump_until([&] { return !app->busy; }));
  pump_until([] { return false; }, 100);
  EXPECT_FALSE(second_ran);
}

TEST_F(Jobs, AWorkerThatCannotStartLeavesTheAppUsable) {
  const WorkerStarter real = start_worker_thread;
  start_worker_thread = [](std::function<void()>) -> std::thread {
    throw std::system_error(std::make_error_code(std::errc::resource_unavailable_try_again), "No thread");
  };
  std::atomic<bool> ran{false};
  app->start_work(noting(ran));
  start_worker_thread = real;
  EXPECT_FALSE(app->busy);
  EXPECT_FALSE(ran);
  EXPECT_FALSE(GetWindowLongPtrW(app->progress_panel, GWL_STYLE) & WS_VISIBLE);
  EXPECT_TRUE(IsWindowEnabled(app->nav_buttons[0]));
  EXPECT_EQ(app->status_text.rfind(L"No thread", 0), 0u);
  // The next job runs normally, and the window can be closed.
  app->start_work(noting(ran));
  ASSERT_TRUE(pump_until([&] { return !app->busy; }));
  EXPECT_TRUE(ran);
  SendMessageW(app->main_window, WM_CLOSE, 0, 0);
  EXPECT_FALSE(IsWindow(app->main_window));
}

// The progress panel over the corner of each page control in turn: whatever the control draws
// (its frame through its window DC, a button's or combo's state through its own DC) must not
// land on the panel.
TEST(ProgressPanel, PageControlsDrawingBeneathLeaveThePanelWhole) {
  WindowApp app(window_test_options(), true);
  ASSERT_TRUE(app.created());
  int covered = 0;
  for (const int page : {PAGE_OPTIONS, PAGE_LICENSES, PAGE_ABOUT, PAGE_CUSTOMIZATION, PAGE_UPDATES}) {
    app->show_page(page);
    app->set_busy(true);
    for (HWND control : {app->theme_combo, app->language_combo, app->reports_button, app->licence_text,
                         app->first_link, app->second_link, app->value_combo, app->update_fields[0],
                         app->search_edit, app->primary_button, app->page_list}) {
      if (!IsWindowVisible(control)) continue;
      RECT rect{};
      GetWindowRect(control, &rect);
      MapWindowPoints(HWND_DESKTOP, app->main_window, reinterpret_cast<POINT*>(&rect), 2);
      SetWindowPos(app->progress_panel, HWND_TOP, rect.left - 8, rect.top - 8, 0, 0, SWP_NOSIZE | SWP_NOACTIVATE);
      RedrawWindow(app->main_window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
      const auto before = capture_window_pixels(app->progress_panel, false);
      RedrawWindow(control, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
      wchar_t kind[32] = {};
      GetClassNameW(control, kind, 32);
      if (lstrcmpiW(kind, L"BUTTON") == 0) {
        SendMessageW(control, BM_SETSTATE, TRUE, 0);
        SendMessageW(control, BM_SETSTATE, FALSE, 0);
      } else if (lstrcmpiW(kind, L"COMBOBOX") == 0) {
        SendMessageW(control, CB_SETCURSEL, SendMessageW(control, CB_GETCURSEL, 0, 0), 0);
      }
      const auto after = capture_window_pixels(app->progress_panel, false);
      ASSERT_TRUE(before && after);
      EXPECT_TRUE(*before == *after) << "page " << page << ", control " << GetDlgCtrlID(control) << " " << kind;
      ++covered;
    }
    app->set_busy(false);
  }
  EXPECT_GE(covered, 10);
}

TEST(JobsLifetime, DestroyingTheAppStopsAndJoinsTheWorker) {
  std::atomic<bool> saw_cancel{false};
  std::atomic<bool> started{false};
  {
    WindowApp app(window_test_options());
    ASSERT_TRUE(app.created());
    App* raw = &*app;
    app->start_work([&started, &saw_cancel, raw] {
      started = true;
      while (!is_cancelled(&raw->cancel)) std::this_thread::sleep_for(std::chrono::milliseconds(1));
      saw_cancel = true;
      return std::make_unique<Work>();
    });
    ASSERT_TRUE(pump_until([&] { return started.load(); }));
  }
  EXPECT_TRUE(saw_cancel);
}

}  // namespace
}  // namespace corvane
