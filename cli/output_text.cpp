// The three forms of a link's result.
#include "cli/output_text.h"

#include "cli/command_line.h"
#include "cli/json_text.h"

namespace lumaclip::cli {
namespace {

constexpr std::size_t kLongestSubject = 200;

}  // namespace

std::string Printable(std::string_view bytes) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string shown;
  shown.reserve(bytes.size());
  for (char c : bytes) {
    const unsigned char byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7F) {
      shown += '%';
      shown += kHex[byte >> 4];
      shown += kHex[byte & 0xF];
    } else {
      shown += c;
    }
  }
  return shown;
}

std::string PlainLine(const LinkResult& result) {
  if (result.status != LinkStatus::kOk || !result.address) return "\n";
  return Printable(*result.address) + "\n";
}

std::string JsonLine(const LinkResult& result, bool extractLink) {
  JsonObject object;
  object.AddOptional("link", result.link);
  if (result.page) object.Add("page", *result.page);
  if (extractLink) object.Add("input", result.input);
  object.AddOptional("address", result.address);
  object.Add("status", StatusWord(result.status));
  object.AddNumber("bodySize", result.bodySize);
  if (result.check) {
    const VideoCheck& check = *result.check;
    JsonObject checkObject;
    checkObject.Add("address", check.address);
    if (check.method.empty()) {
      checkObject.AddNull("method");
    } else {
      checkObject.Add("method", check.method);
    }
    if (check.status == 0) {
      checkObject.AddNull("status");
    } else {
      checkObject.AddNumber("status", check.status);
    }
    checkObject.Add("contentType", check.contentType);
    if (check.size) {
      checkObject.AddNumber("size", *check.size);
    } else {
      checkObject.AddNull("size");
    }
    object.AddObject("check", checkObject);
  }
  return object.Text() + "\n";
}

std::string FailureMessage(const LinkResult& result) {
  if (result.status == LinkStatus::kOk) return {};
  const std::string& whole = result.page ? *result.page : result.link ? *result.link : result.input;
  std::string_view subject = whole;
  // A share text without a link can be long: its beginning names it well enough.
  if (subject.size() > kLongestSubject) {
    std::size_t cut = kLongestSubject;
    while (cut > 0 && (static_cast<unsigned char>(subject[cut]) & 0xC0) == 0x80) --cut;
    subject = subject.substr(0, cut);
  }
  std::string message = std::string(kProgramName) + ": " + Printable(subject) +
                        (subject.size() < whole.size() ? "...: " : ": ") +
                        std::string(StatusExplanation(result.status));
  if (!result.detail.empty()) message += " (" + Printable(result.detail) + ")";
  return message + "\n";
}

}  // namespace lumaclip::cli
