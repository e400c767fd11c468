// ctest-resource-lock: data_folder
#include "engines/cleanup_delete.h"

#include "services/handles.h"
#include "services/text.h"
#include "support/file_tree.h"
#include "support/scratch.h"
#include "support/reported_reparse_tag.h"
#include "support/unix_link.h"
#include "support/wine.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace corvane {
namespace {

using testing::file_exists;
using testing::kDay;
using testing::make_old_file;
using testing::read_file_bytes;
using testing::scratch_area;
using testing::ScratchFolder;

// Scans root and returns the item found for path.
CleanupItem scanned(const std::wstring& root, const std::wstring& path) {
  CancelFlag never{0};
  const ScanResult result = scan_cleanup_areas({scratch_area("temp", root)}, &never, {});
  for (const CleanupItem& item : result.items) {
    if (item.path == path) return item;
  }
  ADD_FAILURE() << "not scanned";
  return {};
}

// Moves from to outside and puts a link to it in its place; false when that did not happen.
bool swap_for_link(const std::wstring& from, const std::wstring& outside) {
  return MoveFileW(from.c_str(), outside.c_str()) && testing::make_unix_symlink(outside, from);
}

const char kNoLinks[] = "symbolic links are made on the Unix side of Wine's prefix; not available here";

TEST(DeleteScannedFile, DeletesTheUnchangedFile) {
  ScratchFolder root;
  make_old_file(root.file(L"sub\\old.tmp"), "12345", 10 * kDay);
  const CleanupItem item = scanned(root.path(), root.file(L"sub\\old.tmp"));
  EXPECT_TRUE(delete_scanned_file(item));
  EXPECT_FALSE(file_exists(item.path));
  EXPECT_TRUE(testing::folder_exists(root.file(L"sub")));  // folders stay
  EXPECT_FALSE(delete_scanned_file(item));                // already gone
}

TEST(DeleteScannedFile, ChangedFilesSurvive) {
  ScratchFolder root;
  make_old_file(root.file(L"resized.tmp"), "12345", 10 * kDay);
  make_old_file(root.file(L"retimed.tmp"), "12345", 10 * kDay);
  make_old_file(root.file(L"replaced.tmp"), "12345", 10 * kDay);
  const CleanupItem resized = scanned(root.path(), root.file(L"resized.tmp"));
  const CleanupItem retimed = scanned(root.path(), root.file(L"retimed.tmp"));
  const CleanupItem replaced = scanned(root.path(), root.file(L"replaced.tmp"));

  // Grown by one byte, its old time put back: only the size differs.
  testing::write_file_bytes(resized.path, "123456");
  testing::set_last_write(resized.path, resized.last_write);
  // Same content, touched by one second.
  testing::set_last_write(retimed.path, retimed.last_write + 10000000);
  // A twin with the same size and time moved over it while the original still exists, so
  // the file system cannot hand the old index to the newcomer.
  make_old_file(root.file(L"twin.new"), "12345", 0);
  testing::set_last_write(root.file(L"twin.new"), replaced.last_write);
  ASSERT_TRUE(MoveFileExW(root.file(L"twin.new").c_str(), replaced.path.c_str(), MOVEFILE_REPLACE_EXISTING));

  EXPECT_FALSE(delete_scanned_file(resized));
  EXPECT_FALSE(delete_scanned_file(retimed));
  EXPECT_FALSE(delete_scanned_file(replaced));
  EXPECT_EQ(read_file_bytes(resized.path), "123456");
  EXPECT_EQ(read_file_bytes(retimed.path), "12345");
  EXPECT_EQ(read_file_bytes(replaced.path), "12345");
}

TEST(DeleteScannedFile, FileHeldOpenByAnotherProgramSurvives) {
  ScratchFolder root;
  make_old_file(root.file(L"writing.tmp"), "abc", 10 * kDay);
  make_old_file(root.file(L"deleting.tmp"), "abc", 10 * kDay);
  const CleanupItem writing = scanned(root.path(), root.file(L"writing.tmp"));
  const CleanupItem deleting = scanned(root.path(), root.file(L"deleting.tmp"));
  {
    const UniqueHandle writer = adopt_handle(CreateFileW(writing.path.c_str(), GENERIC_WRITE,
                                                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                                         nullptr, OPEN_EXISTING, 0, nullptr));
    const UniqueHandle deleter = adopt_handle(CreateFileW(deleting.path.c_str(), DELETE,
                                                          FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                                          nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(writer && deleter);
    EXPECT_FALSE(delete_scanned_file(writing));
    EXPECT_FALSE(delete_scanned_file(deleting));
  }
  EXPECT_TRUE(file_exists(writing.path));
  EXPECT_TRUE(file_exists(deleting.path));
  EXPECT_TRUE(delete_scanned_file(writing));  // closed again: nothing else stands in the way
}

TEST(DeleteScannedFile, FolderSwappedForALinkToAnOutsideFolder) {
  if (!testing::running_under_wine()) GTEST_SKIP() << kNoLinks;
  ScratchFolder root;
  ScratchFolder outside;
  const testing::UnixLinkRemoval removal(root.file(L"sub"));
  make_old_file(root.file(L"sub\\victim.tmp"), "keep me", 10 * kDay);
  const CleanupItem item = scanned(root.path(), root.file(L"sub\\victim.tmp"));
  // The very same file, moved out with its folder; a link takes the folder's place.
  ASSERT_TRUE(swap_for_link(root.file(L"sub"), outside.file(L"sub"))) << "the folder was not replaced by a link";
  ASSERT_TRUE(file_exists(item.path));  // reachable through the link
  EXPECT_FALSE(delete_scanned_file(item));
  EXPECT_EQ(read_file_bytes(outside.file(L"sub\\victim.tmp")), "keep me");
}

TEST(DeleteScannedFile, FileSwappedForALinkToItselfMovedOutside) {
  if (!testing::running_under_wine()) GTEST_SKIP() << kNoLinks;
  ScratchFolder root;
  ScratchFolder outside;
  make_old_file(root.file(L"victim.tmp"), "keep me", 10 * kDay);
  const CleanupItem item = scanned(root.path(), root.file(L"victim.tmp"));
  const testing::UnixLinkRemoval removal(item.path);
  ASSERT_TRUE(swap_for_link(item.path, outside.file(L"victim.tmp"))) << "the file was not replaced by a link";
  EXPECT_FALSE(delete_scanned_file(item));
  EXPECT_EQ(read_file_bytes(outside.file(L"victim.tmp")), "keep me");
}

TEST(DeleteScannedFile, RootThatBecameALinkIsRefused) {
  if (!testing::running_under_wine()) GTEST_SKIP() << kNoLinks;
  ScratchFolder holder;
  ScratchFolder outside;
  const std::wstring root = holder.file(L"root");
  const testing::UnixLinkRemoval removal(root);
  make_old_file(root + L"\\victim.tmp", "keep me", 10 * kDay);
  const CleanupItem item = scanned(root, root + L"\\victim.tmp");
  ASSERT_TRUE(swap_for_link(root, outside.file(L"root"))) << "the root was not replaced by a link";
  EXPECT_FALSE(delete_scanned_file(item));
  EXPECT_TRUE(file_exists(outside.file(L"root\\victim.tmp")));
}

TEST(DeleteScannedFile, FileFolderOrRootSwappedForALinkIsRefused) {
  if (!testing::running_under_wine()) GTEST_SKIP() << kNoLinks;
  // The very same file stays reachable through the link, moved outside with what was swapped.
  for (const std::wstring moved : {L"root\\sub\\victim.tmp", L"root\\sub", L"root"}) {
    ScratchFolder holder;
    ScratchFolder outside;
    const testing::UnixLinkRemoval removal(holder.file(moved));
    const std::wstring path = holder.file(L"root\\sub\\victim.tmp");
    make_old_file(path, "keep me", 10 * kDay);
    const CleanupItem item = scanned(holder.file(L"root"), path);
    ASSERT_TRUE(swap_for_link(holder.file(moved), outside.file(L"moved")))
        << wide_to_utf8(moved) << " was not replaced by a link";
    ASSERT_TRUE(file_exists(item.path));
    EXPECT_FALSE(delete_scanned_file(item)) << wide_to_utf8(moved);
    EXPECT_EQ(read_file_bytes(outside.file(L"moved") + path.substr(holder.file(moved).size())), "keep me");
  }
}

TEST(DeleteScannedFile, ForgedItemsAreRefused) {
  ScratchFolder root;
  ScratchFolder outside;
  make_old_file(outside.file(L"victim.tmp"), "keep me", 10 * kDay);
  make_old_file(root.file(L"sub\\inside.tmp"), "keep me", 10 * kDay);
  // The true identity of the outside file, claimed under another root.
  CleanupItem outside_item = scanned(outside.path(), outside.file(L"victim.tmp"));
  CleanupItem forged = outside_item;
  forged.root = root.path();
  EXPECT_FALSE(delete_scanned_file(forged));

  forged.path = root.path() + L"\\..\\" + outside.path().substr(outside.path().find_last_of(L'\\') + 1) +
                L"\\victim.tmp";
  EXPECT_FALSE(delete_scanned_file(forged));

  // A drive root is never a plain chain, so nothing below it is deleted through it.
  forged = outside_item;
  forged.root = outside_item.path.substr(0, 3);
  EXPECT_FALSE(delete_scanned_file(forged));

  // Lexically inside its root, but with ".." on the way: refused, not resolved.
  CleanupItem inside = scanned(root.path(), root.file(L"sub\\inside.tmp"));
  inside.path = root.file(L"sub\\..\\sub\\inside.tmp");
  EXPECT_FALSE(delete_scanned_file(inside));

  // A relative path or an empty item.
  inside.path = L"sub\\inside.tmp";
  EXPECT_FALSE(delete_scanned_file(inside));
  EXPECT_FALSE(delete_scanned_file(CleanupItem{}));

  EXPECT_TRUE(file_exists(outside.file(L"victim.tmp")));
  EXPECT_TRUE(file_exists(root.file(L"sub\\inside.tmp")));
}

TEST(DeleteScannedFile, FolderWithTheIdentityOfAFileIsRefused) {
  ScratchFolder root;
  make_old_file(root.file(L"name.tmp"), "x", 10 * kDay);
  CleanupItem item = scanned(root.path(), root.file(L"name.tmp"));
  ASSERT_TRUE(DeleteFileW(item.path.c_str()));
  ASSERT_TRUE(CreateDirectoryW(item.path.c_str(), nullptr));
  EXPECT_FALSE(delete_scanned_file(item));
  EXPECT_TRUE(testing::folder_exists(item.path));
}

TEST(PinnedFolders, ChainFollowsTheFilesFolder) {
  ScratchFolder root;
  make_old_file(root.file(L"a\\b\\one.tmp"), "1", 10 * kDay);
  make_old_file(root.file(L"a\\c\\two.tmp"), "2", 10 * kDay);
  make_old_file(root.file(L"three.tmp"), "3", 10 * kDay);
  const CleanupItem one = scanned(root.path(), root.file(L"a\\b\\one.tmp"));
  const CleanupItem two = scanned(root.path(), root.file(L"a\\c\\two.tmp"));
  const CleanupItem three = scanned(root.path(), root.file(L"three.tmp"));

  PinnedFolders pins;
  ASSERT_TRUE(delete_scanned_file(one, pins));
  ASSERT_GE(pins.paths.size(), 3u);
  const std::size_t depth = pins.paths.size();
  EXPECT_EQ(pins.paths[depth - 1], root.file(L"a\\b"));
  EXPECT_EQ(pins.paths[depth - 2], root.file(L"a"));
  EXPECT_EQ(pins.paths[depth - 3], root.path());
  EXPECT_EQ(pins.handles.handles.size(), depth);
  const HANDLE held_a = pins.handles.handles[depth - 2];

  ASSERT_TRUE(delete_scanned_file(two, pins));
  EXPECT_EQ(pins.paths.size(), depth);
  EXPECT_EQ(pins.paths.back(), root.file(L"a\\c"));
  EXPECT_EQ(pins.handles.handles[depth - 2], held_a);  // the shared part stays pinned

  ASSERT_TRUE(delete_scanned_file(three, pins));
  EXPECT_EQ(pins.paths.size(), depth - 2);
  EXPECT_EQ(pins.paths.back(), root.path());
  pins.release_from(0);
  EXPECT_TRUE(pins.paths.empty());
  EXPECT_TRUE(pins.handles.handles.empty());
}

// Pins held from the file before stand in for walking the root only when they hold every folder
// of the root; any other root is walked, and refused as ever.
TEST(PinnedFolders, HeldPinsVouchOnlyForARootTheyHoldWhole) {
  ScratchFolder root;
  ScratchFolder outside;
  make_old_file(root.file(L"a\\one.tmp"), "1", 10 * kDay);
  make_old_file(root.file(L"a\\two.tmp"), "2", 10 * kDay);
  make_old_file(root.file(L"a\\three.tmp"), "3", 10 * kDay);
  make_old_file(outside.file(L"victim.tmp"), "keep me", 10 * kDay);
  const CleanupItem one = scanned(root.path(), root.file(L"a\\one.tmp"));
  CleanupItem two = scanned(root.path(), root.file(L"a\\two.tmp"));
  PinnedFolders pins;
  ASSERT_TRUE(delete_scanned_file(one, pins));
  EXPECT_TRUE(chain_is_pinned(root.path(), pins));
  EXPECT_TRUE(chain_is_pinned(root.file(L"a"), pins));
  EXPECT_FALSE(chain_is_pinned(root.file(L"a\\b"), pins));
  EXPECT_FALSE(chain_is_pinned(root.path().substr(0, 3), pins));
  EXPECT_FALSE(chain_is_pinned(root.file(L"a\\..\\a"), pins));

  CleanupItem forged = two;
  forged.root = root.path().substr(0, 3);  // the drive root
  EXPECT_FALSE(delete_scanned_file(forged, pins));
  forged.root = root.file(L"a\\..\\a");
  forged.path = root.file(L"a\\..\\a\\two.tmp");
  EXPECT_FALSE(delete_scanned_file(forged, pins));
  EXPECT_TRUE(file_exists(two.path));

  // A root below the pinned ones that is a link to an outside folder holding a file of the same
  // identity is walked and refused.
  if (testing::running_under_wine()) {
    const std::wstring link = root.file(L"a\\link");
    const testing::UnixLinkRemoval removal(link);
    ASSERT_TRUE(testing::make_unix_symlink(outside.path(), link)) << "the link was not made";
    CleanupItem through = scanned(outside.path(), outside.file(L"victim.tmp"));
    through.root = link;
    through.path = link + L"\\victim.tmp";
    EXPECT_FALSE(delete_scanned_file(through, pins));
    EXPECT_EQ(read_file_bytes(outside.file(L"victim.tmp")), "keep me");
  }
  // The other files of the root still go, through the pins.
  EXPECT_TRUE(delete_scanned_file(two, pins));
  const CleanupItem three = scanned(root.path(), root.file(L"a\\three.tmp"));
  EXPECT_TRUE(delete_scanned_file(three, pins));
  EXPECT_FALSE(file_exists(two.path));
  EXPECT_FALSE(file_exists(three.path));
}

TEST(PinnedFolders, PinnedFolderCannotBeRenamedAwayWhileTheRunDeletesInside) {
  ScratchFolder root;
  make_old_file(root.file(L"a\\b\\one.tmp"), "1", 10 * kDay);
  make_old_file(root.file(L"a\\b\\two.tmp"), "2", 10 * kDay);
  const CleanupItem one = scanned(root.path(), root.file(L"a\\b\\one.tmp"));
  const CleanupItem two = scanned(root.path(), root.file(L"a\\b\\two.tmp"));
  PinnedFolders pins;  // kept from one file to the next, as the cleanup run keeps it
  ASSERT_TRUE(delete_scanned_file(one, pins));
  EXPECT_FALSE(MoveFileW(root.file(L"a").c_str(), root.file(L"moved").c_str()));
  EXPECT_FALSE(MoveFileW(root.file(L"a\\b").c_str(), root.file(L"a\\moved").c_str()));
  ASSERT_TRUE(delete_scanned_file(two, pins)) << "the pins must not stand in the run's own way";
  EXPECT_FALSE(file_exists(one.path));
  EXPECT_FALSE(file_exists(two.path));
  pins.release_from(0);
  EXPECT_TRUE(MoveFileW(root.file(L"a").c_str(), root.file(L"moved").c_str()));
}

TEST(HandleList, ClosesItsHandlesAndSkipsEmptyOnes) {
  HANDLE first = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  HANDLE second = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  ASSERT_NE(first, nullptr);
  ASSERT_NE(second, nullptr);
  DWORD flags = 0;
  {
    HandleList list;
    list.add(first);
    list.add(nullptr);
    list.add(INVALID_HANDLE_VALUE);
    list.add(second);
    list.close_from(3);
    EXPECT_EQ(list.handles.size(), 3u);
    EXPECT_FALSE(GetHandleInformation(second, &flags));
    EXPECT_TRUE(GetHandleInformation(first, &flags));
  }
  EXPECT_FALSE(GetHandleInformation(first, &flags));
}

// Reports a held folder made a junction in place, as Windows shows it through the held handle
// (Wine's handle keeps reading the removed folder, whatever took its place), or one that cloud
// sync has taken in. Counts the reads of folders.
HANDLE g_made_junction = nullptr;
HANDLE g_kept_by_cloud = nullptr;
int g_attribute_reads = 0;
AttributeTag attributes_seen_on_windows(HANDLE handle) {
  AttributeTag read = read_attribute_tag_by_handle(handle);
  const bool folder = read.attributes != INVALID_FILE_ATTRIBUTES && (read.attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  if (folder) ++g_attribute_reads;
  if (handle == g_made_junction || handle == g_kept_by_cloud) {
    read.attributes |= FILE_ATTRIBUTE_REPARSE_POINT;
    read.reparse_tag = handle == g_made_junction ? IO_REPARSE_TAG_MOUNT_POINT : testing::kCloudFilesTag;
  }
  return read;
}

struct AttributeSeam {
  AttributeSeam() { handle_attribute_tag = attributes_seen_on_windows; }
  ~AttributeSeam() {
    handle_attribute_tag = read_attribute_tag_by_handle;
    g_made_junction = nullptr;
    g_kept_by_cloud = nullptr;
    g_attribute_reads = 0;
  }
};

// Held pins stand in for the root's walk only while each of them, read through its handle, is
// still a plain folder: an emptied pinned folder can be made a junction in place.
TEST(PinnedFolders, HeldPinsVouchOnlyWhileEachIsStillAPlainFolder) {
  ScratchFolder scratch;
  ScratchFolder outside;
  const std::wstring root = scratch.file(L"r");
  const testing::UnixLinkRemoval removal(root);
  for (const wchar_t* name : {L"one.tmp", L"two.tmp", L"three.tmp"}) make_old_file(root + L"\\" + name, "x", 10 * kDay);
  const CleanupItem one = scanned(root, root + L"\\one.tmp");
  const CleanupItem two = scanned(root, root + L"\\two.tmp");
  const CleanupItem three = scanned(root, root + L"\\three.tmp");
  std::vector<std::wstring> chain;
  ASSERT_TRUE(folder_chain(root, chain));

  const AttributeSeam seam;
  PinnedFolders pins;
  // The first file walks the root and pins its folders, each read as it is pinned.
  ASSERT_TRUE(delete_scanned_file(one, pins));
  const int pinned_reads = g_attribute_reads;
  ASSERT_TRUE(delete_scanned_file(two, pins));
  EXPECT_EQ(g_attribute_reads - pinned_reads, static_cast<int>(chain.size())) << "one read per held folder of the root";
  EXPECT_TRUE(held_pins_vouch_for(root, pins));
  EXPECT_EQ(g_attribute_reads - pinned_reads, static_cast<int>(chain.size())) << "and once per root";

  // The real reader: a folder through its handle, and a handle it cannot read.
  const DWORD held = read_attributes_by_handle(pins.handles.handles[chain.size() - 1]);
  EXPECT_EQ(held & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT), DWORD{FILE_ATTRIBUTE_DIRECTORY});
  const UniqueHandle event(CreateEventW(nullptr, TRUE, FALSE, nullptr));
  EXPECT_EQ(read_attributes_by_handle(event.get()), INVALID_FILE_ATTRIBUTES);

  // Letting a root folder go forgets the vouch; pinned again, it is read again: a held folder that
  // cloud sync keeps (here the root's parent) is still a plain folder, one that reads as a
  // junction sends the next file through the walk.
  pins.release_from(chain.size() - 1);
  EXPECT_FALSE(held_pins_vouch_for(root, pins));
  ASSERT_EQ(pin_folder(root, pins), static_cast<DWORD>(ERROR_SUCCESS));
  g_kept_by_cloud = pins.handles.handles[chain.size() - 2];
  EXPECT_TRUE(held_pins_vouch_for(root, pins));
  g_kept_by_cloud = nullptr;
  pins.release_from(chain.size() - 1);
  ASSERT_EQ(pin_folder(root, pins), static_cast<DWORD>(ERROR_SUCCESS));
  g_made_junction = pins.handles.handles[chain.size() - 2];
  EXPECT_FALSE(held_pins_vouch_for(root, pins));
  EXPECT_FALSE(held_pins_vouch_for(root, pins)) << "a refusal is not remembered";
  g_made_junction = nullptr;

  // The emptied root made a link to an outside folder, with three moved there under its identity,
  // while the pins hold it: nothing outside is deleted.
  if (!testing::running_under_wine()) GTEST_SKIP() << kNoLinks;
  g_made_junction = pins.handles.handles[chain.size() - 1];
  ASSERT_TRUE(testing::replace_folder_with_unix_symlink(root, outside.path(), testing::FolderEntries::moved_to_target))
      << "the root was not replaced by a link";
  EXPECT_FALSE(held_pins_vouch_for(root, pins));
  EXPECT_FALSE(delete_scanned_file(three, pins));
  EXPECT_EQ(read_file_bytes(outside.file(L"three.tmp")), "x");
}

}  // namespace
}  // namespace corvane
