#include "engines/product_links.h"

#include <gtest/gtest.h>

#include <string>

#include "engines/update_manifest.h"

namespace corvane {
namespace {

TEST(ProductLinks, ManifestAddressIsTheUpdateHostAndFixedPath) {
  EXPECT_EQ(std::string(UPDATE_MANIFEST_URL), std::string("https://") + UPDATE_HOST + UPDATE_MANIFEST_PATH);
  EXPECT_STREQ(UPDATE_MANIFEST_PATH, "/updates/windows-x64/stable.json");
  EXPECT_TRUE(is_https_url(UPDATE_MANIFEST_URL));
}

TEST(ProductLinks, WebPagesAreHttpsAndTheDonationPageIsUnderTheHomePage) {
  for (const char* url : {PRODUCT_HOME_URL, PRODUCT_DONATE_URL, MAKER_HOME_URL}) {
    EXPECT_TRUE(is_https_url(url)) << url;
  }
  const std::string home = PRODUCT_HOME_URL;
  EXPECT_EQ(std::string(PRODUCT_DONATE_URL), home.substr(0, home.size() - 1) + "/donate");
}

}  // namespace
}  // namespace corvane
