#include "ui/app.h"

#include "support/ui_app.h"

#include <memory>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
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

// While one lives, the job runner's worker threads wait at their start until release(), so a
// test decides what the user-interface thread does before the worker runs anything.
class HeldWorkers {
 public:
  HeldWorkers() : real_(start_worker_thread) {
    gate().store(false);
    start_worker_thread = [](std::function<void()> body) {
      return std::thread([body = std::move(body)] {
        while (!gate().load()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
        body();
      });
    };
  }
  ~HeldWorkers() {
    release();
    start_worker_thread = real_;
  }
  HeldWorkers(const HeldWorkers&) = delete;
  HeldWorkers& operator=(const HeldWorkers&) = delete;
  void release() const { gate().store(true); }

 private:
  static std::atomic<bool>& gate() {
    static std::atomic<bool> open{true};
    return open;
  }
  WorkerStarter real_;
};

std::unique_ptr<Work> work_of(std::uint32_t kind) {
  auto work = std::make_unique<Work>();
  work->kind = kind;
  return work;
}

// Runs one job that returns `work` and waits for its end.
void run_to_end(App& app, std::unique_ptr<Work> work) {
  auto shared = std::make_shared<std::unique_ptr<Work>>(std::move(work));
  app.start_work([shared] { return std::move(*shared); });
  ASSERT_TRUE(pump_until([&] { return !app.busy; }));
}

class Jobs : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(app.created()); }
  WindowApp app{window_test_options()};
};

TEST(ProgressThrottle, EightyMillisecondsExceptTheFinalReport) {
  EXPECT_TRUE(progress_report_due(1000, 0, 1, 10));
  EXPECT_FALSE(progress_report_due(1079, 1000, 2, 10));
  EXPECT_TRUE(progress_report_due(1080, 1000, 2, 10));
  // The report that completes a determinate total always passes.
  EXPECT_TRUE(progress_report_due(1001, 1000, 10, 10));
  EXPECT_TRUE(progress_report_due(1001, 1000, 11, 10));
  // Indeterminate reports are thinned like the others.
  EXPECT_FALSE(progress_report_due(1001, 1000, 500, 0));
}

TEST_F(Jobs, JobRunsOnTheWorkerAndItsOutcomeIsShown) {
  Latch latch;
  std::thread::id worker_id;
  app->start_work([&] {
    worker_id = std::this_thread::get_id();
    latch.wait();
    auto work = std::make_unique<Work>();
    work->outcome.affected = 3;
    work->outcome.skipped = 1;
    return work;
  });
  EXPECT_TRUE(app->busy);
  EXPECT_TRUE(IsWindowVisible(app->progress_panel) || (GetWindowLongPtrW(app->progress_panel, GWL_STYLE) & WS_VISIBLE));
  EXPECT_EQ(app->status_text, L"Loading / working...");
  EXPECT_EQ(window_text(app->progress_title), L"Processing - Overview");
  EXPECT_EQ(window_text(app->progress_item_label), L"Preparing...");
  EXPECT_FALSE(IsWindowEnabled(app->nav_buttons[0]));
  EXPECT_FALSE(IsWindowEnabled(app->admin_button));
  EXPECT_TRUE(IsWindowEnabled(app->stop_button));
  // Every command but Stop is refused while busy.
  app->command(CMD_PAGE_BASE + 3);
  EXPECT_EQ(app->page, PAGE_OVERVIEW);
  ASSERT_TRUE(pump_until([&] { return latch.entered.load(); }));
  EXPECT_NE(worker_id, std::this_thread::get_id());
  latch.open = true;
  ASSERT_TRUE(pump_until([&] { return !app->busy; }));
  EXPECT_FALSE(app->worker.joinable());
  EXPECT_FALSE(GetWindowLongPtrW(app->progress_panel, GWL_STYLE) & WS_VISIBLE);
  EXPECT_TRUE(IsWindowEnabled(app->nav_buttons[0]));
  // The "Operation result" text also lands on the status line (the dialog is refused in test mode).
  EXPECT_EQ(app->status_text, L"Completed - 3 processed, 1 skipped");
}

TEST_F(Jobs, StopSetsTheFlagAndTheJobSaysItWasCancelled) {
  std::atomic<bool> started{false};
  app->start_work([&] {
    started = true;
    auto work = std::make_unique<Work>();
    for (int i = 0; i < 2000 && !is_cancelled(&app->cancel); ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    work->outcome.ok = !is_cancelled(&app->cancel);
    work->outcome.message = work->outcome.ok ? L"" : L"Operation cancelled.";
    return work;
  });
  ASSERT_TRUE(pump_until([&] { return started.load(); }));
  app->command(ID_STOP_BUTTON);
  EXPECT_EQ(app->cancel.load(), 1);
  EXPECT_FALSE(IsWindowEnabled(app->stop_button));
  EXPECT_EQ(window_text(app->stop_button), L"Stopping...");
  EXPECT_EQ(window_text(app->progress_item_label), L"Finishing the current step...");
  EXPECT_EQ(app->status_text, L"Stopping...");
  ASSERT_TRUE(pump_until([&] { return !app->busy; }));
  EXPECT_EQ(app->status_text, L"Not completed\r\nOperation cancelled.");
  // Stop while idle does nothing.
  app->cancel.exchange(0);
  app->command(ID_STOP_BUTTON);
  EXPECT_EQ(app->cancel.load(), 0);
}

TEST_F(Jobs, StopBeforeTheJobStartsReportsIt) {
  // The worker is held at its start until Stop has been pressed, so the stop always comes first.
  const HeldWorkers held;
  std::atomic<bool> ran{false};
  app->start_work(noting(ran));
  app->command(ID_STOP_BUTTON);
  held.release();
  ASSERT_TRUE(pump_until([&] { return !app->busy; }));
  EXPECT_FALSE(ran);
  EXPECT_EQ(app->status_text, L"Not completed\r\nOperation stopped before starting.");
}

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

TEST_F(Jobs, ProgressReachesThePanel) {
  Latch latch;
  app->start_work([&] {
    app->post_progress(3, 4, L"C:\\Temp\\a.tmp");
    latch.wait();
    return std::make_unique<Work>();
  });
  ASSERT_TRUE(pump_until([&] { return app->progress_total == 4; }));
  EXPECT_EQ(window_text(app->progress_item_label), L"C:\\Temp\\a.tmp");
  EXPECT_EQ(window_text(app->progress_count_label), L"3 / 4 items - 75%");
  EXPECT_EQ(SendMessageW(app->progress_bar, PBM_GETPOS, 0, 0), 7500);
  // Reports straight from the user-interface thread's handler.
  app->on_progress(ProgressReport{1, 3, L"b"});
  EXPECT_EQ(SendMessageW(app->progress_bar, PBM_GETPOS, 0, 0), 3333);
  EXPECT_EQ(window_text(app->progress_count_label), L"1 / 3 items - 33%");
  app->on_progress(ProgressReport{17, 0, L"c"});
  EXPECT_EQ(window_text(app->progress_count_label), L"17 items checked");
  app->options.vietnamese = true;
  app->on_progress(ProgressReport{37, 120, L"d"});
  EXPECT_EQ(window_text(app->progress_count_label), L"37 / 120 mục - 30%");
  app->options.vietnamese = false;
  latch.open = true;
  ASSERT_TRUE(pump_until([&] { return !app->busy; }));
  // A report that arrives after the job is freed without effect.
  PostMessageW(app->main_window, WM_JOB_PROGRESS, 0,
               reinterpret_cast<LPARAM>(new ProgressReport{9, 9, L"late"}));
  pump_messages();
  EXPECT_NE(app->progress_item, L"late");
  EXPECT_EQ(window_text(app->progress_count_label), L"37 / 120 mục - 30%");
}

TEST_F(Jobs, ProgressReportsAreThinnedOnTheWorker) {
  std::atomic<int> posted{0};
  Latch latch;
  app->start_work([&] {
    // A tight loop of 10000 reports within far less than 80 ms per report.
    const auto start = std::chrono::steady_clock::now();
    for (int i = 1; i <= 10000; ++i) app->post_progress(static_cast<std::uint64_t>(i), 10000, L"x");
    const auto elapsed =
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();
    posted = static_cast<int>(elapsed / 80 + 2);  // the most that may pass: one per 80 ms, the first, the last
    latch.wait();
    return std::make_unique<Work>();
  });
  int received = 0;
  // Wait without dispatching, so the posted reports stay queued to be counted.
  for (int i = 0; i < 5000 && posted.load() == 0; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  ASSERT_NE(posted.load(), 0);
  MSG message{};
  while (PeekMessageW(&message, app->main_window, WM_JOB_PROGRESS, WM_JOB_PROGRESS, PM_REMOVE)) {
    ++received;
    DispatchMessageW(&message);
  }
  EXPECT_GE(received, 2);  // the first and the final one
  EXPECT_LE(received, posted.load());
  EXPECT_EQ(app->progress_done, 10000u);
  EXPECT_EQ(window_text(app->progress_count_label), L"10000 / 10000 items - 100%");
  latch.open = true;
  ASSERT_TRUE(pump_until([&] { return !app->busy; }));
}

TEST_F(Jobs, ClosingDuringAJobClosesAfterItReports) {
  Latch latch;
  app->start_work([&] {
    latch.wait();
    auto work = std::make_unique<Work>();
    work->outcome.message = L"done";
    return work;
  });
  ASSERT_TRUE(pump_until([&] { return latch.entered.load(); }));
  SendMessageW(app->main_window, WM_CLOSE, 0, 0);
  EXPECT_TRUE(IsWindow(app->main_window));
  EXPECT_TRUE(app->close_requested);
  EXPECT_EQ(app->cancel.load(), 1);
  EXPECT_EQ(app->status_text, L"Stopping before closing...");
  latch.open = true;
  ASSERT_TRUE(pump_until([&] { return !IsWindow(app->main_window); }));
  EXPECT_FALSE(app->worker.joinable());
  EXPECT_EQ(app->status_text, L"Completed\r\ndone");
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

TEST_F(Jobs, ScanResultsAreTakenWithTheirStatus) {
  run_to_end(*app, work_of(WORK_SCAN));
  EXPECT_EQ(app->status_text, L"0 files - 0 B reclaimable");
  EXPECT_TRUE(app->scan_usable);

  auto found = work_of(WORK_SCAN);
  for (int i = 0; i < 12; ++i) {
    CleanupItem item;
    item.area_id = "user-temp";
    item.size = 297091 + (i == 0 ? 4 : 0);
    found->scan.items.push_back(item);
  }
  found->scan.scanned_areas = {"user-temp"};
  found->scan.skipped = 2;
  found->scan.notes.push_back(ScanNote{L"ghi chú", L"Chrome is running"});
  run_to_end(*app, std::move(found));
  EXPECT_EQ(app->status_text, L"12 files - 3.4 MB reclaimable - 2 inaccessible / skipped entries");
  EXPECT_EQ(app->scan_result.items.size(), 12u);
  EXPECT_TRUE(app->scan_usable);

  auto cancelled = work_of(WORK_SCAN);
  cancelled->scan.cancelled = true;
  run_to_end(*app, std::move(cancelled));
  EXPECT_EQ(app->status_text, L"Scan cancelled");
  EXPECT_FALSE(app->scan_usable);

  // A finished cleanup run throws the scan away.
  app->scan_usable = true;
  auto clean = work_of(WORK_CLEAN);
  clean->outcome.affected = 12;
  run_to_end(*app, std::move(clean));
  EXPECT_FALSE(app->scan_usable);
  EXPECT_TRUE(app->scan_result.items.empty());
  EXPECT_EQ(app->status_text, L"Completed - 12 processed, 0 skipped");
}

TEST(JobResults, ReviewStartupAndUpdateResultsAreTaken) {
  WindowApp app(window_test_options(true));
  ASSERT_TRUE(app.created());
  auto audit = work_of(WORK_AUDIT);
  audit->audit_entries.resize(3);
  run_to_end(*app, std::move(audit));
  EXPECT_EQ(app->review_entries.size(), 3u);
  EXPECT_TRUE(app->review_view);
  EXPECT_EQ(app->status_text, L"3 mục cần xem xét");

  auto listing = work_of(WORK_REFRESH);
  listing->startup_entries.resize(2);
  run_to_end(*app, std::move(listing));
  EXPECT_EQ(app->startup_entries.size(), 2u);
  EXPECT_TRUE(app->startup_loaded);
  EXPECT_EQ(app->status_text, L"2 mục đã tải");

  auto check = work_of(WORK_UPDATE_CHECK);
  check->update = UpdateInfo{};
  check->update->version = "1.0.1";
  run_to_end(*app, std::move(check));
  ASSERT_TRUE(app->update);
  EXPECT_EQ(app->update->version, "1.0.1");
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
