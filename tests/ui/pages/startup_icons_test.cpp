// ctest-resource-lock: run_keys data_folder
#include "ui/app.h"

#include "services/com_ptr.h"
#include "services/text.h"
#include "services/user_profile.h"
#include "support/outside_folder.h"
#include "support/scratch.h"
#include "support/startup_scratch.h"
#include "support/unix_link.h"
#include "support/wine.h"

#include <gtest/gtest.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <filesystem>
#include <tuple>

namespace corvane {
namespace {

StartupEntry entry_of(StartupKind kind, const std::wstring& target) {
  StartupEntry entry;
  std::tie(entry.kind, entry.target) = std::tie(kind, target);
  return entry;
}

bool icon_alive(HICON icon) {
  ICONINFO info{};
  if (!GetIconInfo(icon, &info)) return false;
  DeleteObject(info.hbmColor);
  DeleteObject(info.hbmMask);
  return true;
}

// Saves a shortcut to target, with an icon location when icon is not empty.
void make_shortcut(const std::wstring& path, const std::wstring& target, const std::wstring& icon, int index) {
  ComPtr<IShellLinkW> link;
  ASSERT_TRUE(SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                         reinterpret_cast<void**>(link.put()))));
  link->SetPath(target.c_str());
  if (!icon.empty()) link->SetIconLocation(icon.c_str(), index);
  ComPtr<IPersistFile> file;
  ASSERT_TRUE(SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(file.put()))));
  ASSERT_TRUE(SUCCEEDED(file->Save(path.c_str(), TRUE)));
}

TEST(StartupIconSource, CommandLinesLeadToTheProgramOnAFixedDrive) {
  const std::wstring notepad = expand_environment(L"%SystemRoot%\\system32\\notepad.exe");
  struct Case { StartupKind kind; std::wstring target, path; } cases[] = {
      {STARTUP_KIND_RUN, L" \t\"C:\\Tools\\My App\\app.exe\" --tray \"x.exe\"", L"C:\\Tools\\My App\\app.exe"},
      {STARTUP_KIND_RUN, L"C:\\Tools\\UPDATER.EXE /silent /log=c:\\x.exe", L"C:\\Tools\\UPDATER.EXE"},
      {STARTUP_KIND_RUN, L"%ProgramFiles%\\Vendor\\agent.exe -q", expand_environment(L"%ProgramFiles%\\Vendor\\agent.exe")},
      {STARTUP_KIND_RUN, L"%SystemRoot%\\system32\\notepad.exe", notepad},
      {STARTUP_KIND_RUN, L"wscript.vbs //B C:\\scripts\\start.vbs", L""},
      {STARTUP_KIND_RUN, L"\\\\server\\share\\tool.exe", L""},
      {STARTUP_KIND_RUN, L"tool.exe /min", L""},
      {STARTUP_KIND_RUN, L"\"C:\\Tools\\open.exe", L""},
      {STARTUP_KIND_RUN, L"  \t ", L""},
      {STARTUP_KIND_TASK, L"C:\\A\\one.exe; C:\\B\\two.exe", L"C:\\A\\one.exe"},
      {STARTUP_KIND_TASK, L"COM / Windows task", L""},
      {STARTUP_KIND_FOLDER, L"C:\\Users\\me\\Start Menu\\notes.txt", L"C:\\Users\\me\\Start Menu\\notes.txt"},
  };
  for (const Case& c : cases) {
    const StartupIconSource source = startup_icon_source(entry_of(c.kind, c.target));
    EXPECT_EQ(source.path, c.path) << std::string(c.target.begin(), c.target.end());
    EXPECT_EQ(source.index, 0);
  }
}

TEST(StartupIconSource, ShortcutsGiveTheirIconLocationOrTheirTarget) {
  const ComScope com(COINIT_APARTMENTTHREADED);
  testing::ScratchFolder folder;
  const std::wstring notepad = expand_environment(L"%SystemRoot%\\system32\\notepad.exe");
  const std::wstring shell32 = expand_environment(L"%SystemRoot%\\system32\\shell32.dll");
  make_shortcut(folder.file(L"icon.lnk"), notepad, shell32, 3);
  make_shortcut(folder.file(L"plain.lnk"), notepad, L"", 0);
  make_shortcut(folder.file(L"variable.lnk"), notepad, L"%SystemRoot%\\system32\\shell32.dll", 4);

  StartupIconSource source = startup_icon_source(entry_of(STARTUP_KIND_FOLDER, folder.file(L"icon.lnk")));
  EXPECT_EQ(lstrcmpiW(source.path.c_str(), shell32.c_str()), 0) << source.path.size();
  EXPECT_EQ(source.index, 3);
  source = startup_icon_source(entry_of(STARTUP_KIND_FOLDER, folder.file(L"plain.lnk")));
  EXPECT_EQ(lstrcmpiW(source.path.c_str(), notepad.c_str()), 0);
  EXPECT_EQ(source.index, 0);
  // The shortcut's text is not expanded again: it fails the drive test.
  EXPECT_EQ(startup_icon_source(entry_of(STARTUP_KIND_FOLDER, folder.file(L"variable.lnk"))).path, L"");
  // Only ".lnk" in this letter case is read as a shortcut.
  testing::write_file_bytes(folder.file(L"copy.LNK"), testing::read_file_bytes(folder.file(L"icon.lnk")));
  EXPECT_EQ(startup_icon_source(entry_of(STARTUP_KIND_FOLDER, folder.file(L"copy.LNK"))).path,
            folder.file(L"copy.LNK"));
}

// Elevated, a shortcut of the DisabledStartup folder is read only while held inside the folder
// as checked: behind a folder that is a link out of the profile, or as a link to a file
// elsewhere, its icon is not looked for. Unelevated, the shortcut is read by its path as ever.
TEST(StartupIconSource, ElevatedADisabledShortcutIsReadOnlyInsideItsCheckedFolder) {
  if (!testing::running_under_wine()) GTEST_SKIP() << "links are made on Wine's Unix side";
  const ComScope com(COINIT_APARTMENTTHREADED);
  testing::StartupScratch scratch;
  const testing::ScratchFolder inside;  // the profile's
  const testing::OutsideFolder outside;
  testing::redirect_local_app_data(scratch, inside.path());
  const std::wstring disabled = disabled_startup_folder();
  ASSERT_TRUE(path_strictly_inside(user_profile_folder(), disabled));
  std::filesystem::create_directories(std::filesystem::path(disabled).parent_path());
  const std::wstring notepad = expand_environment(L"%SystemRoot%\\system32\\notepad.exe");
  const std::wstring shell32 = expand_environment(L"%SystemRoot%\\system32\\shell32.dll");
  make_shortcut(outside.path() + L"\\foreign.lnk", notepad, shell32, 3);
  make_shortcut(inside.file(L"own.lnk"), notepad, shell32, 5);
  const StartupEntry own = entry_of(STARTUP_KIND_FOLDER, disabled + L"\\own.lnk");
  const StartupEntry foreign = entry_of(STARTUP_KIND_FOLDER, disabled + L"\\foreign.lnk");
  {
    const testing::UnixLinkRemoval removal(disabled);
    ASSERT_TRUE(testing::make_unix_symlink(outside.path(), disabled));
    EXPECT_EQ(startup_icon_source(foreign, true).path, L"");
    EXPECT_EQ(startup_icon_source(foreign, false).index, 3);
  }
  std::filesystem::create_directories(disabled);
  std::filesystem::copy_file(inside.file(L"own.lnk"), disabled + L"\\own.lnk");
  const testing::UnixLinkRemoval removal(foreign.target);
  ASSERT_TRUE(testing::make_unix_symlink(outside.path() + L"\\foreign.lnk", foreign.target));
  EXPECT_EQ(startup_icon_source(foreign, true).path, L"");
  EXPECT_EQ(startup_icon_source(foreign, false).index, 3);
  const StartupIconSource held = startup_icon_source(own, true);
  EXPECT_EQ(lstrcmpiW(held.path.c_str(), shell32.c_str()), 0);
  EXPECT_EQ(held.index, 5);
  EXPECT_TRUE(held.held_file && held.held_folder) << "the shortcut stays held until its icon is extracted";
}

// What a program tried on the shortcut while the icon pass read it.
struct ShortcutTries {
  std::wstring path;
  bool read = false;
  bool renamed = false;
  bool deleted = false;
};
ShortcutTries shortcut_tries;

// Elevated, a DisabledStartup shortcut is read while held by its name inside the held folder: no
// program can rename or delete it meanwhile, and both work again once the pass is over.
TEST(StartupIcons, AHeldDisabledShortcutCanBeNeitherRenamedNorDeletedWhileRead) {
  testing::StartupScratch scratch;
  const testing::ScratchFolder inside;  // the profile's
  testing::redirect_local_app_data(scratch, inside.path());
  const std::wstring disabled = disabled_startup_folder();
  ASSERT_TRUE(path_strictly_inside(user_profile_folder(), disabled));
  std::filesystem::create_directories(disabled);
  const std::wstring shortcut = disabled + L"\\held.lnk";
  {
    const ComScope com(COINIT_APARTMENTTHREADED);
    make_shortcut(shortcut, expand_environment(L"%SystemRoot%\\system32\\notepad.exe"),
                  expand_environment(L"%SystemRoot%\\system32\\shell32.dll"), 5);
  }
  shortcut_tries = ShortcutTries{shortcut};
  shortcut_read_probe = [](const std::wstring& path) {
    if (path != shortcut_tries.path) return;
    shortcut_tries.read = true;
    const std::wstring moved = path + L".moved";
    shortcut_tries.renamed = MoveFileExW(path.c_str(), moved.c_str(), 0) != FALSE;
    if (shortcut_tries.renamed) MoveFileExW(moved.c_str(), path.c_str(), 0);  // back, to try the delete too
    shortcut_tries.deleted = DeleteFileW(path.c_str()) != FALSE;
  };
  Work work;
  work.startup_entries = {entry_of(STARTUP_KIND_FOLDER, shortcut)};
  CancelFlag stop{0};
  App::load_startup_icons(work, stop, true);
  shortcut_read_probe = nullptr;
  ASSERT_TRUE(shortcut_tries.read) << "the shortcut was not read";
  EXPECT_FALSE(shortcut_tries.renamed);
  EXPECT_FALSE(shortcut_tries.deleted);
  EXPECT_EQ(work.startup_icons.size(), 1u);

  EXPECT_TRUE(MoveFileExW(shortcut.c_str(), (shortcut + L".moved").c_str(), 0)) << GetLastError();
  EXPECT_TRUE(DeleteFileW((shortcut + L".moved").c_str())) << GetLastError();
}

TEST(StartupIcons, OneProgramIsExtractedOnceAndItsIconDestroyedOnce) {
  testing::StartupScratch scratch;
  const std::wstring notepad = expand_environment(L"%SystemRoot%\\system32\\notepad.exe");
  scratch.put_value(0, run_key(false), scratch.name(L"a"), make_string_value(L"\"" + notepad + L"\" /a"));
  scratch.put_value(0, run_key(false), scratch.name(L"b"), make_string_value(notepad));
  scratch.put_value(0, run_key(false), scratch.name(L"c"), make_string_value(L"\\\\server\\share\\c.exe"));
  Work work;
  for (const StartupEntry& entry : list_startup_entries(nullptr)) {
    if (entry.name.rfind(scratch.prefix(), 0) == 0) work.startup_entries.push_back(entry);
  }
  ASSERT_EQ(work.startup_entries.size(), 3u);
  CancelFlag stop{0};
  App::load_startup_icons(work, stop, process_elevated());

  ASSERT_EQ(work.startup_icons.size(), 3u);
  SharedIcon a = work.startup_icons.at(startup_entry_key(work.startup_entries[0]));
  const SharedIcon c = work.startup_icons.at(startup_entry_key(work.startup_entries[2]));
  EXPECT_EQ(a, work.startup_icons.at(startup_entry_key(work.startup_entries[1])));
  EXPECT_NE(a.get(), c.get());
  ASSERT_NE(c.get(), nullptr);
  // The generic icon is a copy of its own, never the shared system icon.
  EXPECT_NE(c.get(), LoadIconW(nullptr, IDI_APPLICATION));
  EXPECT_EQ(a.use_count(), 3);  // the two map entries and this copy: the run's cache is gone

  const HICON raw = a.get();
  work.startup_icons.clear();
  EXPECT_TRUE(icon_alive(raw));
  a.reset();  // the last holder
  EXPECT_FALSE(icon_alive(raw));
}

TEST(StartupIcons, AStoppedPassLeavesTheRestWithoutIcons) {
  Work work;
  work.startup_entries = {entry_of(STARTUP_KIND_RUN, L"C:\\a.exe"), entry_of(STARTUP_KIND_RUN, L"C:\\b.exe")};
  work.startup_entries[1].name = L"b";
  CancelFlag stop{1};
  App::load_startup_icons(work, stop, process_elevated());
  EXPECT_TRUE(work.startup_icons.empty());
}

}  // namespace
}  // namespace corvane
