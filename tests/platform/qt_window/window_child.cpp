// A window program for the tests that need a whole process: it runs StartProgram with the Qt
// toolkit on the offscreen platform, drives the window as the case asks, and, when a fatal
// message box appears, prints what it shows and presses OK. The test reads the output and the
// exit code.
//   window_child not-created | no-template    start-up fails
//   window_child missing-library              "wininet.dll" cannot be loaded; 按钮1 is clicked
//   window_child escape                       Escape closes the window
#include <unistd.h>

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QTest>
#include <QTimer>
#include <cstdio>
#include <string>

#include "app/main_window.h"
#include "app/start_program.h"
#include "platform/linux/qt_window/qt_window_toolkit.h"
#include "web/wininet_operations.h"

namespace {

using lumaclip::LoadWindowResult;
using lumaclip::WindowToolkit;
namespace qt_window = lumaclip::qt_window;

std::string g_mode;
bool g_acted = false;

LoadWindowResult NotCreated(uint32_t, std::span<const lumaclip::ClickBinding>) {
  return LoadWindowResult::kNotCreated;
}
LoadWindowResult NoTemplate(uint32_t, std::span<const lumaclip::ClickBinding>) {
  return LoadWindowResult::kNoTemplate;
}

void* NoLibrary(const char*) {
  return nullptr;
}
void* NoFunction(void*, const char*) {
  return nullptr;
}
void NoRelease(void*) {}

// Line ends written out, so that the report's CR LF pairs are visible in the output.
std::string Visible(const QString& text) {
  std::string out;
  for (char c : text.toUtf8().toStdString()) {
    if (c == '\r') {
      out += "\\r";
    } else if (c == '\n') {
      out += "\\n";
    } else {
      out += c;
    }
  }
  return out;
}

void ReportAndDismiss(QMessageBox* box) {
  std::printf("caption=%s\n", box->windowTitle().toUtf8().constData());
  std::printf("text=%s\n", Visible(box->text()).c_str());
  std::printf("icon=%s\n", box->icon() == QMessageBox::Critical ? "error" : "other");
  std::printf("buttons=%s\n", box->standardButtons() == QMessageBox::Ok ? "ok" : "other");
  std::printf("owner=%s\n", box->parentWidget() == nullptr ? "none" : "some");
  std::printf("modal=%s\n",
              box->windowModality() == Qt::ApplicationModal ? "application" : "other");
  std::printf("busy-cursor=%s\n", QGuiApplication::overrideCursor() != nullptr ? "shown" : "gone");
  std::fflush(stdout);
  box->button(QMessageBox::Ok)->click();
}

void Poll() {
  if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
    if (box->isVisible()) ReportAndDismiss(box);
    return;
  }
  QWidget* window = qt_window::LoadedWindow(lumaclip::kMainWindowNumber);
  if (g_acted || window == nullptr || !window->isActiveWindow()) return;
  g_acted = true;
  // Acted on from a fresh event, so that this timer keeps polling for the message box meanwhile.
  QTimer::singleShot(0, [window] {
    if (g_mode == "escape") {
      QTest::keyClick(window->windowHandle(), Qt::Key_Escape);
    } else if (g_mode == "missing-library") {
      QTest::mouseClick(window->findChild<QWidget*>(QString::fromUtf8("按钮1")), Qt::LeftButton);
    }
  });
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) return 2;
  g_mode = argv[1];
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication application(argc, argv);

  WindowToolkit toolkit = qt_window::QtWindowToolkit();
  if (g_mode == "not-created") {
    toolkit.loadWindow = NotCreated;
  } else if (g_mode == "no-template") {
    toolkit.loadWindow = NoTemplate;
  } else if (g_mode == "missing-library") {
    lumaclip::InstallLibraryLoader({NoLibrary, NoFunction, NoRelease});
  } else if (g_mode != "escape") {
    return 2;
  }

  QTimer poll;
  QObject::connect(&poll, &QTimer::timeout, Poll);
  poll.start(10);
  QTimer guard;
  QObject::connect(&guard, &QTimer::timeout, [] { _exit(3); });
  guard.start(20000);

  const int exitCode = lumaclip::StartProgram(toolkit);
  std::printf("returned=%d\n", exitCode);
  return exitCode;
}
