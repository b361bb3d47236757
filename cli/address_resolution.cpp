// Reference resolution (RFC 3986, section 5.2): split both addresses into scheme, authority,
// path, query and fragment, take each part from the reference or the base, merge the paths and
// remove the "." and ".." segments.
#include "cli/address_resolution.h"

#include <cstddef>

namespace lumaclip::cli {
namespace {

struct Parts {
  std::optional<std::string_view> scheme;
  std::optional<std::string_view> authority;
  std::string_view path;
  std::optional<std::string_view> query;
  std::optional<std::string_view> fragment;
};

bool IsAlpha(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

// The split of RFC 3986 appendix B, with the scheme held to its grammar: a first segment such as
// "clip:1.mp4" whose part before ":" is no scheme name reads as a path.
Parts Split(std::string_view text) {
  Parts parts;
  const std::size_t colon = text.find(':');
  const std::size_t delimiter = text.find_first_of("/?#");
  if (colon != std::string_view::npos && colon > 0 && colon < delimiter && IsAlpha(text[0])) {
    bool valid = true;
    for (std::size_t i = 1; i < colon; ++i) {
      const char c = text[i];
      valid = valid && (IsAlpha(c) || (c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.');
    }
    if (valid) {
      parts.scheme = text.substr(0, colon);
      text.remove_prefix(colon + 1);
    }
  }
  if (text.starts_with("//")) {
    text.remove_prefix(2);
    const std::size_t end = text.find_first_of("/?#");
    parts.authority = text.substr(0, end);
    text.remove_prefix(end == std::string_view::npos ? text.size() : end);
  }
  const std::size_t hash = text.find('#');
  if (hash != std::string_view::npos) {
    parts.fragment = text.substr(hash + 1);
    text = text.substr(0, hash);
  }
  const std::size_t question = text.find('?');
  if (question != std::string_view::npos) {
    parts.query = text.substr(question + 1);
    text = text.substr(0, question);
  }
  parts.path = text;
  return parts;
}

// RFC 3986 section 5.2.4.
std::string RemoveDotSegments(std::string_view input) {
  std::string output;
  while (!input.empty()) {
    if (input.starts_with("../")) {
      input.remove_prefix(3);
    } else if (input.starts_with("./")) {
      input.remove_prefix(2);
    } else if (input.starts_with("/./")) {
      input.remove_prefix(2);
    } else if (input == "/.") {
      input = "/";
    } else if (input.starts_with("/../") || input == "/..") {
      input = input.size() == 3 ? std::string_view("/") : input.substr(3);
      const std::size_t last = output.rfind('/');
      output.erase(last == std::string::npos ? 0 : last);
    } else if (input == "." || input == "..") {
      input = {};
    } else {
      const std::size_t next = input.find('/', 1);
      const std::size_t length = next == std::string_view::npos ? input.size() : next;
      output.append(input.substr(0, length));
      input.remove_prefix(length);
    }
  }
  return output;
}

std::string Merge(const Parts& base, std::string_view referencePath) {
  if (base.authority && base.path.empty()) return "/" + std::string(referencePath);
  const std::size_t slash = base.path.rfind('/');
  if (slash == std::string_view::npos) return std::string(referencePath);
  return std::string(base.path.substr(0, slash + 1)) + std::string(referencePath);
}

std::string Cleaned(std::string_view reference) {
  while (!reference.empty() && static_cast<unsigned char>(reference.front()) <= 0x20) {
    reference.remove_prefix(1);
  }
  while (!reference.empty() && static_cast<unsigned char>(reference.back()) <= 0x20) {
    reference.remove_suffix(1);
  }
  std::string cleaned;
  for (char c : reference) {
    if (c != '\t' && c != '\n' && c != '\r') cleaned += c;
  }
  return cleaned;
}

}  // namespace

bool IsWebAddress(std::string_view address) {
  auto startsWithIgnoringCase = [&](std::string_view prefix) {
    if (address.size() < prefix.size()) return false;
    for (std::size_t i = 0; i < prefix.size(); ++i) {
      char c = address[i];
      if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
      if (c != prefix[i]) return false;
    }
    return true;
  };
  return startsWithIgnoringCase("http://") || startsWithIgnoringCase("https://");
}

std::string AsWebAddress(std::string_view link) {
  if (IsWebAddress(link)) return std::string(link);
  return "http://" + std::string(link);
}

std::optional<std::string> ResolveAddress(std::string_view base, std::string_view reference) {
  const std::string cleaned = Cleaned(reference);
  const Parts r = Split(cleaned);
  const Parts b = Split(base);
  Parts t;
  std::string path;
  if (r.scheme) {
    t = r;
    path = RemoveDotSegments(r.path);
  } else {
    if (!b.scheme) return std::nullopt;
    t.scheme = b.scheme;
    if (r.authority) {
      t.authority = r.authority;
      path = RemoveDotSegments(r.path);
      t.query = r.query;
    } else {
      t.authority = b.authority;
      if (r.path.empty()) {
        // The base's own dot segments go too, as a browser reads every address it is given.
        path = RemoveDotSegments(b.path);
        t.query = r.query ? r.query : b.query;
      } else {
        path = RemoveDotSegments(r.path.starts_with("/") ? std::string(r.path) : Merge(b, r.path));
        t.query = r.query;
      }
    }
    t.fragment = r.fragment;
  }
  std::string result = std::string(*t.scheme) + ":";
  if (t.authority) result += "//" + std::string(*t.authority);
  result += path;
  if (t.query) result += "?" + std::string(*t.query);
  if (t.fragment) result += "#" + std::string(*t.fragment);
  return result;
}

std::string_view WithoutFragment(std::string_view address) {
  return address.substr(0, address.find('#'));
}

}  // namespace lumaclip::cli
