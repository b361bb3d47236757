// The window toolkit as the program sees it: a small table of operations that each platform fills
// (Qt on Linux, plain Win32 on Windows). Nothing in app/ knows which toolkit runs it.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

#include "app/window_template.h"
#include "text/values.h"

namespace lumaclip {

// Binds a control's click event to a routine of the program.
struct ClickBinding {
  uint32_t control;
  void (*routine)();
};

enum class LoadWindowResult { kLoaded, kNoTemplate, kNotCreated };

struct WindowToolkit {
  // Makes the toolkit ready and takes the program's window templates.
  void (*startUp)(std::span<const WindowTemplate> templates);
  // Creates and shows the window of that number with its controls, and binds its events.
  LoadWindowResult (*loadWindow)(uint32_t windowNumber, std::span<const ClickBinding> bindings);
  // Returns when the program's last window has been closed and destroyed.
  int32_t (*runMessageLoop)();
  // A fresh copy of a control's property (8: an edit box's text); absent when empty.
  Text (*readProperty)(uint32_t window, uint32_t control, int32_t property, int32_t part);
  // Replaces a control's property with a copy of `value`.
  void (*writeProperty)(uint32_t window, uint32_t control, int32_t property, int32_t part,
                        const Text& value);
  // The fatal message box: no owner, caption "错误", error icon, OK. Returns when dismissed.
  void (*showFatalReport)(std::string_view report);
  // Ends the process with `exitCode`; never returns.
  void (*endProcess)(int32_t exitCode);
};

constexpr int32_t kTextProperty = 8;
constexpr int32_t kWholeProperty = -1;

}  // namespace lumaclip
