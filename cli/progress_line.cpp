// Drawing the progress line with a carriage return and "erase to end of line", which every
// terminal in use understands.
#include "cli/progress_line.h"

#include <cstdio>

namespace lumaclip::cli {
namespace {

constexpr auto kRedrawInterval = std::chrono::milliseconds(100);
constexpr char kClear[] = "\r\x1b[K";

}  // namespace

std::string ProgressLine::Format(std::size_t done, std::size_t total, bool totalComplete,
                                 std::size_t failed, double seconds) {
  char line[128];
  const double rate = seconds > 0 ? static_cast<double>(done) / seconds : 0.0;
  std::snprintf(line, sizeof line, "%zu/%zu%s done, %zu failed, %.1f links/s", done, total,
                totalComplete ? "" : "+", failed, rate);
  return line;
}

void ProgressLine::SetTotal(std::size_t total, bool complete) {
  std::lock_guard lock(mutex_);
  total_ = total;
  totalComplete_ = complete;
  DrawLocked(false);
}

void ProgressLine::Finished(bool failed) {
  std::lock_guard lock(mutex_);
  ++done_;
  if (failed) ++failed_;
  DrawLocked(done_ == total_ && totalComplete_);
}

void ProgressLine::Write(std::string_view text) {
  std::lock_guard lock(mutex_);
  ClearLocked();
  std::fwrite(text.data(), 1, text.size(), stream_);
  DrawLocked(true);
}

void ProgressLine::Close() {
  std::lock_guard lock(mutex_);
  ClearLocked();
  enabled_ = false;
}

void ProgressLine::DrawLocked(bool force) {
  if (!enabled_) {
    std::fflush(stream_);
    return;
  }
  const auto now = std::chrono::steady_clock::now();
  if (!force && now - lastDraw_ < kRedrawInterval) return;
  lastDraw_ = now;
  const double seconds = std::chrono::duration<double>(now - start_).count();
  const std::string line = Format(done_, total_, totalComplete_, failed_, seconds);
  std::fprintf(stream_, "%s%s", kClear, line.c_str());
  std::fflush(stream_);
  drawn_ = true;
}

void ProgressLine::ClearLocked() {
  if (!drawn_) return;
  std::fputs(kClear, stream_);
  drawn_ = false;
}

}  // namespace lumaclip::cli
