#include "support/scratch.h"

#include <windows.h>

#include <filesystem>
#include <fstream>
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

std::string read_file_bytes(const std::wstring& path, std::uint64_t offset) {
  std::ifstream in(std::filesystem::path(path), std::ios::binary);
  if (!in) return {};
  in.seekg(0, std::ios::end);
  const std::streamoff size = in.tellg();
  if (size < 0 || static_cast<std::uint64_t>(size) <= offset) return {};
  in.seekg(static_cast<std::streamoff>(offset));
  std::string bytes(static_cast<std::size_t>(static_cast<std::uint64_t>(size) - offset), '\0');
  in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  bytes.resize(static_cast<std::size_t>(in.gcount()));
  return bytes;
}

void write_file_bytes(const std::wstring& path, const std::string& bytes) {
  std::ofstream out(std::filesystem::path(path), std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  out.close();
  if (!out) throw std::runtime_error("cannot write test file");
}

}  // namespace corvane::testing
