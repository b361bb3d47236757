// Library loading by name for the seven WinINet operations: the system's own "wininet.dll".
#pragma once

#include "web/wininet_operations.h"

namespace lumaclip {

const LibraryLoader& Win32LibraryLoader();

}  // namespace lumaclip
