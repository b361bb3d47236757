// JSON output for --json and --report. The values are byte strings that need not be UTF-8 (links in
// code page 936, pages in any encoding), while JSON text must be UTF-8: valid UTF-8 sequences are
// written as they are, and every byte outside one is written as the escape \udcXX (XX its value),
// the lone-surrogate form that Python's "surrogateescape" and similar readers turn back into the
// original byte. The output is therefore always valid UTF-8 and loses no byte.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace lumaclip::cli {

// Appends `bytes` as a quoted JSON string.
void AppendJsonString(std::string& out, std::string_view bytes);

// Builds one JSON object, member by member, in the order added.
class JsonObject {
 public:
  JsonObject& Add(std::string_view key, std::string_view value);
  JsonObject& AddOptional(std::string_view key, const std::optional<std::string>& value);
  JsonObject& AddNumber(std::string_view key, int64_t value);
  JsonObject& AddBool(std::string_view key, bool value);
  JsonObject& AddNull(std::string_view key);
  JsonObject& AddObject(std::string_view key, const JsonObject& value);
  // The finished object, without a line end.
  std::string Text() const { return text_ + "}"; }

 private:
  void Key(std::string_view key);
  std::string text_ = "{";
};

}  // namespace lumaclip::cli
