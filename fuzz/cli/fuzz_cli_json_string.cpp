// JSON strings from arbitrary bytes: the output is well-formed UTF-8 with no raw control byte, and
// reading it back (escapes undone, \udcXX back to the byte XX) gives exactly the input.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "cli/json_text.h"

namespace {

void Require(bool condition) {
  if (!condition) std::abort();
}

// A plain decoder of well-formed UTF-8, written apart from the encoder: the code point at `at`
// and its length, or length 0 when the bytes are not well formed.
std::size_t DecodeUtf8(std::string_view s, std::size_t at, uint32_t& point) {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(s[i]); };
  const unsigned char lead = byte(at);
  std::size_t length = lead < 0x80 ? 1 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 0;
  if (length == 0 || lead > 0xF4 || at + length > s.size()) return 0;
  point = length == 1 ? lead : lead & (0x7F >> length);
  for (std::size_t i = 1; i < length; ++i) {
    if ((byte(at + i) & 0xC0) != 0x80) return 0;
    point = (point << 6) | (byte(at + i) & 0x3F);
  }
  const uint32_t smallest[] = {0, 0, 0x80, 0x800, 0x10000};
  if (point < smallest[length] || point > 0x10FFFF || (point >= 0xD800 && point <= 0xDFFF)) {
    return 0;
  }
  return length;
}

uint32_t Hex4(std::string_view s, std::size_t at) {
  Require(at + 4 <= s.size());
  uint32_t value = 0;
  for (std::size_t i = at; i < at + 4; ++i) {
    const char c = s[i];
    Require((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'));
    value = value * 16 + static_cast<uint32_t>(c <= '9' ? c - '0' : c - 'a' + 10);
  }
  return value;
}

std::string ReadBack(std::string_view json) {
  Require(json.size() >= 2 && json.front() == '"' && json.back() == '"');
  const std::string_view body = json.substr(1, json.size() - 2);
  std::string bytes;
  for (std::size_t at = 0; at < body.size();) {
    uint32_t point = 0;
    const std::size_t length = DecodeUtf8(body, at, point);
    Require(length != 0);
    Require(point >= 0x20 && point != 0x7F && point != '"');
    if (point != '\\') {
      bytes.append(body.substr(at, length));
      at += length;
      continue;
    }
    Require(at + 1 < body.size());
    const char kind = body[at + 1];
    at += 2;
    switch (kind) {
      case '"':
        bytes += '"';
        break;
      case '\\':
        bytes += '\\';
        break;
      case 'b':
        bytes += '\b';
        break;
      case 'f':
        bytes += '\f';
        break;
      case 'n':
        bytes += '\n';
        break;
      case 'r':
        bytes += '\r';
        break;
      case 't':
        bytes += '\t';
        break;
      case 'u': {
        const uint32_t value = Hex4(body, at);
        at += 4;
        if (value >= 0xDC80 && value <= 0xDCFF) {
          bytes += static_cast<char>(value & 0xFF);
        } else {
          // Only the bytes that must be escaped are written this way.
          Require(value < 0x20 || value == 0x7F);
          bytes += static_cast<char>(value);
        }
        break;
      }
      default:
        Require(false);
    }
  }
  return bytes;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  std::string json;
  lumaclip::cli::AppendJsonString(json, input);
  Require(ReadBack(json) == input);
  return 0;
}
