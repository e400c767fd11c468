// ctest-resource-lock: clipboard
// The Updates page end to end against the local HTTPS test server.
#include "ui/app.h"

#include "support/dib_canvas.h"
#include "support/https_test_server.h"
#include "support/ui_app.h"

#include <gtest/gtest.h>

namespace corvane {
namespace {

using testing::https_test_server;

// The server's log outlives one run of this program: each run tags its paths, and each case
// adds its name, so that the cases' counts stay apart.
const std::string kTag = "?run=" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(GetTickCount64());

std::string tagged(const std::string& path) {
  return path + kTag + "-" + ::testing::UnitTest::GetInstance()->current_test_info()->name();
}
HGLOBAL g_unlockable = nullptr;

class UpdatesPage : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(app_.created());
    app_->options.smoke = false;  // the smoke mode never starts a check
    app_->show_page(PAGE_UPDATES);
  }
  void TearDown() override {
    update_manifest_source = nullptr;
    clipboard_block_allocator = GlobalAlloc;
  }
  // Checks `url` (a path of the test server when it starts with '/') through `command`.
  void check(const std::string& url, int command = ID_SECONDARY_BUTTON, bool wait = true) {
    source_ = url[0] == '/' ? https_test_server().url(tagged(url)) : url;
    update_manifest_source = source_.c_str();
    command == CMD_REFRESH ? app_->refresh() : app_->command(command);
    ASSERT_TRUE(app_->busy);
    if (wait) {
      ASSERT_TRUE(testing::pump_until([&] { return !app_->busy; }, 20000));
    }
  }
  std::wstring field(int i) { return window_text(app_->update_fields[i]); }
  testing::WindowApp app_{testing::window_test_options()};
  std::string source_;
};

TEST_F(UpdatesPage, FirstVisitChecksOnceEachCheckComparesTheVersionCopyAndStop) {
  app_->show_page(PAGE_OVERVIEW);
  check("/manifest/1.0.1", CMD_PAGE_UPDATES);
  EXPECT_EQ(app_->update_state, UPDATE_AVAILABLE);
  EXPECT_EQ(field(0) + L"|" + field(1) + L"|" + field(2), L"1.0.1|2026-03-01T12:30:00Z|1.5 KB (1536 bytes)");
  EXPECT_TRUE(IsWindowEnabled(app_->primary_button) && IsWindowEnabled(app_->tertiary_button));
  app_->command(CMD_PAGE_BASE + PAGE_OVERVIEW);
  app_->command(CMD_PAGE_UPDATES);
  EXPECT_FALSE(app_->busy);
  EXPECT_EQ(testing::https_test_server_log(tagged("/manifest/1.0.1")).hits, 1u);
  app_->command(ID_TERTIARY_BUTTON);
  EXPECT_EQ(app_->status_text, L"SHA-256 copied");
  ASSERT_TRUE(OpenClipboard(nullptr));
  EXPECT_STREQ(static_cast<const wchar_t*>(GlobalLock(GetClipboardData(CF_UNICODETEXT))),
               L"0123456789abcdef0123456789abcdef0123456789abcdef0123456789abcdef");
  CloseClipboard();
  // A movable block of size 0 is a discarded one: locking it fails, and it must still be freed.
  clipboard_block_allocator = [](UINT flags, SIZE_T) { return g_unlockable = GlobalAlloc(flags, 0); };
  app_->command(ID_TERTIARY_BUTTON);
  EXPECT_EQ(GlobalFlags(g_unlockable), static_cast<UINT>(GMEM_INVALID_HANDLE)) << "the block was not freed";
  EXPECT_EQ(app_->status_text, L"SHA-256 copied");  // nothing shown

  check("/manifest/0.9.9", CMD_REFRESH);  // F5
  EXPECT_EQ(app_->update_state, UPDATE_CURRENT);

  // Stop once the download has finished, before its result is applied.
  check("/manifest", ID_SECONDARY_BUTTON, false);
  MSG done{};
  for (int i = 0; i < 2000 && !PeekMessageW(&done, app_->main_window, WM_JOB_DONE, WM_JOB_DONE, PM_NOREMOVE); ++i) {
    Sleep(10);
  }
  ASSERT_EQ(done.message, WM_JOB_DONE) << "the check never finished";
  app_->command(ID_STOP_BUTTON);
  ASSERT_TRUE(testing::pump_until([&] { return !app_->busy; }));
  EXPECT_EQ(app_->update_state, UPDATE_STOPPED);
  EXPECT_FALSE(app_->update.has_value());
  EXPECT_EQ(app_->status_text, L"Update check stopped");
}


TEST_F(UpdatesPage, FirstVisitChecksOnceAndEachCheckComparesTheVersion) {
  app_->show_page(PAGE_OVERVIEW);
  check("/manifest/1.0.1", CMD_PAGE_UPDATES);
  EXPECT_EQ(app_->update_state, UPDATE_AVAILABLE);
  EXPECT_EQ(field(0), L"1.0.1");
  EXPECT_EQ(field(1), L"2026-03-01T12:30:00Z");
  EXPECT_EQ(field(2), L"1.5 KB (1536 bytes)");
  EXPECT_EQ(field(4), L"0123456789abcdef0123456789abcdef0123456789abcdef0123456789abcdef");
  EXPECT_TRUE(IsWindowEnabled(app_->primary_button) && IsWindowEnabled(app_->tertiary_button));
  EXPECT_EQ(app_->status_text, L"Update check completed");

  app_->command(CMD_PAGE_BASE + PAGE_OVERVIEW);
  app_->command(CMD_PAGE_UPDATES);
  EXPECT_FALSE(app_->busy);
  EXPECT_EQ(app_->page, PAGE_UPDATES);
  EXPECT_EQ(testing::https_test_server_log(tagged("/manifest/1.0.1")).hits, 1u);

  check("/manifest/1.0.0");
  EXPECT_EQ(app_->update_state, UPDATE_CURRENT);
  check("/manifest/0.9.9", CMD_REFRESH);  // F5
  EXPECT_EQ(app_->update_state, UPDATE_CURRENT);
  EXPECT_EQ(field(0), L"0.9.9");
}

TEST_F(UpdatesPage, MissingOptionalFieldsAreNotProvidedAndLeaveNothingToCopy) {
  app_->show_page(PAGE_OVERVIEW);
  check("/manifest/1.0.0/bare", CMD_PAGE_UPDATES);
  EXPECT_EQ(app_->update_state, UPDATE_CURRENT);
  EXPECT_EQ(field(1), L"Not provided");
  EXPECT_EQ(field(2), L"Not provided");
  EXPECT_EQ(field(4), L"Not provided");
  EXPECT_TRUE(IsWindowEnabled(app_->primary_button));
  EXPECT_FALSE(IsWindowEnabled(app_->tertiary_button));
}

TEST_F(UpdatesPage, StopWinsOverAFinishedDownload) {
  check("/manifest", ID_SECONDARY_BUTTON, false);
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
  check("https://localhost:" + std::to_string(https_test_server().closed_port) + "/manifest");
  EXPECT_EQ(app_->update_state, UPDATE_FAILED);
  EXPECT_EQ(app_->update_error.rfind("Network error ", 0), 0u) << app_->update_error;
  EXPECT_FALSE(IsWindowEnabled(app_->primary_button) || IsWindowEnabled(app_->tertiary_button));
  EXPECT_TRUE(IsWindowEnabled(app_->secondary_button));
  RECT client{};
  GetClientRect(app_->main_window, &client);
  const auto s = [&](int px) { return app_->renderer.scale(px); };
  const RECT line{s(296), s(564), client.right - s(56), s(600)};
  const auto inked = [&] {
    testing::DibCanvas canvas(client.right, client.bottom);
    app_->paint_info_page(canvas.dc(), client);
    return (line.right - line.left) * (line.bottom - line.top) - canvas.count(line, app_->renderer.colors[kColorSurface]);
  };
  EXPECT_GT(inked(), 20);
  app_->update_state = UPDATE_STOPPED;
  EXPECT_EQ(inked(), 0);
}

TEST_F(UpdatesPage, CopiesTheSha256AndFreesABlockThatCannotBeLocked) {
  check("/manifest");
  app_->command(ID_TERTIARY_BUTTON);
  EXPECT_EQ(app_->status_text, L"SHA-256 copied");
  ASSERT_TRUE(OpenClipboard(nullptr));
  const auto* copied = static_cast<const wchar_t*>(GlobalLock(GetClipboardData(CF_UNICODETEXT)));
  const std::wstring text = copied != nullptr ? copied : L"";
  CloseClipboard();
  EXPECT_EQ(text, L"0123456789abcdef0123456789abcdef0123456789abcdef0123456789abcdef");

  // A movable block of size 0 is a discarded one: locking it fails.
  g_unlockable = nullptr;
  clipboard_block_allocator = [](UINT flags, SIZE_T) { return g_unlockable = GlobalAlloc(flags, 0); };
  app_->set_status(L"before");
  app_->command(ID_TERTIARY_BUTTON);
  ASSERT_NE(g_unlockable, nullptr);
  EXPECT_EQ(app_->status_text, L"before");
  EXPECT_EQ(GlobalFlags(g_unlockable), static_cast<UINT>(GMEM_INVALID_HANDLE)) << "the block was not freed";
}

}  // namespace
}  // namespace corvane
