// What lumaclip-cli does for one link: the Parse command's fetch and derivation, and on request
// the link taken out of a share text, the redirect chain, the absolute address and the check that
// the video is there. Safe to run for several links at once.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace lumaclip::cli {

enum class LinkStatus {
  kOk,
  kNoLink,
  kEmptyResponse,
  kNoAddress,
  kVideoMissing,
  kVideoUnreachable
};

// "ok", "no-link", "empty-response", "no-address", "video-missing", "video-unreachable".
std::string_view StatusWord(LinkStatus status);
// What went wrong, for the message on standard error; empty for kOk.
std::string_view StatusExplanation(LinkStatus status);

struct ResolveSettings {
  bool extractLink = false;
  bool check = false;
  bool absolute = false;
  bool verbose = false;
};

struct VideoCheck {
  std::string address;  // asked for: absolute, without fragment
  std::string method;   // "HEAD", or "GET" when the one-byte range request answered instead
  int status = 0;       // 0: no answer
  std::string contentType;
  std::optional<int64_t> size;
};

struct LinkResult {
  std::string input;                   // as given (a line of input, or an argument)
  std::optional<std::string> link;     // what was requested; none when no link was found
  std::optional<std::string> page;     // the saved page's name, for --page
  std::optional<std::string> address;  // printed: as derived, or absolute with --absolute
  LinkStatus status = LinkStatus::kOk;
  int64_t bodySize = 0;
  std::optional<VideoCheck> check;
  std::string detail;  // what is known of a failure beyond its status, if anything
  std::string notes;   // --verbose lines, each ended by "\n"
};

// Without --verbose, --check and --absolute the page comes from the request routine with every
// optional parameter left out, exactly as the Parse command asks for it; with them, from the
// traced request, which makes the same request but follows the redirects itself.
LinkResult ResolveLink(std::string_view input, const ResolveSettings& settings);

// The same for a saved page: no request for the page. A relative address has no page address to
// be resolved against, so --absolute leaves it as it is and --check cannot ask for it.
LinkResult ResolveSavedPage(std::string_view name, std::string_view body,
                            const ResolveSettings& settings);

// Asks for the video at `address` with HEAD, else with a one-byte range GET, sending the same
// agent and header lines (Referer = `link`) as the page request. Appends to `notes` when given.
VideoCheck CheckVideo(std::string_view address, std::string_view link, std::string* notes);

}  // namespace lumaclip::cli
