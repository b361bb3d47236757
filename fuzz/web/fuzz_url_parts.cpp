// UrlHost, UrlPort and UrlPath on arbitrary addresses (properties that hold for every input) and on
// well-formed addresses built from the input (exact host, port and path, outside the known quirks).
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "web/url_parts.h"

namespace {

using lumaclip::Text;

void Require(bool condition) {
  if (!condition) std::abort();
}

std::string Lower(std::string_view text) {
  std::string lowered(text);
  for (char& c : lowered) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 0x20);
  }
  return lowered;
}

bool EndsWith(std::string_view text, std::string_view end) {
  return text.size() >= end.size() && text.substr(text.size() - end.size()) == end;
}

// Offsets at which a one-byte character equal to `c` stands (a byte of 0x80 or above takes the
// byte after it along).
std::vector<std::size_t> CharacterOffsets(std::string_view text, char c) {
  std::vector<std::size_t> offsets;
  for (std::size_t at = 0; at < text.size();) {
    if (static_cast<unsigned char>(text[at]) >= 0x80) {
      at += 2;
      continue;
    }
    if (text[at] == c) offsets.push_back(at);
    at += 1;
  }
  return offsets;
}

bool HasUpperCaseCharacter(std::string_view text) {
  for (char c = 'A'; c <= 'Z'; ++c) {
    if (!CharacterOffsets(text, c).empty()) return true;
  }
  return false;
}

void CheckAnyAddress(std::string_view input) {
  const Text url = Text::FromBytes(input);
  const std::string_view address = url.View();
  const Text host = lumaclip::UrlHost(url);
  const Text hostWithPort = lumaclip::UrlHost(url, false, true);
  const Text domain = lumaclip::UrlHost(url, true, false);
  const Text domainWithPort = lumaclip::UrlHost(url, true, true);
  const Text path = lumaclip::UrlPath(url);
  const int32_t port = lumaclip::UrlPort(url);
  Require(url.View() == address);

  for (const Text* part : {&host, &hostWithPort, &domain, &domainWithPort}) {
    Require(CharacterOffsets(part->View(), '/').empty());
    Require(!HasUpperCaseCharacter(part->View()));
  }
  Require(CharacterOffsets(host.View(), ':').empty());
  Require(CharacterOffsets(domain.View(), ':').empty());
  // The host is the host with port up to its first ":".
  Require(hostWithPort.View().substr(0, host.View().size()) == host.View());
  Require(hostWithPort.View().size() == host.View().size() ||
          hostWithPort.View()[host.View().size()] == ':');
  Require(domainWithPort.View().substr(0, domain.View().size()) == domain.View());
  if (!EndsWith(hostWithPort.View(), ".")) {
    Require(EndsWith(hostWithPort.View(), domainWithPort.View()));
  }

  Require(!path.View().empty() && path.View()[0] == '/');
  Require(path.View() == "/" || EndsWith(address, path.View()));

  // The port agrees with the text after the last ":" of the host with port, where that text is
  // plainly a number or plainly not one.
  const std::vector<std::size_t> colons = CharacterOffsets(hostWithPort.View(), ':');
  if (colons.empty()) {
    Require(port == (Lower(address.substr(0, 5)) == "https" ? 443 : 80));
  } else {
    const std::string_view after = hostWithPort.View().substr(colons.back() + 1);
    std::size_t digits = 0;
    while (digits < after.size() && after[digits] >= '0' && after[digits] <= '9') ++digits;
    if (digits > 0 && digits <= 9) {
      Require(port == std::stoi(std::string(after.substr(0, digits))));
    } else if (digits == 0 &&
               (after.empty() || (after[0] != '+' && after[0] != '-' && after[0] != ' ' &&
                                  after[0] != '\t' && static_cast<unsigned char>(after[0]) < 0x80 &&
                                  (after[0] < 0x09 || after[0] > 0x0D)))) {
      Require(port == 0);
    }
  }
}

// The labels as a split at "." gives them: empty ones kept, but none after a final ".".
std::vector<std::string> Labels(const std::string& host) {
  std::vector<std::string> labels;
  std::size_t begin = 0;
  for (std::size_t dot; (dot = host.find('.', begin)) != std::string::npos; begin = dot + 1) {
    labels.push_back(host.substr(begin, dot - begin));
  }
  if (begin < host.size()) labels.push_back(host.substr(begin));
  return labels;
}

void CheckWellFormedAddress(std::string_view input) {
  if (input.size() < 4) return;
  static constexpr std::string_view kSchemes[] = {"", "http://", "https://", "HTTP://", "HtTpS://"};
  static constexpr std::string_view kHostCharacters =
      "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789.-";
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(input[i]); };
  const std::string_view scheme = kSchemes[byte(0) % 5];
  const bool hasPort = byte(1) & 1;
  const std::string portDigits = std::to_string(((byte(1) << 8) | byte(2)) % 65536);
  const std::size_t hostLength = byte(3) % 12 + 1;
  if (input.size() < 4 + hostLength) return;
  std::string host;
  for (std::size_t i = 0; i < hostLength; ++i) {
    host += kHostCharacters[byte(4 + i) % kHostCharacters.size()];
  }
  std::string givenPath(input.substr(4 + hostLength));
  for (char& c : givenPath) {
    if (c == '\0') c = '_';
  }
  const bool hasPath = !givenPath.empty() && (byte(2) & 1);
  if (hasPath) givenPath.insert(0, "/");

  const std::string address =
      std::string(scheme) + host + (hasPort ? ":" + portDigits : "") + (hasPath ? givenPath : "");
  // Without a scheme, an "http://" later in the address is taken for the scheme.
  if (scheme.empty() && Lower(address).find("http://") != std::string::npos) return;

  const Text url = Text::FromBytes(address);
  const std::string lowerHost = Lower(host);
  const std::string withPort = lowerHost + (hasPort ? ":" + portDigits : "");
  Require(lumaclip::UrlHost(url).View() == lowerHost);
  Require(lumaclip::UrlHost(url, false, true).View() == withPort);

  const std::vector<std::string> labels = Labels(withPort);
  const std::string domainWithPort =
      labels.size() > 1 ? labels[labels.size() - 2] + "." + labels.back() : withPort;
  Require(lumaclip::UrlHost(url, true, true).View() == domainWithPort);
  Require(lumaclip::UrlHost(url, true, false).View() ==
          domainWithPort.substr(0, domainWithPort.find(':')));

  const int32_t defaultPort = Lower(address.substr(0, 5)) == "https" ? 443 : 80;
  Require(lumaclip::UrlPort(url) == (hasPort ? std::stoi(portDigits) : defaultPort));

  // A host that also occurs inside the scheme moves the start of the path search there.
  if (!scheme.empty() && Lower(scheme).find(lowerHost) != std::string::npos) return;
  Require(lumaclip::UrlPath(url).View() == (hasPath ? givenPath : "/"));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  CheckAnyAddress(input);
  CheckWellFormedAddress(input);
  return 0;
}
