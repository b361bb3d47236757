// MainWindow: the one window of the program and the numbers by which the program addresses it.
#pragma once

#include <array>
#include <cstdint>

#include "app/window_template.h"

namespace lumaclip {

constexpr uint32_t kMainWindowNumber = 0x52010001;
constexpr uint32_t kLabel1Number = 0x16010003;    // 标签1
constexpr uint32_t kEditBox1Number = 0x16010002;  // 编辑框1: the share link
constexpr uint32_t kButton1Number = 0x16010004;   // 按钮1: "解析"
constexpr uint32_t kLabel2Number = 0x16011eec;    // 标签2
constexpr uint32_t kEditBox2Number = 0x16011eed;  // 编辑框2: the video address

// Names and texts in code page 936.
inline constexpr std::array<ControlTemplate, 5> kMainWindowControls{{
    {"\xB1\xEA\xC7\xA9"
     "1",
     ControlKind::kLabel, kLabel1Number, 8, 40, 64, 24, "\xCA\xD3\xC6\xB5\xB5\xD8\xD6\xB7\xA3\xBA",
     false},  // 标签1 "视频地址："
    {"\xB1\xE0\xBC\xAD\xBF\xF2"
     "1",
     ControlKind::kEditBox, kEditBox1Number, 72, 32, 648, 40, "", true},  // 编辑框1
    {"\xB0\xB4\xC5\xA5"
     "1",
     ControlKind::kButton, kButton1Number, 736, 56, 120, 40, "\xBD\xE2\xCE\xF6",
     true},  // 按钮1 "解析"
    {"\xB1\xEA\xC7\xA9"
     "2",
     ControlKind::kLabel, kLabel2Number, 8, 96, 64, 24, "\xBD\xE2\xCE\xF6\xB5\xD8\xD6\xB7\xA3\xBA",
     false},  // 标签2 "解析地址："
    {"\xB1\xE0\xBC\xAD\xBF\xF2"
     "2",
     ControlKind::kEditBox, kEditBox2Number, 72, 88, 648, 40, "", true},  // 编辑框2
}};

inline constexpr WindowTemplate kMainWindow{kMainWindowNumber, "Lumaclip", 876, 174,
                                            kMainWindowControls};

}  // namespace lumaclip
