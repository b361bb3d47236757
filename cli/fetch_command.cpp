// lumaclip-cli fetch: the general request routine with its parameters from the command line, the
// body on standard output or in a file, and what the routine writes back as JSON on request.
#include <cstdio>
#include <string>

#include "cli/commands.h"
#include "cli/file_io.h"
#include "cli/json_text.h"
#include "cli/output_text.h"
#include "cli/traced_request.h"
#include "text/values.h"
#include "web/fetch_web_page.h"

namespace lumaclip::cli {

int RunFetch(const FetchOptions& options) {
  const Text url = Text::FromBytes(options.url);
  const Text postText = Text::FromBytes(options.postText.value_or(""));
  Bytes postBytes;
  if (options.postFile) {
    std::string error;
    const std::optional<std::string> bytes = ReadWholeFile(*options.postFile, error);
    if (!bytes) {
      Complain(error);
      return kExitFile;
    }
    postBytes = Bytes::FromBytes(*bytes);
  }
  Text cookies = Text::FromBytes(options.cookies.value_or(""));
  std::string headerLines;
  for (const std::string& line : options.headers) {
    if (!headerLines.empty()) headerLines += "\r\n";
    headerLines += line;
  }
  Text extraHeaders = Text::FromBytes(headerLines);
  const Text proxy = Text::FromBytes(options.proxy.value_or(""));
  Text responseCookies, location, rawHeaders;

  const Bytes body =
      FetchWebPage(url, options.method, &postText, options.cookies ? &cookies : nullptr,
                   &responseCookies, &extraHeaders, &location, options.noRedirect, &postBytes,
                   options.proxy ? &proxy : nullptr, &rawHeaders);

  const std::string_view statusLine = StatusLine(rawHeaders.View());
  if (options.verbose) {
    std::fprintf(stderr, "* %s\n",
                 statusLine.empty() ? "no answer" : Printable(statusLine).c_str());
  }
  if (options.report) {
    JsonObject report;
    report.Add("extraHeaders", extraHeaders.View());
    report.Add("location", location.View());
    report.Add("responseCookies", responseCookies.View());
    if (options.cookies) {
      report.Add("cookies", cookies.View());
    } else {
      report.AddNull("cookies");
    }
    report.Add("rawHeaders", rawHeaders.View());
    report.AddNumber("bodySize", body.Count());
    const std::string text = report.Text() + "\n";
    std::fputs(text.c_str(), stderr);
  }
  std::string error;
  if (!WriteWholeFile(options.outputFile.value_or("-"), body.View(), error)) {
    Complain(error);
    return kExitFile;
  }
  if (statusLine.empty() && body.Count() == 0) {
    Complain(Printable(options.url) + ": no response");
    return kExitFailed;
  }
  return kExitOk;
}

}  // namespace lumaclip::cli
