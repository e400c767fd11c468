#include "engines/cleanup_areas.h"

#include "services/directory_listing.h"
#include "services/handles.h"
#include "services/shell.h"
#include "services/system_info.h"
#include "services/text.h"
#include "services/user_profile.h"

#include <windows.h>
#include <knownfolders.h>
#include <tlhelp32.h>

#include <cwchar>
#include <cwctype>

namespace corvane {

namespace {

CleanupArea make_area(const char* id, const wchar_t* name_vi, const wchar_t* name_en, const wchar_t* description_vi,
                      const wchar_t* description_en) {
  CleanupArea area;
  area.id = id;
  area.name_vi = name_vi;
  area.name_en = name_en;
  area.description_vi = description_vi;
  area.description_en = description_en;
  return area;
}

void set_scan(CleanupArea& area, std::vector<std::wstring> roots, const wchar_t* pattern, std::int32_t min_age_days,
              bool selected, bool needs_admin, bool recursive) {
  area.roots = std::move(roots);
  area.pattern = pattern;
  area.min_age_days = min_age_days;
  area.selected_by_default = selected;
  area.needs_admin = needs_admin;
  area.recursive = recursive;
}

void set_tool(CleanupArea& area, const wchar_t* action, bool needs_admin) {
  area.pattern = L"*";
  area.action = action;
  area.needs_admin = needs_admin;
  area.recursive = true;
}

// The roots of an area under the local application data folder, or none when they are withheld
// (the folder is not even listed for browser profiles then).
void set_local_roots(CleanupArea& area, bool withheld, const std::vector<std::wstring>& roots) {
  area.roots_withheld = withheld;
  area.roots = withheld ? std::vector<std::wstring>{} : roots;
}

std::vector<std::wstring> browser_roots(const std::wstring& profile_root, bool firefox_layout, bool withheld) {
  std::vector<std::wstring> roots;
  if (!withheld) find_browser_caches(profile_root, roots, firefox_layout);
  return roots;
}

bool is_separator(wchar_t c) { return c == L'\\' || c == L'/'; }

bool is_browser_profile(const std::wstring& name) {
  return name == L"Default" || name == L"Guest Profile" || name.rfind(L"Profile ", 0) == 0;
}

}  // namespace

std::vector<CleanupArea> default_cleanup_areas() { return default_cleanup_areas(process_elevated()); }

std::vector<CleanupArea> default_cleanup_areas(bool elevated) {
  // Any program of the user can point this folder anywhere, another user's folder included.
  const std::wstring local = known_folder_path(FOLDERID_LocalAppData);
  const bool withheld = elevated && !folder_in_profile(local);
  const std::wstring windows = windows_folder();
  std::vector<CleanupArea> areas;
  areas.reserve(12);

  CleanupArea temp = make_area("temp", L"Tập tin tạm của bạn", L"Your temporary files",
                               L"Tập tin không thay đổi ít nhất 7 ngày; bỏ qua tập tin đang dùng và thư mục liên kết.",
                               L"Files unchanged for at least 7 days; skip in-use files and directory links.");
  set_scan(temp, {}, L"*", 7, true, false, true);
  set_local_roots(temp, withheld, {join_path(local, L"Temp")});
  areas.push_back(std::move(temp));

  CleanupArea windows_temp =
      make_area("windows-temp", L"Tập tin tạm Windows", L"Windows temporary files",
                L"Tập tin tạm cũ hơn 7 ngày. Một số mục cần quyền quản trị.",
                L"Temporary files older than 7 days. Some items require administrator access.");
  set_scan(windows_temp, {join_path(windows, L"Temp")}, L"*", 7, false, true, true);
  areas.push_back(std::move(windows_temp));

  CleanupArea crashes = make_area("crashes", L"Báo cáo ứng dụng bị lỗi", L"Application crash dumps",
                                  L"CrashDumps cũ hơn 7 ngày. Hãy giữ lại nếu đang tìm nguyên nhân lỗi.",
                                  L"CrashDumps older than 7 days. Keep these if troubleshooting a crash.");
  set_scan(crashes, {}, L"*", 7, true, false, true);
  set_local_roots(crashes, withheld, {join_path(local, L"CrashDumps")});
  areas.push_back(std::move(crashes));

  CleanupArea memory = make_area("memory", L"Bản ghi lỗi bộ nhớ Windows", L"Windows memory dump",
                                 L"MEMORY.DMP cũ hơn 7 ngày. Nhật ký sự kiện không bị xóa.",
                                 L"MEMORY.DMP older than 7 days. Event logs are not deleted.");
  set_scan(memory, {windows}, L"MEMORY.DMP", 7, false, true, false);
  areas.push_back(std::move(memory));

  CleanupArea thumbnails = make_area("thumbnails", L"Cache ảnh thu nhỏ", L"Thumbnail cache",
                                     L"Cache cũ hơn 7 ngày. Explorer sẽ tạo lại; tập tin đang khóa được bỏ qua.",
                                     L"Cache older than 7 days. Explorer recreates it; locked files are skipped.");
  set_scan(thumbnails, {}, L"thumbcache_*.db", 7, false, false, false);
  set_local_roots(thumbnails, withheld, {join_path(local, L"Microsoft/Windows/Explorer")});
  areas.push_back(std::move(thumbnails));

  CleanupArea prefetch =
      make_area("prefetch", L"Prefetch cũ - nâng cao", L"Old Prefetch - advanced",
                L"Chỉ tập tin .pf cũ hơn 30 ngày. Dọn Prefetch có thể làm lần mở ứng dụng kế tiếp chậm hơn.",
                L"Only .pf files older than 30 days. Cleaning Prefetch can slow the next app launch.");
  set_scan(prefetch, {join_path(windows, L"Prefetch")}, L"*.pf", 30, false, true, false);
  areas.push_back(std::move(prefetch));

  CleanupArea chrome =
      make_area("chrome", L"Cache Google Chrome", L"Google Chrome cache",
                L"Mọi hồ sơ cục bộ. Đóng Chrome trước khi quét; giữ cookie, lịch sử, dấu trang và mật khẩu.",
                L"All local profiles. Close Chrome before scanning; keep cookies, history, bookmarks and passwords.");
  set_scan(chrome, {}, L"*", 1, false, false, true);
  set_local_roots(chrome, withheld, browser_roots(join_path(local, L"Google/Chrome/User Data"), false, withheld));
  chrome.process_name = L"chrome.exe";
  areas.push_back(std::move(chrome));

  CleanupArea edge = make_area("edge", L"Cache Microsoft Edge", L"Microsoft Edge cache",
                               L"Mọi hồ sơ cục bộ. Đóng Edge và các ứng dụng nền của nó trước khi quét.",
                               L"All local profiles. Close Edge and its background apps before scanning.");
  set_scan(edge, {}, L"*", 1, false, false, true);
  set_local_roots(edge, withheld, browser_roots(join_path(local, L"Microsoft/Edge/User Data"), false, withheld));
  edge.process_name = L"msedge.exe";
  areas.push_back(std::move(edge));

  CleanupArea firefox =
      make_area("firefox", L"Cache Mozilla Firefox", L"Mozilla Firefox cache",
                L"Cache hồ sơ cục bộ; không bao giờ đụng đến places.sqlite chứa dấu trang và lịch sử.",
                L"Local profile cache; never touches places.sqlite containing bookmarks and history.");
  set_scan(firefox, {}, L"*", 1, false, false, true);
  set_local_roots(firefox, withheld, browser_roots(join_path(local, L"Mozilla/Firefox/Profiles"), true, withheld));
  firefox.process_name = L"firefox.exe";
  areas.push_back(std::move(firefox));

  CleanupArea recycle = make_area("recycle", L"Thùng rác", L"Recycle Bin",
                                  L"Mở Thùng rác của Windows để xem và chọn mục cần xóa.",
                                  L"Open Windows Recycle Bin to review and choose what to remove.");
  set_tool(recycle, L"@recycle", false);
  areas.push_back(std::move(recycle));

  CleanupArea update = make_area("update", L"Cache Windows Update", L"Windows Update cache",
                                 L"Mở Disk Cleanup để Windows tự quản lý dữ liệu cập nhật và quyền hệ thống.",
                                 L"Open Disk Cleanup so Windows manages update data and system permissions.");
  set_tool(update, L"@diskcleanup", true);
  areas.push_back(std::move(update));

  CleanupArea delivery =
      make_area("delivery", L"Delivery Optimization", L"Delivery Optimization",
                L"Mở Disk Cleanup và chọn Delivery Optimization Files để Windows tự dọn.",
                L"Open Disk Cleanup and select Delivery Optimization Files for Windows-managed cleanup.");
  set_tool(delivery, L"@diskcleanup", true);
  areas.push_back(std::move(delivery));

  return areas;
}

void find_browser_caches(const std::wstring& profile_root, std::vector<std::wstring>& roots, bool firefox_layout) {
  DirectoryListing listing;
  if (!open_listing(profile_root, listing)) return;
  while (next_entry(listing)) {
    const WIN32_FIND_DATAW& entry = listing.entry;
    if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) continue;
    if ((entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) continue;
    const std::wstring name = entry.cFileName;
    const std::wstring folder = join_path(profile_root, name);
    const DWORD attributes = GetFileAttributesW(folder.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) continue;
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) continue;
    if (firefox_layout) {
      roots.push_back(join_path(folder, L"cache2"));
    } else if (is_browser_profile(name)) {
      roots.push_back(join_path(folder, L"Cache"));
      roots.push_back(join_path(folder, L"Code Cache"));
      roots.push_back(join_path(folder, L"GPUCache"));
    }
  }
}

bool is_process_running(const std::wstring& exe_name) {
  if (exe_name.empty()) return false;
  const UniqueHandle snapshot = adopt_handle(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  if (!snapshot) return true;
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof entry;
  if (!Process32FirstW(snapshot.get(), &entry)) return true;
  do {
    if (_wcsicmp(entry.szExeFile, exe_name.c_str()) == 0) return true;
  } while (Process32NextW(snapshot.get(), &entry));
  return false;
}

bool is_plain_directory_chain(const std::wstring& path) {
  // Only a drive path qualifies: this also refuses UNC and "\\?\" forms.
  if (path.size() < 3 || !std::iswalpha(path[0]) || path[1] != L':' || !is_separator(path[2])) return false;
  std::wstring prefix = path.substr(0, 2) + L"\\";
  bool below_root = false;
  std::size_t pos = 3;
  while (pos < path.size()) {
    std::size_t next = pos;
    while (next < path.size() && !is_separator(path[next])) ++next;
    const std::wstring component = path.substr(pos, next - pos);
    pos = next + 1;
    if (component.empty() || component == L".") continue;
    if (component == L"..") return false;
    prefix = join_path(prefix, component);
    const DWORD attributes = GetFileAttributesW(prefix.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return false;
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0 || (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) return false;
    below_root = true;
  }
  return below_root;
}

bool in_system_windows_folder(const std::wstring& root) {
  const std::wstring windows = system_windows_folder();
  return path_strictly_inside(windows, root) || path_strictly_inside(windows, join_path(root, L"x"));
}

}  // namespace corvane
