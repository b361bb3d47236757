// Links and share texts read from a stream, one a line. A line ends at "\n"; a "\r" before it is
// part of the line end (files saved on Windows). Blank lines (nothing, or only spaces and tabs)
// are skipped. A line is kept to a bounded length, so endless input without a line end cannot
// take memory without limit.
#pragma once

#include <cstddef>
#include <cstdio>
#include <optional>
#include <string>

namespace lumaclip::cli {

inline constexpr std::size_t kLongestLine = 1024 * 1024;

struct InputLine {
  std::string text;      // without its line end; the first kLongestLine bytes of a longer line
  bool tooLong = false;  // the line had more than kLongestLine bytes; the rest was dropped
};

class LineReader {
 public:
  explicit LineReader(std::FILE* stream) : stream_(stream) {}
  // The next line that is not blank; nullopt at the end of the stream or on a read error.
  std::optional<InputLine> Next();

 private:
  std::FILE* stream_;
};

}  // namespace lumaclip::cli
