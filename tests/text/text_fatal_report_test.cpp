// The fatal reports, each raised in a child process (a death test): the exact report bytes on
// standard error (the default sink), the exit status -1 (255 on POSIX), and the memory report for
// refused blocks, counts past 32 bits and failed operator new.
#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <new>
#include <string>
#include <string_view>

#include "text/fatal_report.h"
#include "text/operations.h"
#include "text/values.h"

#ifndef _WIN32
#include <sys/resource.h>
#endif

// A refused block must reach the memory report under AddressSanitizer as well, not the
// sanitizer's own report.
extern "C" __attribute__((used)) const char* __asan_default_options() {
  return "allocator_may_return_null=1";
}

namespace lumaclip {
namespace {

#ifdef _WIN32
constexpr int kFatalExitStatus = -1;
#else
constexpr int kFatalExitStatus = 255;
#endif

// "运行时出错!" CR LF CR LF
constexpr std::string_view kHeading = "\xD4\xCB\xD0\xD0\xCA\xB1\xB3\xF6\xB4\xED!\r\n\r\n";
// "错误代码："
constexpr std::string_view kCodeLabel = "\xB4\xED\xCE\xF3\xB4\xFA\xC2\xEB\xA3\xBA";
// "错误信息："
constexpr std::string_view kMessageLabel = "\xB4\xED\xCE\xF3\xD0\xC5\xCF\xA2\xA3\xBA";
// "数组成员引用下标超出定义范围"
constexpr std::string_view kMessage1 =
    "\xCA\xFD\xD7\xE9\xB3\xC9\xD4\xB1\xD2\xFD\xD3\xC3\xCF\xC2\xB1\xEA\xB3\xAC\xB3\xF6\xB6\xA8\xD2"
    "\xE5\xB7\xB6\xCE\xA7";
// "数组成员引用下标必须大于等于1"
constexpr std::string_view kMessage4 =
    "\xCA\xFD\xD7\xE9\xB3\xC9\xD4\xB1\xD2\xFD\xD3\xC3\xCF\xC2\xB1\xEA\xB1\xD8\xD0\xEB\xB4\xF3\xD3"
    "\xDA\xB5\xC8\xD3\xDA"
    "1";
// "调用DLL命令后发现堆栈错误"
constexpr std::string_view kMessage6 =
    "\xB5\xF7\xD3\xC3"
    "DLL"
    "\xC3\xFC\xC1\xEE\xBA\xF3\xB7\xA2\xCF\xD6\xB6\xD1\xD5\xBB\xB4\xED\xCE\xF3";

std::string RunTimeErrorReport(int number, std::string_view message) {
  return std::string(kHeading) + std::string(kCodeLabel) + std::to_string(number) + "\r\n\r\n" +
         std::string(kMessageLabel) + std::string(message) + "\r\n";
}

// "分配 N 字节内存失败!", without a code line.
std::string MemoryReport(int64_t bytes) {
  return std::string(kHeading) + std::string(kMessageLabel) + "\xB7\xD6\xC5\xE4 " +
         std::to_string(bytes) + " \xD7\xD6\xBD\xDA\xC4\xDA\xB4\xE6\xCA\xA7\xB0\xDC!\r\n";
}

// A pattern that matches exactly `report` as the whole of standard error. Under
// AddressSanitizer the allocator may first note a block it failed to get; that note is not ours.
std::string Exactly(const std::string& report) {
  std::string pattern = "^";
#ifndef _WIN32
  pattern += "(==[0-9]+==WARNING: AddressSanitizer failed to allocate[^\n]*\n)*";
#endif
  for (char c : report) {
    if (std::string_view("\\^$.|?*+()[]{}").find(c) != std::string_view::npos) pattern += '\\';
    pattern += c;
  }
  return pattern + "$";
}

TextArray ThreeElements() {
  TextArray array;
  AppendElement(array, Text::Literal("a"));
  AppendElement(array, Text::Literal("b"));
  AppendElement(array, Text::Literal("c"));
  return array;
}

TEST(BuildFatalReport, LaysOutTheReportLines) {
  struct Case {
    int32_t number;
    std::string_view message;
    std::string expected;
  };
  const Case cases[] = {
      {1, kMessage1, RunTimeErrorReport(1, kMessage1)},
      {4, kMessage4, RunTimeErrorReport(4, kMessage4)},
      {6, kMessage6, RunTimeErrorReport(6, kMessage6)},
      {0, "m", std::string(kHeading) + std::string(kMessageLabel) + "m\r\n"},
      {7, "", std::string(kHeading) + std::string(kCodeLabel) + "7\r\n\r\n"},
      {-2, "", std::string(kHeading) + std::string(kCodeLabel) + "-2\r\n\r\n"},
      {0, "", std::string(kHeading)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.number);
    EXPECT_EQ(BuildFatalReport(c.number, c.message).View(), c.expected);
  }
}

TEST(FatalReportDeathTest, RunTimeErrorReportsAndExitsMinusOne) {
  struct Case {
    const char* name;
    void (*raise)();
    std::string report;
  };
  const Case cases[] = {
      {"index 0", [] { ElementAt(ThreeElements(), 0); }, RunTimeErrorReport(4, kMessage4)},
      {"index -1", [] { ElementAt(ThreeElements(), -1); }, RunTimeErrorReport(4, kMessage4)},
      {"index INT32_MIN", [] { ElementAt(ThreeElements(), INT32_MIN); },
       RunTimeErrorReport(4, kMessage4)},
      {"index 0 of an empty array", [] { ElementAt(TextArray(), 0); },
       RunTimeErrorReport(4, kMessage4)},
      {"index 4", [] { ElementAt(ThreeElements(), 4); }, RunTimeErrorReport(1, kMessage1)},
      {"index INT32_MAX", [] { ElementAt(ThreeElements(), INT32_MAX); },
       RunTimeErrorReport(1, kMessage1)},
      {"index 1 of an empty array", [] { ElementAt(TextArray(), 1); },
       RunTimeErrorReport(1, kMessage1)},
      {"writable element 4",
       [] {
         TextArray array = ThreeElements();
         ElementAt(array, 4) = Text::Literal("x");
       },
       RunTimeErrorReport(1, kMessage1)},
      {"RunTimeError 6", [] { RunTimeError(6); }, RunTimeErrorReport(6, kMessage6)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EXIT(c.raise(), ::testing::ExitedWithCode(kFatalExitStatus), Exactly(c.report));
  }
}

TEST(FatalReport, ElementAtWithinRangeDoesNotReport) {
  TextArray array = ThreeElements();
  EXPECT_EQ(ElementAt(array, 1).View(), "a");
  EXPECT_EQ(ElementAt(array, 3).View(), "c");
}

#ifndef _WIN32
// Sets the address space limit a little above what the process already maps.
void LimitAddressSpace(int64_t headroom) {
  std::ifstream status("/proc/self/status");
  std::string line;
  int64_t mappedKiB = 0;
  while (std::getline(status, line)) {
    if (line.rfind("VmSize:", 0) == 0) mappedKiB = std::stoll(line.substr(7));
  }
  const rlimit limit{static_cast<rlim_t>(mappedKiB * 1024 + headroom),
                     static_cast<rlim_t>(mappedKiB * 1024 + headroom)};
  if (mappedKiB == 0 || setrlimit(RLIMIT_AS, &limit) != 0) std::_Exit(4);
}
#endif

TEST(FatalReportDeathTest, MemoryReportNamesTheRefusedCount) {
  struct Case {
    const char* name;
    void (*raise)();
    int64_t bytes;
  };
  const Case cases[] = {
#ifndef _WIN32
      // The text's bytes and its terminating zero.
      {"a refused text block",
       [] {
         LimitAddressSpace(int64_t{256} << 20);
         BlankText(1 << 30);
       },
       (int64_t{1} << 30) + 1},
      {"a refused bytes block",
       [] {
         LimitAddressSpace(int64_t{256} << 20);
         BlankBytes(1 << 30);
       },
       int64_t{1} << 30},
#endif
      // A text block of 2^31 bytes is more than a 32-bit count describes.
      {"a text past 32 bits", [] { BlankText(INT32_MAX); }, int64_t{INT32_MAX} + 1},
      {"bytes growing past 32 bits",
       [] {
         static const char kSmall[] = "abc";
         Bytes bytes = Bytes::FromBytes("xyz");
         // The count is refused before a byte is read.
         bytes.Append(std::string_view(kSmall, static_cast<size_t>(INT32_MAX) - 2));
       },
       int64_t{INT32_MAX} + 1},
      {"operator new",
       [] {
         void* block = ::operator new (std::size_t{1} << 45);
         std::printf("%p", block);
       },
       int64_t{1} << 45},
      {"operator new[]",
       [] {
         char* block = new char[std::size_t{1} << 45];
         std::printf("%p", static_cast<void*>(block));
       },
       int64_t{1} << 45},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EXIT(c.raise(), ::testing::ExitedWithCode(kFatalExitStatus),
                Exactly(MemoryReport(c.bytes)));
  }
}

// The front end installs its own sink; the report reaches it and the process ends through it
// with -1.
TEST(FatalReportDeathTest, ReportsGoToTheInstalledSink) {
  EXPECT_EXIT(
      {
        SetFatalReportSink(
            FatalReportSink{[](std::string_view report) {
                              std::fputs("sink:", stderr);
                              std::fwrite(report.data(), 1, report.size(), stderr);
                              std::fflush(stderr);
                            },
                            [](int32_t exitCode) { std::_Exit(exitCode == -1 ? 42 : 43); }});
        RunTimeError(1);
      },
      ::testing::ExitedWithCode(42), Exactly("sink:" + RunTimeErrorReport(1, kMessage1)));
}

TEST(FatalReportDeathTest, ASinkThatReturnsStillEndsTheProgram) {
  EXPECT_EXIT(
      {
        SetFatalReportSink(FatalReportSink{[](std::string_view) {}, [](int32_t) {}});
        RunTimeError(4);
      },
      ::testing::ExitedWithCode(kFatalExitStatus), "^$");
}

// A fault raised while the report is being shown ends the program instead of recursing.
TEST(FatalReportDeathTest, AFaultDuringTheReportEndsTheProgram) {
  EXPECT_EXIT(
      {
        SetFatalReportSink(FatalReportSink{[](std::string_view) { RunTimeError(6); },
                                           [](int32_t) { std::_Exit(42); }});
        RunTimeError(1);
      },
      ::testing::ExitedWithCode(kFatalExitStatus), "^$");
}

}  // namespace
}  // namespace lumaclip
