// The command line of lumaclip-cli, read into plain option structures. Reading never touches the
// terminal, the network or a file, so it is tested as a table of argument lists.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace lumaclip::cli {

inline constexpr char kProgramName[] = "lumaclip-cli";
inline constexpr int kMaxJobs = 256;

// `lumaclip-cli [options] [LINK...]`: resolve links to video addresses.
struct ResolveOptions {
  std::vector<std::string> links;  // in the order given; "-" stands for standard input
  bool json = false;
  bool extractLink = false;
  bool check = false;
  bool absolute = false;
  bool verbose = false;
  int jobs = 1;
  std::optional<std::string> pageFile;  // "-" is standard input
};

// `lumaclip-cli fetch [options] URL`: one request through the general request routine.
struct FetchOptions {
  std::string url;
  int32_t method = 0;
  bool methodGiven = false;
  std::optional<std::string> postText;
  std::optional<std::string> postFile;
  std::optional<std::string> cookies;  // given, even empty, switches the library's cookies off
  std::vector<std::string> headers;    // one header line each
  bool noRedirect = false;
  std::optional<std::string> proxy;
  std::optional<std::string> outputFile;
  bool report = false;
  bool verbose = false;
};

enum class Action { kResolve, kFetch, kHelp, kFetchHelp, kVersion, kUsageError };

struct CommandLine {
  Action action = Action::kResolve;
  ResolveOptions resolve;
  FetchOptions fetch;
  std::string error;  // for kUsageError: one line, without the program name
};

// `arguments` are the words after the program name. The first word "fetch" selects the fetch
// subcommand; "--" ends the options, so `-- fetch` is a link named "fetch".
CommandLine ParseCommandLine(const std::vector<std::string>& arguments);

// "GET" and "POST" in any letter case, or a decimal integer (the routine's own method number).
std::optional<int32_t> ParseMethod(std::string_view text);

std::string ResolveUsage();
std::string FetchUsage();
std::string VersionText();

}  // namespace lumaclip::cli
