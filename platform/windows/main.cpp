// lumaclip.exe: the window program for Windows. It binds the system's "wininet.dll" by name,
// shows fatal reports in the system's message box and hands the Win32 toolkit to the program.
#include <windows.h>

#include "app/start_program.h"
#include "platform/windows/win32_library_loader.h"
#include "platform/windows/win32_window_toolkit.h"
#include "text/fatal_report.h"
#include "web/wininet_operations.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  using namespace lumaclip;
  const WindowToolkit& toolkit = Win32WindowToolkit();
  SetFatalReportSink({toolkit.showFatalReport, toolkit.endProcess});
  InstallLibraryLoader(Win32LibraryLoader());
  const int32_t exitCode = StartProgram(toolkit);
  ReleaseBoundLibrary();
  return exitCode;
}
