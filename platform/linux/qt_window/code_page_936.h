// The program's own texts are code page 936 (GBK) bytes; Qt shows Unicode.
#pragma once

#include <QString>
#include <string_view>

namespace lumaclip::qt_window {

QString FromCodePage936(std::string_view bytes);

}  // namespace lumaclip::qt_window
