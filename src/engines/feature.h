#pragma once
// The feature catalogue: the Windows settings and tools that the feature pages offer.

#include "services/registry_value.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace corvane {

// The numbers of the four main-window pages that list catalogue entries (the user interface
// names them PAGE_CUSTOMIZATION, PAGE_PRIVACY, PAGE_PERFORMANCE and PAGE_ADVANCED).
inline constexpr int kPageCustomization = 2;
inline constexpr int kPagePrivacy = 3;
inline constexpr int kPagePerformance = 5;
inline constexpr int kPageAdvanced = 6;

// Groups of the customization page; entries of other pages keep kGroupOther.
inline constexpr int kGroupDesktop = 0;
inline constexpr int kGroupTaskbar = 1;
inline constexpr int kGroupStart = 2;
inline constexpr int kGroupSystemTray = 3;
inline constexpr int kGroupFileExplorer = 4;
inline constexpr int kGroupColors = 5;
inline constexpr int kGroupOther = 6;

// A user-interface text: {Vietnamese, English}.
using TextPair = std::pair<std::wstring, std::wstring>;

// One value that a choice entry offers.
struct FeatureChoice {
  std::wstring label_vi;
  std::wstring label_en;
  ValueState value;
};

// One catalogue entry. Its kind follows from the fields: a link ("ms-settings:" action),
// a built-in action ("@" action), a choice setting (choices) or a plain registry setting.
struct Feature {
  std::string id;
  int page = kPageCustomization;
  std::wstring title_vi;
  std::wstring title_en;
  std::wstring description_vi;
  std::wstring description_en;
  std::vector<RegistryValue> changes;
  bool needs_admin = false;
  std::uint32_t min_build = 10240;
  std::uint32_t max_build = 0;  // 0: no upper bound
  bool restart_required = false;
  std::wstring action;
  int group = kGroupOther;
  std::vector<FeatureChoice> choices;
  std::uint32_t win11_min_build = 0;  // applies only from build 22000 on; 0: none

  // Whether the entry is offered on this Windows build (0 when the build is unknown).
  bool supported_on(std::uint32_t build) const;

  // The changes with the single change's value replaced by choice `index`;
  // throws std::out_of_range("Invalid setting choice").
  std::vector<RegistryValue> changes_for_choice(std::size_t index) const;
};

// The catalogue, built once on first use and read-only afterwards.
const std::vector<Feature>& feature_catalogue();

// Builds a fresh catalogue: the base entries, then the customization rework and sort.
std::vector<Feature> build_feature_catalogue();

// Reworks the base customization entries, appends the rest of that page and sorts.
void add_customization_features(std::vector<Feature>& catalogue);

// Adders with their defaults.
void add_registry_setting(std::vector<Feature>& catalogue, std::string id, int page, TextPair titles,
                          TextPair descriptions, std::wstring key, std::wstring name, ValueState value,
                          std::uint32_t hive, std::uint32_t min_build, bool restart_required);
void add_action_setting(std::vector<Feature>& catalogue, std::string id, int page, TextPair titles,
                        TextPair descriptions, std::wstring action);
void add_choice_setting(std::vector<Feature>& catalogue, std::string id, int group, TextPair titles,
                        TextPair descriptions, std::wstring key, std::wstring name,
                        std::vector<FeatureChoice> choices, std::uint32_t min_build, std::uint32_t max_build,
                        std::uint32_t win11_min_build);
void add_link_setting(std::vector<Feature>& catalogue, std::string id, int group, TextPair titles,
                      TextPair descriptions, std::wstring uri);
void add_desktop_icon_setting(std::vector<Feature>& catalogue, std::wstring key, std::string id, TextPair titles,
                              std::wstring clsid);

// Heading of a customization group; "Other" for any unknown group.
TextPair customization_group_label(int group);

}  // namespace corvane
