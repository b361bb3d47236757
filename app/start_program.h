// The program's entry and its one event routine.
#pragma once

#include <cstdint>

#include "app/window_toolkit.h"

namespace lumaclip {

// Starts the toolkit, shows MainWindow centred with 编辑框1 focused, runs the message loop and
// returns 0 once the window is gone. A window that cannot be loaded ends the program with the
// fatal report. The toolkit stays installed for OnParseClicked.
int32_t StartProgram(const WindowToolkit& toolkit);

// The Parse command, bound to 按钮1: fetch the page behind 编辑框1's link, derive the video
// address and write it to 编辑框2.
void OnParseClicked();

}  // namespace lumaclip
