// Binding the seven operations by name: once per run, safely from several threads, and the fatal
// report when the library or a name is missing, through the Linux loader as a front end installs
// it.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <stdlib.h>

#include <atomic>
#include <cstring>
#include <filesystem>
#include <latch>
#include <string>
#include <thread>
#include <vector>

#include "platform/linux/system/library_loader.h"
#include "text/values.h"
#include "web/fetch_web_page.h"
#include "web/wininet_operations.h"

namespace lumaclip {
namespace {

using linux_system::WinInetLayerCandidates;

// The whole report as the default sink writes it, byte for byte:
// "运行时出错!" CR LF CR LF "错误信息：无法找到指定DLL库文件“wininet.dll”中的输出命令“NAME”" CR LF
std::string ExpectedReport(const std::string& functionName) {
  return std::string(
             "\xD4\xCB\xD0\xD0\xCA\xB1\xB3\xF6\xB4\xED!\r\n\r\n"
             "\xB4\xED\xCE\xF3\xD0\xC5\xCF\xA2\xA3\xBA"
             "\xCE\xDE\xB7\xA8\xD5\xD2\xB5\xBD\xD6\xB8\xB6\xA8"
             "DLL\xBF\xE2\xCE\xC4\xBC\xFE\xA1\xB0"
             "wininet.dll\xA1\xB1\xD6\xD0\xB5\xC4\xCA\xE4\xB3\xF6\xC3\xFC\xC1\xEE\xA1\xB0") +
         functionName + "\xA1\xB1\r\n";
}

// Runs one request through the Linux loader bound to `layerPath`; used inside a death test.
void FetchThroughLayer(const char* layerPath) {
  setenv(linux_system::kWinInetLayerEnvironment, layerPath, 1);
  linux_system::InstallLinuxLibraryLoader();
  FetchWebPage(Text::Literal("http://localhost/"));
}

class BindingDeathTest : public ::testing::Test {
 protected:
  void SetUp() override { GTEST_FLAG_SET(death_test_style, "threadsafe"); }
};

TEST_F(BindingDeathTest, AMissingNameEndsTheProgramWithTheReport) {
  ASSERT_TRUE(std::filesystem::exists(LUMACLIP_SIX_NAME_LAYER));
  EXPECT_EXIT(FetchThroughLayer(LUMACLIP_SIX_NAME_LAYER), ::testing::ExitedWithCode(255),
              ::testing::Eq(ExpectedReport("HttpQueryInfoA")));
}

TEST_F(BindingDeathTest, AMissingLibraryIsReportedUnderTheFirstFunction) {
  const std::string missing =
      (std::filesystem::temp_directory_path() / "lumaclip-no-such-dir/liblumaclip_wininet.so")
          .string();
  ASSERT_FALSE(std::filesystem::exists(missing));
  EXPECT_EXIT(FetchThroughLayer(missing.c_str()), ::testing::ExitedWithCode(255),
              ::testing::Eq(ExpectedReport("InternetOpenA")));
}

TEST_F(BindingDeathTest, NoInstalledLoaderIsAMissingLibrary) {
  EXPECT_EXIT(
      {
        InstallLibraryLoader(LibraryLoader{});
        CallInternetCloseHandle(nullptr);
      },
      ::testing::ExitedWithCode(255), ::testing::Eq(ExpectedReport("InternetCloseHandle")));
}

TEST(LinuxLibraryLoader, LooksForTheLayerInOrder) {
  struct Case {
    const char* environment;
    std::string folder;
    std::vector<std::string> candidates;
  };
  const Case cases[] = {
      {"/opt/x/layer.so", "/usr/bin", {"/opt/x/layer.so"}},
      {"", "/usr/bin", {"/usr/bin/liblumaclip_wininet.so", "liblumaclip_wininet.so"}},
      {nullptr, "/usr/bin/", {"/usr/bin/liblumaclip_wininet.so", "liblumaclip_wininet.so"}},
      {nullptr, "/", {"/liblumaclip_wininet.so", "liblumaclip_wininet.so"}},
      {nullptr, "", {"liblumaclip_wininet.so"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.environment ? c.environment : "(unset)") + " " + c.folder);
    EXPECT_EQ(WinInetLayerCandidates(c.environment, c.folder), c.candidates);
  }
}

TEST(LinuxLibraryLoader, FindsTheRunningProgramsFolder) {
  const std::string folder = linux_system::ExecutableFolder();
  ASSERT_FALSE(folder.empty());
  EXPECT_TRUE(std::filesystem::exists(std::filesystem::path(folder) / "wininet_binding_test"));
}

TEST(LinuxLibraryLoader, BindsNamesFromALayer) {
  const LibraryLoader loader = linux_system::LinuxLibraryLoader();
  setenv(linux_system::kWinInetLayerEnvironment, LUMACLIP_SIX_NAME_LAYER, 1);
  void* library = loader.load("wininet.dll");
  unsetenv(linux_system::kWinInetLayerEnvironment);
  ASSERT_NE(library, nullptr);
  EXPECT_NE(loader.find(library, "InternetOpenA"), nullptr);
  EXPECT_EQ(loader.find(library, "HttpQueryInfoA"), nullptr);
  loader.release(library);
  EXPECT_EQ(loader.load("/no/such/library.so"), nullptr);
}

// A first call from several threads at once binds the name once, and every thread reaches it.
std::atomic<int> finds{0};
std::atomic<int> closes{0};

InternetBool CountingClose(InternetHandle) {
  ++closes;
  return 1;
}

TEST(WinInetBinding, AFirstCallFromSeveralThreadsBindsOnce) {
  static int library;
  InstallLibraryLoader(LibraryLoader{[](const char*) -> void* { return &library; },
                                     [](void*, const char* name) -> void* {
                                       ++finds;
                                       std::this_thread::sleep_for(std::chrono::milliseconds(20));
                                       return std::strcmp(name, "InternetCloseHandle") == 0
                                                  ? reinterpret_cast<void*>(&CountingClose)
                                                  : nullptr;
                                     },
                                     [](void*) {}});
  constexpr int kThreads = 8;
  std::latch start(kThreads);
  std::vector<std::thread> threads;
  for (int i = 0; i < kThreads; ++i) {
    threads.emplace_back([&start] {
      start.arrive_and_wait();
      CallInternetCloseHandle(nullptr);
    });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(finds.load(), 1);
  EXPECT_EQ(closes.load(), kThreads);
  ReleaseBoundLibrary();
}

}  // namespace
}  // namespace lumaclip
