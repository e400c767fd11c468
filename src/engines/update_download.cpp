#include "engines/update_download.h"

#include <windows.h>

#include <memory>
#include <stdexcept>
#include <type_traits>
#include <vector>

#include "engines/update_manifest.h"
#include "services/system_library.h"
#include "services/text.h"

namespace corvane {
namespace {

// winhttp.dll is loaded when an update is first looked for.
struct WinHttpFunctions {
  decltype(&::WinHttpCloseHandle) WinHttpCloseHandle = nullptr;
  decltype(&::WinHttpCrackUrl) WinHttpCrackUrl = nullptr;
  decltype(&::WinHttpOpen) WinHttpOpen = nullptr;
  decltype(&::WinHttpSetTimeouts) WinHttpSetTimeouts = nullptr;
  decltype(&::WinHttpConnect) WinHttpConnect = nullptr;
  decltype(&::WinHttpOpenRequest) WinHttpOpenRequest = nullptr;
  decltype(&::WinHttpSetOption) WinHttpSetOption = nullptr;
  decltype(&::WinHttpSendRequest) WinHttpSendRequest = nullptr;
  decltype(&::WinHttpReceiveResponse) WinHttpReceiveResponse = nullptr;
  decltype(&::WinHttpQueryHeaders) WinHttpQueryHeaders = nullptr;
  decltype(&::WinHttpReadData) WinHttpReadData = nullptr;
};

// The functions, or nullptr with the loader's error kept in error when the library or one of
// them cannot be had.
const WinHttpFunctions* winhttp_functions(DWORD& error) {
  static DWORD load_error = ERROR_SUCCESS;
  static const WinHttpFunctions* const functions = []() -> const WinHttpFunctions* {
    static WinHttpFunctions loaded;
    const HMODULE module = load_system_library(L"winhttp.dll");
    const bool complete = module != nullptr &&
                          find_function(module, "WinHttpCloseHandle", loaded.WinHttpCloseHandle) &&
                          find_function(module, "WinHttpCrackUrl", loaded.WinHttpCrackUrl) &&
                          find_function(module, "WinHttpOpen", loaded.WinHttpOpen) &&
                          find_function(module, "WinHttpSetTimeouts", loaded.WinHttpSetTimeouts) &&
                          find_function(module, "WinHttpConnect", loaded.WinHttpConnect) &&
                          find_function(module, "WinHttpOpenRequest", loaded.WinHttpOpenRequest) &&
                          find_function(module, "WinHttpSetOption", loaded.WinHttpSetOption) &&
                          find_function(module, "WinHttpSendRequest", loaded.WinHttpSendRequest) &&
                          find_function(module, "WinHttpReceiveResponse", loaded.WinHttpReceiveResponse) &&
                          find_function(module, "WinHttpQueryHeaders", loaded.WinHttpQueryHeaders) &&
                          find_function(module, "WinHttpReadData", loaded.WinHttpReadData);
    if (complete) return &loaded;
    load_error = GetLastError();
    return nullptr;
  }();
  error = load_error;
  return functions;
}

[[noreturn]] void throw_network_error(DWORD code);

const WinHttpFunctions& winhttp() {
  DWORD error = ERROR_SUCCESS;
  const WinHttpFunctions* functions = winhttp_functions(error);
  if (functions == nullptr) throw_network_error(error);
  return *functions;
}

struct WinHttpCloser {
  void operator()(HINTERNET handle) const { close_winhttp_handle(handle); }
};
using UniqueInternet = std::unique_ptr<std::remove_pointer_t<HINTERNET>, WinHttpCloser>;

[[noreturn]] void throw_cancelled() {
  throw std::runtime_error("Cancelled");
}

[[noreturn]] void throw_network_error(DWORD code) {
  throw std::runtime_error("Network error " + std::to_string(code));
}

void set_dword_option(HINTERNET handle, DWORD option, DWORD value, const CancelFlag* cancel) {
  check_http_step(cancel, winhttp().WinHttpSetOption(handle, option, &value, sizeof(value)) != FALSE);
}

// Path and query of the address, without any fragment; "/" when both are empty.
std::wstring request_path(const URL_COMPONENTS& parts) {
  std::wstring path(parts.lpszUrlPath != nullptr ? parts.lpszUrlPath : L"", parts.dwUrlPathLength);
  if (parts.lpszExtraInfo != nullptr) path.append(parts.lpszExtraInfo, parts.dwExtraInfoLength);
  const std::size_t fragment = path.find(L'#');
  if (fragment != std::wstring::npos) path.erase(fragment);
  if (path.empty()) path = L"/";
  return path;
}

}  // namespace

void close_winhttp_handle(HINTERNET handle) {
  // A handle comes only from the loaded library, so it is there to close it.
  DWORD error = ERROR_SUCCESS;
  const WinHttpFunctions* functions = winhttp_functions(error);
  if (handle != nullptr && functions != nullptr) functions->WinHttpCloseHandle(handle);
}

void check_http_step(const CancelFlag* cancel, bool ok) {
  const DWORD error = GetLastError();
  if (is_cancelled(cancel)) throw_cancelled();
  if (!ok) throw_network_error(error);
}

std::string download_update_manifest(const std::string& url, const CancelFlag* cancel) {
  return download_update_manifest(url, cancel, UPDATE_READ_DEADLINE);
}

std::string download_update_manifest(const std::string& url, const CancelFlag* cancel,
                                     std::chrono::milliseconds read_deadline) {
  if (!is_https_url(url)) throw std::runtime_error("Update source must use HTTPS");
  if (is_cancelled(cancel)) throw_cancelled();

  const std::wstring wide_url = utf8_to_wide(url);
  URL_COMPONENTS parts{};
  parts.dwStructSize = sizeof(parts);
  parts.dwHostNameLength = static_cast<DWORD>(-1);
  parts.dwUrlPathLength = static_cast<DWORD>(-1);
  parts.dwExtraInfoLength = static_cast<DWORD>(-1);
  check_http_step(cancel, winhttp().WinHttpCrackUrl(wide_url.c_str(), 0, 0, &parts) != FALSE);
  if (parts.nScheme != INTERNET_SCHEME_HTTPS || parts.lpszHostName == nullptr ||
      parts.dwHostNameLength == 0) {
    throw std::runtime_error("Invalid update source");
  }
  const std::wstring host(parts.lpszHostName, parts.dwHostNameLength);
  const std::wstring path = request_path(parts);
  const std::wstring agent = utf8_to_wide(UPDATE_USER_AGENT);

  UniqueInternet session(winhttp().WinHttpOpen(agent.c_str(), WINHTTP_ACCESS_TYPE_AUTOMATIC_PROXY,
                                               WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, 0));
  check_http_step(cancel, session != nullptr);
  const int timeout = static_cast<int>(UPDATE_NETWORK_TIMEOUT_MS);
  check_http_step(cancel, winhttp().WinHttpSetTimeouts(session.get(), timeout, timeout, timeout, timeout) != FALSE);
  // Waiting for the response headers has a time-out of its own (90 s by default, unlimited on
  // some platforms); without this a server that stalls or trickles its headers would hold the
  // check, and Stop, for that long.
  set_dword_option(session.get(), WINHTTP_OPTION_RECEIVE_RESPONSE_TIMEOUT, UPDATE_NETWORK_TIMEOUT_MS,
                   cancel);

  UniqueInternet connection(winhttp().WinHttpConnect(session.get(), host.c_str(), parts.nPort, 0));
  check_http_step(cancel, connection != nullptr);

  LPCWSTR accept_types[] = {L"application/json", nullptr};
  UniqueInternet request(winhttp().WinHttpOpenRequest(connection.get(), L"GET", path.c_str(), nullptr,
                                                      WINHTTP_NO_REFERER, accept_types,
                                                      WINHTTP_FLAG_SECURE | WINHTTP_FLAG_REFRESH));
  check_http_step(cancel, request != nullptr);
  set_dword_option(request.get(), WINHTTP_OPTION_REDIRECT_POLICY,
                   WINHTTP_OPTION_REDIRECT_POLICY_DISALLOW_HTTPS_TO_HTTP, cancel);
  set_dword_option(request.get(), WINHTTP_OPTION_AUTOLOGON_POLICY, WINHTTP_AUTOLOGON_SECURITY_LEVEL_HIGH,
                   cancel);
  set_dword_option(request.get(), WINHTTP_OPTION_DISABLE_FEATURE, WINHTTP_DISABLE_COOKIES, cancel);

  check_http_step(cancel, winhttp().WinHttpSendRequest(request.get(), WINHTTP_NO_ADDITIONAL_HEADERS, 0,
                                                       WINHTTP_NO_REQUEST_DATA, 0, 0, 0) != FALSE);
  check_http_step(cancel, winhttp().WinHttpReceiveResponse(request.get(), nullptr) != FALSE);

  DWORD status = 0;
  DWORD status_size = sizeof(status);
  check_http_step(cancel, winhttp().WinHttpQueryHeaders(
                              request.get(), WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                              WINHTTP_HEADER_NAME_BY_INDEX, &status, &status_size, WINHTTP_NO_HEADER_INDEX) != FALSE);
  if (status != 200) throw std::runtime_error("HTTP " + std::to_string(status));

  std::string body;
  std::vector<char> buffer(UPDATE_READ_BUFFER_BYTES);
  const auto deadline = std::chrono::steady_clock::now() + read_deadline;
  for (;;) {
    DWORD read = 0;
    const BOOL ok = winhttp().WinHttpReadData(request.get(), buffer.data(), static_cast<DWORD>(buffer.size()), &read);
    const DWORD error = GetLastError();
    if (is_cancelled(cancel)) throw_cancelled();
    if (!ok) throw_network_error(error);
    if (read == 0) break;
    if (body.size() + read > MAX_MANIFEST_BYTES) throw std::runtime_error("Update manifest is too large");
    body.append(buffer.data(), read);
    if (std::chrono::steady_clock::now() > deadline) throw std::runtime_error("Network timeout");
  }

  request.reset();
  connection.reset();
  session.reset();
  return body;
}

}  // namespace corvane
