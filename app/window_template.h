// How a window and its controls are described to the toolkit: numbers, kinds, geometry and texts.
// Texts are code page 936 bytes; the toolkit converts them for display.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

namespace lumaclip {

enum class ControlKind { kLabel, kEditBox, kButton };

struct ControlTemplate {
  std::string_view name;  // the control's name in the program, code page 936
  ControlKind kind;
  uint32_t number;
  int32_t left, top, width, height;  // client coordinates, pixels
  std::string_view text;             // text at start, code page 936
  bool takesFocusByTab;
};

struct WindowTemplate {
  uint32_t number;
  std::string_view caption;
  int32_t outerWidth, outerHeight;            // frame and title bar included
  std::span<const ControlTemplate> controls;  // in Tab order
};

}  // namespace lumaclip
