// Background jobs: one worker thread at a time, its progress reports and the progress panel.
#include "ui/app.h"

#include "services/documents.h"
#include "services/text.h"
#include "ui/drawing/controls.h"

#include <algorithm>

namespace corvane {

bool progress_report_due(std::uint64_t now, std::uint64_t last_tick, std::uint64_t done, std::uint64_t total) {
  if (total > 0 && done >= total) return true;
  return now - last_tick >= 80;
}

namespace {

// A status followed by a later reason on a line of its own; a reason it already gives is not repeated.
std::wstring status_with_reason(const std::wstring& status, const std::wstring& reason) {
  if (reason.empty() || status.find(reason) != std::wstring::npos) return status;
  return status + L"\r\n" + reason;
}

std::thread start_thread(std::function<void()> body) {
  return std::thread(std::move(body));
}

}  // namespace

WorkerStarter start_worker_thread = start_thread;

namespace {

struct JobRecord {
  App* app;
  Job job;
};

LRESULT CALLBACK progress_panel_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam, UINT_PTR,
                                     DWORD_PTR reference) {
  auto* app = reinterpret_cast<App*>(reference);
  switch (message) {
    case WM_DRAWITEM:
    case WM_COMMAND:
      return SendMessageW(app->main_window, message, wparam, lparam);
    case WM_CTLCOLORSTATIC: {
      const HDC dc = reinterpret_cast<HDC>(wparam);
      SetBkColor(dc, app->renderer.colors[kColorSurface]);
      SetTextColor(dc, app->renderer.colors[kColorText]);
      return reinterpret_cast<LRESULT>(app->renderer.brushes[kBrushSurface]);
    }
    case WM_ERASEBKGND:
      return 1;
    case WM_PAINT: {
      PAINTSTRUCT ps{};
      const HDC dc = BeginPaint(window, &ps);
      RECT client{};
      GetClientRect(window, &client);
      app->renderer.fill_rect(dc, client, app->renderer.colors[kColorSurface]);
      app->renderer.fill_rect(dc, RECT{0, 0, client.right, app->renderer.scale(4)}, app->renderer.colors[kColorAccent]);
      EndPaint(window, &ps);
      return 0;
    }
    case WM_NCDESTROY:
      RemoveWindowSubclass(window, progress_panel_proc, 1);
      break;
    default:
      break;
  }
  return DefSubclassProc(window, message, wparam, lparam);
}

LRESULT CALLBACK progress_bar_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam, UINT_PTR,
                                   DWORD_PTR reference) {
  auto* app = reinterpret_cast<App*>(reference);
  switch (message) {
    case WM_ERASEBKGND:
      return 1;
    case WM_PAINT: {
      PAINTSTRUCT ps{};
      const HDC dc = BeginPaint(window, &ps);
      app->paint_progress_bar(window, dc);
      EndPaint(window, &ps);
      return 0;
    }
    case WM_NCDESTROY:
      RemoveWindowSubclass(window, progress_bar_proc, 1);
      break;
    default:
      break;
  }
  return DefSubclassProc(window, message, wparam, lparam);
}

}  // namespace

void App::start_work(Job job) {
  if (busy) return;
  if (worker.joinable()) worker.join();
  busy = true;
  page_at_job_start = page;
  cancel.exchange(0);
  update_control_states();
  set_busy(true);
  set_status(text(L"Đang tải / xử lý...", L"Loading / working..."));
  auto record = std::make_unique<JobRecord>(JobRecord{this, std::move(job)});
  try {
    worker = start_worker_thread([raw = record.get()] {
      std::unique_ptr<JobRecord> owned(raw);
      owned->app->run_job(owned->job);
    });
    record.release();
  } catch (const std::exception& error) {
    // Without a worker nothing would ever end the busy state: undo it and say why.
    busy = false;
    set_busy(false);
    update_control_states();
    set_status(utf8_to_wide_lenient(error.what()));
  }
}

void App::run_job(Job& job) {
  std::unique_ptr<Work> work;
  try {
    if (cancel.load() != 0) throw std::runtime_error("Operation stopped before starting.");
    if (!job) throw std::runtime_error("Empty job");
    work = job();
    if (!work) throw std::runtime_error("The job returned no result.");
  } catch (const std::exception& error) {
    work = std::make_unique<Work>();
    work->kind = WORK_ERROR;
    work->outcome.ok = false;
    work->outcome.message = utf8_to_wide_lenient(error.what());
  }
  if (PostMessageW(main_window, WM_JOB_DONE, 0, reinterpret_cast<LPARAM>(work.get()))) work.release();
}

void App::on_job_done(std::unique_ptr<Work> work) {
  if (worker.joinable()) worker.join();
  busy = false;
  set_busy(false);
  update_control_states();
  if (!work) return;

  switch (work->kind) {
    case WORK_UPDATE_CHECK:
      update_check_done(*work);
      break;
    case WORK_SCAN:
      take_scan(std::move(work->scan));
      break;
    case WORK_AUDIT:
      review_entries = std::move(work->audit_entries);
      review_view = page == page_at_job_start;
      set_status(std::to_wstring(review_entries.size()) + text(L" mục cần xem xét", L" entries to review"));
      break;
    case WORK_REFRESH:
      take_startup_listing(*work);
      break;
    case WORK_STARTUP_SAVE:
      take_saved_startup_keys(*work);
      show_outcome(work->outcome);
      break;
    default:
      if (work->kind == WORK_ERROR && page_at_job_start == PAGE_UPDATES) {
        update_check_done(*work);
        break;
      }
      status_text_cache.clear();
      if (work->kind == WORK_CLEAN) {
        scan_usable = false;
        scan_result = ScanResult{};
      }
      show_outcome(work->outcome);
      try {
        system_info = query_system_info();
      } catch (const std::exception&) {
        // The figures of the last query stay.
      }
      if (page == PAGE_BACKUPS) {
        // A refused listing must not hide what the action did: its reason follows the outcome.
        const std::wstring outcome_status = status_text;
        if (!load_backups()) set_status(status_with_reason(outcome_status, status_text));
      }
      break;
  }

  populate_page();
  redraw_content();
  if (close_requested) {
    DestroyWindow(main_window);
    return;
  }
  if (page == PAGE_STARTUP) {
    const bool follow_up = work->kind == WORK_ACTION || work->kind == WORK_STARTUP_SAVE;
    if (follow_up || (!startup_loaded && !options.smoke && work->outcome.ok && cancel.load() == 0)) refresh();
  }
}

void App::take_scan(ScanResult scan) {
  scan_result = std::move(scan);
  scan_usable = !scan_result.cancelled;
  if (scan_result.cancelled) {
    set_status(text(L"Đã hủy quét", L"Scan cancelled"));
  } else {
    std::uint64_t bytes = 0;
    for (const CleanupItem& item : scan_result.items) bytes += item.size;
    set_status(std::to_wstring(scan_result.items.size()) + text(L" tập tin - ", L" files - ") +
               format_byte_size(bytes) + text(L" có thể dọn", L" reclaimable"));
  }
  if (!scan_result.notes.empty()) {
    std::wstring notes = text(L"Một số vùng đã được bỏ qua:\r\n", L"Some areas were skipped:\r\n");
    for (const ScanNote& note : scan_result.notes) notes += (options.vietnamese ? note.text_vi : note.text_en) + L"\r\n";
    show_dialog(text(L"Ghi chú quét", L"Scan notes"), notes, {text(L"Đóng", L"Close")});
  }
  if (scan_result.skipped > 0) {
    set_status(status_text + L" - " + std::to_wstring(scan_result.skipped) +
               text(L" mục không truy cập được / bị bỏ qua", L" inaccessible / skipped entries"));
  }
  if (!scan_result.refusal.empty()) {
    set_status(status_text + L" - " + shown_refusal(scan_result.refusal, options.vietnamese));
  }
}

ProgressFn App::progress_callback() {
  return [this](std::uint64_t done, std::uint64_t total, const std::wstring& item) { post_progress(done, total, item); };
}

void App::post_progress(std::uint64_t done, std::uint64_t total, const std::wstring& item) {
  const std::uint64_t now = GetTickCount64();
  if (!progress_report_due(now, last_progress_tick.load(), done, total)) return;
  last_progress_tick.store(now);
  auto report = std::make_unique<ProgressReport>(ProgressReport{done, total, item});
  if (PostMessageW(main_window, WM_JOB_PROGRESS, 0, reinterpret_cast<LPARAM>(report.get()))) report.release();
}

void App::on_progress(const ProgressReport& report) {
  progress_done = report.done;
  progress_total = report.total;
  progress_item = report.item;
  if (cancel.load() == 0 && progress_item_label != nullptr) SetWindowTextW(progress_item_label, report.item.c_str());
  std::wstring count;
  if (report.total > 0) {
    const auto position = static_cast<int>(static_cast<double>(std::min(report.done, report.total)) * 10000.0 /
                                           static_cast<double>(report.total));
    if (progress_bar != nullptr) SendMessageW(progress_bar, PBM_SETPOS, static_cast<WPARAM>(position), 0);
    count = std::to_wstring(report.done) + L" / " + std::to_wstring(report.total) +
            text(L" mục - ", L" items - ") + std::to_wstring(position / 100) + L"%";
  } else {
    count = std::to_wstring(report.done) + text(L" mục đã kiểm tra", L" items checked");
  }
  if (progress_count_label != nullptr) SetWindowTextW(progress_count_label, count.c_str());
  repaint_progress_bar();
}

void App::repaint_progress_bar() const {
  if (progress_bar != nullptr) InvalidateRect(progress_bar, nullptr, FALSE);
}

void App::paint_progress_bar(HWND bar, HDC dc) {
  RECT client{};
  GetClientRect(bar, &client);
  Renderer& drawer = renderer;
  drawer.fill_rect(dc, client, renderer.colors[kColorSurface]);
  if (progress_total > 0) {
    drawer.draw_progress_bar(dc, client,
                             static_cast<float>(static_cast<double>(progress_done) / static_cast<double>(progress_total)));
    return;
  }
  const int width = client.right - client.left;
  drawer.fill_round_rect(dc, client, renderer.colors[kColorHover], 4);
  const int chunk = std::max(width / 4, 1);
  const auto phase = static_cast<int>((GetTickCount64() >> 3) % 2000);
  const int offset = MulDiv(phase < 1000 ? phase : 2000 - phase, width - chunk, 1000);
  drawer.fill_round_rect(dc, RECT{client.left + offset, client.top, client.left + offset + chunk, client.bottom},
                         renderer.colors[kColorAccent], 4);
}

void App::set_busy(bool on) {
  if (!on) {
    if (main_window != nullptr) KillTimer(main_window, TIMER_PROGRESS_ANIMATION);
    if (progress_panel != nullptr) ShowWindow(progress_panel, SW_HIDE);
    redraw_content();
    return;
  }
  progress_done = 0;
  progress_total = 0;
  progress_item.clear();
  last_progress_tick.store(0);
  if (progress_panel == nullptr) return;
  SetWindowTextW(progress_title, (text(L"Đang xử lý - ", L"Processing - ") + page_title()).c_str());
  SetWindowTextW(progress_item_label, text(L"Đang chuẩn bị...", L"Preparing...").c_str());
  SetWindowTextW(progress_count_label, L"");
  SetWindowTextW(stop_button, L"Stop");
  EnableWindow(stop_button, TRUE);
  hide_list_tip();
  layout_progress_panel();
  ShowWindow(progress_panel, SW_SHOW);
  SetTimer(main_window, TIMER_PROGRESS_ANIMATION, 80, nullptr);
  SetFocus(stop_button);
  RedrawWindow(progress_panel, nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN | RDW_UPDATENOW);
}

void App::create_progress_panel() {
  const HINSTANCE instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(main_window, GWLP_HINSTANCE));
  // Every page control clips its siblings, so the panel paints over them.
  for (HWND control : {page_list, search_edit, primary_button, secondary_button, tertiary_button, value_combo,
                       theme_combo, language_combo, licence_text, reports_button, first_link, second_link,
                       update_fields[0], update_fields[1], update_fields[2], update_fields[3], update_fields[4]}) {
    if (control != nullptr) SetWindowLongPtrW(control, GWL_STYLE, GetWindowLongPtrW(control, GWL_STYLE) | WS_CLIPSIBLINGS);
  }
  progress_panel = CreateWindowExW(WS_EX_CONTROLPARENT, L"STATIC", L"", WS_CHILD | WS_CLIPCHILDREN, 0, 0, 1, 1,
                                   main_window, reinterpret_cast<HMENU>(static_cast<INT_PTR>(ID_PROGRESS_PANEL)),
                                   instance, nullptr);
  const auto label = [&] {
    return CreateWindowExW(0, L"STATIC", L"", WS_CHILD | WS_VISIBLE | SS_LEFTNOWORDWRAP | SS_ENDELLIPSIS, 0, 0, 1, 1,
                           progress_panel, nullptr, instance, nullptr);
  };
  progress_title = label();
  progress_item_label = label();
  progress_count_label = label();
  progress_bar = CreateWindowExW(0, PROGRESS_CLASSW, L"", WS_CHILD | WS_VISIBLE | PBS_SMOOTH, 0, 0, 1, 1,
                                 progress_panel, reinterpret_cast<HMENU>(static_cast<INT_PTR>(ID_PROGRESS_BAR)),
                                 instance, nullptr);
  stop_button = CreateWindowExW(0, L"BUTTON", L"Stop", WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_OWNERDRAW, 0, 0, 1, 1,
                                progress_panel, reinterpret_cast<HMENU>(static_cast<INT_PTR>(ID_STOP_BUTTON)),
                                instance, nullptr);
  for (HWND control : {progress_title, progress_item_label, progress_count_label, stop_button}) {
    renderer.style_control(control);
  }
  SendMessageW(progress_title, WM_SETFONT, reinterpret_cast<WPARAM>(renderer.fonts[kFontSemibold]), FALSE);
  SendMessageW(progress_bar, PBM_SETRANGE32, 0, 10000);
  SetWindowSubclass(progress_panel, progress_panel_proc, 1, reinterpret_cast<DWORD_PTR>(this));
  SetWindowSubclass(progress_bar, progress_bar_proc, 1, reinterpret_cast<DWORD_PTR>(this));
}

void App::layout_progress_panel() {
  if (progress_panel == nullptr) return;
  RECT client{};
  GetClientRect(main_window, &client);
  const auto s = [this](int px) { return renderer.scale(px); };
  const int left = s(272);
  const int available = client.right - s(32) - s(272);
  const int width = std::min(available, s(620));
  const int x = left + (available - width) / 2;
  const int y = std::max(static_cast<int>(client.bottom - s(214)) / 2, s(130));
  SetWindowPos(progress_panel, nullptr, x, y, width, s(214), SWP_NOACTIVATE);
  constexpr UINT flags = SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOREDRAW;
  SetWindowPos(progress_title, nullptr, s(24), s(22), width - s(48), s(26), flags);
  SetWindowPos(progress_item_label, nullptr, s(24), s(58), width - s(48), s(24), flags);
  SetWindowPos(progress_bar, nullptr, s(24), s(96), width - s(48), s(18), flags);
  SetWindowPos(progress_count_label, nullptr, s(24), s(127), width - s(190), s(28), flags);
  SetWindowPos(stop_button, nullptr, width - s(154), s(155), s(130), s(36), flags);
}

void App::request_stop() {
  if (!busy) return;
  cancel.exchange(1);
  EnableWindow(stop_button, FALSE);
  SetWindowTextW(stop_button, text(L"Đang dừng...", L"Stopping...").c_str());
  SetWindowTextW(progress_item_label,
                 text(L"Đang kết thúc bước hiện tại...", L"Finishing the current step...").c_str());
  set_status(text(L"Đang dừng...", L"Stopping..."));
}

}  // namespace corvane
