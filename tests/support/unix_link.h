#pragma once
// Symbolic links for tests under Wine, where CreateSymbolicLinkW creates nothing: the link is
// made on the Unix side by running ln through Wine's process start. Each function here returns
// only once its Unix command has ended, so a link that was not there when it returned is never
// made later, behind the test's back.

#include <string>
#include <utility>

namespace corvane::testing {

// Makes link (a Windows path) a Unix symbolic link to target (a Windows path). Returns false
// when not under Wine or when ln failed.
bool make_unix_symlink(const std::wstring& target, const std::wstring& link);

// Removes a link made by make_unix_symlink. Wine does not delete a link itself: it refuses a link
// to a folder, and a link to a file it reports deleted and leaves in place, hidden.
// Whatever stands at link that is not a link, a folder or a file, is left alone.
void remove_unix_symlink(const std::wstring& link);

// Removes a link made from the Unix side however the test ends. Declared after the folders the
// link lies in or leads to, it goes before them, whose removal would otherwise follow it. It may
// be declared before the link is made, or for a swap that may not happen: a folder left in place
// stays.
class UnixLinkRemoval {
 public:
  explicit UnixLinkRemoval(std::wstring link) : link_(std::move(link)) {}
  ~UnixLinkRemoval() { remove_unix_symlink(link_); }
  UnixLinkRemoval(const UnixLinkRemoval&) = delete;
  UnixLinkRemoval& operator=(const UnixLinkRemoval&) = delete;

 private:
  std::wstring link_;
};

// What becomes of a folder's entries when it is replaced by a link.
enum class FolderEntries {
  removed,          // deleted with the folder
  moved_to_target,  // moved into the link's target first, under their own identity
};

// Empties folder from the Unix side, removes it and puts a Unix symbolic link to target in its
// place, even while Corvane holds it open: what a program that owns an emptied folder does on
// Windows by making it a junction. A handle Wine already holds keeps naming the removed folder.
// Wine only; false when it did not happen. Undo with remove_unix_symlink.
bool replace_folder_with_unix_symlink(const std::wstring& folder, const std::wstring& target, FolderEntries entries);

// A drive letter of the prefix (a link in its dosdevices folder) that stands for the same
// folder as an existing drive's root, the way a subst drive does; removed again when destroyed.
// False when not under Wine, when the letter is taken or the link cannot be made.
class DriveAlias {
 public:
  DriveAlias(wchar_t letter, wchar_t existing);
  ~DriveAlias();
  DriveAlias(const DriveAlias&) = delete;
  DriveAlias& operator=(const DriveAlias&) = delete;

  explicit operator bool() const { return made_; }

 private:
  std::wstring link_;
  std::wstring root_;
  bool made_ = false;
};

}  // namespace corvane::testing
