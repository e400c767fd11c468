#include "engines/update_manifest.h"

#include <nlohmann/json.hpp>

#include <stdexcept>

namespace corvane {
namespace {

constexpr std::size_t kHttpsPrefixLength = 8;  // "https://"

bool is_ascii_digit(char c) {
  return c >= '0' && c <= '9';
}

bool is_hex_digit(char c) {
  return is_ascii_digit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

bool is_printable(std::string_view text) {
  for (char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7F) return false;
  }
  return true;
}

// A run of digits that fits in 32 bits, nothing else.
bool parse_u32(std::string_view text, std::uint32_t& value) {
  if (text.empty()) return false;
  std::uint64_t result = 0;
  for (char c : text) {
    if (!is_ascii_digit(c)) return false;
    result = result * 10 + static_cast<std::uint64_t>(c - '0');
    if (result > 0xFFFFFFFFull) return false;
  }
  value = static_cast<std::uint32_t>(result);
  return true;
}

bool is_valid_port(std::string_view text) {
  std::uint32_t port = 0;
  return parse_u32(text, port) && port >= 1 && port <= 65535;
}

bool is_host_character(char c) {
  return is_ascii_digit(c) || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '-' || c == '.';
}

[[noreturn]] void throw_invalid_manifest() {
  throw std::runtime_error("Invalid update manifest");
}

int compare_triplets(const VersionTriplet& a, const VersionTriplet& b) {
  if (a.major != b.major) return a.major < b.major ? -1 : 1;
  if (a.minor != b.minor) return a.minor < b.minor ? -1 : 1;
  if (a.patch != b.patch) return a.patch < b.patch ? -1 : 1;
  return 0;
}

// "+hh:mm" or "-hh:mm" filling exactly the rest of the text from position.
bool is_numeric_zone(std::string_view text, std::size_t position) {
  if (text.size() != position + 6) return false;
  if (text[position] != '+' && text[position] != '-') return false;
  if (text[position + 3] != ':') return false;
  const int hours = parse_two_digits(text, position + 1, 2);
  const int minutes = parse_two_digits(text, position + 4, 2);
  return hours >= 0 && hours <= 23 && minutes >= 0 && minutes <= 59;
}

}  // namespace

int parse_two_digits(std::string_view text, std::size_t position, std::size_t count) {
  if (count == 0) return 0;
  if (position > text.size() || count > text.size() - position) return -1;
  int value = 0;
  for (std::size_t i = 0; i < count; ++i) {
    const char c = text[position + i];
    if (!is_ascii_digit(c)) return -1;
    value = value * 10 + (c - '0');
  }
  return value;
}

int days_in_month(int year, int month) {
  static constexpr int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (month < 1 || month > 12) return 0;
  if (month == 2) {
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return leap ? 29 : 28;
  }
  return kDays[month - 1];
}

bool is_rfc3339_date_time(std::string_view text) {
  if (text.size() < 20) return false;
  if (text[4] != '-' || text[7] != '-' || text[10] != 'T' || text[13] != ':' || text[16] != ':') {
    return false;
  }
  const int year = parse_two_digits(text, 0, 4);
  const int month = parse_two_digits(text, 5, 2);
  const int day = parse_two_digits(text, 8, 2);
  const int hour = parse_two_digits(text, 11, 2);
  const int minute = parse_two_digits(text, 14, 2);
  const int second = parse_two_digits(text, 17, 2);
  if (year < 1 || month < 1 || month > 12) return false;
  if (day < 1 || day > days_in_month(year, month)) return false;
  if (hour < 0 || hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 59) return false;

  std::size_t p = 19;
  if (text[p] == '.') {
    ++p;
    const std::size_t digits_start = p;
    while (p < text.size() && is_ascii_digit(text[p])) ++p;
    if (p == digits_start) return false;
  }
  if (p >= text.size()) return false;
  if (text[p] == 'Z') return p + 1 == text.size();
  return is_numeric_zone(text, p);
}

bool is_https_url(std::string_view url) {
  if (url.size() > MAX_URL_LENGTH || url.size() < 9) return false;
  if (url.substr(0, kHttpsPrefixLength) != "https://") return false;
  for (char c : url) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x21 || byte == 0x7F || c == '\\') return false;
  }

  const std::string_view rest = url.substr(kHttpsPrefixLength);
  const std::string_view authority = rest.substr(0, rest.find_first_of("/?#"));
  if (authority.empty() || authority.find('@') != std::string_view::npos) return false;

  if (authority.front() == '[') {
    const std::size_t close = authority.find(']');
    if (close == std::string_view::npos || close == 1) return false;
    const std::string_view after = authority.substr(close + 1);
    if (after.empty()) return true;
    return after.front() == ':' && is_valid_port(after.substr(1));
  }

  const std::size_t colon = authority.find(':');
  const std::string_view host = authority.substr(0, colon);
  if (host.empty()) return false;
  for (char c : host) {
    if (!is_host_character(c)) return false;
  }
  return colon == std::string_view::npos || is_valid_port(authority.substr(colon + 1));
}

VersionTriplet parse_version_triplet(std::string_view text) {
  const std::size_t first = text.find('.');
  if (first == std::string_view::npos) throw_invalid_manifest();
  const std::size_t second = text.find('.', first + 1);
  if (second == std::string_view::npos) throw_invalid_manifest();
  if (text.find('.', second + 1) != std::string_view::npos) throw_invalid_manifest();

  VersionTriplet triplet;
  if (!parse_u32(text.substr(0, first), triplet.major) ||
      !parse_u32(text.substr(first + 1, second - first - 1), triplet.minor) ||
      !parse_u32(text.substr(second + 1), triplet.patch)) {
    throw_invalid_manifest();
  }
  return triplet;
}

bool version_is_newer(std::string_view candidate, std::string_view current) {
  const VersionTriplet current_triplet = parse_version_triplet(current);
  const VersionTriplet candidate_triplet = parse_version_triplet(candidate);
  return compare_triplets(candidate_triplet, current_triplet) > 0;
}

std::string manifest_string_field(const nlohmann::json& document, const std::string& key,
                                  std::size_t max_length, bool required) {
  const auto found = document.find(key);
  if (found == document.end()) {
    if (required) throw std::runtime_error("Missing update field: " + key);
    return {};
  }
  if (!found->is_string()) throw std::runtime_error("Invalid update field: " + key);
  const std::string& text = found->get_ref<const std::string&>();
  if (text.empty() || text.size() > max_length || !is_printable(text)) {
    throw std::runtime_error("Invalid update field: " + key);
  }
  return text;
}

UpdateInfo parse_update_manifest(std::string_view body) {
  if (body.size() > MAX_MANIFEST_BYTES) throw std::runtime_error("Update manifest is too large");
  // The JSON library stops at a NUL byte as if the input ended there; no JSON text contains one.
  if (body.find('\0') != std::string_view::npos) throw_invalid_manifest();
  const nlohmann::json document =
      nlohmann::json::parse(body.begin(), body.end(), nullptr, /*allow_exceptions=*/false,
                            /*ignore_comments=*/false);
  if (document.is_discarded() || !document.is_object()) throw_invalid_manifest();

  UpdateInfo info;
  info.version = manifest_string_field(document, "version", 40, true);
  parse_version_triplet(info.version);

  info.url = manifest_string_field(document, "url", MAX_URL_LENGTH, true);
  if (!is_https_url(info.url)) throw std::runtime_error("Update download URL must use HTTPS");

  info.published_at = manifest_string_field(document, "published_at", 40, false);

  info.sha256 = manifest_string_field(document, "sha256", 64, false);
  if (!info.sha256.empty()) {
    if (info.sha256.size() != 64) throw std::runtime_error("Invalid update SHA256");
    for (char& c : info.sha256) {
      if (!is_hex_digit(c)) throw std::runtime_error("Invalid update SHA256");
      if (c >= 'A' && c <= 'F') c = static_cast<char>(c - 'A' + 'a');
    }
  }

  if (!info.published_at.empty() && !is_rfc3339_date_time(info.published_at)) {
    throw std::runtime_error("Invalid update publication date (expected RFC 3339)");
  }

  const auto size = document.find("size");
  if (size != document.end()) {
    if (!size->is_number_unsigned() || size->get<std::uint64_t>() == 0) {
      throw std::runtime_error("Invalid update size (expected a positive byte count)");
    }
    info.size = size->get<std::uint64_t>();
    info.has_size = true;
  }
  return info;
}

}  // namespace corvane
