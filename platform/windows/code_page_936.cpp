// Conversion of the program's code page 936 texts for the wide-character API.
#include "platform/windows/code_page_936.h"

#include <windows.h>

namespace lumaclip {

std::wstring WideFromCodePage936(std::string_view bytes) {
  if (bytes.empty()) return {};
  const int length = static_cast<int>(bytes.size());
  const int wideLength = MultiByteToWideChar(kProgramCodePage, 0, bytes.data(), length, nullptr, 0);
  if (wideLength <= 0) return {};
  std::wstring wide(static_cast<std::size_t>(wideLength), L'\0');
  MultiByteToWideChar(kProgramCodePage, 0, bytes.data(), length, wide.data(), wideLength);
  return wide;
}

}  // namespace lumaclip
