// JSON strings from arbitrary bytes. Well-formed UTF-8 follows the table of well-formed byte
// sequences of the Unicode standard (no overlong forms, no encoded surrogates, nothing above
// U+10FFFF); any other byte is escaped on its own.
#include "cli/json_text.h"

#include <cstddef>

namespace lumaclip::cli {
namespace {

constexpr char kHexDigits[] = "0123456789abcdef";

void AppendUnicodeEscape(std::string& out, unsigned value) {
  out += "\\u";
  for (int shift = 12; shift >= 0; shift -= 4) out += kHexDigits[(value >> shift) & 0xF];
}

// The length of the well-formed UTF-8 sequence at `at` that begins with a byte of 0x80 or above,
// or 0 when there is none.
std::size_t Utf8SequenceLength(std::string_view bytes, std::size_t at) {
  auto byteAt = [&](std::size_t i) { return static_cast<unsigned char>(bytes[i]); };
  const unsigned char lead = byteAt(at);
  std::size_t length = 0;
  unsigned char low = 0x80, high = 0xBF;  // the range of the second byte
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0) low = 0xA0;
    if (lead == 0xED) high = 0x9F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;
  } else {
    return 0;
  }
  if (bytes.size() - at < length) return 0;
  if (byteAt(at + 1) < low || byteAt(at + 1) > high) return 0;
  for (std::size_t i = 2; i < length; ++i) {
    if (byteAt(at + i) < 0x80 || byteAt(at + i) > 0xBF) return 0;
  }
  return length;
}

}  // namespace

void AppendJsonString(std::string& out, std::string_view bytes) {
  out += '"';
  std::size_t at = 0;
  while (at < bytes.size()) {
    const unsigned char byte = static_cast<unsigned char>(bytes[at]);
    if (byte >= 0x80) {
      const std::size_t length = Utf8SequenceLength(bytes, at);
      if (length == 0) {
        AppendUnicodeEscape(out, 0xDC00u | byte);
        ++at;
      } else {
        out.append(bytes.substr(at, length));
        at += length;
      }
      continue;
    }
    switch (byte) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '\b':
        out += "\\b";
        break;
      case '\f':
        out += "\\f";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\t':
        out += "\\t";
        break;
      default:
        if (byte < 0x20 || byte == 0x7F) {
          AppendUnicodeEscape(out, byte);
        } else {
          out += static_cast<char>(byte);
        }
    }
    ++at;
  }
  out += '"';
}

void JsonObject::Key(std::string_view key) {
  if (text_.size() > 1) text_ += ',';
  AppendJsonString(text_, key);
  text_ += ':';
}

JsonObject& JsonObject::Add(std::string_view key, std::string_view value) {
  Key(key);
  AppendJsonString(text_, value);
  return *this;
}

JsonObject& JsonObject::AddOptional(std::string_view key, const std::optional<std::string>& value) {
  if (!value) return AddNull(key);
  return Add(key, *value);
}

JsonObject& JsonObject::AddNumber(std::string_view key, int64_t value) {
  Key(key);
  text_ += std::to_string(value);
  return *this;
}

JsonObject& JsonObject::AddBool(std::string_view key, bool value) {
  Key(key);
  text_ += value ? "true" : "false";
  return *this;
}

JsonObject& JsonObject::AddNull(std::string_view key) {
  Key(key);
  text_ += "null";
  return *this;
}

JsonObject& JsonObject::AddObject(std::string_view key, const JsonObject& value) {
  Key(key);
  text_ += value.Text();
  return *this;
}

}  // namespace lumaclip::cli
