#include "support/common_controls.h"

#include <windows.h>
#include <commctrl.h>

#include <string>

namespace corvane::testing {

namespace {

constexpr char kManifest[] =
    "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\r\n"
    "<assembly xmlns=\"urn:schemas-microsoft-com:asm.v1\" manifestVersion=\"1.0\">\r\n"
    "  <dependency><dependentAssembly>\r\n"
    "    <assemblyIdentity type=\"win32\" name=\"Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\"\r\n"
    "        processorArchitecture=\"*\" publicKeyToken=\"6595b64144ccf1df\" language=\"*\"/>\r\n"
    "  </dependentAssembly></dependency>\r\n"
    "</assembly>\r\n";

bool activate() {
  wchar_t folder[MAX_PATH] = {};
  if (GetTempPathW(MAX_PATH, folder) == 0) return false;
  const std::wstring path = std::wstring(folder) + L"corvane-test-cc6-" + std::to_wstring(GetCurrentProcessId()) +
                            L".manifest";
  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  const BOOL wrote = WriteFile(file, kManifest, sizeof(kManifest) - 1, &written, nullptr);
  CloseHandle(file);
  if (!wrote) return false;

  ACTCTXW context{};
  context.cbSize = sizeof(context);
  context.lpSource = path.c_str();
  HANDLE activation = CreateActCtxW(&context);
  DeleteFileW(path.c_str());
  if (activation == INVALID_HANDLE_VALUE) return false;
  ULONG_PTR cookie = 0;
  // Kept active (and the context alive) until the process ends.
  if (!ActivateActCtx(activation, &cookie)) return false;
  INITCOMMONCONTROLSEX init{};
  init.dwSize = sizeof(init);
  init.dwICC = ICC_STANDARD_CLASSES | ICC_WIN95_CLASSES | ICC_LISTVIEW_CLASSES;
  InitCommonControlsEx(&init);
  return true;
}

}  // namespace

bool activate_common_controls_v6() {
  static const bool active = activate();
  return active;
}

}  // namespace corvane::testing
