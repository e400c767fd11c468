// Applying the features chosen on a feature page: checks, review, snapshot and the apply job.
#include "ui/app.h"

#include "engines/feature_resolution.h"
#include "services/documents.h"
#include "services/registry.h"
#include "services/registry_transaction.h"

#include <stdexcept>

namespace corvane {

std::vector<const Feature*> App::selected_features() const {
  std::vector<const Feature*> features;
  for (const Feature* feature : shown_features) {
    if (checked_features.count(feature->id) != 0 && feature->action.empty()) features.push_back(feature);
  }
  if (!features.empty()) return features;
  const int selected = selected_index();
  if (selected >= 0 && selected < static_cast<int>(shown_features.size())) {
    const Feature* feature = shown_features[static_cast<std::size_t>(selected)];
    if (feature->action.empty()) features.push_back(feature);
  }
  return features;
}

std::vector<RegistryValue> App::selected_value(const Feature& feature) const {
  if (feature.choices.empty()) return resolve_feature_changes(feature);
  const auto chosen = chosen_values.find(feature.id);
  if (chosen == chosen_values.end() || chosen->second < 0) throw std::runtime_error("Choose a setting value first");
  return feature.changes_for_choice(static_cast<std::size_t>(chosen->second));
}

std::wstring App::review_text(const std::vector<const Feature*>& features) const {
  std::wstring review = text(L"Corvane sẽ lưu giá trị gốc và bản .reg trước khi áp dụng.\r\n",
                             L"Corvane saves the original values and a .reg file before applying changes.\r\n");
  for (const Feature* feature : features) {
    review += L"\r\n- " + text(feature->title_vi.c_str(), feature->title_en.c_str()) + L"\r\n" +
              text(feature->description_vi.c_str(), feature->description_en.c_str()) + L"\r\n";
    for (const RegistryValue& change : selected_value(*feature)) {
      review += hive_display_name(change.hive) + L"\\" + change.key + L"\r\n";
      review += (change.name.empty() ? std::wstring(L"(Default)") : change.name) + L": " +
                describe_value(read_registry_value(change)) + L" \u2192 " + describe_value(change.value) + L"\r\n";
    }
    if (feature->restart_required) {
      review += text(L"Cần đăng xuất hoặc khởi động lại; Corvane không tự khởi động lại.\r\n",
                     L"Sign-out or restart required; Corvane will not restart automatically.\r\n");
    }
  }
  return review;
}

void App::apply() {
  const std::vector<const Feature*> features = selected_features();
  if (features.empty()) {
    const int selected = selected_index();
    if (selected >= 0 && selected < static_cast<int>(shown_features.size())) {
      feature_action(*shown_features[static_cast<std::size_t>(selected)]);
    }
    return;
  }
  std::vector<RegistryValue> changes;
  for (const Feature* feature : features) {
    if (!available_on_build(*feature)) {
      show_dialog(L"Corvane",
                  text(L"Có mục không phù hợp với bản Windows hiện tại.",
                       L"A selected feature is unavailable on this Windows build."),
                  {text(L"Đóng", L"Close")});
      return;
    }
    if (feature->needs_admin && !system_info.elevated) {
      show_dialog(L"Corvane",
                  text(L"Mục này cần quyền quản trị. Chọn Dùng quyền quản trị ở thanh bên rồi chọn lại thao tác.",
                       L"This item needs administrator access. Choose Administrator access in the sidebar, then "
                       L"select the operation again."),
                  {text(L"Đóng", L"Close")});
      return;
    }
    if (!feature->choices.empty()) {
      const auto chosen = chosen_values.find(feature->id);
      if (chosen == chosen_values.end() || chosen->second < 0) {
        set_status(text(L"Chọn giá trị cần đặt.", L"Choose a value to apply."));
        return;
      }
    }
    for (RegistryValue& change : selected_value(*feature)) changes.push_back(std::move(change));
  }
  std::vector<ValueState> snapshot;
  snapshot.reserve(changes.size());
  for (const RegistryValue& change : changes) snapshot.push_back(read_registry_value(change));

  if (!confirm(text(L"Xem thay đổi Registry", L"Review registry changes"), review_text(features),
               text(L"Áp dụng", L"Apply"))) {
    return;
  }
  const std::wstring label = features.size() == 1
                                 ? text(features.front()->title_vi.c_str(), features.front()->title_en.c_str())
                                 : text(L"Nhóm tùy chỉnh", L"Settings batch");
  start_work([this, changes, label, snapshot]() {
    auto work = std::make_unique<Work>();
    for (std::size_t i = 0; i < changes.size(); ++i) {
      if (!(read_registry_value(changes[i]) == snapshot[i])) {
        work->outcome = Outcome{false, L"A value changed during review. Refresh before applying.", L"", 0, 0, 0};
        return work;
      }
    }
    work->outcome = apply_registry_changes(changes, label, backups_folder(), &cancel, progress_callback());
    return work;
  });
}

void App::on_value_selected() {
  if (busy || page != PAGE_CUSTOMIZATION || value_combo == nullptr) return;
  const int selected = selected_index();
  if (selected < 0 || selected >= static_cast<int>(shown_features.size())) return;
  const Feature& feature = *shown_features[static_cast<std::size_t>(selected)];
  if (feature.choices.empty()) return;
  const auto choice = SendMessageW(value_combo, CB_GETCURSEL, 0, 0);
  if (choice < 0 || choice >= static_cast<LRESULT>(feature.choices.size())) return;
  chosen_values[feature.id] = static_cast<int>(choice);
  EnableWindow(primary_button, available_on_build(feature) ? TRUE : FALSE);
}

}  // namespace corvane
