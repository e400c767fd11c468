// The program's own modal dialog and the "Operation result" dialog.
#include "ui/dialogs.h"

#include "services/text.h"
#include "ui/app.h"

namespace corvane {

std::wstring normalize_line_breaks(const std::wstring& text) {
  std::wstring result;
  result.reserve(text.size() + text.size() / 8);
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == L'\n' && (i == 0 || text[i - 1] != L'\r')) result.push_back(L'\r');
    result.push_back(text[i]);
  }
  return result;
}

namespace {

DialogState* state_of(HWND window) {
  return reinterpret_cast<DialogState*>(GetWindowLongPtrW(window, GWLP_USERDATA));
}

// The owner is enabled again before the dialog goes, so the focus returns to Corvane.
void finish_dialog(HWND window, DialogState& state, int result) {
  state.result = result;
  if (state.owner != nullptr) EnableWindow(state.owner, TRUE);
  DestroyWindow(window);
}

void layout_dialog(HWND window, const DialogState& state) {
  RECT client{};
  GetClientRect(window, &client);
  const auto s = [&state](int px) { return state.renderer->scale(px); };
  SetWindowPos(state.text_edit, nullptr, s(24), s(24), client.right - s(48), client.bottom - 3 * s(24) - s(36),
               SWP_NOZORDER | SWP_NOACTIVATE);
  const int count = static_cast<int>(state.labels.size());
  for (int i = 0; i < count; ++i) {
    const RECT rect = dialog_button_rect(i, count, client.right, client.bottom, s);
    SetWindowPos(GetDlgItem(window, ID_DIALOG_BUTTON_BASE + i), nullptr, rect.left, rect.top, rect.right - rect.left,
                 rect.bottom - rect.top, SWP_NOZORDER | SWP_NOACTIVATE);
  }
}

}  // namespace

LRESULT CALLBACK dialog_window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_NCCREATE) {
    const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lparam);
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    return DefWindowProcW(window, message, wparam, lparam);
  }
  DialogState* state = state_of(window);
  if (state == nullptr) return DefWindowProcW(window, message, wparam, lparam);
  Renderer& renderer = *state->renderer;
  switch (message) {
    case WM_CREATE: {
      const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lparam);
      state->text_edit = CreateWindowExW(0, L"EDIT", state->text.c_str(),
                                         WS_CHILD | WS_VISIBLE | WS_VSCROLL | ES_MULTILINE | ES_AUTOVSCROLL | ES_READONLY,
                                         0, 0, 1, 1, window, reinterpret_cast<HMENU>(static_cast<INT_PTR>(ID_DIALOG_TEXT)),
                                         create->hInstance, nullptr);
      renderer.style_control(state->text_edit);
      for (size_t i = 0; i < state->labels.size(); ++i) {
        const HWND button = CreateWindowExW(
            0, L"BUTTON", state->labels[i].c_str(), WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_OWNERDRAW, 0, 0, 1, 1,
            window, reinterpret_cast<HMENU>(static_cast<INT_PTR>(ID_DIALOG_BUTTON_BASE + static_cast<int>(i))),
            create->hInstance, nullptr);
        renderer.style_control(button);
      }
      return 0;
    }
    case WM_SIZE:
      layout_dialog(window, *state);
      return 0;
    case WM_ERASEBKGND: {
      RECT client{};
      GetClientRect(window, &client);
      renderer.fill_rect(reinterpret_cast<HDC>(wparam), client, renderer.colors[kColorWindow]);
      return 1;
    }
    case WM_DRAWITEM: {
      const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lparam);
      renderer.draw_button(*item, item->CtlID == static_cast<UINT>(ID_DIALOG_BUTTON_BASE));
      return 1;
    }
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORSTATIC: {
      const HDC dc = reinterpret_cast<HDC>(wparam);
      SetTextColor(dc, renderer.colors[kColorText]);
      SetBkColor(dc, renderer.colors[kColorField]);
      return reinterpret_cast<LRESULT>(renderer.brushes[kBrushField]);
    }
    case WM_COMMAND: {
      const int id = LOWORD(wparam);
      const int count = static_cast<int>(state->labels.size());
      if (id >= ID_DIALOG_BUTTON_BASE && id < ID_DIALOG_BUTTON_BASE + count) {
        finish_dialog(window, *state, id - ID_DIALOG_BUTTON_BASE);
        return 0;
      }
      break;
    }
    case WM_CLOSE:
      finish_dialog(window, *state, -1);
      return 0;
    case WM_DESTROY:
      state->done = true;
      return 0;
    default:
      break;
  }
  return DefWindowProcW(window, message, wparam, lparam);
}

DialogResponder dialog_responder = nullptr;

int App::show_dialog(const std::wstring& title, const std::wstring& body, const std::vector<std::wstring>& labels) {
  if (dialog_responder != nullptr) return dialog_responder(title, body, labels);
  if (options.smoke) return -1;
  DialogState state;
  state.renderer = &renderer;
  state.owner = main_window;
  state.text = normalize_line_breaks(body);
  state.labels = labels;

  RECT owner_rect{};
  if (main_window != nullptr) GetWindowRect(main_window, &owner_rect);
  const int width = renderer.scale(750);
  const int height = renderer.scale(490);
  const int x = owner_rect.left + (owner_rect.right - owner_rect.left - width) / 2;
  const int y = owner_rect.top + (owner_rect.bottom - owner_rect.top - height) / 2;
  const HINSTANCE instance = main_window != nullptr
                                 ? reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(main_window, GWLP_HINSTANCE))
                                 : GetModuleHandleW(nullptr);
  const HWND dialog = CreateWindowExW(WS_EX_DLGMODALFRAME, kDialogClass, title.c_str(),
                                      WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN, x, y, width, height, main_window,
                                      nullptr, instance, &state);
  if (dialog == nullptr) return -1;
  renderer.style_control(dialog);
  if (main_window != nullptr) EnableWindow(main_window, FALSE);
  ShowWindow(dialog, SW_SHOW);
  SetFocus(GetDlgItem(dialog, ID_DIALOG_BUTTON_BASE));

  const int count = static_cast<int>(labels.size());
  MSG message{};
  bool quit = false;
  while (!state.done) {
    const BOOL got = GetMessageW(&message, nullptr, 0, 0);
    if (got <= 0) {
      quit = got == 0;
      break;
    }
    if (message.message == WM_KEYDOWN && message.wParam == VK_ESCAPE) {
      SendMessageW(dialog, WM_CLOSE, 0, 0);
      continue;
    }
    if (message.message == WM_KEYDOWN && message.wParam == VK_RETURN) {
      const HWND focus = GetFocus();
      const int id = focus != nullptr && GetParent(focus) == dialog ? GetDlgCtrlID(focus) : 0;
      if (id >= ID_DIALOG_BUTTON_BASE && id < ID_DIALOG_BUTTON_BASE + count) {
        SendMessageW(dialog, WM_COMMAND, static_cast<WPARAM>(id), 0);
        continue;
      }
    }
    if (IsDialogMessageW(dialog, &message)) continue;
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  if (!state.done) {
    // The loop ended without a result: the window must not outlive the state it points to,
    // and the main loop has to see the quit message too.
    SetWindowLongPtrW(dialog, GWLP_USERDATA, 0);
    if (main_window != nullptr) EnableWindow(main_window, TRUE);
    DestroyWindow(dialog);
    if (quit) PostQuitMessage(static_cast<int>(message.wParam));
    state.result = -1;
  }
  if (main_window != nullptr) {
    EnableWindow(main_window, TRUE);
    SetForegroundWindow(main_window);
  }
  return state.result;
}

bool App::confirm(const std::wstring& title, const std::wstring& body, const std::wstring& ok_label) {
  return show_dialog(title, body, {ok_label, text(L"Hủy", L"Cancel")}) == 0;
}

void App::show_outcome(const Outcome& outcome) {
  std::wstring summary = outcome.ok ? text(L"Hoàn tất", L"Completed") : text(L"Không hoàn tất", L"Not completed");
  if (outcome.affected != 0 || outcome.skipped != 0) {
    summary += L" - " + std::to_wstring(outcome.affected) + text(L" mục xử lý, ", L" processed, ") +
               std::to_wstring(outcome.skipped) + text(L" mục bỏ qua", L" skipped");
  }
  if (outcome.bytes != 0) summary += L" - " + format_byte_size(outcome.bytes);
  if (!outcome.message.empty()) summary += L"\r\n" + shown_refusal(outcome.message, options.vietnamese);
  if (!outcome.record_path.empty()) summary += L"\r\n" + outcome.record_path;
  set_status(summary);
  show_dialog(text(L"Kết quả thao tác", L"Operation result"), summary, {text(L"Đóng", L"Close")});
}

}  // namespace corvane
