// Reads the command line in the usual form of command-line tools: long options with "=VALUE" or
// a separate value, short options that may be clustered ("-vj4"), options anywhere before "--",
// and messages worded as other tools word them.
#include "cli/command_line.h"

#include <charconv>

#ifndef LUMACLIP_VERSION
#define LUMACLIP_VERSION "0"
#endif

namespace lumaclip::cli {
namespace {

enum class Id {
  kHelp,
  kVersion,
  kJson,
  kJobs,
  kExtractLink,
  kPage,
  kCheck,
  kAbsolute,
  kVerbose,
  kMethod,
  kPostText,
  kPostFile,
  kCookies,
  kHeader,
  kNoRedirect,
  kProxy,
  kOutput,
  kReport,
};

struct OptionDefinition {
  std::string_view longName;
  char shortName;  // 0: none
  bool takesValue;
  Id id;
};

constexpr OptionDefinition kResolveOptions[] = {
    {"help", 'h', false, Id::kHelp},
    {"version", 'V', false, Id::kVersion},
    {"json", 0, false, Id::kJson},
    {"jobs", 'j', true, Id::kJobs},
    {"extract-link", 0, false, Id::kExtractLink},
    {"page", 0, true, Id::kPage},
    {"check", 0, false, Id::kCheck},
    {"absolute", 0, false, Id::kAbsolute},
    {"verbose", 'v', false, Id::kVerbose},
};

constexpr OptionDefinition kFetchOptions[] = {
    {"help", 'h', false, Id::kHelp},
    {"method", 0, true, Id::kMethod},
    {"post-text", 0, true, Id::kPostText},
    {"post-file", 0, true, Id::kPostFile},
    {"cookies", 0, true, Id::kCookies},
    {"header", 0, true, Id::kHeader},
    {"no-redirect", 0, false, Id::kNoRedirect},
    {"proxy", 0, true, Id::kProxy},
    {"output", 'o', true, Id::kOutput},
    {"report", 0, false, Id::kReport},
    {"verbose", 'v', false, Id::kVerbose},
};

struct Option {
  Id id;
  std::string name;  // as the user wrote it, for messages: "--jobs" or "-j"
  std::string value;
};

// Splits the words into options and operands. Returns false with `error` set on a bad option.
template <std::size_t N>
bool SplitWords(const std::vector<std::string>& words, std::size_t first,
                const OptionDefinition (&definitions)[N], std::vector<Option>& options,
                std::vector<std::string>& operands, std::string& error) {
  bool optionsEnded = false;
  for (std::size_t i = first; i < words.size(); ++i) {
    const std::string& word = words[i];
    if (optionsEnded || word.size() < 2 || word[0] != '-') {
      operands.push_back(word);
      continue;
    }
    if (word == "--") {
      optionsEnded = true;
      continue;
    }
    if (word[1] == '-') {
      const std::size_t equals = word.find('=');
      const std::string_view name = std::string_view(word).substr(2, equals - 2);
      const OptionDefinition* definition = nullptr;
      for (const OptionDefinition& candidate : definitions) {
        if (candidate.longName == name) definition = &candidate;
      }
      const std::string shown = "--" + std::string(name);
      if (definition == nullptr) {
        error = "unrecognized option '" + word + "'";
        return false;
      }
      Option option{definition->id, shown, {}};
      if (definition->takesValue) {
        if (equals != std::string::npos) {
          option.value = word.substr(equals + 1);
        } else if (i + 1 < words.size()) {
          option.value = words[++i];
        } else {
          error = "option '" + shown + "' requires an argument";
          return false;
        }
      } else if (equals != std::string::npos) {
        error = "option '" + shown + "' doesn't allow an argument";
        return false;
      }
      options.push_back(std::move(option));
      continue;
    }
    for (std::size_t k = 1; k < word.size(); ++k) {
      const char letter = word[k];
      const OptionDefinition* definition = nullptr;
      for (const OptionDefinition& candidate : definitions) {
        if (candidate.shortName != 0 && candidate.shortName == letter) definition = &candidate;
      }
      if (definition == nullptr) {
        error = std::string("invalid option -- '") + letter + "'";
        return false;
      }
      Option option{definition->id, std::string("-") + letter, {}};
      if (definition->takesValue) {
        if (k + 1 < word.size()) {
          option.value = word.substr(k + 1);
        } else if (i + 1 < words.size()) {
          option.value = words[++i];
        } else {
          error = std::string("option requires an argument -- '") + letter + "'";
          return false;
        }
        options.push_back(std::move(option));
        break;
      }
      options.push_back(std::move(option));
    }
  }
  return true;
}

std::optional<int> ParseJobs(std::string_view text) {
  int value = 0;
  const char* end = text.data() + text.size();
  auto [stop, problem] = std::from_chars(text.data(), end, value);
  if (text.empty() || problem != std::errc() || stop != end || value < 1 || value > kMaxJobs) {
    return std::nullopt;
  }
  return value;
}

CommandLine UsageError(std::string message) {
  CommandLine result;
  result.action = Action::kUsageError;
  result.error = std::move(message);
  return result;
}

CommandLine ParseResolve(const std::vector<std::string>& words) {
  std::vector<Option> options;
  CommandLine result;
  if (!SplitWords(words, 0, kResolveOptions, options, result.resolve.links, result.error)) {
    return UsageError(result.error);
  }
  ResolveOptions& resolve = result.resolve;
  for (const Option& option : options) {
    switch (option.id) {
      case Id::kHelp:
        result.action = Action::kHelp;
        return result;
      case Id::kVersion:
        result.action = Action::kVersion;
        return result;
      case Id::kJson:
        resolve.json = true;
        break;
      case Id::kJobs: {
        const std::optional<int> jobs = ParseJobs(option.value);
        if (!jobs) {
          return UsageError("invalid number of jobs '" + option.value + "' (1 to " +
                            std::to_string(kMaxJobs) + ")");
        }
        resolve.jobs = *jobs;
        break;
      }
      case Id::kExtractLink:
        resolve.extractLink = true;
        break;
      case Id::kPage:
        resolve.pageFile = option.value;
        break;
      case Id::kCheck:
        resolve.check = true;
        break;
      case Id::kAbsolute:
        resolve.absolute = true;
        break;
      case Id::kVerbose:
        resolve.verbose = true;
        break;
      default:
        break;
    }
  }
  if (resolve.pageFile && !resolve.links.empty()) {
    return UsageError("option '--page' takes no LINK operands");
  }
  return result;
}

CommandLine ParseFetch(const std::vector<std::string>& words) {
  std::vector<Option> options;
  std::vector<std::string> operands;
  CommandLine result;
  result.action = Action::kFetch;
  if (!SplitWords(words, 1, kFetchOptions, options, operands, result.error)) {
    return UsageError(result.error);
  }
  FetchOptions& fetch = result.fetch;
  for (const Option& option : options) {
    switch (option.id) {
      case Id::kHelp:
        result.action = Action::kFetchHelp;
        return result;
      case Id::kMethod: {
        const std::optional<int32_t> method = ParseMethod(option.value);
        if (!method)
          return UsageError("invalid method '" + option.value + "' (GET, POST or a number)");
        fetch.method = *method;
        fetch.methodGiven = true;
        break;
      }
      case Id::kPostText:
        fetch.postText = option.value;
        break;
      case Id::kPostFile:
        fetch.postFile = option.value;
        break;
      case Id::kCookies:
        fetch.cookies = option.value;
        break;
      case Id::kHeader:
        fetch.headers.push_back(option.value);
        break;
      case Id::kNoRedirect:
        fetch.noRedirect = true;
        break;
      case Id::kProxy:
        fetch.proxy = option.value;
        break;
      case Id::kOutput:
        fetch.outputFile = option.value;
        break;
      case Id::kReport:
        fetch.report = true;
        break;
      case Id::kVerbose:
        fetch.verbose = true;
        break;
      default:
        break;
    }
  }
  if (operands.size() != 1) {
    return UsageError(operands.empty() ? "fetch: missing URL" : "fetch: exactly one URL expected");
  }
  fetch.url = operands.front();
  // A body given without a method is posted, as other tools do.
  if (!fetch.methodGiven && (fetch.postText || fetch.postFile)) fetch.method = 1;
  return result;
}

}  // namespace

std::optional<int32_t> ParseMethod(std::string_view text) {
  auto equalsIgnoringCase = [&](std::string_view word) {
    if (text.size() != word.size()) return false;
    for (std::size_t i = 0; i < word.size(); ++i) {
      char c = text[i];
      if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
      if (c != word[i]) return false;
    }
    return true;
  };
  if (equalsIgnoringCase("GET")) return 0;
  if (equalsIgnoringCase("POST")) return 1;
  int32_t value = 0;
  const char* end = text.data() + text.size();
  auto [stop, problem] = std::from_chars(text.data(), end, value);
  if (text.empty() || problem != std::errc() || stop != end) return std::nullopt;
  return value;
}

CommandLine ParseCommandLine(const std::vector<std::string>& arguments) {
  if (!arguments.empty() && arguments.front() == "fetch") return ParseFetch(arguments);
  return ParseResolve(arguments);
}

std::string ResolveUsage() {
  return R"(Usage: lumaclip-cli [OPTION]... [LINK]...
       lumaclip-cli fetch [OPTION]... URL
Resolve share links of short-video pages to the direct addresses of their videos.

Each LINK is fetched as given and its video address printed, one line per link,
in the order given. With no LINK and standard input not a terminal, or with the
LINK "-", links are read from standard input, one a line; blank lines are
skipped. A link that yields no address prints an empty line (so that line N of
the output always belongs to link N) and a message on standard error.

  -j, --jobs=N        resolve up to N links at a time (1 to 256, default 1);
                        the output keeps the input order
      --json          print one JSON object per link: link, address (or null),
                        status, bodySize (and check with --check)
      --extract-link  take the first http:// or https:// address inside each
                        input (for share texts with a caption around the link)
      --page=FILE     derive the address from a saved page (FILE or "-" for
                        standard input); no request is made
      --check         ask for the video (HEAD, else a one-byte range GET) and
                        report status, content type and size; a video that
                        does not answer 2xx is a failure
      --absolute      print the address resolved against the page's final
                        address when the page gives a relative one
  -v, --verbose       on standard error: redirects, the final status line and
                        why a link failed
  -h, --help          show this help and exit
  -V, --version       show the version and exit

Status words (--json, --verbose):
  ok                 the address was derived (and, with --check, answered 2xx)
  no-link            --extract-link found no http:// or https:// address
  empty-response     the page could not be fetched (empty response)
  no-address         the page has no video address
  video-missing      --check: the video answered with a status other than 2xx
  video-unreachable  --check: the video gave no answer at all

Exit status:
  0  every link gave a video address (and passed --check)
  1  at least one link failed (see the status words)
  2  the command line was wrong
  3  a file could not be read or written, or standard output failed
 255 a fatal report of the request layer (for instance a missing library)

See 'lumaclip-cli fetch --help' for the request subcommand.
)";
}

std::string FetchUsage() {
  return R"(Usage: lumaclip-cli fetch [OPTION]... URL
Make one HTTP(S) request with the general request routine and write the response
body to standard output.

      --method=M        GET, POST or the routine's method number (1 is POST;
                          any other number but 0 sends GET with a body)
      --post-text=TEXT  the body as text (implies POST unless --method is given)
      --post-file=FILE  the body as the bytes of FILE, "-" for standard input
                          (implies POST unless --method is given)
      --cookies=TEXT    send these cookies (name=value; ...) and leave the
                          library's own cookies off; given empty, still off
      --header=LINE     an extra request header line (repeatable)
      --no-redirect     do not follow redirects
      --proxy=HOST:PORT send http requests through this proxy
  -o, --output=FILE     write the body to FILE instead of standard output
      --report          print the values the routine returns as JSON on
                          standard error: extraHeaders (the header text sent),
                          location, responseCookies, cookies, rawHeaders,
                          bodySize
  -v, --verbose         print the response's status line on standard error
  -h, --help            show this help and exit

Exit status: 0 when a response came back, 1 when none did (empty body and no
status line), 2 for a wrong command line, 3 when a file could not be read or
written, 255 for a fatal report of the request layer.
)";
}

std::string VersionText() {
  return std::string(kProgramName) + " " + LUMACLIP_VERSION + "\n";
}

}  // namespace lumaclip::cli
