#pragma once
// The progress function and the cancel flag shared by engines and the job runner.

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>

namespace corvane {

// Called with steps done, total steps and a text naming the current item; may be empty.
using ProgressFn = std::function<void(std::uint64_t done, std::uint64_t total, const std::wstring& item)>;

// One atomic byte owned by the App; engines receive a pointer to it (which may be null).
using CancelFlag = std::atomic<std::uint8_t>;

inline bool is_cancelled(const CancelFlag* cancel) {
  return cancel != nullptr && cancel->load() != 0;
}

inline void report_progress(const ProgressFn& progress, std::uint64_t done, std::uint64_t total,
                            const std::wstring& item) {
  if (progress) progress(done, total, item);
}

}  // namespace corvane
