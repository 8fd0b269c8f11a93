// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/toolkit/input_filter.h"

#include <QApplication>
#include <QKeyEvent>
#include <QPointer>
#include <QWheelEvent>

#include "platform/toolkit/form.h"
#include "platform/toolkit/form_window.h"
#include "platform/toolkit/qt_bridge.h"

namespace platform {

namespace {

class InputFilter final : public QObject {
 public:
  explicit InputFilter(QObject* parent) : QObject(parent) {}

 protected:
  bool eventFilter(QObject* o, QEvent* e) override {
    if (!o->isWidgetType()) return false;
    auto* w = static_cast<QWidget*>(o);
    switch (e->type()) {
      case QEvent::KeyPress:
        return Key(w, static_cast<QKeyEvent*>(e));
      case QEvent::Wheel:
        return Wheel(w, static_cast<QWheelEvent*>(e));
      case QEvent::ContextMenu:
        return ControlOfWidget(w) != nullptr;
      default:
        return false;
    }
  }

 private:
  static FormWindow* WindowOf(QWidget* w) { return dynamic_cast<FormWindow*>(w->window()); }

  // Only the key's first receiver, the widget with the focus (or the window
  // without one), is asked; a key a text field leaves is not asked again as
  // it passes up to the parents. The menu bar keeps its keys.
  static bool Key(QWidget* w, QKeyEvent* e) {
    FormWindow* window = WindowOf(w);
    if (!window) return false;
    QWidget* focus = window->focusWidget();
    if (w != (focus ? focus : window)) return false;
    if (focus && !ControlOfWidget(focus)) return false;
    const std::string text = e->text().toStdString();
    return !window->Form()->KeyDown(KeyOf(*e), text);
  }

  bool Wheel(QWidget* w, QWheelEvent* e) {
    FormWindow* window = WindowOf(w);
    if (!window) return false;
    // A notch is 120; finer wheels add up to notches.
    rest_ += e->angleDelta().y();
    const int notches = rest_ / 120;
    rest_ -= notches * 120;
    if (notches != 0) window->Form()->WheelTurned(-notches);
    return true;
  }

  int rest_ = 0;
};

}  // namespace

void InstallInputFilter() {
  static QPointer<InputFilter> filter;
  if (filter) return;
  filter = new InputFilter(qApp);
  qApp->installEventFilter(filter);
}

}  // namespace platform
