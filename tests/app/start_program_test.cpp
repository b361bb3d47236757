// StartProgram and OnParseClicked over a fake window toolkit (a table that records what the program
// asks of it) and a fake WinINet layer that plays back one page, so the start sequence, the two
// start-up failures and the Parse command's road from 编辑框1 to 编辑框2 can be checked exactly.
#include "app/start_program.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "app/main_window.h"
#include "tests/text/text_checks.h"
#include "text/fatal_report.h"
#include "web/wininet_operations.h"

namespace lumaclip {
namespace {

using testing::Shown;

// ---- the fake toolkit ----

struct PropertyCall {
  uint32_t window, control;
  int32_t property, part;
  std::string value;  // written text, or empty for a read
};

struct FakeToolkit {
  // script
  LoadWindowResult loadResult = LoadWindowResult::kLoaded;
  std::optional<std::string> editBox1;  // none: the box is empty and reads as absent
  void (*duringLoop)() = nullptr;

  // record
  std::vector<std::string> calls;
  std::vector<WindowTemplate> templates;
  uint32_t loadedWindow = 0;
  std::vector<ClickBinding> bindings;
  std::vector<PropertyCall> reads, writes;
};

FakeToolkit* fake = nullptr;

void FakeStartUp(std::span<const WindowTemplate> templates) {
  fake->calls.push_back("startUp");
  fake->templates.assign(templates.begin(), templates.end());
}

LoadWindowResult FakeLoadWindow(uint32_t windowNumber, std::span<const ClickBinding> bindings) {
  fake->calls.push_back("loadWindow");
  fake->loadedWindow = windowNumber;
  fake->bindings.assign(bindings.begin(), bindings.end());
  return fake->loadResult;
}

int32_t FakeRunMessageLoop() {
  fake->calls.push_back("runMessageLoop");
  if (fake->duringLoop != nullptr) fake->duringLoop();
  return 0;
}

Text FakeReadProperty(uint32_t window, uint32_t control, int32_t property, int32_t part) {
  fake->reads.push_back({window, control, property, part, {}});
  return fake->editBox1 ? Text::FromBytes(*fake->editBox1) : Text();
}

void FakeWriteProperty(uint32_t window, uint32_t control, int32_t property, int32_t part,
                       const Text& value) {
  fake->writes.push_back({window, control, property, part, std::string(value.View())});
}

// A fatal report is the end of the process: these run in a death test's child and say on standard
// error what they were given.
void FakeShowFatalReport(std::string_view report) {
  std::fprintf(stderr, "shown %s\n", Shown(report).c_str());
}

void FakeEndProcess(int32_t exitCode) {
  std::fprintf(stderr, "ended %d\n", exitCode);
  std::fflush(stderr);
  std::_Exit(exitCode & 0xFF);
}

constexpr WindowToolkit kFakeToolkit{FakeStartUp,      FakeLoadWindow,    FakeRunMessageLoop,
                                     FakeReadProperty, FakeWriteProperty, FakeShowFatalReport,
                                     FakeEndProcess};

// ---- the fake WinINet layer ----

struct FakePage {
  bool connectFails = false;
  std::string body;
  // record
  std::optional<std::string> host, path, verb, headers;
  InternetDword accessType = 99, requestFlags = 0;
  size_t offset = 0;
};

FakePage* page = nullptr;
auto* const kHandle = reinterpret_cast<InternetHandle>(0x1);

InternetHandle LUMACLIP_WINAPI PageOpen(const char*, InternetDword accessType, const char*,
                                        const char*, InternetDword) {
  page->accessType = accessType;
  return kHandle;
}
InternetHandle LUMACLIP_WINAPI PageConnect(InternetHandle, const char* host, uint16_t, const char*,
                                           const char*, InternetDword, InternetDword, uintptr_t) {
  page->host = host ? std::optional<std::string>(host) : std::nullopt;
  return page->connectFails ? nullptr : kHandle;
}
InternetHandle LUMACLIP_WINAPI PageOpenRequest(InternetHandle, const char* verb, const char* path,
                                               const char*, const char*, const char**,
                                               InternetDword flags, uintptr_t) {
  page->verb = verb ? std::optional<std::string>(verb) : std::nullopt;
  page->path = path ? std::optional<std::string>(path) : std::nullopt;
  page->requestFlags = flags;
  return kHandle;
}
InternetBool LUMACLIP_WINAPI PageSend(InternetHandle, const char* headers, InternetDword length,
                                      void*, InternetDword) {
  if (headers != nullptr) page->headers = std::string(headers, length);
  return 1;
}
InternetBool LUMACLIP_WINAPI PageRead(InternetHandle, void* buffer, InternetDword size,
                                      InternetDword* read) {
  const size_t count = std::min<size_t>(size, page->body.size() - page->offset);
  std::memcpy(buffer, page->body.data() + page->offset, count);
  page->offset += count;
  *read = static_cast<InternetDword>(count);
  return 1;
}
InternetBool LUMACLIP_WINAPI PageQuery(InternetHandle, InternetDword, void* buffer,
                                       InternetDword* length, InternetDword*) {
  constexpr char kHeaders[] = "HTTP/1.1 200 OK\r\n\r\n";
  std::memcpy(buffer, kHeaders, sizeof kHeaders);
  *length = sizeof kHeaders - 1;
  return 1;
}
InternetBool LUMACLIP_WINAPI PageClose(InternetHandle) {
  return 1;
}

void* PageLoad(const char*) {
  return kHandle;
}
void* PageFind(void*, const char* name) {
  const std::string_view n(name);
  if (n == "InternetOpenA") return reinterpret_cast<void*>(PageOpen);
  if (n == "InternetConnectA") return reinterpret_cast<void*>(PageConnect);
  if (n == "HttpOpenRequestA") return reinterpret_cast<void*>(PageOpenRequest);
  if (n == "HttpSendRequestA") return reinterpret_cast<void*>(PageSend);
  if (n == "InternetReadFile") return reinterpret_cast<void*>(PageRead);
  if (n == "HttpQueryInfoA") return reinterpret_cast<void*>(PageQuery);
  if (n == "InternetCloseHandle") return reinterpret_cast<void*>(PageClose);
  return nullptr;
}
void PageRelease(void*) {}

class StartProgramTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fake = &toolkit_;
    page = &page_;
    InstallLibraryLoader({PageLoad, PageFind, PageRelease});
  }
  void TearDown() override {
    InstallLibraryLoader({});
    fake = nullptr;
    page = nullptr;
  }

  FakeToolkit toolkit_;
  FakePage page_;
};

TEST_F(StartProgramTest, StartsTheToolkitLoadsMainWindowAndRunsTheLoop) {
  EXPECT_EQ(StartProgram(kFakeToolkit), 0);

  EXPECT_EQ(toolkit_.calls, (std::vector<std::string>{"startUp", "loadWindow", "runMessageLoop"}));
  ASSERT_EQ(toolkit_.templates.size(), 1u);
  EXPECT_EQ(toolkit_.templates[0].number, 0x52010001u);
  EXPECT_EQ(toolkit_.templates[0].caption, "Lumaclip");
  EXPECT_EQ(toolkit_.templates[0].controls.size(), 5u);
  EXPECT_EQ(toolkit_.loadedWindow, 0x52010001u);
  // The program's only event routine: the click of 按钮1.
  ASSERT_EQ(toolkit_.bindings.size(), 1u);
  EXPECT_EQ(toolkit_.bindings[0].control, 0x16010004u);
  EXPECT_EQ(toolkit_.bindings[0].routine, &OnParseClicked);
  EXPECT_TRUE(toolkit_.reads.empty()) << "nothing of the program's own runs before a click";
  EXPECT_TRUE(toolkit_.writes.empty());
}

using StartProgramDeathTest = StartProgramTest;

TEST_F(StartProgramDeathTest, AWindowThatCannotBeLoadedEndsWithTheFatalReport) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  struct Case {
    LoadWindowResult result;
    std::string_view message;
  };
  const Case cases[] = {
      // "载入窗口模板数据段出错!"
      {LoadWindowResult::kNoTemplate,
       "\xD4\xD8\xC8\xEB\xB4\xB0\xBF\xDA\xC4\xA3\xB0\xE5\xCA\xFD\xBE\xDD\xB6\xCE\xB3\xF6\xB4\xED!"},
      // "载入启动窗口失败"
      {LoadWindowResult::kNotCreated,
       "\xD4\xD8\xC8\xEB\xC6\xF4\xB6\xAF\xB4\xB0\xBF\xDA\xCA\xA7\xB0\xDC"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(Shown(c.message));
    toolkit_.loadResult = c.result;
    // No code line, the message, then the end with -1 (the loop is never reached).
    const std::string expected =
        "shown " + Shown(BuildFatalReport(0, c.message).View()) + "\nended -1\n";
    std::string pattern;
    for (char ch : expected) {
      if (std::strchr("\\^$.|?*+()[]{}", ch) != nullptr) pattern += '\\';
      pattern += ch;
    }
    EXPECT_EXIT(StartProgram(kFakeToolkit), ::testing::ExitedWithCode(255), "^" + pattern + "$");
  }
}

TEST_F(StartProgramDeathTest, FatalReportsLaterGoToTheToolkitsMessageBox) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  toolkit_.duringLoop = [] { RunTimeError(1); };
  EXPECT_EXIT(StartProgram(kFakeToolkit), ::testing::ExitedWithCode(255),
              "^shown <.*\\\\xB4\\\\xFA\\\\xC2\\\\xEB\\\\xA3\\\\xBA1\\\\x0D.*>\nended -1\n$");
}

constexpr char kSharePage[] =
    "<html><img class=\"video-preview\" src=\"https://cdn.test/v/clip.jpg?w=720\"></html>";

TEST_F(StartProgramTest, ParseCommandWritesTheDerivedAddressToEditBox2) {
  struct Case {
    const char* name;
    std::optional<std::string> link;
    bool connectFails;
    std::string body;
    std::string expectedResult;
  };
  const Case cases[] = {
      {"share page", "http://share.test/s/1", false, kSharePage, "https://cdn.test/v/clip.mp4"},
      {"page without the marker", "http://share.test/s/2", false, "<html>nothing</html>", ".mp4"},
      {"failed request", "http://share.test/s/3", true, kSharePage, ".mp4"},
      {"empty edit box", std::nullopt, false, "", ".mp4"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    toolkit_ = FakeToolkit{};
    toolkit_.editBox1 = c.link;
    page_ = FakePage{};
    page_.connectFails = c.connectFails;
    page_.body = c.body;
    toolkit_.duringLoop = [] { OnParseClicked(); };
    ASSERT_EQ(StartProgram(kFakeToolkit), 0);

    ASSERT_EQ(toolkit_.reads.size(), 1u);
    EXPECT_EQ(toolkit_.reads[0].window, 0x52010001u);
    EXPECT_EQ(toolkit_.reads[0].control, 0x16010002u);
    EXPECT_EQ(toolkit_.reads[0].property, 8);
    EXPECT_EQ(toolkit_.reads[0].part, -1);
    ASSERT_EQ(toolkit_.writes.size(), 1u) << "only 编辑框2 is written";
    EXPECT_EQ(toolkit_.writes[0].window, 0x52010001u);
    EXPECT_EQ(toolkit_.writes[0].control, 0x16011eedu);
    EXPECT_EQ(toolkit_.writes[0].property, 8);
    EXPECT_EQ(toolkit_.writes[0].part, -1);
    EXPECT_EQ(Shown(toolkit_.writes[0].value), Shown(c.expectedResult));
  }
}

TEST_F(StartProgramTest, ParseCommandSendsTheLinkAsItStandsWithEveryOptionLeftOut) {
  toolkit_.editBox1 = "  http://share.test:8080/s/abc?x=1 ";
  page_.body = kSharePage;
  toolkit_.duringLoop = [] { OnParseClicked(); };
  ASSERT_EQ(StartProgram(kFakeToolkit), 0);

  EXPECT_EQ(page_.verb, "GET");
  EXPECT_EQ(page_.accessType, kInternetOpenTypeDirect) << "no proxy";
  EXPECT_EQ(page_.requestFlags & kInternetFlagNoCookies, 0u) << "the library's cookies stay on";
  EXPECT_EQ(page_.requestFlags & kInternetFlagNoAutoRedirect, 0u) << "redirects are followed";
  ASSERT_TRUE(page_.headers.has_value());
  // The Referer line carries the link untrimmed; no Cookie line of the command's own.
  EXPECT_NE(page_.headers->find("Referer:   http://share.test:8080/s/abc?x=1 \r\n"),
            std::string::npos)
      << *page_.headers;
  EXPECT_EQ(page_.headers->find("Cookie"), std::string::npos) << *page_.headers;
  ASSERT_EQ(toolkit_.writes.size(), 1u);
  EXPECT_EQ(toolkit_.writes[0].value, "https://cdn.test/v/clip.mp4");
}

}  // namespace
}  // namespace lumaclip
