// What the features without registry values of their own do: tools, links, the power plan,
// the all-settings folder, drive visibility and the browser guidance.
#include "ui/app.h"

#include "engines/power_plan.h"
#include "engines/tools_folder.h"
#include "services/documents.h"
#include "services/registry.h"
#include "services/registry_transaction.h"
#include "services/shell.h"

#include <shlobj.h>

#include <cwctype>
#include <stdexcept>

namespace corvane {

namespace {

const RegistryValue kNoDrives{kHiveCurrentUser, L"Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer",
                              L"NoDrives", ValueState{}};

std::wstring shell_folder_picker(HWND owner, const std::wstring& title) {
  BROWSEINFOW browse{};
  browse.hwndOwner = owner;
  browse.lpszTitle = title.c_str();
  browse.ulFlags = BIF_RETURNONLYFSDIRS | BIF_NEWDIALOGSTYLE;
  PIDLIST_ABSOLUTE item = SHBrowseForFolderW(&browse);
  if (item == nullptr) return L"";
  wchar_t path[MAX_PATH] = {};
  const bool obtained = SHGetPathFromIDListW(item, path) != FALSE;
  CoTaskMemFree(item);
  return obtained ? std::wstring(path) : std::wstring();
}

// Restores a saved value when the scope ends, however it ends.
template <typename T>
class RestoreOnExit {
 public:
  RestoreOnExit(T& target, T replacement) : target_(target), saved_(std::move(target)) { target_ = std::move(replacement); }
  ~RestoreOnExit() { target_ = std::move(saved_); }
  RestoreOnExit(const RestoreOnExit&) = delete;
  RestoreOnExit& operator=(const RestoreOnExit&) = delete;

 private:
  T& target_;
  T saved_;
};

}  // namespace

FolderPicker folder_picker = nullptr;

std::optional<DriveToggle> toggle_drive_visibility(const ValueState& current, const std::wstring& path) {
  if (path.size() < 2 || path[1] != L':') return std::nullopt;
  const auto letter = static_cast<wchar_t>(towupper(path[0]));
  if (letter < L'A' || letter > L'Z') return std::nullopt;
  std::uint32_t mask = 0;
  if (current.exists) {
    if (current.type != REG_DWORD || current.bytes.size() != 4) throw std::runtime_error("Unexpected NoDrives value type");
    mask = static_cast<std::uint32_t>(current.bytes[0]) | static_cast<std::uint32_t>(current.bytes[1]) << 8 |
           static_cast<std::uint32_t>(current.bytes[2]) << 16 | static_cast<std::uint32_t>(current.bytes[3]) << 24;
  }
  const std::uint32_t bit = 1u << (letter - L'A');
  return DriveToggle{letter, (mask & bit) != 0, mask ^ bit};
}

void App::feature_action(const Feature& feature) {
  const std::wstring title = text(feature.title_vi.c_str(), feature.title_en.c_str());
  const std::wstring description = text(feature.description_vi.c_str(), feature.description_en.c_str());
  const std::wstring close = text(L"Đóng", L"Close");
  if (feature.action.empty()) {
    // The ticks stay as they were, whatever apply() does or throws.
    const RestoreOnExit<std::set<std::string>> only_this(checked_features, std::set<std::string>{feature.id});
    apply();
    return;
  }
  if (feature.action == L"@registry") {
    audit_registry();
  } else if (feature.action == L"@godmode") {
    if (confirm(title, description, text(L"Tạo thư mục", L"Create folder"))) {
      start_work([elevated = acts_elevated()] {
        auto work = std::make_unique<Work>();
        work->outcome = create_tools_folder(elevated);
        return work;
      });
    }
  } else if (feature.action == L"@ultimate") {
    if (!system_info.elevated) {
      show_dialog(L"Corvane",
                  text(L"Mở Corvane với quyền quản trị để đổi gói nguồn.",
                       L"Run Corvane as administrator to change the power plan."),
                  {close});
      return;
    }
    if (confirm(title, description, text(L"Kích hoạt", L"Activate"))) {
      start_work([] {
        auto work = std::make_unique<Work>();
        work->outcome = enable_ultimate_performance();
        return work;
      });
    }
  } else if (feature.action == L"@drives") {
    drive_visibility(feature);
  } else if (feature.action == L"@browser-privacy") {
    show_dialog(title,
                text(L"Chrome / Edge / Firefox:\r\n\r\n1. Mở trình duyệt.\r\n2. Nhấn Ctrl + Shift + Delete.\r\n"
                     L"3. Chọn khoảng thời gian và loại dữ liệu.\r\n4. Xem kỹ cookie, lịch sử, mật khẩu và phiên "
                     L"đăng nhập trước khi xác nhận.\r\n\r\nFirefox lưu dấu trang và lịch sử chung trong "
                     L"places.sqlite; Corvane không bao giờ xóa tập tin này. Bộ nhớ đệm thông thường có ở trang Dọn dẹp.",
                     L"Chrome / Edge / Firefox:\r\n\r\n1. Open the browser.\r\n2. Press Ctrl + Shift + Delete.\r\n"
                     L"3. Select the time range and data types.\r\n4. Review cookies, history, passwords and sessions "
                     L"before confirming.\r\n\r\nFirefox stores bookmarks and history together in places.sqlite; "
                     L"Corvane never deletes it. Ordinary cache is available on the Cleanup page."),
                {close});
  } else {
    const std::wstring target =
        feature.action == L"@eventviewer" ? windows_folder() + L"\\System32\\eventvwr.msc" : feature.action;
    const Outcome opened = shell_open(main_window, target);
    if (opened.ok) {
      set_status(text(L"Đã mở công cụ Windows", L"Opened Windows tool"));
    } else {
      show_outcome(opened);
    }
  }
}

void App::drive_visibility(const Feature& feature) {
  const std::wstring title = text(feature.title_vi.c_str(), feature.title_en.c_str());
  const ValueState read = read_registry_value(kNoDrives);
  const int choice = show_dialog(
      title,
      text(L"Chọn ổ trong hộp thoại kế tiếp. Chỉ ẩn trong Explorer, không ngăn truy cập dữ liệu.\r\n\r\n"
           L"Dùng nút Ẩn / Hiện để thay đổi từng ổ; các ổ khác giữ nguyên.",
           L"Choose a drive in the next dialog. This hides it in Explorer but does not prevent data access.\r\n\r\n"
           L"Use Hide / Show for each drive; other drive settings are preserved."),
      {text(L"Chọn ổ...", L"Choose drive..."), text(L"Đóng", L"Close")});
  if (choice != 0) return;
  const std::wstring picker_title =
      text(L"Chọn thư mục trên ổ cần ẩn / hiện", L"Choose a folder on the drive to hide / show");
  const std::wstring path = folder_picker != nullptr ? folder_picker(main_window, picker_title)
                                                     : shell_folder_picker(main_window, picker_title);
  std::optional<DriveToggle> toggle;
  try {
    toggle = toggle_drive_visibility(read, path);
  } catch (const std::runtime_error&) {
    show_outcome(Outcome{false, L"Unexpected NoDrives value type", L"", 0, 0, 0});
    return;
  }
  if (!toggle) return;
  const std::wstring question = (toggle->currently_hidden ? text(L"Hiện ổ ", L"Show drive ") : text(L"Ẩn ổ ", L"Hide drive ")) +
                                toggle->letter + L":\r\n\r\n" +
                                text(feature.description_vi.c_str(), feature.description_en.c_str());
  if (!confirm(title, question, text(L"Áp dụng", L"Apply"))) return;
  RegistryValue change = kNoDrives;
  change.value = make_dword_value(toggle->new_mask);
  start_work([this, change, read] {
    auto work = std::make_unique<Work>();
    // Another program or a policy refresh may have changed the mask while the dialogs were open:
    // writing the toggle over it would lose that change.
    if (!(read_registry_value(change) == read)) {
      work->outcome = Outcome{false, L"A value changed during review. Refresh before applying.", L"", 0, 0, 0};
      return work;
    }
    work->outcome = apply_registry_changes({change}, L"Drive visibility", backups_folder(), &cancel, progress_callback());
    return work;
  });
}

}  // namespace corvane
