// The command line as other tools read it: option forms, clusters, "--", the fetch subcommand and
// the messages for wrong input.
#include "cli/command_line.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace lumaclip::cli {
namespace {

using Words = std::vector<std::string>;

std::string Describe(const Words& words) {
  std::string text;
  for (const std::string& word : words) text += "[" + word + "]";
  return text;
}

TEST(CommandLine, ReadsResolveOptionsInEveryForm) {
  struct Case {
    Words words;
    Words links;
    int jobs;
    bool json, extractLink, check, absolute, verbose;
  };
  const Case cases[] = {
      {{"http://a.test/"}, {"http://a.test/"}, 1, false, false, false, false, false},
      {{"a", "-", "b"}, {"a", "-", "b"}, 1, false, false, false, false, false},
      {{"--jobs", "8", "a"}, {"a"}, 8, false, false, false, false, false},
      {{"--jobs=16", "a"}, {"a"}, 16, false, false, false, false, false},
      {{"-j", "3", "a"}, {"a"}, 3, false, false, false, false, false},
      {{"-j4", "a"}, {"a"}, 4, false, false, false, false, false},
      {{"-vj2", "a"}, {"a"}, 2, false, false, false, false, true},
      // Options may follow the links; "--" ends them, so later words are links even with "-".
      {{"a", "--json", "--extract-link"}, {"a"}, 1, true, true, false, false, false},
      {{"--check", "--absolute", "--", "--json", "-v"},
       {"--json", "-v"},
       1,
       false,
       false,
       true,
       true,
       false},
      {{"--", "fetch"}, {"fetch"}, 1, false, false, false, false, false},
      {{}, {}, 1, false, false, false, false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(Describe(c.words));
    const CommandLine line = ParseCommandLine(c.words);
    ASSERT_EQ(line.action, Action::kResolve) << line.error;
    EXPECT_EQ(line.resolve.links, c.links);
    EXPECT_EQ(line.resolve.jobs, c.jobs);
    EXPECT_EQ(line.resolve.json, c.json);
    EXPECT_EQ(line.resolve.extractLink, c.extractLink);
    EXPECT_EQ(line.resolve.check, c.check);
    EXPECT_EQ(line.resolve.absolute, c.absolute);
    EXPECT_EQ(line.resolve.verbose, c.verbose);
  }
}

TEST(CommandLine, HelpAndVersionWinOverEverythingElse) {
  EXPECT_EQ(ParseCommandLine({"a", "--help"}).action, Action::kHelp);
  EXPECT_EQ(ParseCommandLine({"-h"}).action, Action::kHelp);
  EXPECT_EQ(ParseCommandLine({"--version", "--jobs", "2"}).action, Action::kVersion);
  EXPECT_EQ(ParseCommandLine({"-V"}).action, Action::kVersion);
  EXPECT_EQ(ParseCommandLine({"fetch", "--help"}).action, Action::kFetchHelp);
  EXPECT_NE(VersionText().find("lumaclip-cli "), std::string::npos);
}

TEST(CommandLine, ReadsThePageOption) {
  const CommandLine line = ParseCommandLine({"--page", "saved.html", "--json"});
  ASSERT_EQ(line.action, Action::kResolve);
  EXPECT_EQ(line.resolve.pageFile, "saved.html");
  EXPECT_EQ(ParseCommandLine({"--page=-"}).resolve.pageFile, "-");
}

TEST(CommandLine, NamesWhatIsWrong) {
  struct Case {
    Words words;
    std::string error;
  };
  const Case cases[] = {
      {{"--frobnicate"}, "unrecognized option '--frobnicate'"},
      {{"--jobs"}, "option '--jobs' requires an argument"},
      {{"-j"}, "option requires an argument -- 'j'"},
      {{"-x"}, "invalid option -- 'x'"},
      {{"-vx"}, "invalid option -- 'x'"},
      {{"--json=yes"}, "option '--json' doesn't allow an argument"},
      {{"--jobs", "0"}, "invalid number of jobs '0' (1 to 256)"},
      {{"--jobs", "257"}, "invalid number of jobs '257' (1 to 256)"},
      {{"-j", "-3"}, "invalid number of jobs '-3' (1 to 256)"},
      {{"--jobs=4x"}, "invalid number of jobs '4x' (1 to 256)"},
      {{"--jobs="}, "invalid number of jobs '' (1 to 256)"},
      {{"--page", "p.html", "http://a.test/"}, "option '--page' takes no LINK operands"},
      // A fetch option is no resolve option, and the other way round.
      {{"--method", "POST", "a"}, "unrecognized option '--method'"},
      {{"fetch", "--json", "u"}, "unrecognized option '--json'"},
      {{"fetch"}, "fetch: missing URL"},
      {{"fetch", "u", "v"}, "fetch: exactly one URL expected"},
      {{"fetch", "--method", "PUT", "u"}, "invalid method 'PUT' (GET, POST or a number)"},
      {{"fetch", "--header"}, "option '--header' requires an argument"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(Describe(c.words));
    const CommandLine line = ParseCommandLine(c.words);
    EXPECT_EQ(line.action, Action::kUsageError);
    EXPECT_EQ(line.error, c.error);
  }
}

TEST(CommandLine, ReadsFetchOptions) {
  const CommandLine line =
      ParseCommandLine({"fetch", "--method=2", "--post-text", "a=1", "--cookies=", "--header",
                        "X-A: 1", "--header", "X-B: 2", "--no-redirect", "--proxy",
                        "127.0.0.1:3128", "-o", "out.bin", "--report", "-v", "http://a.test/"});
  ASSERT_EQ(line.action, Action::kFetch) << line.error;
  const FetchOptions& fetch = line.fetch;
  EXPECT_EQ(fetch.url, "http://a.test/");
  EXPECT_EQ(fetch.method, 2);
  EXPECT_EQ(fetch.postText, "a=1");
  EXPECT_FALSE(fetch.postFile);
  EXPECT_EQ(fetch.cookies, "") << "given empty is still given";
  EXPECT_EQ(fetch.headers, (Words{"X-A: 1", "X-B: 2"}));
  EXPECT_TRUE(fetch.noRedirect);
  EXPECT_EQ(fetch.proxy, "127.0.0.1:3128");
  EXPECT_EQ(fetch.outputFile, "out.bin");
  EXPECT_TRUE(fetch.report);
  EXPECT_TRUE(fetch.verbose);
}

TEST(CommandLine, FetchLeavesOutWhatIsNotGivenAndPostsABody) {
  const CommandLine plain = ParseCommandLine({"fetch", "http://a.test/"});
  ASSERT_EQ(plain.action, Action::kFetch);
  EXPECT_EQ(plain.fetch.method, 0);
  EXPECT_FALSE(plain.fetch.cookies);
  EXPECT_FALSE(plain.fetch.proxy);
  EXPECT_FALSE(plain.fetch.postText);

  EXPECT_EQ(ParseCommandLine({"fetch", "--post-text", "a", "u"}).fetch.method, 1);
  EXPECT_EQ(ParseCommandLine({"fetch", "--post-file", "f", "u"}).fetch.method, 1);
  EXPECT_EQ(ParseCommandLine({"fetch", "--post-file", "f", "--method", "get", "u"}).fetch.method,
            0);
}

TEST(CommandLine, ReadsMethods) {
  const struct {
    std::string text;
    std::optional<int32_t> method;
  } cases[] = {{"GET", 0}, {"post", 1}, {"Post", 1}, {"0", 0},   {"2", 2},           {"-1", -1},
               {"", {}},   {"PUT", {}}, {"1x", {}},  {" 1", {}}, {"99999999999", {}}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(ParseMethod(c.text), c.method);
  }
}

}  // namespace
}  // namespace lumaclip::cli
