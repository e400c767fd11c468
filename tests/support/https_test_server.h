#pragma once
// The local HTTPS server that scripts/test.sh runs for the duration of a test run
// (tests/support/https_test_server.py describes its listeners and paths).

#include <cstdint>
#include <string>

namespace corvane::testing {

struct HttpsTestServer {
  int https_port = 0;       // certificate for localhost from the test CA
  int untrusted_port = 0;   // self-signed certificate for localhost
  int wrong_name_port = 0;  // test CA, but issued to another name
  int plain_port = 0;       // plain TCP listener that counts connections
  int closed_port = 0;      // refuses connections

  // "https://localhost:<https_port>" followed by path.
  std::string url(const std::string& path) const;
};

// What the server saw for one path (with its query) so far.
struct HttpsTestServerLog {
  std::uint64_t hits = 0;
  bool authorization = false;  // some request for the path carried credentials
  std::uint64_t bytes_sent = 0;
  std::uint64_t plain_connections = 0;  // connections to the plain listener, all paths
};

// Reads the description named by CORVANE_TEST_HTTPS_SERVER and, once per process, trusts the
// test CA in the Wine prefix's machine Root store. Throws std::runtime_error when the variable
// is missing (the tests were not started by `make test`) or when not running under Wine.
const HttpsTestServer& https_test_server();

// Asks the server what it saw for path.
HttpsTestServerLog https_test_server_log(const std::string& path);

// The server's pattern body: byte i is (i * 7 + 3) mod 256.
std::string https_test_pattern(std::size_t size);

}  // namespace corvane::testing
