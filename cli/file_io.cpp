// Whole files through stdio, read in large pieces.
#include "cli/file_io.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace lumaclip::cli {
namespace {

std::string Problem(const std::string& path, int error) {
  return (path == "-" ? std::string("standard input") : path) + ": " + std::strerror(error);
}

}  // namespace

std::optional<std::string> ReadWholeFile(const std::string& path, std::string& error) {
  std::FILE* stream = path == "-" ? stdin : std::fopen(path.c_str(), "rb");
  if (stream == nullptr) {
    error = Problem(path, errno);
    return std::nullopt;
  }
  std::string bytes;
  char piece[64 * 1024];
  std::size_t count;
  while ((count = std::fread(piece, 1, sizeof piece, stream)) > 0) {
    if (bytes.size() + count > kLargestFile) {
      error = (path == "-" ? std::string("standard input") : path) + ": larger than 1 GiB";
      if (stream != stdin) std::fclose(stream);
      return std::nullopt;
    }
    bytes.append(piece, count);
  }
  const bool failed = std::ferror(stream) != 0;
  const int readError = errno;
  if (stream != stdin) std::fclose(stream);
  if (failed) {
    error = Problem(path, readError);
    return std::nullopt;
  }
  return bytes;
}

bool WriteWholeFile(const std::string& path, std::string_view bytes, std::string& error) {
  const bool toStandardOutput = path == "-";
  std::FILE* stream = toStandardOutput ? stdout : std::fopen(path.c_str(), "wb");
  if (stream == nullptr) {
    error = Problem(path, errno);
    return false;
  }
  bool ok = std::fwrite(bytes.data(), 1, bytes.size(), stream) == bytes.size();
  ok = (std::fflush(stream) == 0) && ok;
  const int writeError = errno;
  if (!toStandardOutput) ok = (std::fclose(stream) == 0) && ok;
  if (!ok)
    error = (toStandardOutput ? std::string("standard output") : path) + ": " +
            std::strerror(writeError);
  return ok;
}

}  // namespace lumaclip::cli
