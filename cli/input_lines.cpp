// Reading lines with getc_unlocked: links are short, and the stream is read by one thread at a
// time (the batch serialises its input), so the stream's own lock only costs time.
#include "cli/input_lines.h"

namespace lumaclip::cli {
namespace {

bool IsBlank(const std::string& line) {
  return line.find_first_not_of(" \t") == std::string::npos;
}

}  // namespace

std::optional<InputLine> LineReader::Next() {
  for (;;) {
    InputLine line;
    bool any = false;
    int c;
    while ((c = getc_unlocked(stream_)) != EOF) {
      any = true;
      if (c == '\n') break;
      if (line.text.size() < kLongestLine) {
        line.text += static_cast<char>(c);
      } else {
        line.tooLong = true;
      }
    }
    if (!any) return std::nullopt;
    // Only a "\r" that was kept belongs to the line end.
    if (!line.tooLong && !line.text.empty() && line.text.back() == '\r') line.text.pop_back();
    if (!line.tooLong && IsBlank(line.text)) continue;
    return line;
  }
}

}  // namespace lumaclip::cli
