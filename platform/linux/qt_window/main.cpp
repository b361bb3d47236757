// The window program: Qt, the library loader that maps "wininet.dll" to our own layer, and the
// program's start sequence.
#include <QApplication>

#include "app/start_program.h"
#include "platform/linux/qt_window/qt_window_toolkit.h"
#include "platform/linux/system/library_loader.h"
#include "web/wininet_operations.h"

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  lumaclip::linux_system::InstallLinuxLibraryLoader();
  const int exitCode = lumaclip::StartProgram(lumaclip::qt_window::QtWindowToolkit());
  lumaclip::ReleaseBoundLibrary();
  return exitCode;
}
