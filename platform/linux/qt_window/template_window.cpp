// The window settings live here: what the frame, the controls and the keys do.
#include "platform/linux/qt_window/template_window.h"

#include <QApplication>
#include <QGuiApplication>
#include <QIcon>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QPalette>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>
#include <QWindow>

#include "platform/linux/qt_window/code_page_936.h"

namespace lumaclip::qt_window {
namespace {

// Black text on the button face, painted by the label itself.
QLabel* MakeLabel(QWidget* parent, const QPalette& face) {
  auto* label = new QLabel(parent);
  QPalette palette = face;
  palette.setColor(QPalette::WindowText, Qt::black);
  label->setPalette(palette);
  label->setAutoFillBackground(true);
  label->setTextFormat(Qt::PlainText);
  label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  label->setWordWrap(false);
  label->setFocusPolicy(Qt::NoFocus);
  return label;
}

QLineEdit* MakeEditBox(QWidget* parent) {
  auto* edit = new QLineEdit(parent);
  QPalette palette = edit->palette();
  palette.setColor(QPalette::Base, Qt::white);
  palette.setColor(QPalette::Text, Qt::black);
  // The selection stays but is not shown while the window is inactive; within the active window
  // a box that loses the focus drops its selection.
  palette.setColor(QPalette::Inactive, QPalette::Highlight, Qt::white);
  palette.setColor(QPalette::Inactive, QPalette::HighlightedText, Qt::black);
  edit->setPalette(palette);
  edit->setFrame(true);
  edit->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  // Qt's own limit of 32767 characters stays, as for typing: a longer text can only be markup cut
  // from a hostile page, and a line edit needs seconds and gigabytes to lay out megabytes.
  edit->setMaxLength(kEditBoxMaximum);
  return edit;
}

QPushButton* MakeButton(QWidget* parent) {
  auto* button = new QPushButton(parent);
  // Not the default button: Enter in the window never clicks it.
  button->setAutoDefault(false);
  button->setDefault(false);
  return button;
}

}  // namespace

QIcon ProgramIcon() {
  QIcon icon;
  for (int size : {16, 32, 48}) {
    icon.addFile(QStringLiteral(":/DEFAULT_ICON/lumaclip-%1.png").arg(size), QSize(size, size));
  }
  return icon;
}

void RunClickRoutine(void (*routine)()) {
  QGuiApplication::setOverrideCursor(Qt::WaitCursor);
  routine();
  QGuiApplication::restoreOverrideCursor();
}

TemplateWindow::TemplateWindow(const WindowTemplate& windowTemplate,
                               std::span<const ClickBinding> bindings)
    : QWidget(nullptr, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                           Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                           Qt::WindowCloseButtonHint),
      number_(windowTemplate.number),
      outerSize_(windowTemplate.outerWidth, windowTemplate.outerHeight) {
  setAttribute(Qt::WA_DeleteOnClose);
  setWindowTitle(FromCodePage936(windowTemplate.caption));
  setWindowIcon(ProgramIcon());

  QPalette face = palette();
  face.setColor(QPalette::Window, face.color(QPalette::Button));
  setPalette(face);
  setAutoFillBackground(true);

  for (const ControlTemplate& control : windowTemplate.controls) AddControl(control, bindings);
  QWidget* previous = nullptr;
  for (const auto& [controlNumber, widget] : controls_) {
    if (widget->focusPolicy() != Qt::StrongFocus) continue;
    if (previous == nullptr) {
      widget->setFocus(Qt::OtherFocusReason);  // the first in Tab order has the focus at start
    } else {
      setTabOrder(previous, widget);
    }
    previous = widget;
  }

  // The close box's way, so that Escape anywhere in the window ends it the same way.
  auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
  escape->setContext(Qt::WindowShortcut);
  connect(escape, &QShortcut::activated, this, &QWidget::close);

  FitOuterSize();
}

void TemplateWindow::AddControl(const ControlTemplate& control,
                                std::span<const ClickBinding> bindings) {
  QWidget* widget = nullptr;
  const QString text = FromCodePage936(control.text);
  switch (control.kind) {
    case ControlKind::kLabel: {
      QLabel* label = MakeLabel(this, palette());
      label->setText(text);
      widget = label;
      break;
    }
    case ControlKind::kEditBox: {
      QLineEdit* edit = MakeEditBox(this);
      edit->setText(text);
      edit->setCursorPosition(0);
      widget = edit;
      break;
    }
    case ControlKind::kButton: {
      QPushButton* button = MakeButton(this);
      button->setText(text);
      for (const ClickBinding& binding : bindings) {
        if (binding.control != control.number || binding.routine == nullptr) continue;
        void (*routine)() = binding.routine;
        connect(button, &QAbstractButton::clicked, this, [routine] { RunClickRoutine(routine); });
      }
      widget = button;
      break;
    }
  }
  if (control.kind != ControlKind::kLabel) {
    widget->setFocusPolicy(control.takesFocusByTab ? Qt::StrongFocus : Qt::ClickFocus);
  }
  widget->setObjectName(FromCodePage936(control.name));
  widget->setGeometry(control.left, control.top, control.width, control.height);
  controls_.emplace_back(control.number, widget);
}

QWidget* TemplateWindow::Control(uint32_t number) const {
  for (const auto& [controlNumber, widget] : controls_) {
    if (controlNumber == number) return widget;
  }
  return nullptr;
}

bool TemplateWindow::event(QEvent* event) {
  const bool handled = QWidget::event(event);
  switch (event->type()) {
    case QEvent::Show:
    case QEvent::Move:
    case QEvent::Resize:
    case QEvent::WindowActivate:
      FitOuterSize();
      break;
    default:
      break;
  }
  return handled;
}

// The template gives the outer size; the frame's margins are the window manager's and are known
// only once it has framed the window, so the client size follows them. The window is centred at
// creation and once more when the margins are first known; after that it stays where the user
// puts it.
void TemplateWindow::FitOuterSize() {
  const QWindow* handle = windowHandle();
  const QMargins margins = handle != nullptr ? handle->frameMargins() : QMargins();
  const QSize client(outerSize_.width() - margins.left() - margins.right(),
                     outerSize_.height() - margins.top() - margins.bottom());
  if (minimumSize() != client || maximumSize() != client) setFixedSize(client);
  const bool firstFramed = !framed_ && !margins.isNull();
  if (centred_ && !firstFramed) return;
  centred_ = true;
  framed_ = !margins.isNull();
  const QScreen* screen = QGuiApplication::primaryScreen();
  if (screen == nullptr) return;
  const QRect area = screen->geometry();
  // Each division drops its remainder towards zero, also for a screen smaller than the window.
  move(area.x() + (area.width() - outerSize_.width()) / 2,
       area.y() + (area.height() - outerSize_.height()) / 2);
}

}  // namespace lumaclip::qt_window
