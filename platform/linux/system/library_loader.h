// The Linux LibraryLoader: dlopen, dlsym and dlclose. "wininet.dll" is our own layer over libcurl,
// liblumaclip_wininet.so, looked for where LUMACLIP_WININET_LIBRARY points, else next to the
// running program, else through the normal library search path.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "web/wininet_operations.h"

namespace lumaclip::linux_system {

// Names a test or a packager may rely on.
inline constexpr char kWinInetLayerEnvironment[] = "LUMACLIP_WININET_LIBRARY";
inline constexpr char kWinInetLayerFileName[] = "liblumaclip_wininet.so";

// Where "wininet.dll" is looked for, in order: only `environmentPath` when it is set and not
// empty; otherwise `executableFolder`/liblumaclip_wininet.so (when the folder is known) and then
// the plain file name for the dynamic loader's own search.
std::vector<std::string> WinInetLayerCandidates(const char* environmentPath,
                                                std::string_view executableFolder);

// The folder of /proc/self/exe, empty when it cannot be read.
std::string ExecutableFolder();

LibraryLoader LinuxLibraryLoader();

// Called by a front end at start, before the first request.
void InstallLinuxLibraryLoader();

}  // namespace lumaclip::linux_system
