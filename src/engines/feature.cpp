#include "engines/feature.h"

#include <stdexcept>

namespace corvane {

bool Feature::supported_on(std::uint32_t build) const {
  if (build < min_build) return false;
  if (max_build != 0 && build > max_build) return false;
  if (build < 22000) return true;
  return win11_min_build == 0 || build >= win11_min_build;
}

std::vector<RegistryValue> Feature::changes_for_choice(std::size_t index) const {
  if (changes.size() != 1 || index >= choices.size()) throw std::out_of_range("Invalid setting choice");
  std::vector<RegistryValue> result = changes;
  result.front().value = choices[index].value;
  return result;
}

const std::vector<Feature>& feature_catalogue() {
  static const std::vector<Feature> catalogue = build_feature_catalogue();
  return catalogue;
}

namespace {

// The fields every adder sets the same way; the rest keep the defaults of Feature.
Feature described_feature(std::string id, int page, TextPair titles, TextPair descriptions) {
  Feature feature;
  feature.id = std::move(id);
  feature.page = page;
  feature.title_vi = std::move(titles.first);
  feature.title_en = std::move(titles.second);
  feature.description_vi = std::move(descriptions.first);
  feature.description_en = std::move(descriptions.second);
  return feature;
}

}  // namespace

void add_registry_setting(std::vector<Feature>& catalogue, std::string id, int page, TextPair titles,
                          TextPair descriptions, std::wstring key, std::wstring name, ValueState value,
                          std::uint32_t hive, std::uint32_t min_build, bool restart_required) {
  Feature feature = described_feature(std::move(id), page, std::move(titles), std::move(descriptions));
  feature.changes.push_back(RegistryValue{hive, std::move(key), std::move(name), std::move(value)});
  feature.needs_admin = hive != kHiveCurrentUser;
  feature.min_build = min_build;
  feature.max_build = 0;
  feature.restart_required = restart_required;
  feature.group = kGroupOther;
  feature.win11_min_build = 0;
  catalogue.push_back(std::move(feature));
}

void add_action_setting(std::vector<Feature>& catalogue, std::string id, int page, TextPair titles,
                        TextPair descriptions, std::wstring action) {
  Feature feature = described_feature(std::move(id), page, std::move(titles), std::move(descriptions));
  feature.needs_admin = false;
  feature.min_build = 10240;
  feature.max_build = 0;
  feature.restart_required = false;
  feature.action = std::move(action);
  feature.group = kGroupOther;
  feature.win11_min_build = 0;
  catalogue.push_back(std::move(feature));
}

void add_choice_setting(std::vector<Feature>& catalogue, std::string id, int group, TextPair titles,
                        TextPair descriptions, std::wstring key, std::wstring name,
                        std::vector<FeatureChoice> choices, std::uint32_t min_build, std::uint32_t max_build,
                        std::uint32_t win11_min_build) {
  Feature feature =
      described_feature(std::move(id), kPageCustomization, std::move(titles), std::move(descriptions));
  const ValueState held = choices.empty() ? ValueState{} : choices.front().value;
  feature.changes.push_back(RegistryValue{kHiveCurrentUser, std::move(key), std::move(name), held});
  feature.needs_admin = false;
  feature.min_build = min_build;
  feature.max_build = max_build;
  feature.restart_required = true;
  feature.group = group;
  feature.choices = std::move(choices);
  feature.win11_min_build = win11_min_build;
  catalogue.push_back(std::move(feature));
}

void add_link_setting(std::vector<Feature>& catalogue, std::string id, int group, TextPair titles,
                      TextPair descriptions, std::wstring uri) {
  add_action_setting(catalogue, std::move(id), kPageCustomization, std::move(titles), std::move(descriptions),
                     std::move(uri));
  catalogue.back().group = group;
}

void add_desktop_icon_setting(std::vector<Feature>& catalogue, std::wstring key, std::string id, TextPair titles,
                              std::wstring clsid) {
  std::vector<FeatureChoice> choices{
      {L"Hiện", L"Show", make_dword_value(0)},
      {L"Ẩn", L"Hide", make_dword_value(1)},
  };
  add_choice_setting(catalogue, std::move(id), kGroupDesktop, std::move(titles),
                     {L"Hiện hoặc ẩn biểu tượng hệ thống trên Desktop; không xóa dữ liệu.",
                      L"Show or hide this desktop system icon without removing its data."},
                     std::move(key), std::move(clsid), std::move(choices), 10240, 0, 0);
}

TextPair customization_group_label(int group) {
  switch (group) {
    case kGroupDesktop:
      return {L"Desktop - Màn hình nền", L"Desktop"};
    case kGroupTaskbar:
      return {L"Taskbar - Thanh tác vụ", L"Taskbar"};
    case kGroupStart:
      return {L"Start - Menu bắt đầu", L"Start"};
    case kGroupSystemTray:
      return {L"System Tray - Khay hệ thống", L"System tray"};
    case kGroupFileExplorer:
      return {L"File Explorer - Quản lý tập tin", L"File Explorer"};
    case kGroupColors:
      return {L"Màu sắc và hiệu ứng", L"Colors and effects"};
    default:
      return {L"Khác", L"Other"};
  }
}

}  // namespace corvane
