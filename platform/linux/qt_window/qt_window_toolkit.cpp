// The seven toolkit operations over Qt Widgets: one thread, the QApplication's event loop.
#include "platform/linux/qt_window/qt_window_toolkit.h"

#include <unistd.h>

#include <QApplication>
#include <QByteArray>
#include <QLineEdit>
#include <QMessageBox>
#include <cstdio>
#include <span>
#include <vector>

#include "platform/linux/qt_window/code_page_936.h"
#include "platform/linux/qt_window/template_window.h"

namespace lumaclip::qt_window {
namespace {

// "错误"
constexpr std::string_view kFatalCaption = "\xB4\xED\xCE\xF3";

std::span<const WindowTemplate> g_templates;
// The loaded windows that still exist; each leaves the list as it is destroyed.
struct LoadedEntry {
  const QObject* object;  // the same window, for the destroyed signal, which passes a QObject
  TemplateWindow* window;
};
std::vector<LoadedEntry> g_windows;

void EnsureApplication() {
  if (QApplication::instance() != nullptr) return;
  static int argc = 1;
  static char name[] = "lumaclip";
  static char* argv[] = {name, nullptr};
  new QApplication(argc, argv);  // lives as long as the process
}

TemplateWindow* FindWindow(uint32_t windowNumber) {
  for (const LoadedEntry& entry : g_windows) {
    if (entry.window->Number() == windowNumber) return entry.window;
  }
  return nullptr;
}

QLineEdit* FindEditBox(uint32_t window, uint32_t control) {
  TemplateWindow* owner = FindWindow(window);
  return owner != nullptr ? qobject_cast<QLineEdit*>(owner->Control(control)) : nullptr;
}

void StartUp(std::span<const WindowTemplate> templates) {
  EnsureApplication();
  g_templates = templates;
  // The loop ends when the program's last window is destroyed, not when a message box closes.
  QGuiApplication::setQuitOnLastWindowClosed(false);
  QGuiApplication::setDesktopFileName(QStringLiteral("lumaclip"));
  QApplication::setWindowIcon(ProgramIcon());  // also the message box's
}

void ForgetWindow(QObject* gone) {
  std::erase_if(g_windows, [gone](const LoadedEntry& entry) { return entry.object == gone; });
  if (g_windows.empty()) QCoreApplication::exit(0);
}

LoadWindowResult LoadWindow(uint32_t windowNumber, std::span<const ClickBinding> bindings) {
  const WindowTemplate* found = nullptr;
  for (const WindowTemplate& windowTemplate : g_templates) {
    if (windowTemplate.number == windowNumber) found = &windowTemplate;
  }
  if (found == nullptr) return LoadWindowResult::kNoTemplate;
  if (QGuiApplication::primaryScreen() == nullptr) return LoadWindowResult::kNotCreated;
  auto* window = new TemplateWindow(*found, bindings);
  g_windows.push_back({window, window});
  QObject::connect(window, &QObject::destroyed, ForgetWindow);
  window->show();
  if (!window->isVisible()) {
    delete window;
    return LoadWindowResult::kNotCreated;
  }
  return LoadWindowResult::kLoaded;
}

int32_t RunMessageLoop() {
  return QApplication::exec();
}

Text ReadProperty(uint32_t window, uint32_t control, int32_t property, int32_t part) {
  QLineEdit* edit = FindEditBox(window, control);
  if (edit == nullptr || property != kTextProperty) return Text();
  const QByteArray bytes = edit->text().toLocal8Bit();
  return Text::FromBytes(std::string_view(bytes.constData(), static_cast<size_t>(bytes.size())));
}

void WriteProperty(uint32_t window, uint32_t control, int32_t property, int32_t part,
                   const Text& value) {
  QLineEdit* edit = FindEditBox(window, control);
  if (edit == nullptr || property != kTextProperty) return;
  const std::string_view bytes = value.View();
  edit->setText(QString::fromLocal8Bit(bytes.data(), static_cast<qsizetype>(bytes.size())));
  edit->setCursorPosition(0);  // the beginning of an address is what the user looks for
}

void ShowFatalReport(std::string_view report) {
  EnsureApplication();
  // A report raised by a click routine must not leave the busy cursor over the message box.
  while (QGuiApplication::overrideCursor() != nullptr) QGuiApplication::restoreOverrideCursor();
  // No owner: application-modal, so the windows below take no input while it is shown.
  QMessageBox box(QMessageBox::Critical, FromCodePage936(kFatalCaption), FromCodePage936(report),
                  QMessageBox::Ok);
  box.setTextFormat(Qt::PlainText);
  box.setWindowModality(Qt::ApplicationModal);
  box.exec();
}

// The system takes the windows and the bound library back with the process; unloading the
// library here could run its clean-up in the middle of the request that raised the report.
void EndProcess(int32_t exitCode) {
  std::fflush(nullptr);
  _exit(exitCode);
}

constexpr WindowToolkit kQtWindowToolkit{
    StartUp,          // startUp
    LoadWindow,       // loadWindow
    RunMessageLoop,   // runMessageLoop
    ReadProperty,     // readProperty
    WriteProperty,    // writeProperty
    ShowFatalReport,  // showFatalReport
    EndProcess,       // endProcess
};

}  // namespace

const WindowToolkit& QtWindowToolkit() {
  return kQtWindowToolkit;
}

QWidget* LoadedWindow(uint32_t windowNumber) {
  return FindWindow(windowNumber);
}

}  // namespace lumaclip::qt_window

#if defined(__SANITIZE_ADDRESS__)
// Qt's font database holds fontconfig's configuration for the life of the process, fontconfig
// loses track of a few blocks of its own, and libdbus keeps one from Qt's look for a session
// bus; none of it is the program's to free.
extern "C" const char* __lsan_default_suppressions() {
  return "leak:libfontconfig.so\n"
         "leak:libdbus-1.so\n";
}
#endif
