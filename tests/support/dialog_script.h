#pragma once
// Answers the App's dialogs from a test: records every dialog and returns the scripted choice.
#include "ui/app.h"

#include <functional>
#include <string>
#include <vector>

namespace corvane::testing {

struct ShownDialog {
  std::wstring title;
  std::wstring text;
  std::vector<std::wstring> labels;
};

class DialogScript {
 public:
  // `answer` picks the button for each dialog (-1: closed); by default every dialog is refused.
  explicit DialogScript(std::function<int(const ShownDialog&)> answer = {}) {
    answer_ = answer ? std::move(answer) : [](const ShownDialog&) { return -1; };
    shown_.clear();
    dialog_responder = &respond;
  }
  ~DialogScript() { dialog_responder = nullptr; }
  DialogScript(const DialogScript&) = delete;
  DialogScript& operator=(const DialogScript&) = delete;

  const std::vector<ShownDialog>& shown() const { return shown_; }

 private:
  static int respond(const std::wstring& title, const std::wstring& text, const std::vector<std::wstring>& labels) {
    shown_.push_back(ShownDialog{title, text, labels});
    return answer_(shown_.back());
  }
  static inline std::function<int(const ShownDialog&)> answer_;
  static inline std::vector<ShownDialog> shown_;
};

}  // namespace corvane::testing
