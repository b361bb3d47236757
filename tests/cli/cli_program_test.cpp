// lumaclip-cli as a user runs it, against the loopback test server: plain and JSON output, every
// status word and exit status, the order of results under --jobs, standard input, share texts,
// saved pages, the video check, the redirect chain, the fetch subcommand, the progress line and
// the command-line errors.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "tests/cli/program_run.h"
#include "tests/server/test_server_process.h"

namespace lumaclip::testing {
namespace {

namespace fs = std::filesystem;

// The share page: the preview image's address follows the marker; the rest is page furniture.
std::string Page(std::string_view source) {
  return "<!DOCTYPE html><html><head><title>\xE5\x88\x86\xE4\xBA\xAB</title></head><body>"
         "<div class=\"player\"><img class=\"video-preview\" src=\"" +
         std::string(source) + "\" alt=\"\"></div></body></html>";
}

std::string Reply(int status, std::string_view body, std::string_view headers = "[]",
                  std::string_view extra = "") {
  return "{\"status\":" + std::to_string(status) + ",\"body\":" + JsonString(body) +
         ",\"headers\":" + std::string(headers) + std::string(extra) + "}";
}

std::string Routes() {
  std::vector<std::pair<std::string, std::string>> routes = {
      {"/s/ok", Reply(200, Page("/v/ok.jpg?w=720"))},
      {"/s/ok?from=share", Reply(200, Page("/v/ok.jpg?w=720"))},
      {"/s/absolute", Reply(200, Page("http://127.0.0.1:{port}/v/ok.jpg"))},
      {"/s/none", Reply(200, "<html><body>\xE6\xB2\xA1\xE6\x9C\x89</body></html>")},
      {"/s/empty", Reply(200, "")},
      {"/s/gone", Reply(404, "")},
      {"/s/redirect", Reply(302, "moved", R"([["Location", "/s/hop"]])")},
      {"/s/hop", Reply(301, "", R"([["Location", "http://127.0.0.1:{port}/s/ok"]])")},
      {"/s/missing", Reply(200, Page("/v/missing.jpg"))},
      {"/s/no-head", Reply(200, Page("/v/no-head.jpg"))},
      {"/s/relative/index", Reply(200, Page("clip.jpg"))},
      {"/s/dead-video", Reply(200, Page("http://127.0.0.1:{refused}/v.jpg"))},
      {"/s/controls", Reply(200, Page("/v/a\r\n\x1b[2Jb.jpg"))},
      {"/s/ftp-video", Reply(200, Page("ftp://h.test/v.jpg"))},
      {"HEAD /v/ok.mp4",
       Reply(200, "", R"([["Content-Type", "video/mp4"]])", R"(,"content_length":123456)")},
      {"HEAD /s/relative/clip.mp4", Reply(200, "", R"([["Content-Type", "video/mp4"]])")},
      {"HEAD /v/no-head.mp4", Reply(405, "")},
      {"GET /v/no-head.mp4",
       Reply(206, "x", R"([["Content-Type", "video/mp4"], ["Content-Range", "bytes 0-0/5000"]])")},
      {"/f/bytes", "{\"body_hex\":\"00ff0d0a41\"}"},
      {"/f/cookies",
       Reply(200, "set", R"([["Set-Cookie", "a=1; path=/"], ["Set-Cookie", "b=2; HttpOnly"]])")},
      {"/f/moved", Reply(302, "see /next", R"([["Location", "/next"]])")},
      {"/a", Reply(200, "proxied")},
  };
  for (int i = 1; i <= 8; ++i) {
    // The first links answer last, so that the batch finishes them out of order.
    const std::string delay = ",\"delay\":" + std::to_string(0.04 * (9 - i));
    routes.push_back({"/slow/" + std::to_string(i),
                      Reply(200, Page("/v/" + std::to_string(i) + ".jpg"), "[]", delay)});
  }
  std::string json = "{";
  for (const auto& [key, reply] : routes) {
    if (json.size() > 1) json += ",";
    json += JsonString(key) + ":" + reply;
  }
  return json + "}";
}

int RefusedPort() {
  const int listener = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address);
  getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length);
  close(listener);
  return ntohs(address.sin_port);
}

std::string Replaced(std::string text, std::string_view from, std::string_view to) {
  for (std::size_t at = text.find(from); at != std::string::npos; at = text.find(from, at)) {
    text.replace(at, from.size(), to);
    at += to.size();
  }
  return text;
}

class CliProgram : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    refusedPort_ = RefusedPort();
    server_ = new TestServer(Replaced(Routes(), "{refused}", std::to_string(refusedPort_)));
  }
  static void TearDownTestSuite() {
    delete server_;
    server_ = nullptr;
  }
  void SetUp() override { ASSERT_TRUE(server_->Started()); }

  static std::string Url(std::string_view path) { return server_->Url(path); }
  static std::string Refused(std::string_view path) {
    return "http://127.0.0.1:" + std::to_string(refusedPort_) + std::string(path);
  }

  static ProgramRun Cli(std::vector<std::string> arguments, RunOptions options = {}) {
    arguments.insert(arguments.begin(), LUMACLIP_CLI_PROGRAM);
    // Names stay on this machine; a test never waits long for a dead peer.
    options.environment.insert(options.environment.begin(),
                               {{"LUMACLIP_RESOLVE", ""},
                                {"LUMACLIP_CONNECT_TIMEOUT_MS", "5000"},
                                {"LUMACLIP_STALL_TIMEOUT_MS", "20000"},
                                {"LC_ALL", "C"}});
    ProgramRun run = RunProgram(arguments, options);
    EXPECT_FALSE(run.timedOut);
    return run;
  }

  // The JSON lines checked by a strict reader and printed back canonically (sorted keys).
  static std::vector<std::string> Canonical(const std::string& lines) {
    RunOptions options;
    options.input = lines;
    const ProgramRun run = RunProgram({PythonProgram(), LUMACLIP_JSON_LINES_SCRIPT}, options);
    EXPECT_EQ(run.exitCode, 0) << run.err << "\nin:\n" << lines;
    std::vector<std::string> objects;
    std::size_t start = 0;
    for (std::size_t end; (end = run.out.find('\n', start)) != std::string::npos; start = end + 1) {
      objects.push_back(run.out.substr(start, end - start));
    }
    return objects;
  }

  static std::string PythonProgram() {
    return access("/usr/bin/python3", X_OK) == 0 ? "/usr/bin/python3" : "python3";
  }

  std::size_t RequestCount() const { return server_->Requests().size(); }

  static TestServer* server_;
  static int refusedPort_;
};

TestServer* CliProgram::server_ = nullptr;
int CliProgram::refusedPort_ = 0;

std::string Lines(std::initializer_list<std::string_view> lines) {
  std::string text;
  for (std::string_view line : lines) text.append(line).append("\n");
  return text;
}

TEST_F(CliProgram, PrintsOneLinePerLinkAndTellsFailuresApart) {
  const struct {
    std::vector<std::string> links;
    std::string out;
    int exitCode;
    std::vector<std::string> messages;
  } cases[] = {
      {{Url("/s/ok")}, Lines({"/v/ok.mp4"}), 0, {}},
      {{Url("/s/absolute")}, Lines({Url("/v/ok.mp4")}), 0, {}},
      {{Url("/s/none")},
       "\n",
       1,
       {"lumaclip-cli: " + Url("/s/none") + ": the page has no video address\n"}},
      {{Url("/s/empty")},
       "\n",
       1,
       {"lumaclip-cli: " + Url("/s/empty") + ": the page could not be fetched (empty response)\n"}},
      {{Url("/s/gone")}, "\n", 1, {"the page could not be fetched (empty response)"}},
      {{Refused("/s/ok")}, "\n", 1, {"the page could not be fetched (empty response)"}},
      // Redirects are followed, as the window does.
      {{Url("/s/redirect")}, Lines({"/v/ok.mp4"}), 0, {}},
      // The link exactly as given: spaces make another address, and an empty link fails.
      {{""}, "\n", 1, {"the page could not be fetched"}},
      // A failure keeps its line, so that line N belongs to link N.
      {{Url("/s/ok"), Url("/s/none"), Url("/s/empty"), Url("/s/ok")},
       Lines({"/v/ok.mp4", "", "", "/v/ok.mp4"}),
       1,
       {"no video address", "empty response"}},
      // Control bytes in the address cannot break the line or reach the terminal.
      {{Url("/s/controls")}, Lines({"/v/a%0D%0A%1B[2Jb.mp4"}), 0, {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.links.front());
    const ProgramRun run = Cli(c.links);
    EXPECT_EQ(run.out, c.out);
    EXPECT_EQ(run.exitCode, c.exitCode);
    for (const std::string& message : c.messages)
      EXPECT_NE(run.err.find(message), std::string::npos) << run.err;
    if (c.messages.empty()) {
      EXPECT_EQ(run.err, "");
    }
  }
}

TEST_F(CliProgram, MakesTheWindowsRequestForEachLink) {
  const std::size_t before = RequestCount();
  const std::string link = Url("/s/ok?from=share");
  ASSERT_EQ(Cli({link}).exitCode, 0);
  const std::vector<RecordedRequest> requests = server_->Requests();
  ASSERT_EQ(requests.size(), before + 1);
  const std::string& request = requests.back().bytes;
  EXPECT_TRUE(request.starts_with("GET /s/ok?from=share HTTP/1.1\r\n")) << request;
  for (const std::string& line :
       {std::string(
            "\r\nUser-Agent: Mozilla/4.0 (compatible; MSIE 9.0; Windows NT 6.1; 846QZ; .NET CLR "
            "2.0.50727; .NET CLR 3.0.04506.648; .NET CLR 3.5.21022)\r\n"),
        "\r\nReferer: " + link + "\r\n", std::string("\r\nAccept: */*\r\n"),
        std::string("\r\nAccept-Language: zh-cn\r\n"),
        std::string("\r\nContent-Type: application/x-www-form-urlencoded\r\n")}) {
    EXPECT_NE(request.find(line), std::string::npos) << line;
  }
}

TEST_F(CliProgram, WritesWellFormedJson) {
  const std::string gbkLink = Refused("/\xD6\xD0\xCE\xC4");
  const ProgramRun run =
      Cli({"--json", Url("/s/ok"), Url("/s/none"), Url("/s/empty"), gbkLink, Url("/s/redirect")});
  EXPECT_EQ(run.exitCode, 1);
  const std::string pageSize = std::to_string(Page("/v/ok.jpg?w=720").size());
  const std::string noneSize =
      std::to_string(std::string("<html><body>\xE6\xB2\xA1\xE6\x9C\x89</body></html>").size());
  EXPECT_EQ(Canonical(run.out), (std::vector<std::string>{
                                    R"({"address":"/v/ok.mp4","bodySize":)" + pageSize +
                                        R"(,"link":")" + Url("/s/ok") + R"(","status":"ok"})",
                                    R"({"address":null,"bodySize":)" + noneSize + R"(,"link":")" +
                                        Url("/s/none") + R"(","status":"no-address"})",
                                    R"({"address":null,"bodySize":0,"link":")" + Url("/s/empty") +
                                        R"(","status":"empty-response"})",
                                    R"({"address":null,"bodySize":0,"link":")" + Refused("/") +
                                        R"(\udcd6\udcd0\udcce\udcc4","status":"empty-response"})",
                                    R"({"address":"/v/ok.mp4","bodySize":)" + pageSize +
                                        R"(,"link":")" + Url("/s/redirect") + R"(","status":"ok"})",
                                }));
}

TEST_F(CliProgram, KeepsInputOrderUnderJobs) {
  std::vector<std::string> links;
  std::string expected;
  for (int i = 1; i <= 8; ++i) {
    links.push_back(Url("/slow/" + std::to_string(i)));
    expected += "/v/" + std::to_string(i) + ".mp4\n";
    if (i % 3 == 0) {
      links.push_back(Url("/s/none?" + std::to_string(i)));
      expected += "\n";
    }
  }
  for (const char* jobs : {"1", "4", "8", "16"}) {
    SCOPED_TRACE(std::string("jobs ") + jobs);
    std::vector<std::string> arguments = {"--jobs", jobs};
    arguments.insert(arguments.end(), links.begin(), links.end());
    const ProgramRun run = Cli(arguments);
    EXPECT_EQ(run.out, expected);
    EXPECT_EQ(run.exitCode, 1);
    // The messages come in input order too.
    EXPECT_LT(run.err.find("/s/none?3: the page has no video address"),
              run.err.find("/s/none?6: the page has no video address"))
        << run.err;
  }
  std::vector<std::string> json = {"-j8", "--json"};
  json.insert(json.end(), links.begin(), links.end());
  const std::vector<std::string> objects = Canonical(Cli(json).out);
  ASSERT_EQ(objects.size(), links.size());
  for (std::size_t i = 0; i < links.size(); ++i) {
    EXPECT_NE(objects[i].find("\"link\":\"" + links[i] + "\""), std::string::npos) << objects[i];
  }
}

TEST_F(CliProgram, ReadsLinksFromStandardInput) {
  RunOptions options;
  options.input = Url("/s/ok") + "\r\n\n   \n" + Url("/s/none") + "\n\t\n" + Url("/s/ok");
  const std::string expected = Lines({"/v/ok.mp4", "", "/v/ok.mp4"});
  for (const std::vector<std::string>& arguments :
       {std::vector<std::string>{}, std::vector<std::string>{"-"},
        std::vector<std::string>{"--jobs", "3", "-"}}) {
    SCOPED_TRACE(arguments.empty() ? "no argument" : arguments.back());
    const ProgramRun run = Cli(arguments, options);
    EXPECT_EQ(run.out, expected);
    EXPECT_EQ(run.exitCode, 1);
  }
  // "-" stands where standard input's links go among the others.
  const ProgramRun mixed = Cli({Url("/s/none"), "-", Url("/s/absolute")}, options);
  EXPECT_EQ(mixed.out, Lines({"", "/v/ok.mp4", "", "/v/ok.mp4", Url("/v/ok.mp4")}));
  // A line without end cannot take memory without bound: it fails as no link, in its place.
  RunOptions huge;
  huge.input = Url("/s/ok") + "\n" + std::string(1024 * 1024 + 1, 'x') + "\n" + Url("/s/ok") + "\n";
  const ProgramRun bounded = Cli({"-"}, huge);
  EXPECT_EQ(bounded.out, Lines({"/v/ok.mp4", "", "/v/ok.mp4"}));
  EXPECT_EQ(bounded.exitCode, 1);
  EXPECT_NE(bounded.err.find("(the input line is longer than 1 MiB)"), std::string::npos)
      << bounded.err.substr(0, 300);
  // Nothing at all on standard input is no link and no failure.
  RunOptions empty;
  const ProgramRun none = Cli({"-"}, empty);
  EXPECT_EQ(none.out, "");
  EXPECT_EQ(none.exitCode, 0);
}

TEST_F(CliProgram, TakesTheLinkOutOfShareTexts) {
  RunOptions options;
  options.input = "3.84 复制打开抖音，看看【小林的作品】今天的晚霞太美了 # 日落 " + Url("/s/ok") +
                  " aBc:/ 06/25 Xyz:8am\n"
                  "看看这个视频" +
                  Url("/s/absolute") +
                  "复制此链接，打开快手\n"
                  "第一个 " +
                  Url("/s/ok") + " 第二个 " + Url("/s/none") +
                  "\n"
                  "复制打开抖音，没有链接\n"
                  // The same caption in code page 936.
                  "\xBF\xB4\xBF\xB4\xD5\xE2\xB8\xF6\xCA\xD3\xC6\xB5" +
                  Url("/s/ok") + "\xB8\xB4\xD6\xC6\xB4\xCB\xC1\xB4\xBD\xD3\n";
  const ProgramRun run = Cli({"--extract-link", "--jobs", "2"}, options);
  EXPECT_EQ(run.out, Lines({"/v/ok.mp4", Url("/v/ok.mp4"), "/v/ok.mp4", "", "/v/ok.mp4"}));
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_NE(run.err.find(
                "lumaclip-cli: 复制打开抖音，没有链接: no http:// or https:// link in the input"),
            std::string::npos)
      << run.err;

  const std::vector<std::string> objects =
      Canonical(Cli({"--extract-link", "--json"}, options).out);
  ASSERT_EQ(objects.size(), 5u);
  EXPECT_NE(objects[0].find("\"link\":\"" + Url("/s/ok") + "\""), std::string::npos);
  EXPECT_NE(objects[0].find("\"input\":\"3.84 \\u590d\\u5236"), std::string::npos) << objects[0];
  EXPECT_NE(objects[3].find("\"link\":null"), std::string::npos);
  EXPECT_NE(objects[3].find("\"status\":\"no-link\""), std::string::npos);
  EXPECT_NE(objects[4].find("\"input\":\"\\udcbf\\udcb4"), std::string::npos) << objects[4];

  // Without the option the share text is the link, exactly as the window takes it.
  EXPECT_EQ(Cli({}, options).out, Lines({"", "", "", "", ""}));
}

TEST_F(CliProgram, DerivesFromASavedPageWithoutARequest) {
  const fs::path folder =
      fs::temp_directory_path() / ("lumaclip-cli-test-" + std::to_string(getpid()));
  fs::create_directories(folder);
  const fs::path saved = folder / "share.html";
  const fs::path bare = folder / "bare.html";
  std::ofstream(saved, std::ios::binary) << Page("https://cdn.v.test/v/clip.jpg");
  std::ofstream(bare, std::ios::binary) << "<html></html>";
  const std::size_t before = RequestCount();

  ProgramRun run = Cli({"--page", saved.string()});
  EXPECT_EQ(run.out, "https://cdn.v.test/v/clip.mp4\n");
  EXPECT_EQ(run.exitCode, 0);
  run = Cli({"--page", bare.string()});
  EXPECT_EQ(run.out, "\n");
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_NE(run.err.find(bare.string() + ": the page has no video address"), std::string::npos);
  RunOptions fromInput;
  fromInput.input = Page("/v/local.jpg");
  run = Cli({"--page", "-", "--json"}, fromInput);
  EXPECT_EQ(Canonical(run.out),
            (std::vector<std::string>{R"({"address":"/v/local.mp4","bodySize":)" +
                                      std::to_string(fromInput.input.size()) +
                                      R"(,"link":null,"page":"standard input","status":"ok"})"}));
  run = Cli({"--page", (folder / "absent.html").string()});
  EXPECT_EQ(run.exitCode, 3);
  EXPECT_NE(run.err.find("absent.html: No such file or directory"), std::string::npos) << run.err;
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(RequestCount(), before) << "a saved page needs no request";
  fs::remove_all(folder);
}

TEST_F(CliProgram, ChecksThatTheVideoIsThere) {
  const struct {
    std::string link;
    std::vector<std::string> extra;
    std::string out;
    int exitCode;
    std::string json;  // the canonical check member and status
  } cases[] = {
      {Url("/s/ok"),
       {},
       "/v/ok.mp4\n",
       0,
       R"("check":{"address":")" + Url("/v/ok.mp4") +
           R"(","contentType":"video/mp4","method":"HEAD","size":123456,"status":200},"link":")" +
           Url("/s/ok") + R"(","status":"ok"})"},
      {Url("/s/missing"),
       {},
       "\n",
       1,
       R"("check":{"address":")" + Url("/v/missing.mp4") +
           R"(","contentType":"","method":"GET","size":null,"status":404},"link":")" +
           Url("/s/missing") + R"(","status":"video-missing"})"},
      // A server that refuses HEAD answers the one-byte range request.
      {Url("/s/no-head"),
       {},
       "/v/no-head.mp4\n",
       0,
       R"("check":{"address":")" + Url("/v/no-head.mp4") +
           R"(","contentType":"video/mp4","method":"GET","size":5000,"status":206},"link":")" +
           Url("/s/no-head") + R"(","status":"ok"})"},
      // A relative address is checked against the page's address and printed as derived...
      {Url("/s/relative/index"),
       {},
       "clip.mp4\n",
       0,
       R"("check":{"address":")" + Url("/s/relative/clip.mp4") +
           R"(","contentType":"video/mp4","method":"HEAD","size":0,"status":200},"link":")" +
           Url("/s/relative/index") + R"(","status":"ok"})"},
      // ...or absolute with --absolute.
      {Url("/s/relative/index"),
       {"--absolute"},
       Url("/s/relative/clip.mp4") + "\n",
       0,
       R"("check":{"address":")" + Url("/s/relative/clip.mp4") +
           R"(","contentType":"video/mp4","method":"HEAD","size":0,"status":200},"link":")" +
           Url("/s/relative/index") + R"(","status":"ok"})"},
      // After redirects, the final page address is the base.
      {Url("/s/redirect"),
       {},
       "/v/ok.mp4\n",
       0,
       R"("check":{"address":")" + Url("/v/ok.mp4") +
           R"(","contentType":"video/mp4","method":"HEAD","size":123456,"status":200},"link":")" +
           Url("/s/redirect") + R"(","status":"ok"})"},
      {Url("/s/dead-video"),
       {},
       "\n",
       1,
       R"("check":{"address":")" + Refused("/v.mp4") +
           R"(","contentType":"","method":null,"size":null,"status":null},"link":")" +
           Url("/s/dead-video") + R"(","status":"video-unreachable"})"},
      // Nothing but http and https is asked for.
      {Url("/s/ftp-video"),
       {},
       "\n",
       1,
       R"("check":{"address":"ftp://h.test/v.mp4","contentType":"","method":null,"size":null,)"
       R"("status":null},"link":")" +
           Url("/s/ftp-video") + R"(","status":"video-unreachable"})"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.link);
    std::vector<std::string> arguments = {"--check", c.link};
    arguments.insert(arguments.end(), c.extra.begin(), c.extra.end());
    const ProgramRun run = Cli(arguments);
    EXPECT_EQ(run.out, c.out);
    EXPECT_EQ(run.exitCode, c.exitCode) << run.err;
    arguments.push_back("--json");
    const std::vector<std::string> objects = Canonical(Cli(arguments).out);
    ASSERT_EQ(objects.size(), 1u);
    EXPECT_NE(objects[0].find(c.json), std::string::npos) << objects[0];
  }
}

TEST_F(CliProgram, ChecksWithThePagesAgentAndReferer) {
  const std::size_t before = RequestCount();
  ASSERT_EQ(Cli({"--check", Url("/s/ok")}).exitCode, 0);
  const std::vector<RecordedRequest> requests = server_->Requests();
  ASSERT_EQ(requests.size(), before + 2);
  const std::string& page = requests[before].bytes;
  const std::string& head = requests[before + 1].bytes;
  EXPECT_TRUE(head.starts_with("HEAD /v/ok.mp4 HTTP/1.1\r\n")) << head;
  EXPECT_NE(head.find("\r\nReferer: " + Url("/s/ok") + "\r\n"), std::string::npos) << head;
  const std::size_t agent = page.find("User-Agent: ");
  ASSERT_NE(agent, std::string::npos);
  const std::string agentLine = page.substr(agent, page.find("\r\n", agent) - agent);
  EXPECT_NE(head.find(agentLine), std::string::npos);
}

TEST_F(CliProgram, ShowsTheRedirectChainWhenVerbose) {
  const std::size_t before = RequestCount();
  const ProgramRun run = Cli({"--verbose", Url("/s/redirect"), Url("/s/gone")});
  EXPECT_EQ(run.out, Lines({"/v/ok.mp4", ""}));
  EXPECT_EQ(run.exitCode, 1);
  for (const std::string& line :
       {"* link: " + Url("/s/redirect") + "\n",
        "* GET " + Url("/s/redirect") + " -> HTTP/1.1 302 Found\n",
        std::string("*   redirected to /s/hop\n"),
        "* GET " + Url("/s/hop") + " -> HTTP/1.1 301 Moved Permanently\n",
        "*   redirected to " + Url("/s/ok") + "\n",
        "* GET " + Url("/s/ok") + " -> HTTP/1.1 200 OK\n", std::string("*   address: /v/ok.mp4\n"),
        std::string("*   status: ok\n"), "* GET " + Url("/s/gone") + " -> HTTP/1.1 404 Not Found\n",
        std::string("*   status: empty-response (the page could not be fetched (empty response): "
                    "HTTP/1.1 404 Not Found)\n")}) {
    EXPECT_NE(run.err.find(line), std::string::npos) << line << "\nin:\n" << run.err;
  }
  // The first exchange is the very request the plain path makes.
  const std::vector<RecordedRequest> verbose = server_->Requests();
  ASSERT_EQ(Cli({Url("/s/redirect")}).exitCode, 0);
  const std::vector<RecordedRequest> plain = server_->Requests();
  ASSERT_EQ(verbose.size(), before + 4);
  ASSERT_EQ(plain.size(), before + 7);
  for (std::size_t hop = 0; hop < 3; ++hop) {
    SCOPED_TRACE(hop);
    EXPECT_EQ(verbose[before + hop].bytes, plain[before + 4 + hop].bytes);
  }
}

TEST_F(CliProgram, FailsWhenStandardOutputFails) {
  RunOptions full;
  full.outputPath = "/dev/full";
  const ProgramRun run = Cli({Url("/s/ok"), Url("/s/ok")}, full);
  EXPECT_EQ(run.exitCode, 3);
  EXPECT_EQ(run.err, "lumaclip-cli: standard output: No space left on device\n");
}

TEST_F(CliProgram, FollowsTheSameRulesOverHttps) {
  TestServerOptions tls;
  tls.tls = true;
  TestServer secure(
      R"({"/s/ok": )" + Reply(200, Page("/v/ok.jpg")) +
          R"(, "HEAD /v/ok.mp4": {"status": 200, "headers": [["Content-Type", "video/mp4"]]})"
          R"(, "/s/downgrade": )" +
          Reply(302, "", R"([["Location", "http://127.0.0.1:{port}/s/ok"]])") + "}",
      tls);
  ASSERT_TRUE(secure.Started());
  RunOptions options;
  options.environment = {{"SSL_CERT_FILE", TestServer::CertificateFolder() + "/ca.pem"}};
  ProgramRun run = Cli({"--check", "--absolute", secure.SecureUrl("/s/ok")}, options);
  EXPECT_EQ(run.out, secure.SecureUrl("/v/ok.mp4") + "\n");
  EXPECT_EQ(run.exitCode, 0) << run.err;
  // https -> http is refused by the request layer, and by the traced request alike.
  run = Cli({secure.SecureUrl("/s/downgrade")}, options);
  EXPECT_EQ(run.out, "\n");
  EXPECT_NE(run.err.find("the page could not be fetched (empty response)"), std::string::npos);
  run = Cli({"--verbose", secure.SecureUrl("/s/downgrade")}, options);
  EXPECT_EQ(run.out, "\n");
  EXPECT_NE(run.err.find("*   a redirect from https to http is refused\n"), std::string::npos)
      << run.err;
  // An untrusted certificate gives no page.
  run = Cli({secure.SecureUrl("/s/ok")});
  EXPECT_EQ(run.out, "\n");
  EXPECT_EQ(run.exitCode, 1);
}

TEST_F(CliProgram, ShowsProgressOnlyOnATerminal) {
  RunOptions terminal;
  terminal.errorIsTerminal = true;
  const ProgramRun shown = Cli({Url("/s/ok"), Url("/s/none"), Url("/s/ok")}, terminal);
  EXPECT_EQ(shown.out, Lines({"/v/ok.mp4", "", "/v/ok.mp4"}));
  EXPECT_NE(shown.err.find("3/3 done, 1 failed"), std::string::npos) << shown.err;
  EXPECT_NE(shown.err.find("\r\x1b[K"), std::string::npos);
  EXPECT_NE(shown.err.find("the page has no video address"), std::string::npos);

  const ProgramRun hidden = Cli({Url("/s/ok"), Url("/s/none"), Url("/s/ok")});
  EXPECT_EQ(hidden.err.find("done"), std::string::npos) << hidden.err;
  EXPECT_EQ(hidden.err.find('\x1b'), std::string::npos);
  // One link is no batch.
  EXPECT_EQ(Cli({Url("/s/ok")}, terminal).err.find("done"), std::string::npos);
}

TEST_F(CliProgram, AnswersHelpVersionAndBadOptions) {
  ProgramRun run = Cli({"--help"});
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_TRUE(run.out.starts_with("Usage: lumaclip-cli [OPTION]... [LINK]...\n"));
  EXPECT_NE(run.out.find("Exit status:"), std::string::npos);
  run = Cli({"fetch", "--help"});
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_TRUE(run.out.starts_with("Usage: lumaclip-cli fetch [OPTION]... URL\n"));
  run = Cli({"--version"});
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_TRUE(run.out.starts_with("lumaclip-cli 1.")) << run.out;

  const struct {
    std::vector<std::string> arguments;
    std::string message;
  } bad[] = {
      {{"--bogus", Url("/s/ok")}, "unrecognized option '--bogus'"},
      {{"-j", "0", Url("/s/ok")}, "invalid number of jobs '0' (1 to 256)"},
      {{"--jobs"}, "option '--jobs' requires an argument"},
      {{"fetch"}, "fetch: missing URL"},
      {{"fetch", "--method", "PUT", Url("/s/ok")}, "invalid method 'PUT' (GET, POST or a number)"},
  };
  const std::size_t before = RequestCount();
  for (const auto& c : bad) {
    SCOPED_TRACE(c.message);
    run = Cli(c.arguments);
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err,
              "lumaclip-cli: " + c.message + "\nTry 'lumaclip-cli --help' for more information.\n");
  }
  // No link and a terminal for input: nothing to do, and the user is told so.
  RunOptions terminal;
  terminal.inputIsTerminal = true;
  run = Cli({}, terminal);
  EXPECT_EQ(run.exitCode, 2);
  EXPECT_NE(run.err.find("no link given"), std::string::npos);
  EXPECT_EQ(RequestCount(), before);
}

TEST_F(CliProgram, ReportsAMissingRequestLayerFatally) {
  RunOptions options;
  options.environment = {{"LUMACLIP_WININET_LIBRARY", "/nonexistent/liblumaclip_wininet.so"},
                         {"LC_ALL", "C.UTF-8"}};
  const ProgramRun run = Cli({Url("/s/ok")}, options);
  EXPECT_EQ(run.exitCode, 255);
  EXPECT_EQ(run.out, "");
  // The report in code page 936 is shown converted for a UTF-8 terminal.
  EXPECT_NE(run.err.find("运行时出错!"), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("无法找到指定DLL库文件“wininet.dll”中的输出命令“InternetOpenA”"),
            std::string::npos)
      << run.err;
}

TEST_F(CliProgram, FetchWritesTheBodyAndReportsTheReturnedValues) {
  ProgramRun run = Cli({"fetch", Url("/f/bytes")});
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_EQ(run.out, std::string("\x00\xFF\r\nA", 5));
  EXPECT_EQ(run.err, "");

  const fs::path file =
      fs::temp_directory_path() / ("lumaclip-cli-fetch-" + std::to_string(getpid()));
  run = Cli({"fetch", "-o", file.string(), Url("/f/bytes")});
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_EQ(run.out, "");
  std::ifstream in(file, std::ios::binary);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), std::string("\x00\xFF\r\nA", 5));
  fs::remove(file);

  run = Cli({"fetch", "--report", "--cookies", "a=0; c=3", "--header", "X-One: 1", "--header",
             "X-Two: 2", Url("/f/cookies")});
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_EQ(run.out, "set");
  const std::vector<std::string> report = Canonical(run.err);
  ASSERT_EQ(report.size(), 1u) << run.err;
  const std::string& values = report[0];
  EXPECT_NE(values.find(R"("bodySize":3)"), std::string::npos) << values;
  EXPECT_NE(values.find(R"("cookies":"a=1; b=2; c=3")"), std::string::npos) << values;
  EXPECT_NE(values.find(R"("responseCookies":"a=1;b=2")"), std::string::npos) << values;
  EXPECT_NE(values.find(R"("extraHeaders":"X-One: 1\r\nX-Two: 2\r\nReferer: )" + Url("/f/cookies") +
                        R"(\r\nAccept: */*\r\nAccept-Language: zh-cn\r\nContent-Type: )"
                        R"(application/x-www-form-urlencoded\r\nCookie: a=0; c=3")"),
            std::string::npos)
      << values;
  EXPECT_NE(values.find(R"("rawHeaders":"HTTP/1.1 200 OK\r\n)"), std::string::npos) << values;
  // No Location line: the location receives the raw header text.
  EXPECT_NE(values.find(R"("location":"HTTP/1.1 200 OK\r\n)"), std::string::npos) << values;
  const std::string sent = server_->Requests().back().bytes;
  EXPECT_NE(sent.find("\r\nX-One: 1\r\nX-Two: 2\r\n"), std::string::npos) << sent;
  EXPECT_NE(sent.find("\r\nCookie: a=0; c=3\r\n"), std::string::npos) << sent;

  // Cookies left out: the report says null.
  run = Cli({"fetch", "--report", Url("/f/bytes")});
  EXPECT_NE(Canonical(run.err).at(0).find(R"("cookies":null)"), std::string::npos) << run.err;
}

TEST_F(CliProgram, FetchPostsRedirectsAndUsesAProxy) {
  const fs::path file =
      fs::temp_directory_path() / ("lumaclip-cli-post-" + std::to_string(getpid()));
  std::ofstream(file, std::ios::binary) << std::string("a\x00z", 3);
  const struct {
    std::vector<std::string> arguments;
    std::string requestStart;
    std::string requestEnd;
  } cases[] = {
      {{"fetch", "--post-text", "a=1&b=2", Url("/f/bytes")},
       "POST /f/bytes HTTP/1.1\r\n",
       "\r\n\r\na=1&b=2"},
      {{"fetch", "--post-file", file.string(), Url("/f/bytes")},
       "POST /f/bytes HTTP/1.1\r\n",
       std::string("\r\n\r\na\x00z", 7)},
      // Method 2 is a GET that carries the body.
      {{"fetch", "--method", "2", "--post-text", "q", Url("/f/bytes")},
       "GET /f/bytes HTTP/1.1\r\n",
       "\r\n\r\nq"},
      {{"fetch", Url("/f/bytes")}, "GET /f/bytes HTTP/1.1\r\n", "\r\n\r\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.arguments[1]);
    ASSERT_EQ(Cli(c.arguments).exitCode, 0);
    const std::string sent = server_->Requests().back().bytes;
    EXPECT_TRUE(sent.starts_with(c.requestStart)) << sent;
    EXPECT_TRUE(sent.ends_with(c.requestEnd)) << sent;
  }
  fs::remove(file);

  ProgramRun run = Cli({"fetch", "--no-redirect", "--report", Url("/f/moved")});
  EXPECT_EQ(run.out, "see /next");
  EXPECT_NE(Canonical(run.err).at(0).find(R"("location":"/next")"), std::string::npos) << run.err;
  run = Cli({"fetch", "--verbose", Url("/f/moved")});
  EXPECT_EQ(run.err, "* HTTP/1.1 404 Not Found\n") << "the redirect to /next was followed";

  const std::string port = std::to_string(server_->Port());
  run = Cli({"fetch", "--proxy", "127.0.0.1:" + port, "http://proxied.test/a"});
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(run.out, "proxied");
  EXPECT_NE(server_->Requests().back().description.find("\"proxied\": true"), std::string::npos);

  run = Cli({"fetch", Refused("/a")});
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(run.err, "lumaclip-cli: " + Refused("/a") + ": no response\n");
}

}  // namespace
}  // namespace lumaclip::testing
