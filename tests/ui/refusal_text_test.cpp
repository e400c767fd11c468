#include "ui/app.h"

#include "engines/backup_restore.h"
#include "engines/startup_change.h"
#include "services/data_folder_guard.h"

#include <gtest/gtest.h>

#include <string>

namespace corvane {
namespace {

// Written out here rather than taken from the engines' constants, so that a wrong text in
// either language, or the two refusals' translations swapped, shows.
const std::wstring kBackupEnglish =
    L"This backup can be changed without administrator rights. Restore it with Corvane running without "
    L"administrator access.";
const std::wstring kBackupVietnamese =
    L"Bản sao lưu này có thể bị thay đổi khi không có quyền quản trị. Hãy khôi phục khi mở Corvane không dùng "
    L"quyền quản trị.";
const std::wstring kStartupEnglish =
    L"The Startup folder is outside your user profile. Make this change with Corvane running without "
    L"administrator access.";
const std::wstring kStartupVietnamese =
    L"Thư mục Startup nằm ngoài hồ sơ người dùng của bạn. Hãy thực hiện thay đổi này khi mở Corvane không "
    L"dùng quyền quản trị.";
const std::wstring kDataFolderEnglish =
    L"Corvane's data folder is outside your user profile, so Corvane running as administrator does not use it. "
    L"Nothing was changed.";
const std::wstring kDataFolderVietnamese =
    L"Thư mục dữ liệu của Corvane nằm ngoài hồ sơ người dùng của bạn, nên Corvane chạy với quyền quản trị không "
    L"dùng thư mục đó. Không có gì bị thay đổi.";
const std::wstring kMoveRedirectedEnglish =
    L"A folder changed while the startup file was being moved, so the file was put back where it was. Nothing "
    L"was changed.";
const std::wstring kMoveRedirectedVietnamese =
    L"Một thư mục đã thay đổi trong lúc tệp khởi động đang được di chuyển, nên tệp đã được đặt lại chỗ cũ. Không "
    L"có gì bị thay đổi.";

TEST(RefusalText, EachRefusalHasItsOwnTextInBothLanguages) {
  // The engines refuse in English.
  EXPECT_EQ(kUnprotectedBackupMessage, kBackupEnglish);
  EXPECT_EQ(kStartupOutsideProfileMessage, kStartupEnglish);
  EXPECT_EQ(shown_refusal(kBackupEnglish, false), kBackupEnglish);
  EXPECT_EQ(shown_refusal(kStartupEnglish, false), kStartupEnglish);
  EXPECT_EQ(shown_refusal(kBackupEnglish, true), kBackupVietnamese);
  EXPECT_EQ(shown_refusal(kStartupEnglish, true), kStartupVietnamese);
  EXPECT_EQ(kDataFolderOutsideProfileMessage, kDataFolderEnglish);
  EXPECT_EQ(kStartupMoveRedirectedMessage, kMoveRedirectedEnglish);
  EXPECT_EQ(shown_refusal(kDataFolderEnglish, false), kDataFolderEnglish);
  EXPECT_EQ(shown_refusal(kMoveRedirectedEnglish, false), kMoveRedirectedEnglish);
  EXPECT_EQ(shown_refusal(kDataFolderEnglish, true), kDataFolderVietnamese);
  EXPECT_EQ(shown_refusal(kMoveRedirectedEnglish, true), kMoveRedirectedVietnamese);
}

TEST(RefusalText, AnyOtherMessageIsShownAsItIs) {
  // Only the whole text is translated: one with more after it, or in other letter case, is another message.
  for (const std::wstring& message :
       {std::wstring(L"Registry verification failed"), std::wstring(), kBackupVietnamese, kStartupVietnamese,
        kDataFolderVietnamese, kMoveRedirectedVietnamese,
        kBackupEnglish + L"\r\n", std::wstring(L"the Startup folder is outside your user profile.")}) {
    EXPECT_EQ(shown_refusal(message, false), message);
    EXPECT_EQ(shown_refusal(message, true), message);
  }
}

}  // namespace
}  // namespace corvane
