#pragma once
// Reparse points that Wine cannot make, shown through the readers every check of an open folder or
// file goes through (handle_attribute_tag) and every listing of an open folder (listed_attribute_tag):
// for its lifetime, chosen folders and files, and all that lies in such a folder, read as reparse
// points with a chosen tag. Everything else, and the files themselves, stay as they are.

#include "services/pinned_folders.h"

#include <windows.h>

#include <string>

namespace corvane::testing {

// What Windows shows on a folder kept by cloud sync with files on demand, and on each file in it.
inline constexpr DWORD kCloudFilesTag = 0x9000701A;

class ReportedReparseTag {
 public:
  ReportedReparseTag();
  ~ReportedReparseTag();  // the readers as they were
  ReportedReparseTag(const ReportedReparseTag&) = delete;
  ReportedReparseTag& operator=(const ReportedReparseTag&) = delete;

  // From now on path (where it leads now, or as written while it does not exist) and everything
  // below it read with FILE_ATTRIBUTE_REPARSE_POINT and tag; the latest report that covers a
  // place is the one it reads with.
  void report(const std::wstring& path, DWORD tag);

 private:
  AttributeTag (*saved_handle_reader_)(HANDLE);
  AttributeTag (*saved_listing_reader_)(HANDLE, std::wstring_view, AttributeTag);
};

}  // namespace corvane::testing
