#include "engines/update_download.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

#include "engines/update_manifest.h"
#include "support/https_test_server.h"
#include "support/wine.h"

namespace corvane {
namespace {

using testing::https_test_pattern;
using testing::https_test_server;
using testing::https_test_server_log;

// The text a download ends with: its body on success, "error: <text>" on failure.
std::string fetch(const std::string& url) {
  try {
    return download_update_manifest(url, nullptr);
  } catch (const std::runtime_error& error) {
    return std::string("error: ") + error.what();
  }
}

std::string network_error(DWORD code) {
  return "error: Network error " + std::to_string(code);
}

// Wine reports a rejected certificate as a channel error and a time-out as the socket's own
// WSAETIMEDOUT, where Windows gives ERROR_WINHTTP_SECURE_FAILURE and ERROR_WINHTTP_TIMEOUT.
DWORD certificate_rejected_error() {
  return testing::running_under_wine() ? ERROR_WINHTTP_SECURE_CHANNEL_ERROR : ERROR_WINHTTP_SECURE_FAILURE;
}

TEST(UpdateDownload, ReturnsTheBodyByteExactAndItParses) {
  const auto& server = https_test_server();
  EXPECT_EQ(fetch(server.url("/bytes/70000")), https_test_pattern(70000));
  EXPECT_EQ(fetch(server.url("/chunked/50001")), https_test_pattern(50001));
  EXPECT_EQ(fetch(server.url("/status/503")), "error: HTTP 503");  // an error page is no manifest

  const UpdateInfo info = parse_update_manifest(download_update_manifest(server.url("/manifest"), nullptr));
  EXPECT_EQ(info.version, "1.2.3");
  EXPECT_EQ(info.size, 1536u);
}

TEST(UpdateDownload, NeverFollowsARedirectToPlainHttp) {
  const auto& server = https_test_server();
  const auto before = https_test_server_log("/redirect-plain");
  // Windows hands back the redirect itself, Wine fails the receive: either way no body.
  const std::string result = fetch(server.url("/redirect-plain"));
  EXPECT_TRUE(result == "error: HTTP 301" || result == network_error(ERROR_WINHTTP_REDIRECT_FAILED)) << result;
  const auto after = https_test_server_log("/redirect-plain");
  EXPECT_EQ(after.hits, before.hits + 1);
  EXPECT_EQ(after.plain_connections, 0u) << "a request reached the plain listener";
}

TEST(UpdateDownload, CapsTheBodyAtExactlyTheLimit) {
  const auto& server = https_test_server();
  const std::string limit = std::to_string(MAX_MANIFEST_BYTES);
  const std::string over = std::to_string(MAX_MANIFEST_BYTES + 1);
  EXPECT_EQ(fetch(server.url("/bytes/" + limit)), https_test_pattern(MAX_MANIFEST_BYTES));
  EXPECT_EQ(fetch(server.url("/chunked/" + limit)), https_test_pattern(MAX_MANIFEST_BYTES));
  EXPECT_EQ(fetch(server.url("/bytes/" + over)), "error: Update manifest is too large");
  EXPECT_EQ(fetch(server.url("/chunked/" + over)), "error: Update manifest is too large");
  EXPECT_EQ(fetch(server.url("/bytes/1000000")), "error: Update manifest is too large");
}

TEST(UpdateDownload, RefusesUntrustedOrMisnamedCertificatesAndClosedPorts) {
  const auto& server = https_test_server();
  const auto on_port = [](int port, const std::string& path) {
    return "https://localhost:" + std::to_string(port) + path;
  };
  const std::string rejected = network_error(certificate_rejected_error());
  EXPECT_EQ(fetch(on_port(server.untrusted_port, "/manifest?case=untrusted")), rejected);
  EXPECT_EQ(fetch(on_port(server.wrong_name_port, "/manifest?case=wrong-name")), rejected);
  EXPECT_EQ(fetch("https://127.0.0.1:" + std::to_string(server.https_port) + "/manifest?case=by-address"), rejected)
      << "the certificate names localhost, not the address";
  EXPECT_EQ(fetch(on_port(server.closed_port, "/manifest")), network_error(ERROR_WINHTTP_CANNOT_CONNECT));
  for (const char* path : {"/manifest?case=untrusted", "/manifest?case=wrong-name", "/manifest?case=by-address"}) {
    EXPECT_EQ(https_test_server_log(path).hits, 0u) << path << " was requested over a rejected channel";
  }
}

}  // namespace
}  // namespace corvane
