#include "services/desktop_shell.h"

#include "services/com_ptr.h"

#include <windows.h>
#include <exdisp.h>
#include <servprov.h>
#include <shldisp.h>
#include <shlguid.h>
#include <shlobj.h>

#include <exception>

namespace corvane {

namespace {

// The desktop window's shell view, its folder view object and that object's application:
// null when any step fails (no desktop, or a shell without these objects).
ComPtr<IShellDispatch2> desktop_shell_dispatch() {
  ComPtr<IShellWindows> windows;
  if (FAILED(CoCreateInstance(CLSID_ShellWindows, nullptr, CLSCTX_LOCAL_SERVER, IID_IShellWindows,
                              reinterpret_cast<void**>(windows.put())))) {
    return {};
  }
  const Variant desktop_location = Variant::from_long(CSIDL_DESKTOP);
  const Variant no_root;
  VARIANT location = desktop_location.get();
  VARIANT root = no_root.get();
  LONG window = 0;
  ComPtr<IDispatch> desktop;
  if (windows->FindWindowSW(&location, &root, SWC_DESKTOP, &window, SWFO_NEEDDISPATCH, desktop.put()) != S_OK ||
      !desktop) {
    return {};
  }
  ComPtr<IServiceProvider> provider;
  if (FAILED(desktop->QueryInterface(IID_IServiceProvider, reinterpret_cast<void**>(provider.put()))) || !provider) {
    return {};
  }
  ComPtr<IShellBrowser> browser;
  if (FAILED(provider->QueryService(SID_STopLevelBrowser, IID_IShellBrowser, reinterpret_cast<void**>(browser.put()))) ||
      !browser) {
    return {};
  }
  ComPtr<IShellView> view;
  if (FAILED(browser->QueryActiveShellView(view.put())) || !view) return {};
  ComPtr<IDispatch> background;
  if (FAILED(view->GetItemObject(SVGIO_BACKGROUND, IID_IDispatch, reinterpret_cast<void**>(background.put()))) ||
      !background) {
    return {};
  }
  ComPtr<IShellFolderViewDual> folder_view;
  if (FAILED(background->QueryInterface(IID_IShellFolderViewDual, reinterpret_cast<void**>(folder_view.put()))) ||
      !folder_view) {
    return {};
  }
  ComPtr<IDispatch> application;
  if (FAILED(folder_view->get_Application(application.put())) || !application) return {};
  ComPtr<IShellDispatch2> shell;
  if (FAILED(application->QueryInterface(IID_IShellDispatch2, reinterpret_cast<void**>(shell.put())))) return {};
  return shell;
}

Outcome unavailable() {
  Outcome outcome;
  outcome.ok = false;
  outcome.message = kDesktopShellUnavailable;
  return outcome;
}

}  // namespace

Outcome desktop_shell_open(const std::wstring& target) {
  // Apartment-threaded where the caller has not chosen; a thread already in the multithreaded
  // apartment keeps it (the change is refused and nothing is undone).
  const ComInitScope com(COINIT_APARTMENTTHREADED);
  try {
    const ComPtr<IShellDispatch2> shell = desktop_shell_dispatch();
    if (!shell) return unavailable();
    const Bstr file(target);
    const Variant none;
    const Variant verb = Variant::from_text(L"open");
    const Variant show = Variant::from_long(SW_SHOWNORMAL);
    // S_FALSE: the shell was reached but could not open the item.
    if (shell->ShellExecute(file.get(), none.get(), none.get(), verb.get(), show.get()) != S_OK) return unavailable();
  } catch (const std::exception&) {
    return unavailable();  // no memory for the request's texts
  }
  return Outcome{};
}

}  // namespace corvane
