// The fatal reports. The report is formatted into a fixed buffer, so that the memory report
// itself never needs the heap that has just refused a block.
#include "text/fatal_report.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

namespace lumaclip {
namespace {

// "运行时出错!"
constexpr std::string_view kReportHeading = "\xD4\xCB\xD0\xD0\xCA\xB1\xB3\xF6\xB4\xED!";
// "错误代码："
constexpr std::string_view kCodeLabel = "\xB4\xED\xCE\xF3\xB4\xFA\xC2\xEB\xA3\xBA";
// "错误信息："
constexpr std::string_view kMessageLabel = "\xB4\xED\xCE\xF3\xD0\xC5\xCF\xA2\xA3\xBA";
constexpr std::string_view kLineBreak = "\r\n";

void ShowOnStandardError(std::string_view report) {
  std::fwrite(report.data(), 1, report.size(), stderr);
  std::fflush(stderr);
}

void EndWithExitCode(int32_t exitCode) {
  std::fflush(nullptr);
  std::_Exit(exitCode);
}

FatalReportSink g_sink{ShowOnStandardError, EndWithExitCode};
std::atomic<bool> g_reporting{false};
std::atomic<std::thread::id> g_reportingThread{};

class ReportBuffer {
 public:
  void Add(std::string_view piece) {
    for (char byte : piece) {
      if (length_ < sizeof(bytes_) - 1) bytes_[length_++] = byte;
    }
  }
  void AddDecimal(int64_t number) {
    char digits[24];
    int written = std::snprintf(digits, sizeof digits, "%lld", static_cast<long long>(number));
    Add(std::string_view(digits, written > 0 ? static_cast<std::size_t>(written) : 0));
  }
  std::string_view View() const { return {bytes_, length_}; }

 private:
  char bytes_[2048];
  std::size_t length_ = 0;
};

void FormatReport(ReportBuffer& buffer, int32_t number, std::string_view message) {
  buffer.Add(kReportHeading);
  buffer.Add(kLineBreak);
  buffer.Add(kLineBreak);
  if (number != 0) {
    buffer.Add(kCodeLabel);
    buffer.AddDecimal(number);
    buffer.Add(kLineBreak);
    buffer.Add(kLineBreak);
  }
  if (!message.empty()) {
    buffer.Add(kMessageLabel);
    buffer.Add(message);
    buffer.Add(kLineBreak);
  }
}

std::string_view RunTimeErrorMessage(int32_t number) {
  switch (number) {
    case 1:  // "数组成员引用下标超出定义范围"
      return "\xCA\xFD\xD7\xE9\xB3\xC9\xD4\xB1\xD2\xFD\xD3\xC3\xCF\xC2\xB1\xEA\xB3\xAC\xB3\xF6"
             "\xB6\xA8\xD2\xE5\xB7\xB6\xCE\xA7";
    case 4:  // "数组成员引用下标必须大于等于1"
      return "\xCA\xFD\xD7\xE9\xB3\xC9\xD4\xB1\xD2\xFD\xD3\xC3\xCF\xC2\xB1\xEA\xB1\xD8\xD0\xEB"
             "\xB4\xF3\xD3\xDA\xB5\xC8\xD3\xDA"
             "1";
    case 6:  // "调用DLL命令后发现堆栈错误"
      return "\xB5\xF7\xD3\xC3"
             "DLL"
             "\xC3\xFC\xC1\xEE\xBA\xF3\xB7\xA2\xCF\xD6\xB6\xD1\xD5\xBB\xB4\xED\xCE\xF3";
    default:
      return {};
  }
}

}  // namespace

void SetFatalReportSink(const FatalReportSink& sink) {
  g_sink = sink;
}

Text BuildFatalReport(int32_t number, std::string_view message) {
  ReportBuffer buffer;
  FormatReport(buffer, number, message);
  return Text::FromBytes(buffer.View());
}

void FatalReport(int32_t number, std::string_view message) {
  // One report per process: a fault raised while a report is shown (another thread, or the
  // message box itself running out of memory) waits for, or takes, the end already under way.
  if (g_reporting.exchange(true)) {
    if (g_reportingThread.load() == std::this_thread::get_id()) std::_Exit(-1);
    for (;;) std::this_thread::sleep_for(std::chrono::seconds(1));
  }
  g_reportingThread.store(std::this_thread::get_id());
  static ReportBuffer buffer;
  FormatReport(buffer, number, message);
  g_sink.show(buffer.View());
  g_sink.endProcess(-1);
  std::_Exit(-1);  // a sink that returns from endProcess still never returns to the caller
}

void RunTimeError(int32_t number) {
  FatalReport(number, RunTimeErrorMessage(number));
}

void ReportOutOfMemory(int64_t bytes) {
  // "分配 %d 字节内存失败!"
  ReportBuffer message;
  message.Add("\xB7\xD6\xC5\xE4 ");
  message.AddDecimal(bytes);
  message.Add(" \xD7\xD6\xBD\xDA\xC4\xDA\xB4\xE6\xCA\xA7\xB0\xDC!");
  FatalReport(0, message.View());
}

}  // namespace lumaclip
