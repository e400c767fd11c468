#include "engines/update_manifest.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <stdexcept>
#include <string>

namespace corvane {
namespace {

using nlohmann::json;

json valid_manifest() {
  return json{{"version", "1.4.2"},
              {"url", "https://updates.corvane.app/download/Corvane-1.4.2-x64.exe"},
              {"published_at", "2026-11-30T08:15:00+07:00"},
              {"sha256", "9f86d081884c7d659a2feaa0c55ad015a3bf4f1b2b0b822cd15d6c15b0f00a08"},
              {"size", 4194304}};
}

// The manifest with one key replaced, or removed when value is the string "<absent>".
std::string with(const std::string& key, const json& value) {
  json manifest = valid_manifest();
  if (value.is_string() && value.get<std::string>() == "<absent>") {
    manifest.erase(key);
  } else {
    manifest[key] = value;
  }
  return manifest.dump();
}

std::string parse_error(const std::string& body) {
  try {
    parse_update_manifest(body);
  } catch (const std::runtime_error& error) {
    return error.what();
  }
  return "accepted";
}

TEST(VersionTriplet, NewerComparesPartsAsNumbers) {
  EXPECT_TRUE(version_is_newer("1.0.10", "1.0.9"));
  EXPECT_FALSE(version_is_newer("1.0.9", "1.0.10"));
  EXPECT_FALSE(version_is_newer("01.0.000", "1.0.0"));
  EXPECT_FALSE(version_is_newer("1.2.0", "1.10.0"));
  EXPECT_TRUE(version_is_newer("1.1.0", "1.0.4294967295"));
  EXPECT_TRUE(version_is_newer("1.0.1", CURRENT_VERSION));
  EXPECT_THROW(version_is_newer("1.0.0", "current"), std::runtime_error);
}

TEST(ParseUpdateManifest, CapsTheBodyAtExactlyTheLimit) {
  const std::string compact = valid_manifest().dump();
  const std::string exact = compact + std::string(MAX_MANIFEST_BYTES - compact.size(), ' ');
  ASSERT_EQ(exact.size(), MAX_MANIFEST_BYTES);
  EXPECT_EQ(parse_update_manifest(exact).version, "1.4.2");
  EXPECT_EQ(parse_error(exact + " "), "Update manifest is too large");
  EXPECT_EQ(parse_error(std::string(MAX_MANIFEST_BYTES + 1, 'x')), "Update manifest is too large");
  // The JSON library would stop at a NUL byte and take the part before it.
  EXPECT_EQ(parse_error(compact + std::string(1, '\0') + "garbage"), "Invalid update manifest");
}

TEST(ParseUpdateManifest, RequiresVersionAndUrlAsNonEmptyPrintableStrings) {
  EXPECT_EQ(parse_error("{}"), "Missing update field: version");
  EXPECT_EQ(parse_error(with("version", "<absent>")), "Missing update field: version");
  EXPECT_EQ(parse_error(with("url", "<absent>")), "Missing update field: url");
  for (const json& wrong : {json(nullptr), json(1), json(1.0), json(true), json::array({"1.0.0"}),
                            json::object({{"v", "1.0.0"}}), json(""), json("1.0\x01.0"), json("1.0.0\x7F")}) {
    EXPECT_EQ(parse_error(with("version", wrong)), "Invalid update field: version") << wrong.dump();
    EXPECT_EQ(parse_error(with("url", wrong)), "Invalid update field: url") << wrong.dump();
  }
  EXPECT_EQ(parse_error(with("version", "1.0.0.0")), "Invalid update manifest");
  EXPECT_EQ(parse_error(with("version", std::string(35, '0') + "1.0.0")), "accepted");
  EXPECT_EQ(parse_error(with("version", std::string(36, '0') + "1.0.0")), "Invalid update field: version");

  for (const char* url : {"http://corvane.app/d", "https://user@corvane.app/d", "https://corvane.app/a b"}) {
    EXPECT_EQ(parse_error(with("url", url)), "Update download URL must use HTTPS") << url;
  }
  EXPECT_EQ(parse_error(with("url", "https://corvane.app/\t")), "Invalid update field: url");
  const std::string longest = "https://corvane.app/" + std::string(MAX_URL_LENGTH - 20, 'a');
  EXPECT_EQ(parse_error(with("url", longest)), "accepted");
  EXPECT_EQ(parse_error(with("url", longest + "a")), "Invalid update field: url");
}

}  // namespace
}  // namespace corvane
