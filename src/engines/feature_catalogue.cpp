// The base entries of the feature catalogue, one block per entry. The customization page's
// rework, its further entries and the final order are in feature_catalogue_customization.cpp.

#include "engines/feature.h"
#include "engines/feature_catalogue_keys.h"

#include <windows.h>

namespace corvane {

namespace {

constexpr std::uint32_t HKCU = kHiveCurrentUser;
constexpr std::uint32_t HKLM = kHiveLocalMachine;
constexpr std::uint32_t HKU = kHiveUsers;
constexpr bool kRestart = true;
constexpr bool kNoRestart = false;

ValueState dword(std::uint32_t number) { return make_dword_value(number); }
ValueState sz(const std::wstring& text) { return make_string_value(text); }

ValueState four_zero_bytes() {
  ValueState state;
  state.exists = true;
  state.type = REG_BINARY;
  state.bytes = {0, 0, 0, 0};
  return state;
}

void add_customization_base(std::vector<Feature>& c) {
  using namespace catalogue_keys;

  // Windows 11 reads this class's in-process server; an empty one brings back the classic menu.
  add_registry_setting(c, "classic-menu", kPageCustomization,
      {L"Menu chuột phải cổ điển", L"Classic context menu"},
      {L"Windows 11: thay đổi thử nghiệm, có thể bị bỏ qua trên bản Windows mới. Đăng xuất để áp dụng.",
       L"Windows 11: experimental; newer builds may ignore this setting. Sign out to apply."},
      L"Software\\Classes\\CLSID\\{86ca1aa0-34aa-4e8b-a509-50c905bae2a2}\\InprocServer32", L"", sz(L""),
      HKCU, 22000, kRestart);

  add_registry_setting(c, "shortcut-arrow", kPageCustomization,
      {L"Ẩn mũi tên shortcut", L"Hide shortcut arrows"},
      {L"Dùng biểu tượng trong suốt của Corvane. Giữ ứng dụng tại vị trí này; khôi phục trước khi di chuyển.",
       L"Uses Corvane's transparent icon. Keep the app in this location; restore before moving it."},
      L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Icons", L"29", sz(L"@CORVANE_BLANK_ICON@"),
      HKLM, 10240, kRestart);

  add_registry_setting(c, "shortcut-name", kPageCustomization,
      {L"Bỏ hậu tố Shortcut", L"Remove the Shortcut suffix"},
      {L"Shortcut mới được đặt tên không có hậu tố \"- Shortcut\". Shortcut đã có giữ nguyên tên.",
       L"New shortcuts are named without the \"- Shortcut\" suffix. Existing shortcuts keep their names."},
      L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer", L"link", four_zero_bytes(),
      HKCU, 10240, kRestart);

  add_registry_setting(c, "taskbar-left", kPageCustomization,
      {L"Căn trái taskbar", L"Align the taskbar to the left"},
      {L"Windows 11: đặt biểu tượng taskbar sát lề trái hoặc ở giữa.",
       L"Windows 11: place the taskbar icons at the left edge or in the center."},
      kAdvanced, L"TaskbarAl", dword(0),
      HKCU, 22000, kRestart);

  add_registry_setting(c, "widgets", kPageCustomization,
      {L"Ẩn nút Widgets", L"Hide the Widgets button"},
      {L"Windows 11: hiện hoặc ẩn nút Widgets trên taskbar.",
       L"Windows 11: show or hide the Widgets button on the taskbar."},
      kAdvanced, L"TaskbarDa", dword(0),
      HKCU, 22000, kRestart);

  add_action_setting(c, "chat", kPageCustomization,
      {L"Nút Chat trên taskbar", L"Taskbar Chat button"},
      {L"Mở cài đặt taskbar để ẩn hoặc hiện nút Chat.",
       L"Open the taskbar settings to hide or show the Chat button."},
      L"ms-settings:taskbar");

  add_registry_setting(c, "web-search", kPageCustomization,
      {L"Hạn chế gợi ý tìm kiếm web", L"Limit web search suggestions"},
      {L"Tắt gợi ý web trong ô tìm kiếm của Start và taskbar cho người dùng này.",
       L"Turns off web suggestions in the Start and taskbar search box for this user."},
      L"Software\\Policies\\Microsoft\\Windows\\Explorer", L"DisableSearchBoxSuggestions", dword(1),
      HKCU, 19041, kRestart);

  add_action_setting(c, "start-recommendations", kPageCustomization,
      {L"Đề xuất trong Start", L"Start recommendations"},
      {L"Mở cài đặt Start: bố cục, mục đề xuất và các phần được hiển thị.",
       L"Open the Start settings: layout, recommendations and the sections shown."},
      L"ms-settings:personalization-start");

  add_registry_setting(c, "seconds", kPageCustomization,
      {L"Hiện giây trên đồng hồ", L"Show seconds in the clock"},
      {L"Hiện hoặc ẩn giây trên đồng hồ taskbar. Tốn thêm một chút điện năng.",
       L"Show or hide seconds in the taskbar clock. Uses slightly more power."},
      kAdvanced, L"ShowSecondsInSystemClock", dword(1),
      HKCU, 22621, kRestart);

  add_registry_setting(c, "hidden-files", kPageCustomization,
      {L"Hiện tập tin ẩn", L"Show hidden files"},
      {L"Hiện hoặc ẩn các tập tin và thư mục ẩn trong File Explorer.",
       L"Show or hide hidden files and folders in File Explorer."},
      kAdvanced, L"Hidden", dword(1),
      HKCU, 10240, kNoRestart);

  add_registry_setting(c, "extensions", kPageCustomization,
      {L"Hiện phần mở rộng tập tin", L"Show file extensions"},
      {L"Hiện hoặc ẩn phần mở rộng như .exe và .txt sau tên tập tin.",
       L"Show or hide extensions such as .exe and .txt after file names."},
      kAdvanced, L"HideFileExt", dword(0),
      HKCU, 10240, kNoRestart);

  add_registry_setting(c, "this-pc", kPageCustomization,
      {L"Mở File Explorer tại This PC", L"Open File Explorer to This PC"},
      {L"Chọn vị trí mà cửa sổ File Explorer mới mở ra.",
       L"Choose where a new File Explorer window opens."},
      kAdvanced, L"LaunchTo", dword(1),
      HKCU, 10240, kNoRestart);

  add_registry_setting(c, "compact", kPageCustomization,
      {L"Bật bố cục Explorer gọn", L"Use the compact Explorer layout"},
      {L"Windows 11: giảm khoảng cách giữa các mục trong File Explorer.",
       L"Windows 11: reduce the spacing between items in File Explorer."},
      kAdvanced, L"UseCompactMode", dword(1),
      HKCU, 22000, kNoRestart);

  add_registry_setting(c, "hide-3d", kPageCustomization,
      {L"Ẩn 3D Objects trong This PC", L"Hide 3D Objects in This PC"},
      {L"Bỏ thư mục 3D Objects khỏi This PC; thư mục và tập tin vẫn còn trên ổ đĩa.",
       L"Removes the 3D Objects folder from This PC; the folder and its files stay on disk."},
      L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FolderDescriptions\\"
      L"{31C0DD25-9439-4F12-BF41-7FF4EDA38722}\\PropertyBag",
      L"ThisPCPolicy", sz(L"Hide"),
      HKLM, 10240, kNoRestart);

  add_registry_setting(c, "hide-pictures", kPageCustomization,
      {L"Ẩn Pictures trong This PC", L"Hide Pictures in This PC"},
      {L"Bỏ thư mục Pictures khỏi This PC; thư mục và tập tin vẫn còn trên ổ đĩa.",
       L"Removes the Pictures folder from This PC; the folder and its files stay on disk."},
      L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FolderDescriptions\\"
      L"{0ddd015d-b06c-45d5-8c4c-f59713854639}\\PropertyBag",
      L"ThisPCPolicy", sz(L"Hide"),
      HKLM, 10240, kNoRestart);

  add_registry_setting(c, "numlock", kPageCustomization,
      {L"Bật NumLock ở màn hình đăng nhập", L"NumLock on the sign-in screen"},
      {L"Bật NumLock ở màn hình đăng nhập cho hồ sơ mặc định.",
       L"Turn NumLock on at the sign-in screen for the default profile."},
      L".DEFAULT\\Control Panel\\Keyboard", L"InitialKeyboardIndicators", sz(L"2"),
      HKU, 10240, kRestart);
}

void add_privacy_entries(std::vector<Feature>& c) {
  add_registry_setting(c, "telemetry", kPagePrivacy,
      {L"Giảm dữ liệu chẩn đoán", L"Reduce diagnostic data"},
      {L"Home / Pro: dữ liệu bắt buộc. Enterprise / Education: mức 0 nếu được hỗ trợ. "
       L"Không chặn mọi kết nối Microsoft.",
       L"Home / Pro: required data. Enterprise / Education: level 0 where supported. "
       L"Does not block all Microsoft connections."},
      L"SOFTWARE\\Policies\\Microsoft\\Windows\\DataCollection", L"AllowTelemetry", dword(1),
      HKLM, 10240, kNoRestart);

  add_registry_setting(c, "advertising", kPagePrivacy,
      {L"Tắt mã quảng cáo", L"Disable advertising ID"},
      {L"Ứng dụng không còn dùng mã quảng cáo của bạn để cá nhân hóa quảng cáo.",
       L"Apps can no longer use your advertising ID for personalised ads."},
      L"Software\\Microsoft\\Windows\\CurrentVersion\\AdvertisingInfo", L"Enabled", dword(0),
      HKCU, 10240, kNoRestart);

  add_action_setting(c, "location", kPagePrivacy,
      {L"Quyền truy cập vị trí", L"Location permissions"},
      {L"Mở trang Windows kiểm soát ứng dụng nào được dùng vị trí của bạn.",
       L"Open the Windows page that controls which apps may use your location."},
      L"ms-settings:privacy-location");

  add_registry_setting(c, "activity", kPagePrivacy,
      {L"Tắt dòng hoạt động", L"Disable the activity feed"},
      {L"Chính sách: Windows ngừng thu thập lịch sử hoạt động của Timeline.",
       L"Policy: Windows stops collecting the activity history shown in Timeline."},
      L"SOFTWARE\\Policies\\Microsoft\\Windows\\System", L"EnableActivityFeed", dword(0),
      HKLM, 10240, kNoRestart);

  add_registry_setting(c, "cortana", kPagePrivacy,
      {L"Tắt Cortana (Windows cũ)", L"Disable Cortana (legacy Windows)"},
      {L"Chính sách cho các bản Windows 10 cũ; bản mới cung cấp Cortana dưới dạng ứng dụng riêng.",
       L"Policy for older Windows 10 builds; newer builds ship Cortana as a separate app."},
      L"SOFTWARE\\Policies\\Microsoft\\Windows\\Windows Search", L"AllowCortana", dword(0),
      HKLM, 10240, kNoRestart);

  add_action_setting(c, "copilot", kPagePrivacy,
      {L"Quản lý Microsoft Copilot", L"Manage Microsoft Copilot"},
      {L"Mở danh sách ứng dụng đã cài để gỡ hoặc giữ ứng dụng Copilot.",
       L"Open the installed apps to remove or keep the Copilot app."},
      L"ms-settings:appsfeatures");

  add_action_setting(c, "browser-privacy", kPagePrivacy,
      {L"Cookie, lịch sử và phiên trình duyệt", L"Browser cookies, history and sessions"},
      {L"Hướng dẫn cách mỗi trình duyệt tự xóa dữ liệu; Corvane không xóa hồ sơ trình duyệt.",
       L"Explains how each browser clears its own data; Corvane does not delete browser profiles."},
      L"@browser-privacy");
}

void add_performance_entries(std::vector<Feature>& c) {
  add_registry_setting(c, "animations", kPagePerformance,
      {L"Tắt hiệu ứng cửa sổ", L"Disable window animations"},
      {L"Cửa sổ mở và thu nhỏ không có hiệu ứng. Đăng xuất để áp dụng.",
       L"Windows open and minimise without animation. Sign out to apply."},
      L"Control Panel\\Desktop\\WindowMetrics", L"MinAnimate", sz(L"0"),
      HKCU, 10240, kRestart);

  add_registry_setting(c, "menu-delay", kPagePerformance,
      {L"Giảm độ trễ menu xuống 100 ms", L"Reduce menu delay to 100 ms"},
      {L"Menu con mở sau 100 ms thay vì 400 ms mặc định. Đăng xuất để áp dụng.",
       L"Submenus open after 100 ms instead of the default 400 ms. Sign out to apply."},
      L"Control Panel\\Desktop", L"MenuShowDelay", sz(L"100"),
      HKCU, 10240, kRestart);

  add_registry_setting(c, "game-dvr", kPagePerformance,
      {L"Tắt Game DVR", L"Disable Game DVR"},
      {L"Ngừng ghi hình trò chơi chạy nền của Xbox Game Bar.",
       L"Stops the background recording of games by the Xbox Game Bar."},
      L"System\\GameConfigStore", L"GameDVR_Enabled", dword(0),
      HKCU, 10240, kNoRestart);

  add_registry_setting(c, "hags", kPagePerformance,
      {L"Bật lập lịch GPU (HAGS)", L"Enable GPU scheduling (HAGS)"},
      {L"Lập lịch GPU tăng tốc phần cứng khi card đồ họa và trình điều khiển hỗ trợ. Khởi động lại để áp dụng.",
       L"Hardware-accelerated GPU scheduling where the graphics card and driver support it. Restart to apply."},
      L"SYSTEM\\CurrentControlSet\\Control\\GraphicsDrivers", L"HwSchMode", dword(2),
      HKLM, 19041, kRestart);

  add_action_setting(c, "ultimate", kPagePerformance,
      {L"Ultimate Performance", L"Ultimate Performance"},
      {L"Tạo và kích hoạt gói nguồn khi Windows hỗ trợ. Tiêu thụ điện và nhiệt có thể tăng; có lưu gói trước đó.",
       L"Create and activate the power plan when supported. May increase heat and power use; "
       L"the previous plan is saved."},
      L"@ultimate");

  add_action_setting(c, "power-settings", kPagePerformance,
      {L"Cài đặt nguồn và pin", L"Power and battery settings"},
      {L"Mở cài đặt nguồn, chế độ ngủ và pin của Windows.",
       L"Open the Windows power, sleep and battery settings."},
      L"ms-settings:powersleep");
}

void add_advanced_entries(std::vector<Feature>& c) {
  add_registry_setting(c, "notepad", kPageAdvanced,
      {L"Thêm Mở bằng Notepad", L"Add Open with Notepad"},
      {L"Thêm \"Open with Notepad\" vào menu chuột phải của mọi tập tin, chỉ cho người dùng này.",
       L"Adds \"Open with Notepad\" to the context menu of every file, for this user only."},
      L"Software\\Classes\\*\\shell\\Corvane.Notepad\\command", L"", sz(L"@NOTEPAD_COMMAND@"),
      HKCU, 10240, kNoRestart);

  add_registry_setting(c, "ownership", kPageAdvanced,
      {L"Thêm Take Ownership", L"Add Take Ownership"},
      {L"Thêm lệnh nhận quyền sở hữu một tập tin / thư mục. Mỗi lần chạy đều hỏi xác nhận; không đệ quy.",
       L"Add ownership of one file / folder. Each invocation asks for confirmation; does not recurse."},
      L"Software\\Classes\\*\\shell\\Corvane.TakeOwnership\\command", L"", sz(L"@OWNERSHIP_COMMAND@"),
      HKCU, 10240, kNoRestart);
  c.back().changes.push_back(RegistryValue{HKCU, L"Software\\Classes\\Directory\\shell\\Corvane.TakeOwnership\\command",
                                           L"", sz(L"@OWNERSHIP_COMMAND@")});

  add_action_setting(c, "drives", kPageAdvanced,
      {L"Ẩn ổ đĩa trong Explorer", L"Hide drives in Explorer"},
      {L"Chọn ký tự ổ đĩa cần ẩn khỏi File Explorer; ổ đĩa vẫn dùng được.",
       L"Choose drive letters to hide from File Explorer; the drives stay usable."},
      L"@drives");

  add_action_setting(c, "godmode", kPageAdvanced,
      {L"Tạo thư mục God Mode", L"Create a God Mode folder"},
      {L"Tạo trên Desktop một thư mục liệt kê mọi công cụ Control Panel.",
       L"Creates a folder on the Desktop that lists every Control Panel tool."},
      L"@godmode");

  add_action_setting(c, "registry-audit", kPageAdvanced,
      {L"Kiểm tra Registry", L"Review registry entries"},
      {L"Quét Shared DLLs, file associations, ứng dụng đã gỡ và Run. Chỉ xóa mục xác định rõ, có sao lưu .reg.",
       L"Scan Shared DLLs, file associations, uninstall records and Run. Only unambiguous entries are removable, "
       L"with a .reg backup."},
      L"@registry");

  add_action_setting(c, "event-logs", kPageAdvanced,
      {L"Nhật ký sự kiện Windows", L"Windows event logs"},
      {L"Mở Event Viewer để xem nhật ký sự kiện của Windows.",
       L"Open Event Viewer to read the Windows event logs."},
      L"@eventviewer");
}

}  // namespace

std::vector<Feature> build_feature_catalogue() {
  std::vector<Feature> catalogue;
  catalogue.reserve(72);
  add_customization_base(catalogue);
  add_privacy_entries(catalogue);
  add_performance_entries(catalogue);
  add_advanced_entries(catalogue);
  add_customization_features(catalogue);
  return catalogue;
}

}  // namespace corvane
