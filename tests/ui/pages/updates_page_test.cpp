// ctest-resource-lock: clipboard
// The Updates page end to end against the local HTTPS test server.
#include "ui/app.h"

#include "support/https_test_server.h"
#include "support/ui_app.h"

#include <gtest/gtest.h>

namespace corvane {
namespace {

using testing::https_test_server;

// The server's log outlives one run of this program: each run tags its paths.
const std::string kTag = "?run=" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(GetTickCount64());
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
    source_ = url[0] == '/' ? https_test_server().url(url + kTag) : url;
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
  EXPECT_EQ(testing::https_test_server_log("/manifest/1.0.1" + kTag).hits, 1u);
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

}  // namespace
}  // namespace corvane
