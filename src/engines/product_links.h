#pragma once
// The product's fixed web addresses, all in one place.

namespace corvane {

// The update server and the manifest it publishes.
inline constexpr char UPDATE_HOST[] = "updates.corvane.app";
inline constexpr char UPDATE_MANIFEST_PATH[] = "/updates/windows-x64/stable.json";
inline constexpr char UPDATE_MANIFEST_URL[] = "https://updates.corvane.app/updates/windows-x64/stable.json";

// Pages opened in the user's browser.
inline constexpr char PRODUCT_HOME_URL[] = "https://corvane.app/";
inline constexpr char PRODUCT_DONATE_URL[] = "https://corvane.app/donate";
inline constexpr char MAKER_HOME_URL[] = "https://halbrook.dev/";

}  // namespace corvane
