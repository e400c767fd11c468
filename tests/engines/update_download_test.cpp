#include "engines/update_download.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "engines/update_manifest.h"
#include "support/https_test_server.h"
#include "support/wine.h"

namespace corvane {
namespace {

using testing::https_test_pattern;
using testing::https_test_server;
using testing::https_test_server_log;
using Clock = std::chrono::steady_clock;

// The text a download ends with: its body on success, "error: <text>" on failure.
std::string fetch(const std::string& url, const CancelFlag* cancel = nullptr,
                  std::chrono::milliseconds deadline = UPDATE_READ_DEADLINE) {
  try {
    return download_update_manifest(url, cancel, deadline);
  } catch (const std::runtime_error& error) {
    return std::string("error: ") + error.what();
  }
}

double seconds_since(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

std::string network_error(DWORD code) {
  return "error: Network error " + std::to_string(code);
}

// Wine reports a rejected certificate as a channel error and a time-out as the socket's own
// WSAETIMEDOUT, where Windows gives ERROR_WINHTTP_SECURE_FAILURE and ERROR_WINHTTP_TIMEOUT.
DWORD certificate_rejected_error() {
  return testing::running_under_wine() ? ERROR_WINHTTP_SECURE_CHANNEL_ERROR : ERROR_WINHTTP_SECURE_FAILURE;
}

DWORD timeout_error() {
  constexpr DWORD kSocketTimedOut = 10060;  // WSAETIMEDOUT
  return testing::running_under_wine() ? kSocketTimedOut : ERROR_WINHTTP_TIMEOUT;
}

// Request counts live as long as the server, which outlives one run of this program:
// paths whose hits are counted carry a part of their own.
std::string run_id() {
  static int counter = 0;
  return std::to_string(GetCurrentProcessId()) + "-" + std::to_string(GetTickCount64()) + "-" +
         std::to_string(++counter);
}

// The cases of this suite talk to the HTTPS server that scripts/test.sh starts for the run.
// Without it none of them runs: the suite fails once, before its first case, and says why.
class UpdateDownload : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    try {
      https_test_server();
    } catch (const std::exception& error) {
      FAIL() << "the HTTPS test server is started by scripts/test.sh: " << error.what();
    }
  }
};

TEST_F(UpdateDownload, SendsOneGetWithTheAgentAndAcceptTypeAndNoFragment) {
  const auto& server = https_test_server();
  const std::string query = "/echo?probe=" + run_id();
  const std::string head = fetch(server.url(query + "#fragment-is-not-sent"));
  EXPECT_EQ(head.rfind("GET " + query + " HTTP/1.1\r\n", 0), 0u) << head;
  EXPECT_NE(head.find("\r\nUser-Agent: Corvane/1.0\r\n"), std::string::npos) << head;
  EXPECT_NE(head.find("\r\nAccept: application/json\r\n"), std::string::npos) << head;
  EXPECT_NE(head.find("\r\nHost: localhost:" + std::to_string(server.https_port) + "\r\n"), std::string::npos)
      << head;
  EXPECT_EQ(head.find("Authorization"), std::string::npos) << head;
  EXPECT_EQ(head.find("Cookie"), std::string::npos) << head;
  EXPECT_EQ(https_test_server_log(query).hits, 1u);
}

TEST_F(UpdateDownload, ReturnsTheBodyByteExactAndItParses) {
  const auto& server = https_test_server();
  EXPECT_EQ(fetch(server.url("/bytes/70000")), https_test_pattern(70000));
  EXPECT_EQ(fetch(server.url("/chunked/50001")), https_test_pattern(50001));
  EXPECT_EQ(fetch(server.url("/status/503")), "error: HTTP 503");  // an error page is no manifest

  const UpdateInfo info = parse_update_manifest(download_update_manifest(server.url("/manifest"), nullptr));
  EXPECT_EQ(info.version, "1.2.3");
  EXPECT_EQ(info.url, "https://updates.corvane.app/download/Corvane-1.2.3.exe");
  EXPECT_EQ(info.published_at, "2026-03-01T12:30:00Z");
  EXPECT_EQ(info.sha256, "0123456789abcdef0123456789abcdef0123456789abcdef0123456789abcdef");
  EXPECT_TRUE(info.has_size);
  EXPECT_EQ(info.size, 1536u);
}

TEST_F(UpdateDownload, EveryStatusButTwoHundredIsAnError) {
  const auto& server = https_test_server();
  EXPECT_EQ(fetch(server.url("/status/204")), "error: HTTP 204");
  EXPECT_EQ(fetch(server.url("/status/304")), "error: HTTP 304");
  EXPECT_EQ(fetch(server.url("/status/404")), "error: HTTP 404");
  EXPECT_EQ(fetch(server.url("/status/503")), "error: HTTP 503");
  EXPECT_EQ(fetch(server.url("/status/200")), "status 200");
}

TEST_F(UpdateDownload, AnswersNoAuthenticationChallenge) {
  const auto& server = https_test_server();
  EXPECT_EQ(fetch(server.url("/challenge?case=auth")), "error: HTTP 401");
  const auto log = https_test_server_log("/challenge?case=auth");
  EXPECT_GE(log.hits, 1u);
  EXPECT_FALSE(log.authorization);
}

TEST_F(UpdateDownload, NeverFollowsARedirectToPlainHttp) {
  const auto& server = https_test_server();
  const auto before = https_test_server_log("/redirect-plain");
  // Windows hands back the redirect itself, Wine fails the receive: either way no body.
  const std::string result = fetch(server.url("/redirect-plain"));
  EXPECT_TRUE(result == "error: HTTP 301" || result == network_error(ERROR_WINHTTP_REDIRECT_FAILED)) << result;
  const auto after = https_test_server_log("/redirect-plain");
  EXPECT_EQ(after.hits, before.hits + 1);
  EXPECT_EQ(after.plain_connections, 0u) << "a request reached the plain listener";
}

TEST_F(UpdateDownload, FollowsASecureRedirectWithoutKeepingCookies) {
  const auto& server = https_test_server();
  const std::string head = fetch(server.url("/redirect-secure"));
  EXPECT_EQ(head.rfind("GET /echo?redirected HTTP/1.1\r\n", 0), 0u) << head;
  EXPECT_EQ(head.find("Cookie"), std::string::npos) << head;
}

TEST_F(UpdateDownload, CapsTheBodyAtExactlyTheLimit) {
  const auto& server = https_test_server();
  const std::string limit = std::to_string(MAX_MANIFEST_BYTES);
  const std::string over = std::to_string(MAX_MANIFEST_BYTES + 1);
  EXPECT_EQ(fetch(server.url("/bytes/" + limit)), https_test_pattern(MAX_MANIFEST_BYTES));
  EXPECT_EQ(fetch(server.url("/chunked/" + limit)), https_test_pattern(MAX_MANIFEST_BYTES));
  EXPECT_EQ(fetch(server.url("/bytes/" + over)), "error: Update manifest is too large");
  EXPECT_EQ(fetch(server.url("/chunked/" + over)), "error: Update manifest is too large");
  EXPECT_EQ(fetch(server.url("/bytes/1000000")), "error: Update manifest is too large");
}

TEST_F(UpdateDownload, RefusesUntrustedOrMisnamedCertificatesAndClosedPorts) {
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

TEST_F(UpdateDownload, RefusesAddressesBeforeAnyNetworkStep) {
  const auto& server = https_test_server();
  const std::string plain = "http://localhost:" + std::to_string(server.plain_port) + "/manifest";
  EXPECT_EQ(fetch(plain), "error: Update source must use HTTPS");
  EXPECT_EQ(fetch("HTTPS://localhost/manifest"), "error: Update source must use HTTPS");
  EXPECT_EQ(fetch("https://user@localhost/manifest"), "error: Update source must use HTTPS");
  EXPECT_EQ(fetch(server.url("/caf\xFF")), "error: Invalid UTF-8");
  EXPECT_EQ(https_test_server_log("/manifest").plain_connections, 0u);
}

TEST_F(UpdateDownload, CancelBeforeStartMakesNoRequest) {
  const auto& server = https_test_server();
  CancelFlag cancel{1};
  EXPECT_EQ(fetch(server.url("/manifest?case=cancel-before"), &cancel), "error: Cancelled");
  EXPECT_EQ(fetch("https://localhost:" + std::to_string(server.closed_port) + "/x", &cancel), "error: Cancelled");
  EXPECT_EQ(https_test_server_log("/manifest?case=cancel-before").hits, 0u);
}

TEST_F(UpdateDownload, CancelDuringTheReadStopsAtTheNextChunk) {
  const auto& server = https_test_server();
  const std::string path = "/drip/1000/100/120?case=cancel-mid-" + run_id();
  CancelFlag cancel{0};
  std::string result;
  std::thread worker([&] { result = fetch(server.url(path), &cancel); });
  const auto start = Clock::now();
  while (https_test_server_log(path).bytes_sent < 3000 && seconds_since(start) < 5) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  const auto raised = Clock::now();
  cancel = 1;
  worker.join();
  EXPECT_EQ(result, "error: Cancelled");
  EXPECT_LT(seconds_since(raised), 3.0) << "the drip would take 12 s";
  EXPECT_GE(https_test_server_log(path).bytes_sent, 3000u) << "the body had started to arrive";
}

TEST_F(UpdateDownload, TimeLimitsBoundEveryWait) {
  // Run side by side so the suite pays for the longest one only.
  const auto& server = https_test_server();
  CancelFlag stop{0};
  struct Case {
    std::string path;
    std::chrono::milliseconds deadline;
    const CancelFlag* cancel;
    std::string result;
    double seconds;
  };
  Case cases[] = {
      // A server that never answers: the wait for the response headers gives up after 5 s.
      {"/stall-headers?case=timeout", UPDATE_READ_DEADLINE, nullptr, "", 0},
      // Headers, a few bytes, then silence: the read gives up after 5 s.
      {"/stall-body", UPDATE_READ_DEADLINE, nullptr, "", 0},
      // A steady drip that would take 12 s: the read deadline (shortened here) ends it.
      {"/drip/1000/100/120?case=deadline", std::chrono::milliseconds(2000), nullptr, "", 0},
      // Stop pressed while waiting for headers: honoured when the wait ends, within 5 s.
      {"/stall-headers?case=cancel-" + run_id(), UPDATE_READ_DEADLINE, &stop, "", 0},
  };
  std::vector<std::thread> workers;
  for (Case& c : cases) {
    workers.emplace_back([&server, &c] {
      const auto start = Clock::now();
      c.result = fetch(server.url(c.path), c.cancel, c.deadline);
      c.seconds = seconds_since(start);
    });
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(1000));
  stop = 1;
  for (auto& worker : workers) worker.join();

  EXPECT_EQ(cases[0].result, network_error(timeout_error()));
  EXPECT_GE(cases[0].seconds, 4.5);
  EXPECT_LT(cases[0].seconds, 10.0);
  EXPECT_EQ(cases[1].result, network_error(timeout_error()));
  EXPECT_GE(cases[1].seconds, 4.5);
  EXPECT_LT(cases[1].seconds, 10.0);
  EXPECT_EQ(cases[2].result, "error: Network timeout");
  EXPECT_GE(cases[2].seconds, 2.0);
  EXPECT_LT(cases[2].seconds, 6.0) << "the drip would take 12 s";
  EXPECT_EQ(cases[3].result, "error: Cancelled");
  EXPECT_LT(cases[3].seconds, 10.0);
  EXPECT_EQ(https_test_server_log(cases[3].path).hits, 1u) << "the request was under way";
}

TEST(CheckHttpStep, CancelWinsOverSuccessAndFailureCarriesTheLastError) {
  CancelFlag cancel{0};
  EXPECT_NO_THROW(check_http_step(&cancel, true));
  SetLastError(ERROR_WINHTTP_TIMEOUT);
  try {
    check_http_step(&cancel, false);
    ADD_FAILURE() << "no error";
  } catch (const std::runtime_error& error) {
    EXPECT_STREQ(error.what(), "Network error 12002");
  }
  cancel = 1;
  for (bool ok : {true, false}) {
    SetLastError(ERROR_WINHTTP_TIMEOUT);
    try {
      check_http_step(&cancel, ok);
      ADD_FAILURE() << "no error";
    } catch (const std::runtime_error& error) {
      EXPECT_STREQ(error.what(), "Cancelled");
    }
  }
  close_winhttp_handle(nullptr);  // a null handle is ignored
}

}  // namespace
}  // namespace corvane
