// A top-level window built from a WindowTemplate: fixed frame, controls at their client
// coordinates, Tab order as the template lists them, and the program's click routines bound.
#pragma once

#include <QIcon>
#include <QWidget>
#include <cstdint>
#include <span>
#include <utility>
#include <vector>

#include "app/window_template.h"
#include "app/window_toolkit.h"

namespace lumaclip::qt_window {

// The most characters an edit box holds, typed or written by the program.
constexpr int kEditBoxMaximum = 32767;

class TemplateWindow final : public QWidget {
 public:
  TemplateWindow(const WindowTemplate& windowTemplate, std::span<const ClickBinding> bindings);

  uint32_t Number() const { return number_; }
  // Null when the window has no control of that number.
  QWidget* Control(uint32_t number) const;

 protected:
  bool event(QEvent* event) override;

 private:
  void AddControl(const ControlTemplate& control, std::span<const ClickBinding> bindings);
  void FitOuterSize();

  uint32_t number_;
  QSize outerSize_;
  bool centred_ = false;
  bool framed_ = false;  // the window manager's frame margins are known
  std::vector<std::pair<uint32_t, QWidget*>> controls_;
};

// DEFAULT_ICON: the program's pictures of 16, 32 and 48 pixels.
QIcon ProgramIcon();

// Runs a click routine with the busy cursor shown; input that arrives meanwhile waits in the
// window system's queue and is handled afterwards, in its order.
void RunClickRoutine(void (*routine)());

}  // namespace lumaclip::qt_window
