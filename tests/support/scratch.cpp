#include "support/scratch.h"

#include <windows.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <stdexcept>

namespace corvane::testing {

std::wstring random_name() {
  static thread_local std::mt19937_64 engine{std::random_device{}() ^
                                             (static_cast<std::uint64_t>(GetCurrentProcessId()) << 32) ^
                                             GetTickCount64()};
  const std::uint64_t number = engine();
  wchar_t buffer[17] = {};
  for (int i = 0; i < 16; ++i) buffer[i] = L"0123456789abcdef"[(number >> (60 - 4 * i)) & 0xF];
  return buffer;
}

ScratchKey::ScratchKey() : path_(L"Software\\CorvaneTest\\" + random_name()) {}

ScratchKey::~ScratchKey() { RegDeleteTreeW(HKEY_CURRENT_USER, path_.c_str()); }

ScratchFolder::ScratchFolder() {
  path_ = (std::filesystem::temp_directory_path() / (L"corvane-test-" + random_name())).wstring();
  while (!path_.empty() && (path_.back() == L'\\' || path_.back() == L'/')) path_.pop_back();
  std::filesystem::create_directories(path_);
}

ScratchFolder::~ScratchFolder() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

std::string read_file_bytes(const std::wstring& path) {
  std::ifstream in(std::filesystem::path(path), std::ios::binary);
  if (!in) return {};
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void write_file_bytes(const std::wstring& path, const std::string& bytes) {
  std::ofstream out(std::filesystem::path(path), std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  out.close();
  if (!out) throw std::runtime_error("cannot write test file");
}

}  // namespace corvane::testing
