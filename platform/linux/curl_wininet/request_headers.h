// The request header list of one request handle, kept the way WinINet keeps it: an ordered list of
// name/value fields where a name is compared without regard to letter case, and where the three
// ways of adding a field (add if new, replace, add) decide what the server finally sees.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace lumaclip::curl_wininet {

struct HeaderField {
  std::string name;
  std::string value;
};

bool SameHeaderName(std::string_view a, std::string_view b);

class RequestHeaders {
 public:
  // Appends the field unless one of that name is present.
  void AddIfNew(std::string_view name, std::string_view value);
  // Removes the first field of that name and appends the new one at the end, unless the new value
  // is empty (then the field is only removed). An absent name is appended even with an empty value.
  void Replace(std::string_view name, std::string_view value);
  // Sets the value of the first field of that name in place, or appends it.
  void Set(std::string_view name, std::string_view value);
  // Removes every field of that name.
  void Remove(std::string_view name);

  const HeaderField* Find(std::string_view name) const;
  const std::vector<HeaderField>& Fields() const { return fields_; }

 private:
  std::vector<HeaderField> fields_;
};

// Calls `field` for each line of a header text: lines end at CR or LF, empty lines and lines
// without a colon are skipped, the name and the value are cut at the first colon and stripped of
// surrounding spaces, and a line whose name is empty is skipped.
void ForEachHeaderLine(std::string_view text,
                       const std::function<void(std::string_view, std::string_view)>& field);

// The request header block: request line, one "Name: value" line per field, an empty line.
std::string RequestHeaderBlock(std::string_view verb, std::string_view target,
                               std::string_view version, const std::vector<HeaderField>& fields);

}  // namespace lumaclip::curl_wininet
