// Sends one command to the running Corvane's main window, as its own buttons do, and waits
// until the window has handled it. Used by the screenshot script; not part of the product.
// Usage: post_command.exe ID
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <cstdlib>

int wmain(int argc, wchar_t** argv) {
  if (argc != 2) {
    std::fwprintf(stderr, L"usage: post_command ID\n");
    return 2;
  }
  const int id = static_cast<int>(std::wcstol(argv[1], nullptr, 10));
  HWND window = nullptr;
  for (int attempt = 0; attempt < 100 && window == nullptr; ++attempt) {
    window = FindWindowW(L"Corvane.Main", nullptr);
    if (window == nullptr) Sleep(100);
  }
  if (window == nullptr) {
    std::fwprintf(stderr, L"post_command: no Corvane window\n");
    return 1;
  }
  DWORD_PTR ignored = 0;
  if (SendMessageTimeoutW(window, WM_COMMAND, MAKEWPARAM(id, 0), 0, SMTO_ABORTIFHUNG, 20000, &ignored) == 0) {
    std::fwprintf(stderr, L"post_command: the window did not answer\n");
    return 1;
  }
  return 0;
}
