// The Updates page: the check job, its six states, the manifest's values and the clipboard copy.
#include "ui/app.h"

#include "engines/product_links.h"
#include "engines/update_download.h"
#include "engines/update_manifest.h"
#include "services/text.h"

#include <cstring>

namespace corvane {

const char* update_manifest_source = nullptr;
ClipboardBlockAllocator clipboard_block_allocator = GlobalAlloc;

namespace {

struct StateLine {
  const wchar_t* vi;
  const wchar_t* en;
};

constexpr StateLine kStateLines[] = {
    {L"Kiểm tra phiên bản mới", L"Check for updates"},
    {L"Đang kiểm tra bản cập nhật...", L"Checking for updates..."},
    {L"Có phiên bản mới", L"An update is available"},
    {L"Bạn đang dùng phiên bản mới nhất", L"You are up to date"},
    {L"Không thể kiểm tra bản cập nhật", L"Could not check for updates"},
    {L"Đã dừng kiểm tra", L"Update check stopped"},
};

// Owns a global memory block until the clipboard takes it.
class GlobalBlock {
 public:
  explicit GlobalBlock(HGLOBAL block) : block_(block) {}
  ~GlobalBlock() {
    if (block_ != nullptr) GlobalFree(block_);
  }
  GlobalBlock(const GlobalBlock&) = delete;
  GlobalBlock& operator=(const GlobalBlock&) = delete;
  HGLOBAL get() const { return block_; }
  void release() { block_ = nullptr; }

 private:
  HGLOBAL block_;
};

// The five value fields' rectangle i in the main window's client area.
RECT update_field_rect(const Renderer& renderer, const RECT& client, int i) {
  const int top = renderer.scale(204 + 48 * i);
  return RECT{renderer.scale(448), top, client.right - renderer.scale(56), top + renderer.scale(36)};
}

}  // namespace

void App::check_updates() {
  if (busy || options.smoke) return;
  update.reset();
  update_error.clear();
  update_state = UPDATE_CHECKING;
  populate_page();
  const std::string source = update_manifest_source != nullptr ? update_manifest_source : UPDATE_MANIFEST_URL;
  start_work([this, source] {
    auto work = std::make_unique<Work>();
    work->kind = WORK_UPDATE_CHECK;
    try {
      work->update = parse_update_manifest(download_update_manifest(source, &cancel));
    } catch (const std::exception& error) {
      work->update.reset();
      work->update_error = error.what();
    }
    return work;
  });
  if (progress_title != nullptr) {
    SetWindowTextW(progress_title, text(L"Đang kiểm tra bản cập nhật", L"Checking for updates").c_str());
  }
  if (progress_item_label != nullptr) SetWindowTextW(progress_item_label, utf8_to_wide(UPDATE_HOST).c_str());
}

void App::update_check_done(const Work& work) {
  update.reset();
  update_error.clear();
  if (cancel.load() != 0) {
    update_state = UPDATE_STOPPED;
    set_status(text(L"Đã dừng kiểm tra", L"Update check stopped"));
  } else if (work.update.has_value()) {
    update = work.update;
    update_state = version_is_newer(update->version, CURRENT_VERSION) ? UPDATE_AVAILABLE : UPDATE_CURRENT;
    set_status(text(L"Đã kiểm tra bản cập nhật", L"Update check completed"));
  } else {
    update_state = UPDATE_FAILED;
    update_error = work.update_error.empty() ? "Please try again later." : work.update_error;
    set_status(text(L"Không thể kiểm tra bản cập nhật. Hãy thử lại sau.",
                    L"Could not check for updates. Please try again later."));
  }
}

void App::create_update_edit() {
  const HINSTANCE instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(main_window, GWLP_HINSTANCE));
  for (HWND& field : update_fields) {
    field = CreateWindowExW(0, L"EDIT", L"", WS_CHILD | WS_CLIPSIBLINGS | WS_TABSTOP | ES_READONLY | ES_AUTOHSCROLL,
                            0, 0, 1, 1, main_window, nullptr, instance, nullptr);
    if (field != nullptr) renderer.style_control(field);
  }
}

void App::layout_update_buttons(DeferredLayout& moves) {
  RECT client{};
  GetClientRect(main_window, &client);
  for (int i = 0; i < 5; ++i) {
    const HWND field = update_fields[i];
    if (field == nullptr) continue;
    const RECT target = update_field_rect(renderer, client, i);
    RECT current{};
    GetWindowRect(field, &current);
    MapWindowPoints(HWND_DESKTOP, main_window, reinterpret_cast<POINT*>(&current), 2);
    if (EqualRect(&current, &target)) continue;
    moves.add(field, target.left, target.top, target.right - target.left, target.bottom - target.top);
  }
}

void App::show_update_controls() {
  const std::wstring missing = text(L"Không được cung cấp", L"Not provided");
  std::wstring values[5];
  if (update) {
    values[0] = utf8_to_wide_lenient(update->version);
    values[1] = update->published_at.empty() ? missing : utf8_to_wide_lenient(update->published_at);
    values[2] = update->has_size ? format_byte_size(update->size) + L" (" + std::to_wstring(update->size) + L" bytes)"
                                 : missing;
    values[3] = utf8_to_wide_lenient(update->url);
    values[4] = update->sha256.empty() ? missing : utf8_to_wide_lenient(update->sha256);
  }
  for (int i = 0; i < 5; ++i) {
    if (update_fields[i] == nullptr) continue;
    SetWindowTextW(update_fields[i], values[i].c_str());
    ShowWindow(update_fields[i], SW_SHOW);
  }
  SetWindowTextW(primary_button, text(L"Mở liên kết tải", L"Open download").c_str());
  SetWindowTextW(secondary_button, text(L"Kiểm tra lại", L"Check again").c_str());
  SetWindowTextW(tertiary_button, text(L"Sao chép SHA-256", L"Copy SHA-256").c_str());
  for (HWND button : {primary_button, secondary_button, tertiary_button}) ShowWindow(button, SW_SHOW);
}

void App::paint_update_page(HDC dc, const RECT& client) {
  const auto s = [this](int px) { return renderer.scale(px); };
  const auto& c = renderer.colors;
  const int left = s(296);
  const int right = client.right - s(56);
  const StateLine& state = kStateLines[update_state < 6 ? update_state : UPDATE_NOT_CHECKED];
  renderer.draw_text(dc, text(state.vi, state.en), RECT{left, s(148), right, s(180)}, c[kColorText],
                     renderer.fonts[kFontSemibold]);
  const std::wstring labels[5] = {text(L"Phiên bản", L"Version"), text(L"Ngày phát hành", L"Published"),
                                  text(L"Dung lượng", L"Size"), text(L"Liên kết tải", L"Download URL"), L"SHA-256"};
  for (int i = 0; i < 5; ++i) {
    renderer.draw_text(dc, labels[i], RECT{left, s(204 + 48 * i), s(432), s(240 + 48 * i)}, c[kColorText],
                       renderer.fonts[kFontBody]);
  }
  renderer.draw_text(dc,
                     text(L"Liên kết tải được mở trong trình duyệt của bạn. SHA-256 của nhà phát hành được cung cấp "
                          L"để đối chiếu. Corvane không tự cài đặt bản cập nhật hay kiểm tra tập tin đã tải.",
                          L"Downloads open in your browser. The publisher's SHA-256 is provided for comparison. "
                          L"Corvane does not install updates or verify downloaded files automatically."),
                     RECT{left, s(456), right, s(512)}, c[kColorSecondaryText], renderer.fonts[kFontBody],
                     kParagraphFormat);
  renderer.draw_text(dc, utf8_to_wide(UPDATE_MANIFEST_URL), RECT{left, s(528), right, s(556)}, c[kColorSecondaryText],
                     renderer.fonts[kFontSmall]);
  if (update_state == UPDATE_FAILED) {
    renderer.draw_text(dc, utf8_to_wide_lenient(update_error), RECT{left, s(564), right, s(600)}, c[kColorText],
                       renderer.fonts[kFontSmall]);
  }
}

void App::copy_update_sha256() {
  if (!update || update->sha256.empty()) return;
  const std::wstring sha256 = utf8_to_wide_lenient(update->sha256);
  const SIZE_T bytes = (sha256.size() + 1) * sizeof(wchar_t);
  GlobalBlock block(clipboard_block_allocator(GMEM_MOVEABLE, bytes));
  if (block.get() == nullptr) return;
  void* target = GlobalLock(block.get());
  if (target == nullptr) return;  // the block is freed on the way out
  std::memcpy(target, sha256.c_str(), bytes);
  GlobalUnlock(block.get());
  bool taken = false;
  if (OpenClipboard(main_window)) {
    if (EmptyClipboard() && SetClipboardData(CF_UNICODETEXT, block.get()) != nullptr) {
      block.release();
      taken = true;
    }
    CloseClipboard();
  }
  set_status(taken ? text(L"Đã sao chép SHA-256", L"SHA-256 copied")
                   : text(L"Không thể sao chép. Hãy thử lại.", L"Could not copy. Please try again."));
}

}  // namespace corvane
