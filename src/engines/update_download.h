#pragma once
// Fetches the update manifest with one HTTPS GET over WinHTTP: no downgrade to plain HTTP,
// no credentials, no cookies, 5-second time-outs on every blocking call, a size cap, a total
// read deadline, and the cancel flag honoured after every step.

#include <windows.h>
#include <winhttp.h>

#include <chrono>
#include <cstddef>
#include <string>

#include "services/progress.h"

namespace corvane {

inline constexpr char UPDATE_USER_AGENT[] = "Corvane/1.0";
inline constexpr DWORD UPDATE_NETWORK_TIMEOUT_MS = 5000;
inline constexpr std::size_t UPDATE_READ_BUFFER_BYTES = 16384;
inline constexpr std::chrono::milliseconds UPDATE_READ_DEADLINE{20000};

// Returns the body of a 200 response to a GET of url (which must pass is_https_url); the
// program passes UPDATE_MANIFEST_URL. A null cancel means the fetch cannot be stopped.
// Throws std::runtime_error: "Update source must use HTTPS", "Cancelled", "Invalid update source",
// "Network error N", "HTTP N", "Update manifest is too large", "Network timeout", or the text of a
// failed UTF-8 conversion of url.
std::string download_update_manifest(const std::string& url, const CancelFlag* cancel);

// The same with another total read deadline; the two-argument form uses UPDATE_READ_DEADLINE.
std::string download_update_manifest(const std::string& url, const CancelFlag* cancel,
                                     std::chrono::milliseconds read_deadline);

// After each WinHTTP call: "Cancelled" when the flag is set (whatever ok is), else
// "Network error " + GetLastError() when ok is false.
void check_http_step(const CancelFlag* cancel, bool ok);

// WinHttpCloseHandle when handle is not null.
void close_winhttp_handle(HINTERNET handle);

}  // namespace corvane
