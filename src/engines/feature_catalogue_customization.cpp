// The Windows customization page: the rework of its base entries, the entries appended to it,
// one block per entry, and the final order of the whole catalogue.

#include "engines/feature.h"
#include "engines/feature_catalogue_keys.h"

#include <algorithm>

namespace corvane {

namespace {

constexpr std::uint32_t kAnyBuild = 10240;
constexpr std::uint32_t kNoMaxBuild = 0;
constexpr std::uint32_t kNoWin11Minimum = 0;

struct ChoicePresets {
  std::vector<FeatureChoice> off_on;
  std::vector<FeatureChoice> hide_show;
  std::vector<FeatureChoice> taskbar_combining;
};

ChoicePresets make_choice_presets() {
  ChoicePresets presets;
  presets.off_on = {
      {L"Tắt", L"Off", make_dword_value(0)},
      {L"Bật", L"On", make_dword_value(1)},
  };
  presets.hide_show = {
      {L"Ẩn", L"Hide", make_dword_value(0)},
      {L"Hiện", L"Show", make_dword_value(1)},
  };
  presets.taskbar_combining = {
      {L"Luôn gộp (Always)", L"Always", make_dword_value(0)},
      {L"Khi taskbar đầy (When taskbar is full)", L"When taskbar is full", make_dword_value(1)},
      {L"Không gộp (Never)", L"Never", make_dword_value(2)},
  };
  return presets;
}

// A base registry entry that becomes a choice entry; its change, builds and flags stay.
struct Conversion {
  const char* id;
  TextPair titles;
  std::vector<FeatureChoice> choices;
};

int base_group(const std::string& id) {
  if (id == "classic-menu" || id == "shortcut-arrow" || id == "shortcut-name") return kGroupDesktop;
  if (id == "taskbar-left" || id == "widgets" || id == "chat") return kGroupTaskbar;
  if (id == "web-search" || id == "start-recommendations") return kGroupStart;
  if (id == "seconds") return kGroupSystemTray;
  if (id == "numlock") return kGroupOther;
  return kGroupFileExplorer;
}

void rework_base_entries(std::vector<Feature>& catalogue, const ChoicePresets& presets) {
  const std::vector<Conversion> conversions{
      {"hidden-files", {L"Tập tin ẩn", L"Hidden files"},
       {{L"Ẩn", L"Hide", make_dword_value(2)}, {L"Hiện", L"Show", make_dword_value(1)}}},
      {"extensions", {L"Phần mở rộng tập tin", L"File extensions"},
       {{L"Hiện", L"Show", make_dword_value(0)}, {L"Ẩn", L"Hide", make_dword_value(1)}}},
      {"this-pc", {L"Vị trí mở File Explorer", L"Open File Explorer to"},
       {{L"This PC", L"This PC", make_dword_value(1)},
        {L"Home / Quick Access", L"Home / Quick Access", make_dword_value(2)}}},
      {"compact", {L"Bố cục Explorer gọn", L"Compact Explorer layout"}, presets.off_on},
      {"taskbar-left", {L"Căn biểu tượng taskbar", L"Taskbar alignment"},
       {{L"Trái", L"Left", make_dword_value(0)}, {L"Giữa", L"Center", make_dword_value(1)}}},
      {"widgets", {L"Nút Widgets", L"Widgets button"}, presets.hide_show},
      {"seconds", {L"Giây trên đồng hồ", L"Clock seconds"}, presets.hide_show},
  };

  for (Feature& feature : catalogue) {
    if (feature.page != kPageCustomization) continue;
    feature.group = base_group(feature.id);
    for (const Conversion& conversion : conversions) {
      if (feature.id != conversion.id) continue;
      feature.title_vi = conversion.titles.first;
      feature.title_en = conversion.titles.second;
      feature.choices = conversion.choices;
    }
    if (feature.id == "start-recommendations") {
      feature.title_vi = L"Bố cục và các mục trong Start";
      feature.title_en = L"Start layout and sections";
    } else if (feature.id == "chat") {
      feature.title_vi = L"Kích thước và vị trí taskbar";
      feature.title_en = L"Taskbar size and position";
      feature.description_vi = L"Mở các tùy chọn taskbar có trên phiên bản Windows này.";
      feature.description_en = L"Open taskbar options available on this Windows version.";
    }
  }
}

void append_desktop_entries(std::vector<Feature>& c) {
  const std::wstring key = catalogue_keys::kDesktopIcons;

  add_desktop_icon_setting(c, key, "desktop-pc",
      {L"Biểu tượng This PC", L"This PC icon"},
      L"{20D04FE0-3AEA-1069-A2D8-08002B30309D}");

  add_desktop_icon_setting(c, key, "desktop-recycle",
      {L"Biểu tượng Thùng rác", L"Recycle Bin icon"},
      L"{645FF040-5081-101B-9F08-00AA002F954E}");

  add_desktop_icon_setting(c, key, "desktop-user",
      {L"Biểu tượng thư mục người dùng", L"User files icon"},
      L"{59031a47-3f72-44a7-89c5-5595fe6b30ee}");

  add_desktop_icon_setting(c, key, "desktop-network",
      {L"Biểu tượng Mạng", L"Network icon"},
      L"{F02C1A0D-BE21-4350-88B0-7367FC96EF3C}");

  add_desktop_icon_setting(c, key, "desktop-control-panel",
      {L"Biểu tượng Control Panel", L"Control Panel icon"},
      L"{5399E694-6CE5-4D6C-8FCE-1D8870FDCBA0}");

  add_link_setting(c, "desktop-background", kGroupDesktop,
      {L"Hình nền và trình chiếu", L"Desktop background and slideshow"},
      {L"Mở trang Windows để chọn hình nền, ảnh hoặc trình chiếu.",
       L"Open the Windows page for the desktop background, picture or slideshow."},
      L"ms-settings:personalization-background");

  add_link_setting(c, "desktop-themes", kGroupDesktop,
      {L"Chủ đề, âm thanh và con trỏ", L"Themes, sounds and pointers"},
      {L"Mở cài đặt chủ đề của Windows: màu sắc, âm thanh và con trỏ chuột.",
       L"Open the Windows theme settings: colours, sounds and mouse pointers together."},
      L"ms-settings:themes");
}

void append_taskbar_entries(std::vector<Feature>& c, const ChoicePresets& p) {
  const std::wstring advanced = catalogue_keys::kAdvanced;

  add_choice_setting(c, "taskbar-combine", kGroupTaskbar,
      {L"Gộp nút taskbar và ẩn nhãn", L"Combine taskbar buttons and hide labels"},
      {L"Chọn khi nào các nút của cùng ứng dụng được gộp và ẩn nhãn trên taskbar chính.",
       L"Choose when buttons of the same app are combined and their labels hidden on the main taskbar."},
      advanced, L"TaskbarGlomLevel", p.taskbar_combining, kAnyBuild, kNoMaxBuild, 22631);

  add_choice_setting(c, "taskbar-combine-secondary", kGroupTaskbar,
      {L"Gộp nút trên các taskbar khác", L"Combine buttons on other taskbars"},
      {L"Cùng lựa chọn đó cho taskbar trên các màn hình phụ.",
       L"The same choice for the taskbars of additional displays."},
      advanced, L"MMTaskbarGlomLevel", p.taskbar_combining, kAnyBuild, kNoMaxBuild, 22631);

  add_choice_setting(c, "task-view", kGroupTaskbar,
      {L"Nút Task View", L"Task View button"},
      {L"Hiện hoặc ẩn nút Task View trên taskbar.",
       L"Show or hide the Task View button on the taskbar."},
      advanced, L"ShowTaskViewButton", p.hide_show, kAnyBuild, kNoMaxBuild, kNoWin11Minimum);

  add_choice_setting(c, "taskbar-badges", kGroupTaskbar,
      {L"Huy hiệu ứng dụng trên taskbar", L"Taskbar app badges"},
      {L"Hiện bộ đếm như số thư chưa đọc trên nút ứng dụng ở taskbar.",
       L"Show counters such as unread mail on the taskbar app buttons."},
      advanced, L"TaskbarBadges", p.off_on, kAnyBuild, kNoMaxBuild, kNoWin11Minimum);

  add_choice_setting(c, "taskbar-flash", kGroupTaskbar,
      {L"Nhấp nháy ứng dụng trên taskbar", L"Flash taskbar apps for attention"},
      {L"Cho phép ứng dụng nhấp nháy nút trên taskbar khi cần chú ý.",
       L"Let apps flash their taskbar button when they need attention."},
      advanced, L"TaskbarFlashing", p.off_on, 22000, kNoMaxBuild, kNoWin11Minimum);

  add_choice_setting(c, "taskbar-desktop", kGroupTaskbar,
      {L"Bấm góc taskbar để hiện Desktop", L"Click taskbar corner to show desktop"},
      {L"Bấm vào góc xa của taskbar để hiện màn hình nền.",
       L"Select the far corner of the taskbar to show the desktop."},
      advanced, L"TaskbarSd", p.off_on, 22000, kNoMaxBuild, kNoWin11Minimum);

  add_choice_setting(c, "taskbar-share", kGroupTaskbar,
      {L"Chia sẻ cửa sổ từ taskbar", L"Share windows from the taskbar"},
      {L"Cho phép chia sẻ cửa sổ trong cuộc gọi từ nút trên taskbar.",
       L"Offer to share a window in a call from its taskbar button."},
      advanced, L"TaskbarSn", p.off_on, 22000, kNoMaxBuild, kNoWin11Minimum);

  add_choice_setting(c, "taskbar-all-monitors", kGroupTaskbar,
      {L"Taskbar trên mọi màn hình", L"Taskbar on all displays"},
      {L"Hiện taskbar trên mọi màn hình đang kết nối.",
       L"Show the taskbar on every connected display."},
      advanced, L"MMTaskbarEnabled", p.off_on, kAnyBuild, kNoMaxBuild, kNoWin11Minimum);

  add_choice_setting(c, "taskbar-monitor-apps", kGroupTaskbar,
      {L"Nơi hiện nút ứng dụng trên taskbar", L"Where taskbar app buttons appear"},
      {L"Khi có nhiều màn hình: taskbar nào hiện nút của cửa sổ đang mở.",
       L"With several displays: which taskbars show the button of an open window."},
      advanced, L"MMTaskbarMode",
      {{L"Tất cả taskbar", L"All taskbars", make_dword_value(0)},
       {L"Màn hình chính và nơi mở cửa sổ", L"Main taskbar and window's display", make_dword_value(1)},
       {L"Chỉ nơi mở cửa sổ", L"Only the window's display", make_dword_value(2)}},
      kAnyBuild, kNoMaxBuild, kNoWin11Minimum);

  add_link_setting(c, "taskbar-autohide", kGroupTaskbar,
      {L"Tự động ẩn taskbar", L"Automatically hide the taskbar"},
      {L"Mở cài đặt taskbar để tự động ẩn taskbar.",
       L"Open the taskbar settings to hide the taskbar automatically."},
      L"ms-settings:taskbar");

  add_link_setting(c, "taskbar-search", kGroupTaskbar,
      {L"Ô tìm kiếm trên taskbar", L"Taskbar search box"},
      {L"Mở cài đặt taskbar để chọn cách hiển thị tìm kiếm.",
       L"Open the taskbar settings to choose how search appears."},
      L"ms-settings:taskbar");
}

void append_start_entries(std::vector<Feature>& c, const ChoicePresets& p) {
  const std::wstring advanced = catalogue_keys::kAdvanced;

  add_choice_setting(c, "start-recent", kGroupStart,
      {L"Tập tin gần đây và Jump List", L"Recent files and Jump Lists"},
      {L"Hiện tập tin mở gần đây trong Start, Jump List và File Explorer.",
       L"Show recently opened files in Start, Jump Lists and File Explorer."},
      advanced, L"Start_TrackDocs", p.off_on, kAnyBuild, kNoMaxBuild, kNoWin11Minimum);

  add_choice_setting(c, "start-tips", kGroupStart,
      {L"Mẹo và gợi ý ứng dụng trong Start", L"Start tips and app suggestions"},
      {L"Hiện mẹo, lối tắt và gợi ý ứng dụng mới trong Start.",
       L"Show tips, shortcuts and new app suggestions in Start."},
      advanced, L"Start_IrisRecommendations", p.off_on, 22631, kNoMaxBuild, kNoWin11Minimum);

  add_choice_setting(c, "start-all-pins", kGroupStart,
      {L"Hiện tất cả ghim trong Start", L"Show all Start pins by default"},
      {L"Mở Start với danh sách ứng dụng ghim được mở rộng đầy đủ.",
       L"Open Start with the full list of pinned apps expanded."},
      L"Software\\Microsoft\\Windows\\CurrentVersion\\Start", L"ShowAllPinsList", p.off_on, 26100, kNoMaxBuild,
      kNoWin11Minimum);

  add_link_setting(c, "start-folders", kGroupStart,
      {L"Thư mục cạnh nút nguồn Start", L"Folders beside the Start power button"},
      {L"Chọn các thư mục hiện cạnh nút nguồn trong Start.",
       L"Choose the folders shown next to the power button in Start."},
      L"ms-settings:personalization-start-places");

  add_link_setting(c, "start-most-used", kGroupStart,
      {L"Ứng dụng mới thêm và dùng nhiều", L"Recently added and most-used apps"},
      {L"Mở cài đặt Start để hiện hoặc ẩn ứng dụng mới thêm và dùng nhiều.",
       L"Open the Start settings to show or hide recently added and most-used apps."},
      L"ms-settings:personalization-start");

  add_link_setting(c, "start-account", kGroupStart,
      {L"Thông báo tài khoản trong Start", L"Start account notifications"},
      {L"Mở cài đặt Start để bật hoặc tắt thông báo liên quan đến tài khoản.",
       L"Open the Start settings to turn account-related notifications on or off."},
      L"ms-settings:personalization-start");
}

void append_system_tray_entries(std::vector<Feature>& c) {
  add_link_setting(c, "tray-icons", kGroupSystemTray,
      {L"Biểu tượng ứng dụng ở khay hệ thống", L"System tray app icons"},
      {L"Chọn biểu tượng ứng dụng nào hiện ở khay hệ thống.",
       L"Choose which app icons appear in the system tray."},
      L"ms-settings:taskbar");

  add_link_setting(c, "tray-input", kGroupSystemTray,
      {L"Bàn phím cảm ứng và menu bút", L"Touch keyboard and pen menu"},
      {L"Hiện hoặc ẩn biểu tượng bàn phím cảm ứng, menu bút và touchpad ảo.",
       L"Show or hide the touch keyboard, pen menu and virtual touchpad icons."},
      L"ms-settings:taskbar");

  add_link_setting(c, "tray-clock", kGroupSystemTray,
      {L"Ngày, giờ và múi giờ", L"Date, time and time zone"},
      {L"Mở cài đặt ngày và giờ của Windows.",
       L"Open the Windows date and time settings."},
      L"ms-settings:dateandtime");
}

void append_file_explorer_entries(std::vector<Feature>& c, const ChoicePresets& p) {
  const std::wstring advanced = catalogue_keys::kAdvanced;

  add_choice_setting(c, "explorer-checkboxes", kGroupFileExplorer,
      {L"Ô đánh dấu chọn mục", L"Item selection check boxes"},
      {L"Hiện ô đánh dấu để chọn tập tin và thư mục trong File Explorer.",
       L"Show check boxes for selecting files and folders in File Explorer."},
      advanced, L"AutoCheckSelect", p.off_on, kAnyBuild, kNoMaxBuild, kNoWin11Minimum);

  add_choice_setting(c, "explorer-thumbnails", kGroupFileExplorer,
      {L"Ảnh thu nhỏ tập tin", L"File thumbnails"},
      {L"Hiện ảnh xem trước của hình và video, hoặc chỉ biểu tượng.",
       L"Show previews of pictures and videos, or plain icons only."},
      advanced, L"IconsOnly",
      {{L"Ảnh thu nhỏ", L"Thumbnails", make_dword_value(0)},
       {L"Chỉ biểu tượng", L"Icons only", make_dword_value(1)}},
      kAnyBuild, kNoMaxBuild, kNoWin11Minimum);

  add_choice_setting(c, "explorer-statusbar", kGroupFileExplorer,
      {L"Thanh trạng thái Explorer", L"Explorer status bar"},
      {L"Hiện thanh trạng thái với số mục ở cuối cửa sổ File Explorer.",
       L"Show the status bar with item counts at the bottom of File Explorer."},
      advanced, L"ShowStatusBar", p.off_on, kAnyBuild, kNoMaxBuild, kNoWin11Minimum);

  add_choice_setting(c, "explorer-expand", kGroupFileExplorer,
      {L"Mở rộng điều hướng tới thư mục hiện tại", L"Expand navigation to current folder"},
      {L"Khung điều hướng tự mở rộng tới thư mục đang mở.",
       L"The navigation pane follows and expands to the folder that is open."},
      advanced, L"NavPaneExpandToCurrentFolder", p.off_on, kAnyBuild, kNoMaxBuild, kNoWin11Minimum);

  add_choice_setting(c, "explorer-all-folders", kGroupFileExplorer,
      {L"Hiện mọi thư mục điều hướng", L"Show all navigation folders"},
      {L"Hiện mọi thư mục, kể cả Desktop và Control Panel, trong khung điều hướng.",
       L"Show every folder, including the Desktop and Control Panel, in the navigation pane."},
      advanced, L"NavPaneShowAllFolders", p.off_on, kAnyBuild, kNoMaxBuild, kNoWin11Minimum);
}

void append_color_entries(std::vector<Feature>& c, const ChoicePresets& p) {
  const std::wstring personalize = catalogue_keys::kPersonalize;
  const std::vector<FeatureChoice> dark_light{
      {L"Tối", L"Dark", make_dword_value(0)},
      {L"Sáng", L"Light", make_dword_value(1)},
  };

  add_choice_setting(c, "windows-app-mode", kGroupColors,
      {L"Chế độ màu ứng dụng", L"Windows app color mode"},
      {L"Màu tối hoặc sáng cho các ứng dụng theo Windows.",
       L"Dark or light colours for the apps that follow Windows."},
      personalize, L"AppsUseLightTheme", dark_light, kAnyBuild, kNoMaxBuild, kNoWin11Minimum);

  add_choice_setting(c, "windows-shell-mode", kGroupColors,
      {L"Chế độ màu Start và taskbar", L"Start and taskbar color mode"},
      {L"Màu tối hoặc sáng cho Start, taskbar và vùng thông báo.",
       L"Dark or light colours for Start, the taskbar and the notification area."},
      personalize, L"SystemUsesLightTheme", dark_light, 18362, kNoMaxBuild, kNoWin11Minimum);

  add_choice_setting(c, "windows-transparency", kGroupColors,
      {L"Hiệu ứng trong suốt", L"Transparency effects"},
      {L"Nền trong mờ cho Start, taskbar và một số cửa sổ.",
       L"Translucent backgrounds for Start, the taskbar and some windows."},
      personalize, L"EnableTransparency", p.off_on, kAnyBuild, kNoMaxBuild, kNoWin11Minimum);

  add_choice_setting(c, "windows-title-accent", kGroupColors,
      {L"Màu nhấn trên thanh tiêu đề và viền", L"Accent color on title bars and borders"},
      {L"Tô thanh tiêu đề và viền cửa sổ bằng màu nhấn.",
       L"Colour the window title bars and borders with the accent colour."},
      L"Software\\Microsoft\\Windows\\DWM", L"ColorPrevalence", p.off_on, kAnyBuild, kNoMaxBuild,
      kNoWin11Minimum);

  add_link_setting(c, "windows-colors", kGroupColors,
      {L"Chọn màu nhấn", L"Choose an accent color"},
      {L"Mở cài đặt màu của Windows để chọn màu nhấn.",
       L"Open the Windows colour settings to pick an accent colour."},
      L"ms-settings:colors");
}

}  // namespace

void add_customization_features(std::vector<Feature>& catalogue) {
  const ChoicePresets presets = make_choice_presets();
  rework_base_entries(catalogue, presets);

  append_desktop_entries(catalogue);
  append_taskbar_entries(catalogue, presets);
  append_start_entries(catalogue, presets);
  append_system_tray_entries(catalogue);
  append_file_explorer_entries(catalogue, presets);
  append_color_entries(catalogue, presets);

  std::stable_sort(catalogue.begin(), catalogue.end(), [](const Feature& a, const Feature& b) {
    if (a.page != b.page) return a.page < b.page;
    return a.page == kPageCustomization && a.group < b.group;
  });
}

}  // namespace corvane
