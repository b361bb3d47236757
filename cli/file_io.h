// Whole files in and out, with "-" for the standard streams. Failures come back as the message a
// user needs ("FILE: No such file or directory"), never as an exception.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace lumaclip::cli {

// The most that is read into memory; a value holds fewer than 2^31 bytes.
inline constexpr std::size_t kLargestFile = std::size_t{1} << 30;

// The bytes of `path` ("-": standard input). On failure nullopt, with `error` set.
std::optional<std::string> ReadWholeFile(const std::string& path, std::string& error);

// Writes `bytes` to `path` ("-": standard output), replacing the file. False with `error` set.
bool WriteWholeFile(const std::string& path, std::string_view bytes, std::string& error);

}  // namespace lumaclip::cli
