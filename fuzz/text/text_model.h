// A plain, slow model of the text rules for the fuzz targets to hold the real operations against:
// byte by byte, straight from the rules of the character scan, with no shortcut of its own.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "text/values.h"

namespace lumaclip::model {

// Ends the run with a message the fuzzer keeps in its log.
#define MODEL_CHECK(condition)                                                             \
  do {                                                                                     \
    if (!(condition)) {                                                                    \
      std::fprintf(stderr, "check failed at %s:%d: %s\n", __FILE__, __LINE__, #condition); \
      std::abort();                                                                        \
    }                                                                                      \
  } while (false)

using Pieces = std::vector<std::optional<std::string>>;

inline bool High(char c) {
  return static_cast<unsigned char>(c) >= 0x80;
}
inline char Fold(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 0x20) : c;
}

// The bytes before the first zero: what a text made from these bytes holds.
inline std::string_view TextPart(std::string_view bytes) {
  return bytes.substr(0, bytes.find('\0'));
}

// Splits `input` at zero bytes into `count` fields (missing ones empty).
inline std::vector<std::string_view> Fields(std::string_view input, std::size_t count) {
  std::vector<std::string_view> fields;
  for (std::size_t i = 0; i + 1 < count; ++i) {
    const std::size_t zero = input.find('\0');
    fields.push_back(input.substr(0, zero));
    input = zero == std::string_view::npos ? std::string_view() : input.substr(zero + 1);
  }
  fields.push_back(TextPart(input));
  return fields;
}

// Every cursor position of a walk that begins at `from`: the character starts counted from there,
// a lone lead byte at the end included.
inline std::vector<int64_t> CharacterStarts(std::string_view text, int64_t from) {
  std::vector<int64_t> starts;
  const int64_t length = static_cast<int64_t>(text.size());
  for (int64_t at = from; at < length;) {
    starts.push_back(at);
    if (!High(text[at])) {
      at += 1;
    } else if (at + 1 == length) {
      break;
    } else {
      at += 2;
    }
  }
  return starts;
}

inline bool MatchesAt(std::string_view text, int64_t at, std::string_view sought, bool ignoreCase) {
  if (at < 0 || static_cast<std::size_t>(at) + sought.size() > text.size()) return false;
  for (std::size_t i = 0; i < sought.size(); ++i) {
    const char a = text[static_cast<std::size_t>(at) + i];
    const char b = sought[i];
    if (ignoreCase ? Fold(a) != Fold(b) : a != b) return false;
  }
  return true;
}

inline int32_t Find(std::string_view text, std::string_view sought, std::optional<int64_t> start,
                    bool ignoreCase) {
  const int64_t from = start ? std::max<int64_t>(*start - 1, 0) : 0;
  if (from >= static_cast<int64_t>(text.size())) return -1;
  if (sought.empty()) return 1;
  for (int64_t at : CharacterStarts(text, from)) {
    if (MatchesAt(text, at, sought, ignoreCase)) return static_cast<int32_t>(at + 1);
  }
  return -1;
}

inline int32_t FindReverse(std::string_view text, std::string_view sought, bool ignoreCase) {
  if (text.empty()) return -1;
  if (sought.empty()) return 1;
  int32_t last = -1;
  for (int64_t at : CharacterStarts(text, 0)) {
    if (MatchesAt(text, at, sought, ignoreCase)) last = static_cast<int32_t>(at + 1);
  }
  return last;
}

inline std::string Replace(std::string_view text, std::string_view sought,
                           std::string_view replacement) {
  if (text.empty() || sought.empty()) return std::string(text);
  std::string out;
  std::size_t at = 0;
  while (text.size() - at >= sought.size()) {
    if (text.substr(at, sought.size()) == sought) {
      out += replacement;
      at += sought.size();
    } else if (!High(text[at])) {
      out += text[at];
      at += 1;
    } else if (at + 1 == text.size()) {
      return out;  // a lone lead byte that does not match ends the walk, unappended
    } else {
      out += text.substr(at, 2);
      at += 2;
    }
  }
  out += text.substr(at);
  return out;
}

inline Pieces Split(std::string_view text, std::string_view separator) {
  Pieces pieces;
  if (text.empty()) return pieces;
  if (separator.empty()) return {std::string(text)};
  auto piece = [&](std::size_t from, std::size_t to) -> std::optional<std::string> {
    if (to == from) return std::nullopt;
    return std::string(text.substr(from, to - from));
  };
  std::size_t pieceStart = 0;
  std::size_t at = 0;
  while (text.size() - at >= separator.size()) {
    if (text.substr(at, separator.size()) == separator) {
      pieces.push_back(piece(pieceStart, at));
      at += separator.size();
      pieceStart = at;
    } else if (!High(text[at])) {
      at += 1;
    } else if (at + 1 == text.size()) {
      break;
    } else {
      at += 2;
    }
  }
  if (pieceStart < text.size()) pieces.push_back(piece(pieceStart, text.size()));
  return pieces;
}

inline std::string Mid(std::string_view text, int64_t start, int64_t count) {
  const int64_t length = static_cast<int64_t>(text.size());
  if (start <= 0 || start > length || count <= 0) return {};
  return std::string(text.substr(static_cast<std::size_t>(start - 1),
                                 static_cast<std::size_t>(std::min(count, length - start + 1))));
}

// "#引号" in a marker stands for a double quote.
inline std::string Between(std::string_view text, std::string_view left, std::string_view right,
                           int32_t start, bool caseSensitive) {
  const std::string placeholder = "#\xD2\xFD\xBA\xC5";
  const std::string leftMarker = Replace(left, placeholder, "\"");
  const std::string rightMarker = Replace(right, placeholder, "\"");
  const int32_t leftAt = Find(text, leftMarker, start, !caseSensitive);
  if (leftAt == -1) return {};
  const int64_t after = int64_t{leftAt} + static_cast<int64_t>(leftMarker.size());
  const int32_t rightAt = Find(text, rightMarker, after, !caseSensitive);
  if (rightAt == -1) return {};
  return Mid(text, after, rightAt - after);
}

inline bool IsSpaceAt(std::string_view text, std::size_t at) {
  return text[at] == ' ' || (text.substr(at, 2) == "\xA1\xA1");
}

inline std::string Trim(std::string_view text) {
  std::size_t begin = 0;
  while (begin < text.size() && IsSpaceAt(text, begin)) begin += text[begin] == ' ' ? 1 : 2;
  std::size_t end = text.size();
  std::optional<std::size_t> run;
  for (std::size_t at = begin; at < text.size();) {
    if (IsSpaceAt(text, at)) {
      if (!run) run = at;
      at += text[at] == ' ' ? 1 : 2;
    } else if (High(text[at]) && at + 1 == text.size()) {
      run.reset();  // spaces before a lone lead byte stay
      end = at;
      break;
    } else {
      run.reset();
      at += High(text[at]) ? 2 : 1;
    }
  }
  if (run) end = *run;
  return std::string(text.substr(begin, end > begin ? end - begin : 0));
}

inline std::string RemoveSpaces(std::string_view text) {
  std::string out;
  for (std::size_t at = 0; at < text.size();) {
    if (IsSpaceAt(text, at)) {
      at += text[at] == ' ' ? 1 : 2;
    } else if (!High(text[at])) {
      out += text[at++];
    } else if (at + 1 == text.size()) {
      break;
    } else {
      out += text.substr(at, 2);
      at += 2;
    }
  }
  return out;
}

inline std::string Lower(std::string_view text) {
  std::string out(text);
  for (std::size_t at = 0; at < out.size();) {
    if (High(out[at])) {
      at += 2;
    } else {
      out[at] = Fold(out[at]);
      at += 1;
    }
  }
  return out;
}

// The working text of ToInteger: full-width forms folded, a lone lead byte at the end dropped.
inline std::string FoldFullWidth(std::string_view text) {
  std::string out;
  for (std::size_t at = 0; at < text.size();) {
    if (!High(text[at])) {
      out += text[at++];
      continue;
    }
    if (at + 1 == text.size()) break;
    const unsigned char lead = static_cast<unsigned char>(text[at]);
    const unsigned char second = static_cast<unsigned char>(text[at + 1]);
    if (lead == 0xA1 && second == 0xA1) {
      out += ' ';
    } else if (lead == 0xA1 && second == 0xAB) {
      out += '~';
    } else if (lead == 0xA1 && (second == 0xEE || second == 0xEF)) {
      out += '*';
    } else if (lead == 0xA3 && second >= 0xA1 && second <= 0xFE) {
      out += static_cast<char>(second - 0x80);
    } else {
      out += text.substr(at, 2);
    }
    at += 2;
  }
  return out;
}

// The value modulo 2^32, read as a signed 32-bit number.
inline int32_t Wrap(uint64_t value) {
  value %= uint64_t{1} << 32;
  return value >= (uint64_t{1} << 31)
             ? static_cast<int32_t>(static_cast<int64_t>(value) - (int64_t{1} << 32))
             : static_cast<int32_t>(value);
}

// Form checks: bytes, terminator, and absent exactly when empty.
inline void CheckText(const Text& actual, std::string_view expected) {
  MODEL_CHECK(actual.View() == expected);
  MODEL_CHECK(actual.Length() == static_cast<int32_t>(expected.size()));
  MODEL_CHECK(actual.CString()[actual.Length()] == '\0');
  MODEL_CHECK(actual.IsPresent() == !expected.empty());
}

}  // namespace lumaclip::model
