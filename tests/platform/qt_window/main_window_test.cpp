// MainWindow as the Qt toolkit builds it, on the offscreen platform: frame, place, controls, focus,
// the keys, the busy cursor and the edit boxes' text property.
#include <QGuiApplication>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <QWindow>
#include <string>
#include <vector>

#include "app/start_program.h"
#include "platform/linux/qt_window/template_window.h"
#include "tests/platform/qt_window/offscreen_window.h"

namespace lumaclip::qt_window::testing {
namespace {

int clicks = 0;
std::vector<int> cursorShapesSeen;

void CountClick() {
  ++clicks;
  const QCursor* cursor = QGuiApplication::overrideCursor();
  cursorShapesSeen.push_back(cursor != nullptr ? cursor->shape() : -1);
}

class MainWindowTest : public OffscreenWindowTest {
 protected:
  void SetUp() override {
    clicks = 0;
    cursorShapesSeen.clear();
    LoadMainWindow(CountClick);
  }

  void Key(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QTest::keyClick(window_->windowHandle(), static_cast<Qt::Key>(key), modifiers);
  }
  QWidget* Focused() const { return QApplication::focusWidget(); }
};

TEST_F(MainWindowTest, HasTheFixedFrameCaptionAndIconAndStandsCentred) {
  const Qt::WindowFlags flags = window_->windowFlags();
  EXPECT_EQ(window_->windowType(), Qt::Window) << "an ordinary window with its own taskbar entry";
  EXPECT_EQ(window_->parentWidget(), nullptr);
  for (Qt::WindowType wanted : {Qt::WindowTitleHint, Qt::WindowSystemMenuHint,
                                Qt::WindowMinimizeButtonHint, Qt::WindowCloseButtonHint}) {
    EXPECT_TRUE(flags.testFlag(wanted)) << wanted;
  }
  for (Qt::WindowType unwanted : {Qt::WindowMaximizeButtonHint, Qt::WindowStaysOnTopHint,
                                  Qt::FramelessWindowHint, Qt::WindowContextHelpButtonHint}) {
    EXPECT_FALSE(flags.testFlag(unwanted)) << unwanted;
  }
  EXPECT_EQ(window_->minimumSize(), window_->maximumSize()) << "the frame cannot be resized";
  EXPECT_EQ(window_->windowTitle(), QStringLiteral("Lumaclip"));
  EXPECT_TRUE(window_->isVisible());
  EXPECT_TRUE(window_->isEnabled());

  // The outer size is the template's; the client area is what the frame leaves.
  const QMargins frame = window_->windowHandle()->frameMargins();
  EXPECT_FALSE(frame.isNull()) << "the offscreen platform draws a frame";
  EXPECT_EQ(window_->frameGeometry().size(), QSize(876, 174));
  EXPECT_EQ(window_->size(),
            QSize(876 - frame.left() - frame.right(), 174 - frame.top() - frame.bottom()));

  // Centred on the primary screen, each division dropping its remainder: (1281 - 876) / 2 and
  // (801 - 174) / 2.
  ASSERT_EQ(QGuiApplication::primaryScreen()->geometry(), QRect(0, 0, 1281, 801));
  EXPECT_EQ(window_->frameGeometry().topLeft(), QPoint(202, 313));

  const QList<QSize> iconSizes = window_->windowIcon().availableSizes();
  for (int side : {16, 32, 48}) EXPECT_TRUE(iconSizes.contains(QSize(side, side))) << side;

  EXPECT_EQ(window_->palette().color(QPalette::Window),
            QApplication::palette().color(QPalette::Button))
      << "button face";
  EXPECT_TRUE(window_->autoFillBackground());
  EXPECT_EQ(window_->font(), QApplication::font());
}

TEST_F(MainWindowTest, CanBeMovedAndStaysWhereItIsPut) {
  window_->move(40, 50);
  QCoreApplication::processEvents();
  QTest::qWait(50);
  EXPECT_EQ(window_->frameGeometry().topLeft(), QPoint(40, 50));
  EXPECT_EQ(window_->frameGeometry().size(), QSize(876, 174));
}

TEST_F(MainWindowTest, ControlsStandWhereTheTemplatePutsThem) {
  struct Case {
    const char* name;
    const char* kind;
    QRect geometry;
    const char* text;
    Qt::FocusPolicy focus;
  };
  const Case cases[] = {
      {"标签1", "QLabel", {8, 40, 64, 24}, "视频地址：", Qt::NoFocus},
      {"编辑框1", "QLineEdit", {72, 32, 648, 40}, "", Qt::StrongFocus},
      {"按钮1", "QPushButton", {736, 56, 120, 40}, "解析", Qt::StrongFocus},
      {"标签2", "QLabel", {8, 96, 64, 24}, "解析地址：", Qt::NoFocus},
      {"编辑框2", "QLineEdit", {72, 88, 648, 40}, "", Qt::StrongFocus},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    QWidget* control = Control(c.name);
    ASSERT_NE(control, nullptr);
    EXPECT_STREQ(control->metaObject()->className(), c.kind);
    EXPECT_EQ(control->geometry(), c.geometry);
    EXPECT_TRUE(control->isVisible());
    EXPECT_TRUE(control->isEnabled());
    EXPECT_EQ(control->focusPolicy(), c.focus);
    EXPECT_EQ(control->font(), QApplication::font());
    if (auto* label = qobject_cast<QLabel*>(control)) {
      EXPECT_EQ(label->text(), QString::fromUtf8(c.text));
      EXPECT_EQ(label->alignment(), Qt::AlignLeft | Qt::AlignVCenter);
      EXPECT_FALSE(label->wordWrap());
      EXPECT_EQ(label->textFormat(), Qt::PlainText);
      EXPECT_EQ(label->frameShape(), QFrame::NoFrame);
      EXPECT_TRUE(label->autoFillBackground());
      EXPECT_EQ(label->palette().color(QPalette::WindowText), QColor(Qt::black));
      EXPECT_EQ(label->palette().color(QPalette::Window),
                QApplication::palette().color(QPalette::Button));
      // Four characters and a full-width colon fit the label's 64 pixels on one line.
      EXPECT_LE(label->sizeHint().width(), 64);
    } else if (auto* edit = qobject_cast<QLineEdit*>(control)) {
      EXPECT_EQ(edit->text(), QString());
      EXPECT_FALSE(edit->isReadOnly());
      EXPECT_EQ(edit->echoMode(), QLineEdit::Normal);
      EXPECT_TRUE(edit->hasFrame());
      EXPECT_EQ(edit->alignment() & Qt::AlignHorizontal_Mask, Qt::AlignLeft);
      EXPECT_EQ(edit->cursorPosition(), 0);
      EXPECT_FALSE(edit->hasSelectedText());
      EXPECT_EQ(edit->palette().color(QPalette::Base), QColor(Qt::white));
      EXPECT_EQ(edit->palette().color(QPalette::Text), QColor(Qt::black));
    } else if (auto* button = qobject_cast<QPushButton*>(control)) {
      EXPECT_EQ(button->text(), QString::fromUtf8(c.text));
      EXPECT_FALSE(button->autoDefault());
      EXPECT_FALSE(button->isDefault());
      EXPECT_TRUE(button->icon().isNull());
    }
  }
}

TEST_F(MainWindowTest, FocusStartsInEditBox1AndTabCyclesBothWays) {
  EXPECT_EQ(Focused(), Control("编辑框1"));
  const char* forward[] = {"按钮1", "编辑框2", "编辑框1", "按钮1"};
  for (const char* next : forward) {
    SCOPED_TRACE(std::string("Tab to ") + next);
    Key(Qt::Key_Tab);
    EXPECT_EQ(Focused(), Control(next));
  }
  const char* backward[] = {"编辑框1", "编辑框2", "按钮1", "编辑框1"};
  for (const char* next : backward) {
    SCOPED_TRACE(std::string("Shift+Tab to ") + next);
    Key(Qt::Key_Backtab, Qt::ShiftModifier);
    EXPECT_EQ(Focused(), Control(next));
  }
}

TEST_F(MainWindowTest, ActivatedAgainTheWindowGivesTheFocusBack) {
  Key(Qt::Key_Tab);
  Key(Qt::Key_Tab);
  ASSERT_EQ(Focused(), Control("编辑框2"));
  QWidget other;
  other.show();
  other.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&other));
  window_->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(window_));
  EXPECT_EQ(Focused(), Control("编辑框2"));
}

TEST_F(MainWindowTest, EnterAndF1DoNothing) {
  struct Case {
    const char* focus;
    Qt::Key key;
  };
  const Case cases[] = {
      {"编辑框1", Qt::Key_Return}, {"编辑框1", Qt::Key_Enter},  {"按钮1", Qt::Key_Return},
      {"按钮1", Qt::Key_Enter},    {"编辑框2", Qt::Key_Return}, {"编辑框1", Qt::Key_F1},
      {"按钮1", Qt::Key_F1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.focus) + " key " + std::to_string(c.key));
    Control(c.focus)->setFocus(Qt::TabFocusReason);
    Key(c.key);
    QCoreApplication::processEvents();
    EXPECT_EQ(clicks, 0);
    EXPECT_TRUE(window_->isVisible());
    EXPECT_EQ(Focused(), Control(c.focus));
    EXPECT_EQ(QApplication::topLevelWidgets().size(), 1) << "no help window, no dialog";
  }
}

TEST_F(MainWindowTest, SpaceOnTheFocusedButtonOrAMouseClickRunsTheRoutineUnderTheBusyCursor) {
  Key(Qt::Key_Tab);
  ASSERT_EQ(Focused(), Control("按钮1"));
  Key(Qt::Key_Space);
  EXPECT_EQ(clicks, 1);
  QTest::mouseClick(Control("按钮1"), Qt::LeftButton);
  EXPECT_EQ(clicks, 2);
  EXPECT_EQ(cursorShapesSeen, (std::vector<int>{Qt::WaitCursor, Qt::WaitCursor}));
  EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr) << "the busy cursor is taken back";
  // Space elsewhere is only typed.
  Key(Qt::Key_Tab);
  Key(Qt::Key_Space);
  EXPECT_EQ(clicks, 2);
  EXPECT_EQ(qobject_cast<QLineEdit*>(Control("编辑框2"))->text(), QStringLiteral(" "));
}

TEST_F(MainWindowTest, EscapeClosesTheWindowFromEveryControl) {
  for (const char* focus : {"编辑框1", "按钮1", "编辑框2"}) {
    SCOPED_TRACE(focus);
    if (window_ == nullptr) LoadMainWindow(CountClick);
    Control(focus)->setFocus(Qt::TabFocusReason);
    Key(Qt::Key_Escape);
    FlushDeferredDeletes();
    EXPECT_EQ(window_, nullptr) << "closed and destroyed";
    EXPECT_EQ(LoadedWindow(kMainWindowNumber), nullptr);
    EXPECT_EQ(clicks, 0);
  }
}

TEST_F(MainWindowTest, EditBoxTextIsReadAndWrittenInTheLocaleEncoding) {
  const std::string longest = "http://example.test/" + std::string(kEditBoxMaximum - 20, 'a');
  struct Case {
    const char* name;
    std::string bytes;
  };
  const Case cases[] = {
      {"plain address", "https://v.example.test/s/AbC123/"},
      {"spaces kept", "  http://example.test/a b  "},
      {"Chinese text (UTF-8 bytes of the locale)", "解析 https://例子.测试/视频"},
      {"as long as an edit box holds", longest},
  };
  const WindowToolkit& toolkit = QtWindowToolkit();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    for (uint32_t control : {kEditBox1Number, kEditBox2Number}) {
      toolkit.writeProperty(kMainWindowNumber, control, kTextProperty, kWholeProperty,
                            Text::FromBytes(c.bytes));
      const Text read =
          toolkit.readProperty(kMainWindowNumber, control, kTextProperty, kWholeProperty);
      EXPECT_EQ(read.View(), c.bytes);
    }
    auto* edit = qobject_cast<QLineEdit*>(Control("编辑框2"));
    EXPECT_EQ(edit->text(), QString::fromUtf8(c.bytes));
    EXPECT_EQ(edit->cursorPosition(), 0) << "the beginning of the address is in view";
  }

  // A longer text, which only a hostile page's markup can give, is cut to what the box holds.
  toolkit.writeProperty(kMainWindowNumber, kEditBox2Number, kTextProperty, kWholeProperty,
                        Text::FromBytes(std::string(1000000, 'b')));
  EXPECT_EQ(qobject_cast<QLineEdit*>(Control("编辑框2"))->text(), QString(kEditBoxMaximum, 'b'));

  // Typed text reaches the program as typed; an empty box reads as the absent text.
  auto* edit1 = qobject_cast<QLineEdit*>(Control("编辑框1"));
  edit1->setText(QString::fromUtf8("链接"));
  EXPECT_EQ(toolkit.readProperty(kMainWindowNumber, kEditBox1Number, 8, -1).View(), "链接");
  edit1->clear();
  EXPECT_FALSE(toolkit.readProperty(kMainWindowNumber, kEditBox1Number, 8, -1).IsPresent());

  // Only the edit boxes' property 8 exists; anything else reads absent and writes nothing.
  EXPECT_FALSE(toolkit.readProperty(kMainWindowNumber, kLabel1Number, 8, -1).IsPresent());
  EXPECT_FALSE(toolkit.readProperty(0x52010002, kEditBox2Number, 8, -1).IsPresent());
  toolkit.writeProperty(kMainWindowNumber, kEditBox1Number, 7, -1, Text::Literal("x"));
  toolkit.writeProperty(kMainWindowNumber, kLabel1Number, 8, -1, Text::Literal("x"));
  EXPECT_EQ(edit1->text(), QString());
  EXPECT_EQ(qobject_cast<QLabel*>(Control("标签1"))->text(), QString::fromUtf8("视频地址："));
}

// The program's own start: StartProgram returns 0 when the window is closed by Escape or by the
// close box (the window system's close request).
class StartProgramInWindowTest : public OffscreenWindowTest {};

TEST_F(StartProgramInWindowTest, ClosingTheWindowEndsStartProgramWithZero) {
  struct Case {
    const char* name;
    void (*close)(QWidget* window);
  };
  const Case cases[] = {
      {"Escape", [](QWidget* w) { QTest::keyClick(w->windowHandle(), Qt::Key_Escape); }},
      {"close box", [](QWidget* w) { w->windowHandle()->close(); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    static void (*closeNow)(QWidget*);
    closeNow = c.close;
    bool closed = false;
    // Polls until the window is up, then closes it; the guard ends a hung loop with a failure.
    QTimer poll;
    poll.setInterval(10);
    QObject::connect(&poll, &QTimer::timeout, [&] {
      QWidget* window = LoadedWindow(kMainWindowNumber);
      if (window == nullptr || closed || !window->isActiveWindow()) return;
      closed = true;
      closeNow(window);
    });
    poll.start();
    QTimer guard;
    guard.setSingleShot(true);
    QObject::connect(&guard, &QTimer::timeout, [] {
      ADD_FAILURE() << "the window did not close";
      QCoreApplication::exit(1);
    });
    guard.start(10000);
    EXPECT_EQ(StartProgram(QtWindowToolkit()), 0);
    EXPECT_TRUE(closed);
    EXPECT_EQ(LoadedWindow(kMainWindowNumber), nullptr);
  }
}

}  // namespace
}  // namespace lumaclip::qt_window::testing
