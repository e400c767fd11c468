#include "support/https_test_server.h"

#include <windows.h>
#include <wincrypt.h>

#include <nlohmann/json.hpp>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <mutex>
#include <stdexcept>

#include "engines/update_download.h"
#include "support/wine.h"

namespace corvane::testing {
namespace {

// A Unix path as the Wine prefix sees it through the Z: drive.
std::string wine_path(std::string unix_path) {
  for (char& c : unix_path) {
    if (c == '/') c = '\\';
  }
  return "Z:" + unix_path;
}

std::string read_whole_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + path);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void trust_in_machine_root_store(const std::string& der) {
  HCERTSTORE store = CertOpenStore(CERT_STORE_PROV_SYSTEM_W, 0, 0, CERT_SYSTEM_STORE_LOCAL_MACHINE, L"Root");
  if (store == nullptr) throw std::runtime_error("cannot open the machine Root store");
  const BOOL added = CertAddEncodedCertificateToStore(
      store, X509_ASN_ENCODING, reinterpret_cast<const BYTE*>(der.data()), static_cast<DWORD>(der.size()),
      CERT_STORE_ADD_REPLACE_EXISTING, nullptr);
  const DWORD error = GetLastError();
  CertCloseStore(store, 0);
  if (!added) throw std::runtime_error("cannot add the test CA: error " + std::to_string(error));
}

HttpsTestServer load_server() {
  if (!running_under_wine()) {
    throw std::runtime_error("the HTTPS tests install a test CA and run only in the private Wine prefix");
  }
  const char* description = std::getenv("CORVANE_TEST_HTTPS_SERVER");
  if (description == nullptr || *description == '\0') {
    throw std::runtime_error("CORVANE_TEST_HTTPS_SERVER is not set: run the tests through 'make test'");
  }
  const nlohmann::json json = nlohmann::json::parse(read_whole_file(wine_path(description)));
  HttpsTestServer server;
  server.https_port = json.at("https_port").get<int>();
  server.untrusted_port = json.at("untrusted_port").get<int>();
  server.wrong_name_port = json.at("wrong_name_port").get<int>();
  server.plain_port = json.at("plain_port").get<int>();
  server.closed_port = json.at("closed_port").get<int>();
  trust_in_machine_root_store(read_whole_file(wine_path(json.at("ca_der").get<std::string>())));
  return server;
}

std::string percent_encode(const std::string& text) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if ((byte >= '0' && byte <= '9') || (byte >= 'a' && byte <= 'z') || (byte >= 'A' && byte <= 'Z')) {
      out.push_back(c);
    } else {
      out += '%';
      out += kHex[byte >> 4];
      out += kHex[byte & 15];
    }
  }
  return out;
}

}  // namespace

std::string HttpsTestServer::url(const std::string& path) const {
  return "https://localhost:" + std::to_string(https_port) + path;
}

const HttpsTestServer& https_test_server() {
  static std::once_flag once;
  static HttpsTestServer server;
  std::call_once(once, [] { server = load_server(); });
  return server;
}

HttpsTestServerLog https_test_server_log(const std::string& path) {
  const std::string body = download_update_manifest(https_test_server().url("/_log?path=" + percent_encode(path)),
                                                    nullptr);
  const nlohmann::json json = nlohmann::json::parse(body);
  HttpsTestServerLog log;
  log.hits = json.at("hits").get<std::uint64_t>();
  log.authorization = json.at("authorization").get<bool>();
  log.bytes_sent = json.at("bytes_sent").get<std::uint64_t>();
  log.plain_connections = json.at("plain_connections").get<std::uint64_t>();
  return log;
}

std::string https_test_pattern(std::size_t size) {
  std::string out(size, '\0');
  for (std::size_t i = 0; i < size; ++i) out[i] = static_cast<char>((i * 7 + 3) % 256);
  return out;
}

}  // namespace corvane::testing
