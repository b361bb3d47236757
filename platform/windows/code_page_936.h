// The program's own texts are code page 936 bytes; Windows shows them through the wide-character
// API after this conversion, so they read right whatever the system's ANSI code page is.
#pragma once

#include <string>
#include <string_view>

namespace lumaclip {

inline constexpr unsigned kProgramCodePage = 936;

// The UTF-16 form of code page 936 bytes; a byte that does not convert becomes U+FFFD.
std::wstring WideFromCodePage936(std::string_view bytes);

}  // namespace lumaclip
