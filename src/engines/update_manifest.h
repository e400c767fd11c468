#pragma once
// The update manifest: its validated form, the strict parser and the checks it relies on.
// Pure functions of their input; every refusal is a std::runtime_error with a short English text.

#include <nlohmann/json_fwd.hpp>

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace corvane {

// Largest manifest body in bytes, both when downloading and when parsing.
inline constexpr std::size_t MAX_MANIFEST_BYTES = 131072;
// Longest address in bytes.
inline constexpr std::size_t MAX_URL_LENGTH = 16384;
// The program's own version.
inline constexpr char CURRENT_VERSION[] = "1.0.0";

// A manifest that passed every check.
struct UpdateInfo {
  std::string version;       // a valid version triplet
  std::string url;           // passes is_https_url
  std::string published_at;  // RFC 3339 as given, or empty
  std::string sha256;        // 64 lower-case hexadecimal digits, or empty
  std::uint64_t size = 0;    // meaningful only when has_size
  bool has_size = false;
};

struct VersionTriplet {
  std::uint32_t major = 0;
  std::uint32_t minor = 0;
  std::uint32_t patch = 0;
};

// Validates a manifest body (UTF-8 JSON object).
UpdateInfo parse_update_manifest(std::string_view body);

// A string field of the manifest: absent gives "" when optional; present, it must be a string of
// 1 to max_length printable bytes (at least 0x20 and not 0x7F).
std::string manifest_string_field(const nlohmann::json& document, const std::string& key,
                                  std::size_t max_length, bool required);

// "major.minor.patch", each a run of ASCII digits that fits in 32 bits.
VersionTriplet parse_version_triplet(std::string_view text);

// True when candidate is a greater triplet than current; throws on a bad text.
bool version_is_newer(std::string_view candidate, std::string_view current);

// Syntactic check of an https address: scheme, no user information, host or bracketed literal,
// optional port 1-65535, no control byte, space or backslash, at most MAX_URL_LENGTH bytes.
bool is_https_url(std::string_view url);

// RFC 3339 date-time with a 'T', seconds, an optional fraction and a 'Z' or +hh:mm / -hh:mm zone.
bool is_rfc3339_date_time(std::string_view text);

// Decimal value of count ASCII digits at position; 0 when count is 0, -1 when one is missing.
int parse_two_digits(std::string_view text, std::size_t position, std::size_t count);

// Days of a month (1-12) in the proleptic Gregorian calendar.
int days_in_month(int year, int month);

}  // namespace corvane
