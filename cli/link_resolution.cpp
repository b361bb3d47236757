// One link from input to result. The failure that matters most to a user is told apart here: an
// empty body means the page could not be fetched; a body without the preview address means the
// page has no video address.
#include "cli/link_resolution.h"

#include <charconv>

#include "app/derive_video_address.h"
#include "cli/address_resolution.h"
#include "cli/output_text.h"
#include "cli/share_text.h"
#include "cli/traced_request.h"
#include "text/values.h"
#include "web/fetch_web_page.h"
#include "web/request_headers.h"

namespace lumaclip::cli {
namespace {

// The header text and agent the request routine sends for `link` with every optional parameter
// left out.
std::string DefaultHeaderText(std::string_view link) {
  Text headers;
  CompleteRequestHeaders(headers, Text::FromBytes(link), Text());
  std::string text(headers.View());
  // A saved page has no link: no Referer rather than an empty one.
  if (link.empty() && text.starts_with("Referer: \r\n")) text.erase(0, 11);
  return text;
}

std::string DefaultAgent() {
  return std::string(RequestAgent(Text()).View());
}

void NoteExchanges(std::string& notes, std::string_view verb, const TracedResponse& response) {
  for (const Exchange& exchange : response.exchanges) {
    notes += "* " + std::string(verb) + " " + Printable(exchange.url) + " -> " +
             (exchange.status != 0 ? Printable(exchange.statusLine) : std::string("no answer")) +
             "\n";
    if (!exchange.location.empty())
      notes += "*   redirected to " + Printable(exchange.location) + "\n";
  }
  if (!response.stopReason.empty()) notes += "*   " + response.stopReason + "\n";
}

std::optional<int64_t> ParseSize(std::string_view text) {
  int64_t value = 0;
  const char* end = text.data() + text.size();
  auto [stop, problem] = std::from_chars(text.data(), end, value);
  if (text.empty() || problem != std::errc() || stop != end || value < 0) return std::nullopt;
  return value;
}

// The video's whole size: the total of "Content-Range: bytes 0-0/N" for a range answer, else
// Content-Length.
std::optional<int64_t> VideoSize(const TracedResponse& response) {
  if (response.status == 206) {
    const std::optional<std::string> range = HeaderField(response.rawHeaders, "Content-Range");
    if (!range) return std::nullopt;
    const std::size_t slash = range->rfind('/');
    return slash == std::string::npos ? std::nullopt : ParseSize(range->substr(slash + 1));
  }
  const std::optional<std::string> length = HeaderField(response.rawHeaders, "Content-Length");
  return length ? ParseSize(*length) : std::nullopt;
}

bool IsSuccess(int status) {
  return status >= 200 && status <= 299;
}

// Type and size describe the video only when it answered; an error page's are left out.
void FillCheck(VideoCheck& check, std::string_view method, const TracedResponse& response) {
  check.method = method;
  check.status = response.status;
  if (!IsSuccess(response.status)) return;
  check.contentType = HeaderField(response.rawHeaders, "Content-Type").value_or("");
  check.size = VideoSize(response);
}

// Sets the result's status and address from the page body; `base` is the page's final address,
// empty for a saved page.
void Derive(LinkResult& result, std::string_view body, std::string_view base,
            const ResolveSettings& settings) {
  result.bodySize = static_cast<int64_t>(body.size());
  if (body.empty()) {
    result.status = LinkStatus::kEmptyResponse;
    return;
  }
  const Text derived = DeriveVideoAddress(Bytes::FromBytes(body));
  if (derived.View() == VideoSuffix.View()) {
    result.status = LinkStatus::kNoAddress;
    return;
  }
  const std::string address(derived.View());
  std::optional<std::string> absolute;
  if (!base.empty()) {
    absolute = ResolveAddress(base, address);
  } else if (IsWebAddress(address)) {
    absolute = address;
  }
  result.address = settings.absolute && absolute ? *absolute : address;
  if (settings.verbose) result.notes += "*   address: " + Printable(address) + "\n";
  result.status = LinkStatus::kOk;
  if (!settings.check) return;
  if (!absolute || !IsWebAddress(*absolute)) {
    result.check = VideoCheck{absolute.value_or(address), {}, 0, {}, {}};
    result.status = LinkStatus::kVideoUnreachable;
    result.detail = absolute ? "not an http or https address"
                             : "a relative address and no page address to resolve it against";
    return;
  }
  result.check =
      CheckVideo(*absolute, result.link.value_or(""), settings.verbose ? &result.notes : nullptr);
  if (!IsSuccess(result.check->status)) {
    result.status =
        result.check->status == 0 ? LinkStatus::kVideoUnreachable : LinkStatus::kVideoMissing;
    if (result.check->status != 0) result.detail = "status " + std::to_string(result.check->status);
  }
}

void NoteOutcome(LinkResult& result) {
  result.notes += "*   status: " + std::string(StatusWord(result.status));
  if (result.status != LinkStatus::kOk) {
    result.notes += " (" + std::string(StatusExplanation(result.status));
    if (!result.detail.empty()) result.notes += ": " + result.detail;
    result.notes += ")";
  }
  result.notes += "\n";
}

}  // namespace

std::string_view StatusWord(LinkStatus status) {
  switch (status) {
    case LinkStatus::kOk:
      return "ok";
    case LinkStatus::kNoLink:
      return "no-link";
    case LinkStatus::kEmptyResponse:
      return "empty-response";
    case LinkStatus::kNoAddress:
      return "no-address";
    case LinkStatus::kVideoMissing:
      return "video-missing";
    case LinkStatus::kVideoUnreachable:
      return "video-unreachable";
  }
  return "ok";
}

std::string_view StatusExplanation(LinkStatus status) {
  switch (status) {
    case LinkStatus::kOk:
      return "";
    case LinkStatus::kNoLink:
      return "no http:// or https:// link in the input";
    case LinkStatus::kEmptyResponse:
      return "the page could not be fetched (empty response)";
    case LinkStatus::kNoAddress:
      return "the page has no video address";
    case LinkStatus::kVideoMissing:
      return "the video address did not answer 2xx";
    case LinkStatus::kVideoUnreachable:
      return "the video address gave no answer";
  }
  return "";
}

VideoCheck CheckVideo(std::string_view address, std::string_view link, std::string* notes) {
  VideoCheck check;
  check.address = std::string(WithoutFragment(address));
  TracedRequest request{check.address, "HEAD", DefaultHeaderText(link), DefaultAgent(), false};
  const TracedResponse head = PerformTracedRequest(request);
  if (notes) NoteExchanges(*notes, "HEAD", head);
  if (IsSuccess(head.status)) {
    FillCheck(check, "HEAD", head);
  } else {
    // Servers that refuse HEAD mostly still serve a range of the file.
    request.verb = "GET";
    request.headerText += "\r\nRange: bytes=0-0";
    const TracedResponse range = PerformTracedRequest(request);
    if (notes) NoteExchanges(*notes, "GET (Range: bytes=0-0)", range);
    if (range.status != 0) {
      FillCheck(check, "GET", range);
    } else if (head.status != 0) {
      FillCheck(check, "HEAD", head);
    }
  }
  if (notes && check.status != 0) {
    *notes += "*   video: " + std::to_string(check.status) + ", " +
              (check.contentType.empty() ? std::string("no content type")
                                         : Printable(check.contentType)) +
              ", " + (check.size ? std::to_string(*check.size) + " bytes" : "size unknown") + "\n";
  }
  return check;
}

LinkResult ResolveLink(std::string_view input, const ResolveSettings& settings) {
  LinkResult result;
  result.input = std::string(input);
  std::string_view link = input;
  if (settings.extractLink) {
    const std::optional<std::string_view> found = ExtractLink(input);
    if (!found) {
      result.status = LinkStatus::kNoLink;
      if (settings.verbose) NoteOutcome(result);
      return result;
    }
    link = *found;
  }
  result.link = std::string(link);
  if (settings.verbose) result.notes += "* link: " + Printable(link) + "\n";
  if (!settings.verbose && !settings.check && !settings.absolute) {
    const Bytes body = FetchWebPage(Text::FromBytes(link));
    Derive(result, body.View(), {}, settings);
    return result;
  }
  const TracedResponse page = PerformTracedRequest(
      TracedRequest{std::string(link), "GET", DefaultHeaderText(link), DefaultAgent(), true});
  if (settings.verbose) {
    NoteExchanges(result.notes, "GET", page);
    result.notes += "*   page: " + std::to_string(page.body.size()) + " bytes\n";
  }
  Derive(result, page.body, page.finalUrl, settings);
  if (result.status == LinkStatus::kEmptyResponse) {
    result.detail = page.status != 0 ? Printable(StatusLine(page.rawHeaders)) : page.stopReason;
  }
  if (settings.verbose) NoteOutcome(result);
  return result;
}

LinkResult ResolveSavedPage(std::string_view name, std::string_view body,
                            const ResolveSettings& settings) {
  LinkResult result;
  result.input = std::string(name);
  result.page = std::string(name);
  if (settings.verbose) {
    result.notes += "* page: " + Printable(name) + ", " + std::to_string(body.size()) + " bytes\n";
  }
  Derive(result, body, {}, settings);
  if (settings.verbose) NoteOutcome(result);
  return result;
}

}  // namespace lumaclip::cli
