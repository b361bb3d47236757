// The window toolkit over plain Win32: MainWindow and its controls built from the program's
// templates, keyboard navigation as in a dialog, and the fatal message box.
#pragma once

#include <windows.h>

#include <cstdint>

#include "app/window_toolkit.h"

namespace lumaclip {

const WindowToolkit& Win32WindowToolkit();

// The message loop's filter, before dispatch: Enter is swallowed, and Tab, Shift+Tab, Space on
// the button and Escape go through the window's dialog navigation. True when `message` was
// consumed and must not be dispatched.
bool PreTranslateWindowMessage(MSG& message);

// The loaded window, and a control of it by number; null when there is none.
HWND LoadedWindowHandle();
HWND ControlHandle(uint32_t controlNumber);

}  // namespace lumaclip
