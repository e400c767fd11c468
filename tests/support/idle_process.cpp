#include "support/idle_process.h"

#include "support/scratch.h"

#include <windows.h>

#include <filesystem>
#include <vector>

namespace corvane::testing {

namespace {

std::wstring fixture_path() {
  std::vector<wchar_t> buffer(32768);
  const DWORD length = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
  const std::filesystem::path self(std::wstring(buffer.data(), length));
  return (self.parent_path() / L"fixture_idle_process.exe").wstring();
}

}  // namespace

IdleProcess::IdleProcess(const std::wstring& exe_name) {
  wchar_t temp[MAX_PATH + 1] = {};
  GetTempPathW(MAX_PATH + 1, temp);
  folder_ = std::wstring(temp) + L"corvane-idle-" + random_name();
  if (!CreateDirectoryW(folder_.c_str(), nullptr)) return;
  const std::wstring copy = folder_ + L"\\" + exe_name;
  if (!CopyFileW(fixture_path().c_str(), copy.c_str(), TRUE)) return;
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  std::vector<wchar_t> line(copy.begin(), copy.end());
  line.push_back(L'\0');
  if (!CreateProcessW(copy.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
    return;
  }
  CloseHandle(process.hThread);
  process_.reset(process.hProcess);
}

IdleProcess::~IdleProcess() {
  if (process_) {
    TerminateProcess(process_.get(), 0);
    WaitForSingleObject(process_.get(), 10000);
    process_.reset();
  }
  std::error_code ignored;
  std::filesystem::remove_all(folder_, ignored);
}

}  // namespace corvane::testing
