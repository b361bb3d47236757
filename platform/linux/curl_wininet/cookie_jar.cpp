// Cookie parsing, matching and ordering. The rules follow WinINet: the default domain is the
// request host and it covers that host's subdomains too; a path matches by prefix, letter case
// ignored; cookies are sent deepest domain first, then longest path, then in the order they were
// set. Limits keep a hostile server from growing the store without bound.
#include "platform/linux/curl_wininet/cookie_jar.h"

#include <algorithm>
#include <array>

namespace lumaclip::curl_wininet {
namespace {

constexpr size_t kMaxCookieBytes = 4096;
constexpr size_t kMaxCookiesPerDomain = 50;
constexpr size_t kMaxCookies = 3000;

char Lower(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

std::string LowerCopy(std::string_view text) {
  std::string lower(text);
  for (char& c : lower) c = Lower(c);
  return lower;
}

bool EqualNoCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                            [](char x, char y) { return Lower(x) == Lower(y); });
}

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() && EqualNoCase(text.substr(0, prefix.size()), prefix);
}

std::string_view Trim(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  return text;
}

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

bool IsIpAddress(std::string_view host) {
  if (host.find(':') != std::string_view::npos) return true;
  return !host.empty() &&
         std::all_of(host.begin(), host.end(), [](char c) { return IsDigit(c) || c == '.'; });
}

// Whether `host` is `domain` or one of its subdomains.
bool DomainCovers(std::string_view domain, std::string_view host) {
  if (EqualNoCase(domain, host)) return true;
  if (host.size() <= domain.size() || IsIpAddress(host)) return false;
  return host[host.size() - domain.size() - 1] == '.' &&
         EqualNoCase(host.substr(host.size() - domain.size()), domain);
}

std::string_view PathOnly(std::string_view path) {
  return path.substr(0, path.find_first_of("?#"));
}

// The directory of the request path, as the cookie's default path.
std::string DefaultPath(std::string_view requestPath) {
  const std::string_view path = PathOnly(requestPath);
  if (path.empty() || path.front() != '/') return "/";
  const size_t slash = path.rfind('/');
  return slash == 0 ? std::string("/") : std::string(path.substr(0, slash));
}

bool IsDelimiter(unsigned char c) {
  return c == 0x09 || (c >= 0x20 && c <= 0x2F) || (c >= 0x3B && c <= 0x40) ||
         (c >= 0x5B && c <= 0x60) || (c >= 0x7B && c <= 0x7E);
}

// Reads up to `maxDigits` digits from the start of `token`; the digits must be followed by the end
// or a non-digit.
bool LeadingNumber(std::string_view token, size_t minDigits, size_t maxDigits, int& value,
                   size_t& used) {
  size_t count = 0;
  value = 0;
  while (count < token.size() && IsDigit(token[count])) {
    if (count == maxDigits) return false;
    value = value * 10 + (token[count] - '0');
    ++count;
  }
  used = count;
  return count >= minDigits;
}

bool ParseTime(std::string_view token, int& hour, int& minute, int& second) {
  int parts[3];
  for (int i = 0; i < 3; ++i) {
    size_t used = 0;
    if (!LeadingNumber(token, 1, 2, parts[i], used)) return false;
    token.remove_prefix(used);
    if (i < 2) {
      if (token.empty() || token.front() != ':') return false;
      token.remove_prefix(1);
    }
  }
  hour = parts[0];
  minute = parts[1];
  second = parts[2];
  return true;
}

int MonthOf(std::string_view token) {
  static constexpr std::array<const char*, 12> kMonths = {"jan", "feb", "mar", "apr", "may", "jun",
                                                          "jul", "aug", "sep", "oct", "nov", "dec"};
  if (token.size() < 3) return 0;
  for (size_t i = 0; i < kMonths.size(); ++i) {
    if (StartsWithNoCase(token, kMonths[i])) return static_cast<int>(i) + 1;
  }
  return 0;
}

}  // namespace

std::optional<std::time_t> ParseCookieDate(std::string_view text) {
  bool haveTime = false, haveDay = false, haveMonth = false, haveYear = false;
  int hour = 0, minute = 0, second = 0, day = 0, month = 0, year = 0;
  size_t at = 0;
  while (at < text.size()) {
    while (at < text.size() && IsDelimiter(static_cast<unsigned char>(text[at]))) ++at;
    const size_t start = at;
    while (at < text.size() && !IsDelimiter(static_cast<unsigned char>(text[at]))) ++at;
    const std::string_view token = text.substr(start, at - start);
    if (token.empty()) continue;
    int value = 0;
    size_t used = 0;
    if (!haveTime && ParseTime(token, hour, minute, second)) {
      haveTime = true;
    } else if (!haveDay && LeadingNumber(token, 1, 2, value, used)) {
      haveDay = true;
      day = value;
    } else if (!haveMonth && MonthOf(token) != 0) {
      haveMonth = true;
      month = MonthOf(token);
    } else if (!haveYear && LeadingNumber(token, 2, 4, value, used)) {
      haveYear = true;
      year = value;
    }
  }
  if (!haveTime || !haveDay || !haveMonth || !haveYear) return std::nullopt;
  if (year >= 70 && year <= 99) year += 1900;
  if (year >= 0 && year <= 69) year += 2000;
  if (day < 1 || day > 31 || year < 1601 || hour > 23 || minute > 59 || second > 59) {
    return std::nullopt;
  }
  std::tm calendar{};
  calendar.tm_year = year - 1900;
  calendar.tm_mon = month - 1;
  calendar.tm_mday = day;
  calendar.tm_hour = hour;
  calendar.tm_min = minute;
  calendar.tm_sec = second;
  return timegm(&calendar);
}

void CookieJar::Store(std::string_view host, std::string_view requestPath,
                      std::string_view setCookie, std::time_t now) {
  if (host.empty() || setCookie.size() > kMaxCookieBytes) return;
  const size_t semicolon = setCookie.find(';');
  const std::string_view pair = setCookie.substr(0, semicolon);
  const size_t equals = pair.find('=');
  if (equals == std::string_view::npos) return;
  Cookie cookie;
  cookie.name = std::string(Trim(pair.substr(0, equals)));
  cookie.value = std::string(Trim(pair.substr(equals + 1)));
  if (cookie.name.empty()) return;
  cookie.domain = LowerCopy(host);
  cookie.path = DefaultPath(requestPath);

  bool expired = false;
  std::string_view rest =
      semicolon == std::string_view::npos ? std::string_view() : setCookie.substr(semicolon + 1);
  while (!rest.empty()) {
    const size_t end = rest.find(';');
    const std::string_view attribute = Trim(rest.substr(0, end));
    rest.remove_prefix(end == std::string_view::npos ? rest.size() : end + 1);
    const size_t attributeEquals = attribute.find('=');
    const std::string_view key = Trim(attribute.substr(0, attributeEquals));
    const std::string_view value = attributeEquals == std::string_view::npos
                                       ? std::string_view()
                                       : Trim(attribute.substr(attributeEquals + 1));
    if (EqualNoCase(key, "domain") && !value.empty()) {
      std::string_view domain = value;
      if (domain.front() == '.') domain.remove_prefix(1);
      const bool sameHost = EqualNoCase(domain, host);
      if (!sameHost &&
          (domain.find('.') == std::string_view::npos || !DomainCovers(domain, host))) {
        return;
      }
      cookie.domain = LowerCopy(domain);
    } else if (EqualNoCase(key, "path")) {
      if (!value.empty() && value.front() == '/') cookie.path = std::string(value);
    } else if (EqualNoCase(key, "expires")) {
      if (const std::optional<std::time_t> expires = ParseCookieDate(value)) {
        cookie.expires = expires;
        expired = *expires <= now;
      }
    } else if (EqualNoCase(key, "secure")) {
      cookie.secure = true;
    }
  }

  std::lock_guard<std::mutex> lock(mutex_);
  std::erase_if(cookies_, [&](const Cookie& stored) {
    return stored.domain == cookie.domain && EqualNoCase(stored.path, cookie.path) &&
           EqualNoCase(stored.name, cookie.name);
  });
  if (expired) return;
  // Room is made by dropping the oldest cookies, of the same domain first.
  const auto sameDomain = [&](const Cookie& stored) { return stored.domain == cookie.domain; };
  if (static_cast<size_t>(std::count_if(cookies_.begin(), cookies_.end(), sameDomain)) >=
      kMaxCookiesPerDomain) {
    cookies_.erase(std::find_if(cookies_.begin(), cookies_.end(), sameDomain));
  }
  if (cookies_.size() >= kMaxCookies) cookies_.erase(cookies_.begin());
  cookie.order = nextOrder_++;
  cookies_.push_back(std::move(cookie));
}

std::string CookieJar::CookieLine(std::string_view host, std::string_view requestPath, bool secure,
                                  std::time_t now) {
  const std::string_view path = PathOnly(requestPath);
  std::vector<const Cookie*> chosen;
  std::lock_guard<std::mutex> lock(mutex_);
  std::erase_if(cookies_,
                [&](const Cookie& stored) { return stored.expires && *stored.expires <= now; });
  for (const Cookie& cookie : cookies_) {
    if (!DomainCovers(cookie.domain, host)) continue;
    if (!StartsWithNoCase(path, cookie.path)) continue;
    if (cookie.secure && !secure) continue;
    chosen.push_back(&cookie);
  }
  std::stable_sort(chosen.begin(), chosen.end(), [](const Cookie* a, const Cookie* b) {
    if (a->domain.size() != b->domain.size()) return a->domain.size() > b->domain.size();
    if (a->path.size() != b->path.size()) return a->path.size() > b->path.size();
    return a->order < b->order;
  });
  std::string line;
  for (const Cookie* cookie : chosen) {
    if (!line.empty()) line += "; ";
    line += cookie->name;
    if (!cookie->value.empty()) line.append("=").append(cookie->value);
  }
  return line;
}

CookieJar& SharedCookieJar() {
  // Never destroyed: requests may still run while the process exits.
  static CookieJar* jar = new CookieJar;
  return *jar;
}

}  // namespace lumaclip::curl_wininet
