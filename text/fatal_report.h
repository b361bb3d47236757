// The fatal reports: RunTimeError by number, the memory report, and any other report that ends the
// program. The report text is built here; the front end decides where it is shown (the window's
// message box, or standard error by default) and how the process ends (exit code -1).
// Control never returns to the caller.
#pragma once

#include <cstdint>
#include <string_view>

#include "text/values.h"

namespace lumaclip {

struct FatalReportSink {
  // Shows the report (code page 936 bytes) and returns once the user has dismissed it.
  void (*show)(std::string_view report);
  // Ends the process with `exitCode`; never returns.
  void (*endProcess)(int32_t exitCode);
};

// Installs where reports go; the default writes to standard error and exits with -1.
void SetFatalReportSink(const FatalReportSink& sink);

// "运行时出错!" CR LF CR LF, then "错误代码：" and the number when it is not 0, then "错误信息："
// and the message when it is not empty.
Text BuildFatalReport(int32_t number, std::string_view message);

[[noreturn]] void FatalReport(int32_t number, std::string_view message);
// 1: index above the element count; 4: index below 1; 6: unbalanced library call.
[[noreturn]] void RunTimeError(int32_t number);
// "分配 N 字节内存失败!" without a code line.
[[noreturn]] void ReportOutOfMemory(int64_t bytes);

}  // namespace lumaclip
