// The window toolkit over Qt 6 Widgets. The window program creates the QApplication and hands
// this table to StartProgram.
#pragma once

#include <cstdint>

#include "app/window_toolkit.h"

class QWidget;

namespace lumaclip::qt_window {

const WindowToolkit& QtWindowToolkit();

// The loaded window of that number, null when it is not (or no longer) there.
QWidget* LoadedWindow(uint32_t windowNumber);

}  // namespace lumaclip::qt_window
