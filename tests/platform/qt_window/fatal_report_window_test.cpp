// The fatal report in the window, in a process of its own (window_child): the message box with
// its exact caption and text, and the end of the process with -1 (255) once it is dismissed.
// Closing the window by Escape, for contrast, ends the process with 0.
#include <gtest/gtest.h>

#include <QProcess>
#include <QString>
#include <string>

namespace {

struct Outcome {
  bool finished = false;
  int exitCode = -1000;
  std::string output;
};

Outcome RunChild(const char* mode) {
  QProcess child;
  child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
  child.start(QStringLiteral(LUMACLIP_WINDOW_CHILD), {QString::fromUtf8(mode)});
  Outcome outcome;
  outcome.finished = child.waitForFinished(60000) && child.exitStatus() == QProcess::NormalExit;
  if (!outcome.finished) child.kill();
  child.waitForFinished(5000);
  outcome.exitCode = child.exitCode();
  outcome.output = child.readAllStandardOutput().toStdString();
  return outcome;
}

std::string ShownBox(const std::string& message) {
  return "caption=错误\n"
         "text=运行时出错!\\r\\n\\r\\n错误信息：" +
         message +
         "\\r\\n\n"
         "icon=error\n"
         "buttons=ok\n"
         "owner=none\n"
         "modal=application\n"
         "busy-cursor=gone\n";
}

TEST(FatalReportWindowTest, TheMessageBoxShowsTheReportAndTheProcessEndsWithMinusOne) {
  struct Case {
    const char* mode;
    std::string message;
  };
  const Case cases[] = {
      {"no-template", "载入窗口模板数据段出错!"},
      {"not-created", "载入启动窗口失败"},
      // During the Parse command, under the busy cursor, which the box takes back.
      {"missing-library", "无法找到指定DLL库文件“wininet.dll”中的输出命令“InternetOpenA”"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.mode);
    const Outcome outcome = RunChild(c.mode);
    ASSERT_TRUE(outcome.finished);
    EXPECT_EQ(outcome.exitCode, 255);
    EXPECT_EQ(outcome.output, ShownBox(c.message));
  }
}

TEST(FatalReportWindowTest, EscapeEndsTheProcessWithZero) {
  const Outcome outcome = RunChild("escape");
  ASSERT_TRUE(outcome.finished);
  EXPECT_EQ(outcome.exitCode, 0);
  EXPECT_EQ(outcome.output, "returned=0\n");
}

}  // namespace
