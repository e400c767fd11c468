#pragma once
// The App: the one object that holds the state of Corvane's user interface. Its methods are
// spread over the files of src/ui by concern (main_window, sidebar, jobs, dialogs, ...); this
// declaration is the single list of its state.

#include "engines/cleanup_areas.h"
#include "engines/cleanup_scan.h"
#include "engines/feature.h"
#include "engines/registry_review.h"
#include "engines/startup_list.h"
#include "engines/update_manifest.h"
#include "services/data_folder_guard.h"
#include "services/handles.h"
#include "services/progress.h"
#include "services/registry_value.h"
#include "services/system_info.h"
#include "ui/drawing/renderer.h"
#include "ui/start_options.h"

#include <windows.h>
#include <commctrl.h>

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <source_location>
#include <string>
#include <thread>
#include <vector>

namespace corvane {

// Pages, in sidebar order of their numbers.
enum Page : int {
  PAGE_OVERVIEW = 0,
  PAGE_CLEANUP = 1,
  PAGE_CUSTOMIZATION = 2,
  PAGE_PRIVACY = 3,
  PAGE_STARTUP = 4,
  PAGE_PERFORMANCE = 5,
  PAGE_ADVANCED = 6,
  PAGE_BACKUPS = 7,
  PAGE_OPTIONS = 8,
  PAGE_ADMIN = 9,
  PAGE_DONATE = 10,
  PAGE_LICENSES = 11,
  PAGE_ABOUT = 12,
  PAGE_UPDATES = 13,
  PAGE_COUNT = 14,
};

// Command and control ids of the main window.
constexpr int CMD_PAGE_BASE = 100;
constexpr int ID_SEARCH_EDIT = 200;
constexpr int ID_PRIMARY_BUTTON = 201;
constexpr int ID_SECONDARY_BUTTON = 202;
constexpr int ID_TERTIARY_BUTTON = 203;
constexpr int CMD_REFRESH = 300;
constexpr int CMD_SCAN = 301;
constexpr int CMD_PAGE_BACKUPS = 302;
constexpr int CMD_PAGE_DONATE = 303;
constexpr int CMD_PAGE_ABOUT = 304;
constexpr int CMD_PAGE_LICENSES = 305;
constexpr int CMD_CLOSE = 306;
constexpr int CMD_LANGUAGE_ENGLISH = 307;
constexpr int CMD_LANGUAGE_VIETNAMESE = 308;
constexpr int CMD_THEME_DARK = 309;
constexpr int CMD_THEME_LIGHT = 310;
constexpr int CMD_RESTART_ELEVATED = 311;
constexpr int CMD_OPEN_DATA_FOLDER = 312;
constexpr int CMD_REGISTRY_REVIEW = 314;
constexpr int CMD_PAGE_OPTIONS = 317;
constexpr int CMD_THEME_SYSTEM = 320;
constexpr int CMD_PAGE_ADMIN = 321;
constexpr int ID_VALUE_COMBO = 322;
constexpr int ID_THEME_COMBO = 323;
constexpr int ID_LANGUAGE_COMBO = 324;
constexpr int CMD_OPEN_REPORTS_FOLDER = 325;
constexpr int CMD_OPEN_MAKER_LINK = 327;
constexpr int ID_STOP_BUTTON = 328;
constexpr int ID_PROGRESS_PANEL = 329;
constexpr int ID_PROGRESS_BAR = 330;
constexpr int CMD_OPEN_PRODUCT_LINK = 331;
constexpr int CMD_PAGE_UPDATES = 333;
constexpr int ID_PAGE_LIST = 400;

constexpr UINT WM_JOB_DONE = WM_APP + 71;
constexpr UINT WM_JOB_PROGRESS = WM_APP + 72;
constexpr UINT_PTR TIMER_SMOKE_STEP = 70;
constexpr UINT_PTR TIMER_PROGRESS_ANIMATION = 90;
constexpr UINT_PTR TIMER_LIST_TIP = 80;

constexpr const wchar_t* kMainClass = L"Corvane.Main";
constexpr const wchar_t* kDialogClass = L"Corvane.Dialog";
constexpr const wchar_t* kMainTitle = L"Corvane 1.0";
constexpr const wchar_t* kVersion = L"1.0";

// A user-interface text in both languages.
struct Bilingual {
  std::wstring vi;
  std::wstring en;
};

// Page titles, index = page number.
extern const Bilingual kPageTitles[PAGE_COUNT];

// One page button of the sidebar.
struct NavItem {
  HWND button = nullptr;
  int id = 0;
  int level = 0;
  std::wstring label_vi;
  std::wstring label_en;
  int glyph = 0;
};

enum WorkKind : std::uint32_t {
  WORK_SCAN = 0,
  WORK_REFRESH = 1,
  WORK_ACTION = 2,
  WORK_CLEAN = 3,
  WORK_RESTORE = 4,
  WORK_AUDIT = 5,
  WORK_STARTUP_SAVE = 6,
  WORK_UPDATE_CHECK = 7,
  WORK_ERROR = 8,
};

// An icon handle shared between the job that loaded it and the list that shows it.
using SharedIcon = std::shared_ptr<std::remove_pointer_t<HICON>>;

// The result of one background job; each kind fills what it needs.
struct Work {
  std::uint32_t kind = WORK_ACTION;
  std::optional<UpdateInfo> update;
  std::string update_error;
  Outcome outcome;
  ScanResult scan;
  std::vector<StartupEntry> startup_entries;
  std::vector<AuditEntry> audit_entries;
  std::map<std::wstring, SharedIcon> startup_icons;
  std::vector<std::wstring> saved_startup_keys;
};

using Job = std::function<std::unique_ptr<Work>()>;

// An unsaved switch of the Startup page: the entry as listed and the state wanted for it.
struct PendingStartupChange {
  StartupEntry entry;
  bool enable = false;
};

// The identity of a startup entry across listings: kind, hive, view, key path and name.
std::wstring startup_entry_key(const StartupEntry& entry);

// Seams for what a test must never do for real. Each is null in the product, which then shows
// the program's own dialog, starts the elevated instance through the shell, or shows the
// shell's folder picker.
using DialogResponder = int (*)(const std::wstring& title, const std::wstring& text,
                                const std::vector<std::wstring>& labels);
extern DialogResponder dialog_responder;
// Returns false with the reason in GetLastError.
using ElevatedLauncher = bool (*)(HWND owner, const std::wstring& parameters);
extern ElevatedLauncher elevated_launcher;
// The chosen folder's file-system path; empty when cancelled or when it has none.
using FolderPicker = std::wstring (*)(HWND owner, const std::wstring& title);
extern FolderPicker folder_picker;

// The drive of `path` ("D:\\...") and the NoDrives mask with its bit flipped: nullopt when the
// path has no drive letter. Throws "Unexpected NoDrives value type" for anything but an absent
// value or a 4-byte REG_DWORD.
struct DriveToggle {
  wchar_t letter = L'A';
  bool currently_hidden = false;
  std::uint32_t new_mask = 0;
};
std::optional<DriveToggle> toggle_drive_visibility(const ValueState& current, const std::wstring& path);

struct ProgressReport {
  std::uint64_t done = 0;
  std::uint64_t total = 0;  // 0: indeterminate
  std::wstring item;
};

// True when a progress report made at `now` must be posted: at least 80 ms after the last
// posted one, or the report that completes a determinate total.
bool progress_report_due(std::uint64_t now, std::uint64_t last_tick, std::uint64_t done, std::uint64_t total);

// How the job runner starts its worker thread (replaceable, so a failure to start can be tested).
using WorkerStarter = std::thread (*)(std::function<void()> body);
extern WorkerStarter start_worker_thread;

// How the main window makes its back-buffer bitmap (replaceable, so a failure can be tested).
using BufferBitmapMaker = HBITMAP (*)(HDC dc, int width, int height);
extern BufferBitmapMaker create_buffer_bitmap;

// A top-down 32-bit copy of the window's pixels with the top byte cleared: the whole window, or
// its client area from x = content_left to the right edge and from the top to
// content_bottom_margin above the bottom. nullopt when no copy could be made.
// The four window sizes of one frame of the render test: the base size of frame (0, 1, ...)
// between smallest and largest, then the width offsets 0, +13, -7, 0 clamped to that range;
// the steps (71 and 43 per frame) and the offsets are 96-dpi pixels scaled to dpi.
std::array<SIZE, 4> render_test_frame_sizes(int frame, SIZE smallest, SIZE largest, UINT dpi);

std::optional<std::vector<std::uint32_t>> capture_window_pixels(HWND window, bool whole_window, int content_left = 0,
                                                                int content_bottom_margin = 0);

// WS_VISIBLE is set in the window's style (whatever its parents' state).
bool is_window_visible(HWND window);

// Text of a window, cut to the count copied.
std::wstring window_text(HWND window);
// Sets the window's text unless it already reads so: a button repaints at once on every new text.
void set_window_text_if_changed(HWND window, const std::wstring& text);

// Keeps the result of one CoInitializeEx and undoes it on destruction when it succeeded.
class ComScope {
 public:
  explicit ComScope(DWORD apartment);
  ~ComScope();
  ComScope(const ComScope&) = delete;
  ComScope& operator=(const ComScope&) = delete;
  HRESULT result() const { return result_; }

 private:
  HRESULT result_;
};

// Windows' "AppsUseLightTheme" is 0.
bool system_uses_dark_theme();

// Where a layout last placed a window: the rectangle asked for and the one the window took. A
// combo box never takes the height asked for (that height includes its drop-down list).
struct Placement {
  RECT target{};
  RECT result{};
};
using PlacementMemory = std::map<HWND, Placement>;

// Where the layout puts the search box, the page list and buttons 201 (primary), 202 and 203 for
// a client rectangle of the main window.
struct PagePlaces {
  RECT search{};
  RECT list{};
  RECT primary{};
  RECT secondary{};
  RECT tertiary{};
};
PagePlaces page_places(const Renderer& renderer, const RECT& client);

// Queues child-window moves and applies them in one deferred batch, repainting only what moved.
// With a memory, a window that still has the rectangle it took for the same request last time
// is left alone as well.
class DeferredLayout {
 public:
  explicit DeferredLayout(HWND parent, int capacity = 20, PlacementMemory* memory = nullptr);
  void add(HWND window, int x, int y, int width, int height);
  void apply();

 private:
  struct Move {
    HWND window;
    RECT target;
    RECT old;
  };
  HWND parent_;
  PlacementMemory* memory_;
  std::vector<Move> moves_;
};

// --- Cleanup and Startup page helpers (pages/cleanup_page.cpp, pages/startup_page.cpp) ---

// Writes every item of the scan to the reports folder as "<stamp>-scan.json" (a JSON array of
// {"bytes", "group", "path"} in scan order) and returns the file's path. Throws on failure.
std::wstring write_scan_export(const ScanResult& scan);

// The file whose icon stands for a startup entry, and the icon's index in it. The path is
// empty when the entry names no program on a local fixed drive. Reading a shortcut needs COM
// initialised on the calling thread. Elevated (without the flag, as process_elevated says), a
// file of the data folder is read only while held_file holds it open by its name inside its
// folder, held as checked: the path leads to it as long as both are held. Where that cannot be
// done, the path is empty.
struct StartupIconSource {
  std::wstring path;
  int index = 0;
  std::shared_ptr<const DataFolderHold> held_folder;
  UniqueHandle held_file;
};
StartupIconSource startup_icon_source(const StartupEntry& entry);
StartupIconSource startup_icon_source(const StartupEntry& entry, bool elevated);
// Test seam: when set, the icon pass calls it with a shortcut's path just before reading it.
using ShortcutReadProbe = void (*)(const std::wstring& path);
extern ShortcutReadProbe shortcut_read_probe;

// Changes one startup entry; change_startup_entry in the product.
using StartupChanger = Outcome (*)(const StartupEntry& entry, bool enable, bool remove);

// The save job's body: applies the changes in key order until the cancel flag is set. A failed
// change is counted and named in the message and does not stop the others; the keys of the
// applied ones are listed in saved_startup_keys.
std::unique_ptr<Work> save_startup_changes(const std::map<std::wstring, PendingStartupChange>& changes,
                                           const CancelFlag* cancel, const ProgressFn& progress,
                                           StartupChanger change, bool vietnamese = false);

// The engines speak English. The refusals of an elevated Corvane that the user must understand
// to act on (run it without administrator access) are shown in Vietnamese when asked; any other
// message is returned as it is.
std::wstring shown_refusal(const std::wstring& message, bool vietnamese);

LRESULT CALLBACK main_window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
LRESULT CALLBACK dialog_window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

// --- Information pages and the Updates page ------------------------------------------------

// The result of the last update check, as the Updates page shows it.
enum UpdateState : std::uint32_t {
  UPDATE_NOT_CHECKED = 0,
  UPDATE_CHECKING = 1,
  UPDATE_AVAILABLE = 2,
  UPDATE_CURRENT = 3,
  UPDATE_FAILED = 4,
  UPDATE_STOPPED = 5,
};

// The address the update check fetches: null in the product, which fetches UPDATE_MANIFEST_URL.
extern const char* update_manifest_source;
// How the SHA-256 copy allocates the block it hands to the clipboard (replaceable, so a block
// that cannot be locked can be tested).
using ClipboardBlockAllocator = HGLOBAL(WINAPI*)(UINT flags, SIZE_T bytes);
extern ClipboardBlockAllocator clipboard_block_allocator;

// The Licenses page's text from the licence notices (data resources 201-203) of `module`, line
// ends made CR LF; a notice that is missing, empty or not UTF-8 is replaced by one sentence.
std::wstring licence_notices_text(HMODULE module, bool vietnamese);

class App {
 public:
  explicit App(const StartOptions& start_options);
  ~App();
  App(const App&) = delete;
  App& operator=(const App&) = delete;

  // Lifecycle (app.cpp).
  int run(HINSTANCE instance, int show_command);
  static void register_window_classes(HINSTANCE instance);
  bool create_main_window(HINSTANCE instance);  // false when the window cannot be made
  int message_loop();
  void apply_theme();
  void save_preferences();
  const std::wstring& text(const Bilingual& pair) const { return options.vietnamese ? pair.vi : pair.en; }
  std::wstring text(const wchar_t* vi, const wchar_t* en) const { return options.vietnamese ? vi : en; }

  // Main window (main_window.cpp).
  LRESULT handle_message(UINT message, WPARAM wparam, LPARAM lparam);
  void create_controls();
  void layout();
  void paint(HDC dc);
  void paint_window();
  void set_status(const std::wstring& status);
  std::wstring page_title() const;
  std::wstring page_subtitle() const;
  void show_page(int new_page);
  void update_control_states();
  void update_action_buttons();
  int selected_index() const;
  void add_list_row(int model_index, const std::wstring& name, const std::wstring& second,
                    const std::wstring& third, bool checked);
  void on_command_message(WPARAM wparam, LPARAM lparam);
  LRESULT on_notify(const NMHDR& header, LPARAM lparam);
  void on_list_item_changed(const NMLISTVIEW& change);
  void set_row_checked_quietly(int row, bool checked);
  void on_close();
  void on_dpi_changed(UINT dpi, const RECT& suggested);
  void make_row_height_list();
  // Sets a column's width unless the list already reports that width.
  void set_column_width(int column, int width);
  void set_search_text_quietly(const std::wstring& value);
  // Runs an action the way a message handler runs: an escaping exception becomes the status line.
  void run_guarded(const std::function<void()>& action);

  // Sidebar (sidebar.cpp).
  void create_sidebar();
  void add_nav_button(int id, const Bilingual& label, int glyph, int level);
  void update_nav_selection();
  void update_nav_texts();
  void layout_sidebar();
  void redraw_content();
  LRESULT sidebar_message(HWND sidebar, UINT message, WPARAM wparam, LPARAM lparam);

  // Commands (commands.cpp).
  void command(int id);
  void request_stop();
  void switch_language(bool vietnamese);
  void restart_elevated();
  void refresh();

  // Page lists (pages/page_lists.cpp, pages/list_view.cpp).
  void populate_page();
  void add_page_rows();
  std::wstring feature_status_text(const Feature& feature);
  bool available_on_build(const Feature& feature) const;
  LRESULT custom_draw_list(NMLVCUSTOMDRAW* draw);
  void draw_group_header(HDC dc, int group, const RECT& header_rect);
  static LRESULT CALLBACK list_view_proc(HWND list, UINT message, WPARAM wparam, LPARAM lparam, UINT_PTR id,
                                         DWORD_PTR reference);
  std::wstring list_tip_text(int row) const;
  void hide_list_tip();
  bool is_info_page() const { return page >= PAGE_OPTIONS; }
  // The Windows customization page's feature list, where the value box stands in for button 203.
  bool value_box_page() const { return page == PAGE_CUSTOMIZATION && !review_view; }
  void paint_info_page(HDC dc, const RECT& client);
  void create_info_controls();
  HWND create_combo(int id);
  void layout_info_page(DeferredLayout& moves);
  void show_info_controls();

  // Applying features (pages/feature_apply.cpp).
  void apply();
  std::vector<const Feature*> selected_features() const;
  std::vector<RegistryValue> selected_value(const Feature& feature) const;
  std::wstring review_text(const std::vector<const Feature*>& features) const;
  void on_value_selected();

  // Feature actions (pages/feature_actions.cpp).
  void feature_action(const Feature& feature);
  void drive_visibility(const Feature& feature);

  // Registry review and backups (pages/review_page.cpp, pages/backups_page.cpp).
  void audit_registry();
  void remove_review_finding();
  void export_review_report();
  void backup_restore();
  // The Backups page's documents into backups; false when refused: then it is empty and the
  // status line says why.
  bool load_backups();
  // Whether an action must distrust what unelevated programs can change.
  bool acts_elevated() const { return system_info.elevated || elevation_unreadable; }

  // Startup page (pages/startup_page.cpp).
  bool startup_pending(const StartupEntry& entry) const;
  bool startup_effective_enabled(const StartupEntry& entry) const;
  std::wstring startup_status_text(const StartupEntry& entry) const;
  void toggle_startup_pending(const StartupEntry& entry);
  void toggle_selected_startup();

  // Background jobs (jobs.cpp).
  void start_work(Job job);
  void run_job(Job& job);
  void on_job_done(std::unique_ptr<Work> work);
  void take_scan(ScanResult scan);
  ProgressFn progress_callback();
  void post_progress(std::uint64_t done, std::uint64_t total, const std::wstring& item);
  void on_progress(const ProgressReport& report);
  void set_busy(bool on);
  void create_progress_panel();
  void layout_progress_panel();
  void repaint_progress_bar() const;
  void paint_progress_bar(HWND bar, HDC dc);

  // Dialogs (dialogs.cpp).
  int show_dialog(const std::wstring& title, const std::wstring& body, const std::vector<std::wstring>& labels);
  void show_outcome(const Outcome& outcome);
  bool confirm(const std::wstring& title, const std::wstring& body, const std::wstring& ok_label);

  // Cleanup page actions (pages/cleanup_page.cpp).
  std::vector<CleanupArea> selected_cleanup_areas() const;
  void scan();
  void clean();
  void review_files();
  void open_cleanup_tool_or_review();

  // Startup page jobs and their results (pages/startup_page.cpp, pages/startup_icons.cpp).
  void startup_save();
  void startup_change(bool enable, bool remove);
  void take_startup_listing(Work& work);
  void take_saved_startup_keys(const Work& work);
  static void load_startup_icons(Work& work, const CancelFlag& stop, bool elevated);

  // Self-tests (selftest/smoke_test.cpp, selftest/render_test.cpp).
  void smoke();
  void expect(bool ok, std::source_location where = std::source_location::current());
  void smoke_first_checks();
  void smoke_page_step(int step);
  void smoke_final_checks();
  void smoke_startup_checks();
  void smoke_window_checks();
  void smoke_page_content_checks();
  void smoke_lockout_checks();
  void write_smoke_report();
  bool render_test();

  // --- State -----------------------------------------------------------------------------

  // Options and appearance.
  StartOptions options;
  Renderer renderer;
  ThemeMode theme_mode = THEME_SYSTEM;

  // Window handles, all owned by the main window.
  HWND main_window = nullptr;
  HWND sidebar = nullptr;
  HWND admin_button = nullptr;
  HWND list_tip = nullptr;
  HWND page_list = nullptr;
  HWND search_edit = nullptr;
  HWND primary_button = nullptr;
  HWND secondary_button = nullptr;
  HWND tertiary_button = nullptr;
  HWND value_combo = nullptr;
  HWND progress_panel = nullptr;
  HWND progress_bar = nullptr;
  HWND progress_title = nullptr;
  HWND progress_item_label = nullptr;
  HWND progress_count_label = nullptr;
  HWND stop_button = nullptr;
  std::vector<HWND> nav_buttons;
  HIMAGELIST row_height_images = nullptr;
  std::vector<NavItem> nav_items;
  int sidebar_offset = 0;
  int sidebar_max = 0;
  bool thumb_hot = false;
  SIZE sidebar_size{0, 0};

  // Update check.
  std::uint32_t update_state = 0;
  std::optional<UpdateInfo> update;
  std::string update_error;

  // Progress.
  std::uint64_t progress_done = 0;
  std::uint64_t progress_total = 0;
  std::wstring progress_item;
  std::atomic<std::uint64_t> last_progress_tick{0};  // written by the worker's progress function

  // Page state.
  int page = PAGE_OVERVIEW;
  int page_at_job_start = PAGE_OVERVIEW;
  bool review_view = false;
  std::map<std::string, int> chosen_values;
  std::map<std::string, int> current_values;
  int hot_row = -1;
  int hot_badge_row = -1;
  std::wstring tip_text;
  std::vector<const Feature*> shown_features;
  std::vector<int> row_map;
  std::set<std::string> checked_features;
  std::set<std::string> selected_area_ids;
  std::map<std::string, std::wstring> status_text_cache;
  std::wstring search_text;
  std::wstring status_text;
  bool notify_guard = false;
  // What the page list holds besides its rows, so that a rebuild changes only what differs.
  std::vector<std::wstring> list_column_titles;  // empty when the list has no columns
  bool list_check_boxes = false;
  std::string value_combo_choices;               // feature id and language of the value combo's items
  PlacementMemory placements;                    // of the main window's children, by App::layout
  // The row whose background the custom draw chose last, for the cells of the same row.
  int drawn_row = -1;
  COLORREF drawn_row_background = 0;
  int drawn_first_column_width = 0;              // as the list reported it when the paint began

  // Data of the pages.
  SystemInfo system_info;
  // The token's elevation could not be read: the window shows no elevation, while the trust
  // checks treat the process as elevated (acts_elevated).
  bool elevation_unreadable = false;
  std::vector<CleanupArea> cleanup_areas;
  ScanResult scan_result;
  bool scan_usable = false;
  std::vector<StartupEntry> startup_entries;
  std::map<std::wstring, PendingStartupChange> pending_startup_changes;
  bool startup_loaded = false;
  std::map<std::wstring, SharedIcon> startup_icons;
  std::vector<std::wstring> backups;
  std::vector<AuditEntry> review_entries;

  // Painting.
  HDC back_dc = nullptr;
  HBITMAP back_bitmap = nullptr;
  HGDIOBJ back_original = nullptr;
  int back_width = 0;
  int back_height = 0;

  // Job runner.
  std::thread worker;
  CancelFlag cancel{0};
  bool busy = false;
  bool close_requested = false;

  // Self-tests.
  int smoke_step = 0;
  bool smoke_failed = false;
  std::vector<double> paint_timings;
  std::vector<int> failed_lines;

  // --- Information pages and the Updates page (pages/info_pages.cpp, pages/updates_page.cpp) ---
  std::wstring licenses_text() const;
  void check_updates();
  void update_check_done(const Work& work);
  void show_update_controls();
  void create_update_edit();
  void layout_update_buttons(DeferredLayout& moves);
  void paint_update_page(HDC dc, const RECT& client);
  void copy_update_sha256();

  HWND theme_combo = nullptr;
  HWND language_combo = nullptr;
  HWND licence_text = nullptr;
  HWND reports_button = nullptr;
  HWND first_link = nullptr;
  HWND second_link = nullptr;
  HWND update_fields[5] = {};  // Version, Published, Size, Download URL, SHA-256
};

}  // namespace corvane
