#pragma once
// A place of the shared prefix (a file or a folder such as the DisabledStartup folder or the
// Reports folder) that a test needs empty: while the guard lives nothing is at the path, and
// what was there waits under another name beside it. When the guard goes, whatever the test left
// at the path is removed (a link as a link, never what it leads to) and the original put back.

#include <string>

namespace corvane::testing {

class PathSetAside {
 public:
  // Throws when the path cannot be cleared.
  explicit PathSetAside(std::wstring path);
  ~PathSetAside();
  PathSetAside(const PathSetAside&) = delete;
  PathSetAside& operator=(const PathSetAside&) = delete;

  const std::wstring& path() const { return path_; }
  // Puts a plain file with these bytes at the path (its parent folders made), for example so that
  // a folder cannot be created there. Throws on failure.
  void put_file(const std::string& bytes) const;

 private:
  std::wstring path_;
  std::wstring moved_;  // where the original waits; empty when nothing was there
};

// Removes a file, a link or a folder with everything in it; links to folders inside are removed
// as links. Under Wine a link to a file reads as the file and stays (see unix_link.h): remove it
// with remove_unix_symlink first. Returns false when something is left.
bool remove_path(const std::wstring& path);

}  // namespace corvane::testing
