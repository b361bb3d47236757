// WinINet's header list operations, one function each.
#include "platform/linux/curl_wininet/request_headers.h"

#include <algorithm>

namespace lumaclip::curl_wininet {
namespace {

char Lower(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

std::string_view StripSpaces(std::string_view text) {
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
  return text;
}

}  // namespace

bool SameHeaderName(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                            [](char x, char y) { return Lower(x) == Lower(y); });
}

void RequestHeaders::AddIfNew(std::string_view name, std::string_view value) {
  if (Find(name) == nullptr) fields_.push_back({std::string(name), std::string(value)});
}

void RequestHeaders::Replace(std::string_view name, std::string_view value) {
  auto found = std::find_if(fields_.begin(), fields_.end(), [&](const HeaderField& field) {
    return SameHeaderName(field.name, name);
  });
  if (found != fields_.end()) {
    fields_.erase(found);
    if (value.empty()) return;
  }
  fields_.push_back({std::string(name), std::string(value)});
}

void RequestHeaders::Set(std::string_view name, std::string_view value) {
  for (HeaderField& field : fields_) {
    if (SameHeaderName(field.name, name)) {
      field.value = std::string(value);
      return;
    }
  }
  fields_.push_back({std::string(name), std::string(value)});
}

void RequestHeaders::Remove(std::string_view name) {
  std::erase_if(fields_,
                [&](const HeaderField& field) { return SameHeaderName(field.name, name); });
}

const HeaderField* RequestHeaders::Find(std::string_view name) const {
  for (const HeaderField& field : fields_) {
    if (SameHeaderName(field.name, name)) return &field;
  }
  return nullptr;
}

void ForEachHeaderLine(std::string_view text,
                       const std::function<void(std::string_view, std::string_view)>& field) {
  while (!text.empty()) {
    const size_t end = text.find_first_of("\r\n");
    std::string_view line = text.substr(0, end);
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    const size_t colon = line.find(':');
    if (colon == std::string_view::npos) continue;
    const std::string_view name = StripSpaces(line.substr(0, colon));
    if (name.empty()) continue;
    field(name, StripSpaces(line.substr(colon + 1)));
  }
}

std::string RequestHeaderBlock(std::string_view verb, std::string_view target,
                               std::string_view version, const std::vector<HeaderField>& fields) {
  std::string block;
  block.append(verb).append(" ").append(target).append(" ").append(version).append("\r\n");
  for (const HeaderField& field : fields) {
    block.append(field.name).append(": ").append(field.value).append("\r\n");
  }
  block.append("\r\n");
  return block;
}

}  // namespace lumaclip::curl_wininet
