// The catalogue against a hand-written table of every entry's machine fields. The table is
// typed from the product's documentation, not produced from the code: it exists to catch a
// wrong key, value name, byte or build in a catalogue entry.

#include "engines/feature.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace corvane {
namespace {

enum class Kind { Registry, Choice, Link, Action };

struct Value {
  std::uint32_t type = 0;
  std::uint32_t number = 0;
  const wchar_t* text = nullptr;
};

Value D(std::uint32_t number) { return {REG_DWORD, number, nullptr}; }
Value SZ(const wchar_t* text) { return {REG_SZ, 0, text}; }
Value BIN4() { return {REG_BINARY, 0, nullptr}; }  // four zero bytes
Value NONE() { return {}; }

struct Row {
  int entry;
  const char* id;
  const wchar_t* title_en;
  int page;
  int group;
  Kind kind;
  std::uint32_t hive;     // registry and choice rows
  const wchar_t* target;  // key, or the URI / action word
  const wchar_t* name;
  Value value;
  std::uint32_t min_build;
  std::uint32_t win11_min_build;
  bool restart;
};

constexpr std::uint32_t CU = 0, LM = 1, U = 2;
constexpr bool Y = true, N = false;
const wchar_t* const ADV = L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Advanced";
const wchar_t* const ICONS = L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\HideDesktopIcons\\NewStartPanel";
const wchar_t* const PERS = L"Software\\Microsoft\\Windows\\CurrentVersion\\Themes\\Personalize";
constexpr Kind REG = Kind::Registry, CHO = Kind::Choice, LNK = Kind::Link, ACT = Kind::Action;

const std::vector<Row>& golden_rows() {
  static const std::vector<Row> rows{
      {1, "classic-menu", L"Classic context menu", 2, 0, REG, CU,
       L"Software\\Classes\\CLSID\\{86ca1aa0-34aa-4e8b-a509-50c905bae2a2}\\InprocServer32", L"", SZ(L""), 22000, 0, Y},
      {2, "shortcut-arrow", L"Hide shortcut arrows", 2, 0, REG, LM,
       L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Icons", L"29", SZ(L"@CORVANE_BLANK_ICON@"), 10240, 0, Y},
      {3, "shortcut-name", L"Remove the Shortcut suffix", 2, 0, REG, CU,
       L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer", L"link", BIN4(), 10240, 0, Y},
      {4, "desktop-pc", L"This PC icon", 2, 0, CHO, CU, ICONS, L"{20D04FE0-3AEA-1069-A2D8-08002B30309D}", D(0), 10240, 0, Y},
      {5, "desktop-recycle", L"Recycle Bin icon", 2, 0, CHO, CU, ICONS, L"{645FF040-5081-101B-9F08-00AA002F954E}", D(0), 10240, 0, Y},
      {6, "desktop-user", L"User files icon", 2, 0, CHO, CU, ICONS, L"{59031a47-3f72-44a7-89c5-5595fe6b30ee}", D(0), 10240, 0, Y},
      {7, "desktop-network", L"Network icon", 2, 0, CHO, CU, ICONS, L"{F02C1A0D-BE21-4350-88B0-7367FC96EF3C}", D(0), 10240, 0, Y},
      {8, "desktop-control-panel", L"Control Panel icon", 2, 0, CHO, CU, ICONS, L"{5399E694-6CE5-4D6C-8FCE-1D8870FDCBA0}", D(0), 10240, 0, Y},
      {9, "desktop-background", L"Desktop background and slideshow", 2, 0, LNK, CU, L"ms-settings:personalization-background", L"", NONE(), 10240, 0, N},
      {10, "desktop-themes", L"Themes, sounds and pointers", 2, 0, LNK, CU, L"ms-settings:themes", L"", NONE(), 10240, 0, N},
      {11, "taskbar-left", L"Taskbar alignment", 2, 1, CHO, CU, ADV, L"TaskbarAl", D(0), 22000, 0, Y},
      {12, "widgets", L"Widgets button", 2, 1, CHO, CU, ADV, L"TaskbarDa", D(0), 22000, 0, Y},
      {13, "chat", L"Taskbar size and position", 2, 1, LNK, CU, L"ms-settings:taskbar", L"", NONE(), 10240, 0, N},
      {14, "taskbar-combine", L"Combine taskbar buttons and hide labels", 2, 1, CHO, CU, ADV, L"TaskbarGlomLevel", D(0), 10240, 22631, Y},
      {15, "taskbar-combine-secondary", L"Combine buttons on other taskbars", 2, 1, CHO, CU, ADV, L"MMTaskbarGlomLevel", D(0), 10240, 22631, Y},
      {16, "task-view", L"Task View button", 2, 1, CHO, CU, ADV, L"ShowTaskViewButton", D(0), 10240, 0, Y},
      {17, "taskbar-badges", L"Taskbar app badges", 2, 1, CHO, CU, ADV, L"TaskbarBadges", D(0), 10240, 0, Y},
      {18, "taskbar-flash", L"Flash taskbar apps for attention", 2, 1, CHO, CU, ADV, L"TaskbarFlashing", D(0), 22000, 0, Y},
      {19, "taskbar-desktop", L"Click taskbar corner to show desktop", 2, 1, CHO, CU, ADV, L"TaskbarSd", D(0), 22000, 0, Y},
      {20, "taskbar-share", L"Share windows from the taskbar", 2, 1, CHO, CU, ADV, L"TaskbarSn", D(0), 22000, 0, Y},
      {21, "taskbar-all-monitors", L"Taskbar on all displays", 2, 1, CHO, CU, ADV, L"MMTaskbarEnabled", D(0), 10240, 0, Y},
      {22, "taskbar-monitor-apps", L"Where taskbar app buttons appear", 2, 1, CHO, CU, ADV, L"MMTaskbarMode", D(0), 10240, 0, Y},
      {23, "taskbar-autohide", L"Automatically hide the taskbar", 2, 1, LNK, CU, L"ms-settings:taskbar", L"", NONE(), 10240, 0, N},
      {24, "taskbar-search", L"Taskbar search box", 2, 1, LNK, CU, L"ms-settings:taskbar", L"", NONE(), 10240, 0, N},
      {25, "web-search", L"Limit web search suggestions", 2, 2, REG, CU,
       L"Software\\Policies\\Microsoft\\Windows\\Explorer", L"DisableSearchBoxSuggestions", D(1), 19041, 0, Y},
      {26, "start-recommendations", L"Start layout and sections", 2, 2, LNK, CU, L"ms-settings:personalization-start", L"", NONE(), 10240, 0, N},
      {27, "start-recent", L"Recent files and Jump Lists", 2, 2, CHO, CU, ADV, L"Start_TrackDocs", D(0), 10240, 0, Y},
      {28, "start-tips", L"Start tips and app suggestions", 2, 2, CHO, CU, ADV, L"Start_IrisRecommendations", D(0), 22631, 0, Y},
      {29, "start-all-pins", L"Show all Start pins by default", 2, 2, CHO, CU,
       L"Software\\Microsoft\\Windows\\CurrentVersion\\Start", L"ShowAllPinsList", D(0), 26100, 0, Y},
      {30, "start-folders", L"Folders beside the Start power button", 2, 2, LNK, CU, L"ms-settings:personalization-start-places", L"", NONE(), 10240, 0, N},
      {31, "start-most-used", L"Recently added and most-used apps", 2, 2, LNK, CU, L"ms-settings:personalization-start", L"", NONE(), 10240, 0, N},
      {32, "start-account", L"Start account notifications", 2, 2, LNK, CU, L"ms-settings:personalization-start", L"", NONE(), 10240, 0, N},
      {33, "seconds", L"Clock seconds", 2, 3, CHO, CU, ADV, L"ShowSecondsInSystemClock", D(1), 22621, 0, Y},
      {34, "tray-icons", L"System tray app icons", 2, 3, LNK, CU, L"ms-settings:taskbar", L"", NONE(), 10240, 0, N},
      {35, "tray-input", L"Touch keyboard and pen menu", 2, 3, LNK, CU, L"ms-settings:taskbar", L"", NONE(), 10240, 0, N},
      {36, "tray-clock", L"Date, time and time zone", 2, 3, LNK, CU, L"ms-settings:dateandtime", L"", NONE(), 10240, 0, N},
      {37, "hidden-files", L"Hidden files", 2, 4, CHO, CU, ADV, L"Hidden", D(1), 10240, 0, N},
      {38, "extensions", L"File extensions", 2, 4, CHO, CU, ADV, L"HideFileExt", D(0), 10240, 0, N},
      {39, "this-pc", L"Open File Explorer to", 2, 4, CHO, CU, ADV, L"LaunchTo", D(1), 10240, 0, N},
      {40, "compact", L"Compact Explorer layout", 2, 4, CHO, CU, ADV, L"UseCompactMode", D(1), 22000, 0, N},
      {41, "hide-3d", L"Hide 3D Objects in This PC", 2, 4, REG, LM,
       L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FolderDescriptions\\{31C0DD25-9439-4F12-BF41-7FF4EDA38722}\\PropertyBag",
       L"ThisPCPolicy", SZ(L"Hide"), 10240, 0, N},
      {42, "hide-pictures", L"Hide Pictures in This PC", 2, 4, REG, LM,
       L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FolderDescriptions\\{0ddd015d-b06c-45d5-8c4c-f59713854639}\\PropertyBag",
       L"ThisPCPolicy", SZ(L"Hide"), 10240, 0, N},
      {43, "explorer-checkboxes", L"Item selection check boxes", 2, 4, CHO, CU, ADV, L"AutoCheckSelect", D(0), 10240, 0, Y},
      {44, "explorer-thumbnails", L"File thumbnails", 2, 4, CHO, CU, ADV, L"IconsOnly", D(0), 10240, 0, Y},
      {45, "explorer-statusbar", L"Explorer status bar", 2, 4, CHO, CU, ADV, L"ShowStatusBar", D(0), 10240, 0, Y},
      {46, "explorer-expand", L"Expand navigation to current folder", 2, 4, CHO, CU, ADV, L"NavPaneExpandToCurrentFolder", D(0), 10240, 0, Y},
      {47, "explorer-all-folders", L"Show all navigation folders", 2, 4, CHO, CU, ADV, L"NavPaneShowAllFolders", D(0), 10240, 0, Y},
      {48, "windows-app-mode", L"Windows app color mode", 2, 5, CHO, CU, PERS, L"AppsUseLightTheme", D(0), 10240, 0, Y},
      {49, "windows-shell-mode", L"Start and taskbar color mode", 2, 5, CHO, CU, PERS, L"SystemUsesLightTheme", D(0), 18362, 0, Y},
      {50, "windows-transparency", L"Transparency effects", 2, 5, CHO, CU, PERS, L"EnableTransparency", D(0), 10240, 0, Y},
      {51, "windows-title-accent", L"Accent color on title bars and borders", 2, 5, CHO, CU,
       L"Software\\Microsoft\\Windows\\DWM", L"ColorPrevalence", D(0), 10240, 0, Y},
      {52, "windows-colors", L"Choose an accent color", 2, 5, LNK, CU, L"ms-settings:colors", L"", NONE(), 10240, 0, N},
      {53, "numlock", L"NumLock on the sign-in screen", 2, 6, REG, U,
       L".DEFAULT\\Control Panel\\Keyboard", L"InitialKeyboardIndicators", SZ(L"2"), 10240, 0, Y},
      {54, "telemetry", L"Reduce diagnostic data", 3, 6, REG, LM,
       L"SOFTWARE\\Policies\\Microsoft\\Windows\\DataCollection", L"AllowTelemetry", D(1), 10240, 0, N},
      {55, "advertising", L"Disable advertising ID", 3, 6, REG, CU,
       L"Software\\Microsoft\\Windows\\CurrentVersion\\AdvertisingInfo", L"Enabled", D(0), 10240, 0, N},
      {56, "location", L"Location permissions", 3, 6, LNK, CU, L"ms-settings:privacy-location", L"", NONE(), 10240, 0, N},
      {57, "activity", L"Disable the activity feed", 3, 6, REG, LM,
       L"SOFTWARE\\Policies\\Microsoft\\Windows\\System", L"EnableActivityFeed", D(0), 10240, 0, N},
      {58, "cortana", L"Disable Cortana (legacy Windows)", 3, 6, REG, LM,
       L"SOFTWARE\\Policies\\Microsoft\\Windows\\Windows Search", L"AllowCortana", D(0), 10240, 0, N},
      {59, "copilot", L"Manage Microsoft Copilot", 3, 6, LNK, CU, L"ms-settings:appsfeatures", L"", NONE(), 10240, 0, N},
      {60, "browser-privacy", L"Browser cookies, history and sessions", 3, 6, ACT, CU, L"@browser-privacy", L"", NONE(), 10240, 0, N},
      {61, "animations", L"Disable window animations", 5, 6, REG, CU,
       L"Control Panel\\Desktop\\WindowMetrics", L"MinAnimate", SZ(L"0"), 10240, 0, Y},
      {62, "menu-delay", L"Reduce menu delay to 100 ms", 5, 6, REG, CU, L"Control Panel\\Desktop", L"MenuShowDelay", SZ(L"100"), 10240, 0, Y},
      {63, "game-dvr", L"Disable Game DVR", 5, 6, REG, CU, L"System\\GameConfigStore", L"GameDVR_Enabled", D(0), 10240, 0, N},
      {64, "hags", L"Enable GPU scheduling (HAGS)", 5, 6, REG, LM,
       L"SYSTEM\\CurrentControlSet\\Control\\GraphicsDrivers", L"HwSchMode", D(2), 19041, 0, Y},
      {65, "ultimate", L"Ultimate Performance", 5, 6, ACT, CU, L"@ultimate", L"", NONE(), 10240, 0, N},
      {66, "power-settings", L"Power and battery settings", 5, 6, LNK, CU, L"ms-settings:powersleep", L"", NONE(), 10240, 0, N},
      {67, "notepad", L"Add Open with Notepad", 6, 6, REG, CU,
       L"Software\\Classes\\*\\shell\\Corvane.Notepad\\command", L"", SZ(L"@NOTEPAD_COMMAND@"), 10240, 0, N},
      {68, "ownership", L"Add Take Ownership", 6, 6, REG, CU,
       L"Software\\Classes\\*\\shell\\Corvane.TakeOwnership\\command", L"", SZ(L"@OWNERSHIP_COMMAND@"), 10240, 0, N},
      {69, "drives", L"Hide drives in Explorer", 6, 6, ACT, CU, L"@drives", L"", NONE(), 10240, 0, N},
      {70, "godmode", L"Create a God Mode folder", 6, 6, ACT, CU, L"@godmode", L"", NONE(), 10240, 0, N},
      {71, "registry-audit", L"Review registry entries", 6, 6, ACT, CU, L"@registry", L"", NONE(), 10240, 0, N},
      {72, "event-logs", L"Windows event logs", 6, 6, ACT, CU, L"@eventviewer", L"", NONE(), 10240, 0, N},
  };
  return rows;
}

struct Choice {
  const wchar_t* label_en;
  const wchar_t* label_vi;
  std::uint32_t value;
};

struct ChoiceRow {
  std::vector<Choice> choices;
  std::size_t held;  // index of the choice whose value the entry's change holds
};

const std::map<std::string, ChoiceRow>& golden_choices() {
  const std::vector<Choice> off_on{{L"Off", L"Tắt", 0}, {L"On", L"Bật", 1}};
  const std::vector<Choice> hide_show{{L"Hide", L"Ẩn", 0}, {L"Show", L"Hiện", 1}};
  const std::vector<Choice> icon{{L"Show", L"Hiện", 0}, {L"Hide", L"Ẩn", 1}};
  const std::vector<Choice> combine{{L"Always", L"Luôn gộp (Always)", 0},
                                    {L"When taskbar is full", L"Khi taskbar đầy (When taskbar is full)", 1},
                                    {L"Never", L"Không gộp (Never)", 2}};
  const std::vector<Choice> dark_light{{L"Dark", L"Tối", 0}, {L"Light", L"Sáng", 1}};
  static const std::map<std::string, ChoiceRow> rows{
      {"desktop-pc", {icon, 0}},
      {"desktop-recycle", {icon, 0}},
      {"desktop-user", {icon, 0}},
      {"desktop-network", {icon, 0}},
      {"desktop-control-panel", {icon, 0}},
      {"taskbar-left", {{{L"Left", L"Trái", 0}, {L"Center", L"Giữa", 1}}, 0}},
      {"widgets", {hide_show, 0}},
      {"taskbar-combine", {combine, 0}},
      {"taskbar-combine-secondary", {combine, 0}},
      {"task-view", {hide_show, 0}},
      {"taskbar-badges", {off_on, 0}},
      {"taskbar-flash", {off_on, 0}},
      {"taskbar-desktop", {off_on, 0}},
      {"taskbar-share", {off_on, 0}},
      {"taskbar-all-monitors", {off_on, 0}},
      {"taskbar-monitor-apps",
       {{{L"All taskbars", L"Tất cả taskbar", 0},
         {L"Main taskbar and window's display", L"Màn hình chính và nơi mở cửa sổ", 1},
         {L"Only the window's display", L"Chỉ nơi mở cửa sổ", 2}},
        0}},
      {"start-recent", {off_on, 0}},
      {"start-tips", {off_on, 0}},
      {"start-all-pins", {off_on, 0}},
      {"seconds", {hide_show, 1}},
      {"hidden-files", {{{L"Hide", L"Ẩn", 2}, {L"Show", L"Hiện", 1}}, 1}},
      {"extensions", {{{L"Show", L"Hiện", 0}, {L"Hide", L"Ẩn", 1}}, 0}},
      {"this-pc", {{{L"This PC", L"This PC", 1}, {L"Home / Quick Access", L"Home / Quick Access", 2}}, 0}},
      {"compact", {off_on, 1}},
      {"explorer-checkboxes", {off_on, 0}},
      {"explorer-thumbnails", {{{L"Thumbnails", L"Ảnh thu nhỏ", 0}, {L"Icons only", L"Chỉ biểu tượng", 1}}, 0}},
      {"explorer-statusbar", {off_on, 0}},
      {"explorer-expand", {off_on, 0}},
      {"explorer-all-folders", {off_on, 0}},
      {"windows-app-mode", {dark_light, 0}},
      {"windows-shell-mode", {dark_light, 0}},
      {"windows-transparency", {off_on, 0}},
      {"windows-title-accent", {off_on, 0}},
  };
  return rows;
}

// Bytes written out by hand, independent of the product's value helpers.
std::vector<std::uint8_t> expected_bytes(const Value& value) {
  std::vector<std::uint8_t> bytes;
  if (value.type == REG_DWORD) {
    bytes = {static_cast<std::uint8_t>(value.number & 0xFF), static_cast<std::uint8_t>((value.number >> 8) & 0xFF),
             static_cast<std::uint8_t>((value.number >> 16) & 0xFF), static_cast<std::uint8_t>(value.number >> 24)};
  } else if (value.type == REG_SZ) {
    for (const wchar_t* p = value.text; *p; ++p) {
      bytes.push_back(static_cast<std::uint8_t>(*p & 0xFF));
      bytes.push_back(static_cast<std::uint8_t>((*p >> 8) & 0xFF));
    }
    bytes.push_back(0);
    bytes.push_back(0);
  } else if (value.type == REG_BINARY) {
    bytes = {0, 0, 0, 0};
  }
  return bytes;
}

TEST(FeatureCatalogueGolden, EveryEntryMatchesTheTable) {
  const auto& catalogue = feature_catalogue();
  const auto& rows = golden_rows();
  ASSERT_EQ(rows.size(), 72u);
  ASSERT_EQ(catalogue.size(), rows.size());

  for (std::size_t i = 0; i < rows.size(); ++i) {
    const Row& row = rows[i];
    const Feature& f = catalogue[i];
    SCOPED_TRACE("entry " + std::to_string(row.entry) + " " + row.id);
    ASSERT_EQ(row.entry, static_cast<int>(i + 1));
    EXPECT_EQ(f.id, row.id);
    EXPECT_EQ(f.title_en, row.title_en);
    EXPECT_EQ(f.page, row.page);
    EXPECT_EQ(f.group, row.group);
    EXPECT_EQ(f.min_build, row.min_build);
    EXPECT_EQ(f.max_build, 0u);
    EXPECT_EQ(f.win11_min_build, row.win11_min_build);
    EXPECT_EQ(f.restart_required, row.restart);
    EXPECT_FALSE(f.title_vi.empty());
    EXPECT_FALSE(f.description_vi.empty());
    EXPECT_FALSE(f.description_en.empty());

    if (row.kind == Kind::Link || row.kind == Kind::Action) {
      EXPECT_EQ(f.action, row.target);
      EXPECT_TRUE(f.changes.empty());
      EXPECT_TRUE(f.choices.empty());
      EXPECT_FALSE(f.needs_admin);
      continue;
    }

    EXPECT_TRUE(f.action.empty());
    EXPECT_EQ(f.needs_admin, row.hive != 0);
    ASSERT_EQ(f.changes.size(), std::string(row.id) == "ownership" ? 2u : 1u);
    const RegistryValue& change = f.changes.front();
    EXPECT_EQ(change.hive, row.hive);
    EXPECT_EQ(change.key, row.target);
    EXPECT_EQ(change.name, row.name);
    EXPECT_TRUE(change.value.exists);
    EXPECT_EQ(change.value.type, row.value.type);
    EXPECT_EQ(change.value.bytes, expected_bytes(row.value));

    const auto choice_row = golden_choices().find(row.id);
    if (row.kind == Kind::Registry) {
      EXPECT_TRUE(f.choices.empty());
      EXPECT_EQ(choice_row, golden_choices().end());
      continue;
    }
    ASSERT_NE(choice_row, golden_choices().end());
    const ChoiceRow& expected = choice_row->second;
    ASSERT_EQ(f.choices.size(), expected.choices.size());
    for (std::size_t c = 0; c < expected.choices.size(); ++c) {
      EXPECT_EQ(f.choices[c].label_en, expected.choices[c].label_en);
      EXPECT_EQ(f.choices[c].label_vi, expected.choices[c].label_vi);
      EXPECT_TRUE(f.choices[c].value.exists);
      EXPECT_EQ(f.choices[c].value.type, static_cast<std::uint32_t>(REG_DWORD));
      EXPECT_EQ(f.choices[c].value.bytes, expected_bytes(D(expected.choices[c].value)));
    }
    EXPECT_EQ(change.value.bytes, expected_bytes(D(expected.choices[expected.held].value)));
  }
}

TEST(FeatureCatalogueGolden, OwnershipWritesItsSecondCommandForFolders) {
  const Feature* ownership = nullptr;
  for (const Feature& f : feature_catalogue())
    if (f.id == "ownership") ownership = &f;
  ASSERT_NE(ownership, nullptr);
  ASSERT_EQ(ownership->changes.size(), 2u);
  const RegistryValue& second = ownership->changes[1];
  EXPECT_EQ(second.hive, 0u);
  EXPECT_EQ(second.key, L"Software\\Classes\\Directory\\shell\\Corvane.TakeOwnership\\command");
  EXPECT_EQ(second.name, L"");
  EXPECT_EQ(second.value.type, static_cast<std::uint32_t>(REG_SZ));
  EXPECT_EQ(second.value.bytes, expected_bytes(SZ(L"@OWNERSHIP_COMMAND@")));
}

TEST(FeatureCatalogueGolden, TextsGivenInFull) {
  struct Texts {
    const char* id;
    const wchar_t* title_vi;
    const wchar_t* description_en;
    const wchar_t* description_vi;
  };
  const std::vector<Texts> rows{
      {"classic-menu", L"Menu chuột phải cổ điển",
       L"Windows 11: experimental; newer builds may ignore this setting. Sign out to apply.",
       L"Windows 11: thay đổi thử nghiệm, có thể bị bỏ qua trên bản Windows mới. Đăng xuất để áp dụng."},
      {"shortcut-arrow", L"Ẩn mũi tên shortcut",
       L"Uses Corvane's transparent icon. Keep the app in this location; restore before moving it.",
       L"Dùng biểu tượng trong suốt của Corvane. Giữ ứng dụng tại vị trí này; khôi phục trước khi di chuyển."},
      {"telemetry", L"Giảm dữ liệu chẩn đoán",
       L"Home / Pro: required data. Enterprise / Education: level 0 where supported. Does not block all Microsoft "
       L"connections.",
       L"Home / Pro: dữ liệu bắt buộc. Enterprise / Education: mức 0 nếu được hỗ trợ. Không chặn mọi kết nối "
       L"Microsoft."},
      {"ownership", L"Thêm Take Ownership",
       L"Add ownership of one file / folder. Each invocation asks for confirmation; does not recurse.",
       L"Thêm lệnh nhận quyền sở hữu một tập tin / thư mục. Mỗi lần chạy đều hỏi xác nhận; không đệ quy."},
      {"registry-audit", L"Kiểm tra Registry",
       L"Scan Shared DLLs, file associations, uninstall records and Run. Only unambiguous entries are removable, with "
       L"a .reg backup.",
       L"Quét Shared DLLs, file associations, ứng dụng đã gỡ và Run. Chỉ xóa mục xác định rõ, có sao lưu .reg."},
      {"ultimate", L"Ultimate Performance",
       L"Create and activate the power plan when supported. May increase heat and power use; the previous plan is "
       L"saved.",
       L"Tạo và kích hoạt gói nguồn khi Windows hỗ trợ. Tiêu thụ điện và nhiệt có thể tăng; có lưu gói trước đó."},
  };
  std::map<std::string, const Feature*> by_id;
  for (const Feature& f : feature_catalogue()) by_id[f.id] = &f;
  for (const Texts& row : rows) {
    SCOPED_TRACE(row.id);
    ASSERT_TRUE(by_id.count(row.id));
    EXPECT_EQ(by_id[row.id]->title_vi, row.title_vi);
    EXPECT_EQ(by_id[row.id]->description_en, row.description_en);
    EXPECT_EQ(by_id[row.id]->description_vi, row.description_vi);
  }

  const std::map<std::string, const wchar_t*> retitled_vi{
      {"hidden-files", L"Tập tin ẩn"},          {"extensions", L"Phần mở rộng tập tin"},
      {"this-pc", L"Vị trí mở File Explorer"},  {"compact", L"Bố cục Explorer gọn"},
      {"taskbar-left", L"Căn biểu tượng taskbar"}, {"widgets", L"Nút Widgets"},
      {"seconds", L"Giây trên đồng hồ"},        {"start-recommendations", L"Bố cục và các mục trong Start"},
      {"chat", L"Kích thước và vị trí taskbar"},
  };
  for (const auto& [id, title] : retitled_vi) EXPECT_EQ(by_id[id]->title_vi, title) << id;

  EXPECT_EQ(by_id["chat"]->description_en, L"Open taskbar options available on this Windows version.");
  for (const char* id : {"desktop-pc", "desktop-recycle", "desktop-user", "desktop-network", "desktop-control-panel"}) {
    EXPECT_EQ(by_id[id]->description_en, L"Show or hide this desktop system icon without removing its data.") << id;
    EXPECT_EQ(by_id[id]->description_vi, L"Hiện hoặc ẩn biểu tượng hệ thống trên Desktop; không xóa dữ liệu.") << id;
  }
}

}  // namespace
}  // namespace corvane
