// ctest-resource-lock: clipboard
// The Updates page end to end against the local HTTPS test server.
#include "ui/app.h"

#include "support/dib_canvas.h"
#include "support/https_test_server.h"
#include "support/ui_app.h"

#include <gtest/gtest.h>

#include <string>

namespace corvane {
namespace {

using testing::https_test_server;
using testing::https_test_server_log;

// The server's log outlives one run of this program: each run tags its paths.
const std::string kTag = "?run=" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(GetTickCount64());

class UpdatesPage : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(app_.created());
    app_->options.smoke = false;  // the smoke mode never starts a check
    dialog_responder = [](const std::wstring&, const std::wstring&, const std::vector<std::wstring>&) { return -1; };
  }
  void TearDown() override {
    update_manifest_source = nullptr;
    dialog_responder = nullptr;
    clipboard_block_allocator = GlobalAlloc;
  }
  void serve(const std::string& url) {
    source_ = url;
    update_manifest_source = source_.c_str();
  }
  // Sends a command that starts a check and waits for its end.
  void check_with(int command) {
    app_->command(command);
    ASSERT_TRUE(app_->busy);
    ASSERT_TRUE(testing::pump_until([&] { return !app_->busy; }, 20000));
  }
  std::wstring field(int i) { return window_text(app_->update_fields[i]); }
  bool enabled(HWND control) { return IsWindowEnabled(control) != FALSE; }

  testing::WindowApp app_{testing::window_test_options()};
  std::string source_;
};

TEST_F(UpdatesPage, FirstVisitChecksOnceAndEachCheckComparesTheVersion) {
  const std::string path = "/manifest/1.0.1" + kTag;
  serve(https_test_server().url(path));
  check_with(CMD_PAGE_UPDATES);
  EXPECT_EQ(app_->update_state, UPDATE_AVAILABLE);
  EXPECT_EQ(field(0), L"1.0.1");
  EXPECT_EQ(field(1), L"2026-03-01T12:30:00Z");
  EXPECT_EQ(field(2), L"1.5 KB (1536 bytes)");
  EXPECT_EQ(field(4), L"0123456789abcdef0123456789abcdef0123456789abcdef0123456789abcdef");
  EXPECT_TRUE(enabled(app_->primary_button) && enabled(app_->tertiary_button));
  EXPECT_EQ(app_->status_text, L"Update check completed");

  app_->command(CMD_PAGE_BASE + PAGE_OVERVIEW);
  app_->command(CMD_PAGE_UPDATES);
  EXPECT_FALSE(app_->busy);
  EXPECT_EQ(app_->page, PAGE_UPDATES);
  EXPECT_EQ(https_test_server_log(path).hits, 1u);

  serve(https_test_server().url("/manifest/1.0.0" + kTag));
  check_with(ID_SECONDARY_BUTTON);
  EXPECT_EQ(app_->update_state, UPDATE_CURRENT);
  serve(https_test_server().url("/manifest/0.9.9" + kTag));
  app_->refresh();  // F5
  ASSERT_TRUE(testing::pump_until([&] { return !app_->busy; }, 20000));
  EXPECT_EQ(app_->update_state, UPDATE_CURRENT);
  EXPECT_EQ(field(0), L"0.9.9");
}

TEST_F(UpdatesPage, MissingOptionalFieldsAreNotProvidedAndLeaveNothingToCopy) {
  serve(https_test_server().url("/manifest/1.0.0/bare" + kTag));
  check_with(CMD_PAGE_UPDATES);
  EXPECT_EQ(app_->update_state, UPDATE_CURRENT);
  EXPECT_EQ(field(1), L"Not provided");
  EXPECT_EQ(field(2), L"Not provided");
  EXPECT_EQ(field(4), L"Not provided");
  EXPECT_TRUE(enabled(app_->primary_button));
  EXPECT_FALSE(enabled(app_->tertiary_button));
}

TEST_F(UpdatesPage, StopWinsOverAFinishedDownload) {
  serve(https_test_server().url("/manifest" + kTag));
  app_->show_page(PAGE_UPDATES);
  app_->command(ID_SECONDARY_BUTTON);
  MSG done{};
  for (int i = 0; i < 2000 && !PeekMessageW(&done, app_->main_window, WM_JOB_DONE, WM_JOB_DONE, PM_NOREMOVE); ++i) {
    Sleep(10);
  }
  ASSERT_EQ(done.message, WM_JOB_DONE) << "the check never finished";
  app_->command(ID_STOP_BUTTON);
  ASSERT_TRUE(testing::pump_until([&] { return !app_->busy; }));
  EXPECT_EQ(app_->update_state, UPDATE_STOPPED);
  EXPECT_FALSE(app_->update.has_value());
  EXPECT_EQ(field(0), L"");
  EXPECT_EQ(app_->status_text, L"Update check stopped");
}

TEST_F(UpdatesPage, ClosedPortFailsWithTheNetworkErrorPaintedUnderTheNotice) {
  serve("https://localhost:" + std::to_string(https_test_server().closed_port) + "/manifest");
  app_->show_page(PAGE_UPDATES);
  check_with(ID_SECONDARY_BUTTON);
  EXPECT_EQ(app_->update_state, UPDATE_FAILED);
  EXPECT_EQ(app_->update_error.rfind("Network error ", 0), 0u) << app_->update_error;
  EXPECT_FALSE(enabled(app_->primary_button) || enabled(app_->tertiary_button));
  EXPECT_TRUE(enabled(app_->secondary_button));

  RECT client{};
  GetClientRect(app_->main_window, &client);
  const auto s = [&](int px) { return app_->renderer.scale(px); };
  const RECT error_line{s(296), s(564), client.right - s(56), s(600)};
  const auto painted = [&] {
    testing::DibCanvas canvas(client.right, client.bottom);
    app_->paint_info_page(canvas.dc(), client);
    return (error_line.right - error_line.left) * (error_line.bottom - error_line.top) -
           canvas.count(error_line, app_->renderer.colors[kColorSurface]);
  };
  EXPECT_GT(painted(), 20);
  app_->update_state = UPDATE_STOPPED;
  EXPECT_EQ(painted(), 0);
}

HGLOBAL g_unlockable = nullptr;

TEST_F(UpdatesPage, CopiesTheSha256AndFreesABlockThatCannotBeLocked) {
  serve(https_test_server().url("/manifest" + kTag));
  app_->show_page(PAGE_UPDATES);
  check_with(ID_SECONDARY_BUTTON);
  app_->command(ID_TERTIARY_BUTTON);
  EXPECT_EQ(app_->status_text, L"SHA-256 copied");
  ASSERT_TRUE(OpenClipboard(nullptr));
  const auto* copied = static_cast<const wchar_t*>(GlobalLock(GetClipboardData(CF_UNICODETEXT)));
  const std::wstring text = copied != nullptr ? copied : L"";
  CloseClipboard();
  EXPECT_EQ(text, L"0123456789abcdef0123456789abcdef0123456789abcdef0123456789abcdef");

  // A movable block of size 0 is a discarded one: locking it fails.
  clipboard_block_allocator = [](UINT flags, SIZE_T) { return g_unlockable = GlobalAlloc(flags, 0); };
  app_->set_status(L"before");
  app_->command(ID_TERTIARY_BUTTON);
  ASSERT_NE(g_unlockable, nullptr);
  EXPECT_EQ(app_->status_text, L"before");
  EXPECT_EQ(GlobalFlags(g_unlockable), static_cast<UINT>(GMEM_INVALID_HANDLE)) << "the block was not freed";
}

}  // namespace
}  // namespace corvane
