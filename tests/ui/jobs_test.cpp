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
