// The progress line of a batch on standard error: "12/40 done, 1 failed, 8.3 links/s", redrawn in
// place at most ten times a second. Other messages to the same stream go through Write, which
// clears the line first and draws it again after them. A disabled line writes only the messages.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdio>
#include <mutex>
#include <string>
#include <string_view>

namespace lumaclip::cli {

class ProgressLine {
 public:
  ProgressLine(std::FILE* stream, bool enabled) : stream_(stream), enabled_(enabled) {}
  ProgressLine(const ProgressLine&) = delete;
  ProgressLine& operator=(const ProgressLine&) = delete;

  // Items known so far; `complete` once the input has ended.
  void SetTotal(std::size_t total, bool complete);
  void Finished(bool failed);
  void Write(std::string_view text);
  // Clears the line for good.
  void Close();

  // The line as drawn, without the terminal controls.
  static std::string Format(std::size_t done, std::size_t total, bool totalComplete,
                            std::size_t failed, double seconds);

 private:
  void DrawLocked(bool force);
  void ClearLocked();

  std::FILE* stream_;
  bool enabled_;
  std::mutex mutex_;
  std::size_t done_ = 0;
  std::size_t failed_ = 0;
  std::size_t total_ = 0;
  bool totalComplete_ = false;
  bool drawn_ = false;
  std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
  std::chrono::steady_clock::time_point lastDraw_{};
};

}  // namespace lumaclip::cli
