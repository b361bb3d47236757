// What the window tests share: Qt's offscreen platform (no display needed), the loaded MainWindow
// and its controls found by the names the program gives them.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QCoreApplication>
#include <QPointer>
#include <QString>
#include <QTest>
#include <QWidget>

#include "app/main_window.h"
#include "platform/linux/qt_window/qt_window_toolkit.h"

namespace lumaclip::qt_window::testing {

// One screen of 1281 x 801 pixels: odd sizes, so that centring drops a remainder.
inline void EnsureOffscreenApplication() {
  if (QApplication::instance() != nullptr) return;
  qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" LUMACLIP_OFFSCREEN_SCREEN);
  static int argc = 1;
  static char name[] = "qt_window_test";
  static char* argv[] = {name, nullptr};
  new QApplication(argc, argv);
}

inline QWidget* ControlNamed(QWidget* window, const char* utf8Name) {
  return window->findChild<QWidget*>(QString::fromUtf8(utf8Name));
}

// Destroys what closing a window left for later, as the message loop would.
inline void FlushDeferredDeletes() {
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

// Loads MainWindow through the toolkit with the given click routine and waits until it is active.
class OffscreenWindowTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { EnsureOffscreenApplication(); }

  void LoadMainWindow(void (*clickRoutine)()) {
    static constexpr WindowTemplate kTemplates[] = {kMainWindow};
    bindings_[0] = {kButton1Number, clickRoutine};
    QtWindowToolkit().startUp(std::span<const WindowTemplate>(kTemplates));
    ASSERT_EQ(
        QtWindowToolkit().loadWindow(kMainWindowNumber, std::span<const ClickBinding>(bindings_)),
        LoadWindowResult::kLoaded);
    window_ = LoadedWindow(kMainWindowNumber);
    ASSERT_NE(window_, nullptr);
    ASSERT_TRUE(QTest::qWaitForWindowActive(window_));
  }

  void TearDown() override {
    delete window_.data();
    FlushDeferredDeletes();
  }

  QWidget* Control(const char* utf8Name) const { return ControlNamed(window_, utf8Name); }

  ClickBinding bindings_[1]{};
  QPointer<QWidget> window_;
};

}  // namespace lumaclip::qt_window::testing
