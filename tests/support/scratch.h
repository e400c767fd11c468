#pragma once
// Throw-away places for tests: a registry key under HKCU\Software\CorvaneTest and a folder
// under the temporary folder, each with a random name and removed again with everything in it.

#include <cstdint>
#include <string>

namespace corvane::testing {

// A fresh random text of hexadecimal digits, for unique names.
std::wstring random_name();

// HKCU\Software\CorvaneTest\<random>. Not created: the first write creates it.
class ScratchKey {
 public:
  ScratchKey();
  ~ScratchKey();
  ScratchKey(const ScratchKey&) = delete;
  ScratchKey& operator=(const ScratchKey&) = delete;

  // Key path below HKEY_CURRENT_USER, e.g. "Software\CorvaneTest\1a2b...".
  const std::wstring& path() const { return path_; }
  // path() + "\" + relative.
  std::wstring sub(const std::wstring& relative) const { return path_ + L"\\" + relative; }

 private:
  std::wstring path_;
};

// %TEMP%\corvane-test-<random>, created at once.
class ScratchFolder {
 public:
  ScratchFolder();
  ~ScratchFolder();
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;

  const std::wstring& path() const { return path_; }
  std::wstring file(const std::wstring& name) const { return path_ + L"\\" + name; }

 private:
  std::wstring path_;
};

// The file's bytes from offset to its end; empty when it cannot be read.
std::string read_file_bytes(const std::wstring& path, std::uint64_t offset = 0);

// Replaces the file with exactly these bytes; throws on failure.
void write_file_bytes(const std::wstring& path, const std::string& bytes);

}  // namespace corvane::testing
