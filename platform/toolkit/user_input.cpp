// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/toolkit/user_input.h"

#include <QAction>
#include <QApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QWheelEvent>
#include <QWindow>

#include "platform/toolkit/controls.h"
#include "platform/toolkit/form.h"
#include "platform/toolkit/form_window.h"
#include "platform/toolkit/qt_bridge.h"

namespace platform {

namespace {

std::string Unreachable(const TControl& c, bool enabled_too) {
  if (!c.Showing()) return c.Name() + " is hidden";
  if (enabled_too && !c.Enabled()) return c.Name() + " is disabled";
  return {};
}

// A point of the window (its own pixels) where the pointer reaches the
// control: its middle, or else the first point of it, row by row, that no
// other control covers.
std::string PointOn(const TForm& form, const TControl& c, QPoint& at) {
  FormWindow* window = form.Window();
  const QWidget* w = c.Widget();
  auto reaches = [&](QPoint p) {
    const QPoint in_window = w->mapTo(window, p);
    if (!window->rect().contains(in_window)) return false;
    const QWidget* hit = window->childAt(in_window);
    return hit && ControlOfWidget(hit) == &c;
  };
  const QRect r = w->rect();
  QPoint found = r.center();
  bool ok = reaches(found);
  for (int y = r.top(); !ok && y <= r.bottom(); ++y)
    for (int x = r.left(); !ok && x <= r.right(); ++x)
      if (reaches({x, y})) ok = true, found = {x, y};
  if (ok) {
    at = w->mapTo(window, found);
    return {};
  }
  const QPoint middle = w->mapTo(window, r.center());
  const QRect shown = QRect(w->mapTo(window, r.topLeft()), r.size()) & window->rect();
  if (shown.isEmpty()) return c.Name() + " lies outside the window";
  const TControl* over =
      ControlOfWidget(window->childAt(shown.contains(middle) ? middle : shown.center()));
  return c.Name() + " is covered" + (over && over != &c ? " by " + over->Name() : std::string());
}

QWindow* Handle(const TForm& form) { return form.Window()->windowHandle(); }

void SendKey(QWindow* handle, int qt_key, Qt::KeyboardModifiers modifiers, const QString& text) {
  QKeyEvent press(QEvent::KeyPress, qt_key, modifiers, text);
  QCoreApplication::sendEvent(handle, &press);
  QKeyEvent release(QEvent::KeyRelease, qt_key, modifiers, text);
  QCoreApplication::sendEvent(handle, &release);
}

// A press and a release of a mouse button at a point of the window.
void Click(QWindow* handle, const FormWindow& window, QPoint at, Qt::MouseButton button) {
  const QPointF local(at), global(window.mapToGlobal(at));
  QMouseEvent press(QEvent::MouseButtonPress, local, local, global, button, button, Qt::NoModifier);
  QCoreApplication::sendEvent(handle, &press);
  QMouseEvent release(QEvent::MouseButtonRelease, local, local, global, button, Qt::NoButton,
                      Qt::NoModifier);
  QCoreApplication::sendEvent(handle, &release);
}

// The menu bar that shows the item, if it is a menu item there with a drop-down.
QMenuBar* BarWithDropDown(TControl& c) {
  auto* item = dynamic_cast<TMenuItem*>(&c);
  if (!item || !item->Action()->menu()) return nullptr;
  for (QObject* o : item->Action()->associatedObjects())
    if (auto* bar = qobject_cast<QMenuBar*>(o)) return bar;
  return nullptr;
}

}  // namespace

std::string RightClickScreen(TForm& form, int x, int y) {
  ClientArea* client = form.Window()->Client();
  const std::string point = std::to_string(x) + " " + std::to_string(y);
  if (!client->rect().contains(x, y))
    return "the point " + point + " lies outside the client area (" +
           std::to_string(client->width()) + " x " + std::to_string(client->height()) + ")";
  if (const TControl* c = ControlOfWidget(client->childAt(x, y)))
    return "the point " + point + " lies on " + c->Name() + ", which has no menu";
  QWindow* handle = Handle(form);
  if (!handle) return "the window is not shown";
  Click(handle, *form.Window(), client->mapTo(form.Window(), QPoint(x, y)), Qt::RightButton);
  return {};
}

std::string ClickControl(TForm& form, TControl& c, bool right) {
  if (auto e = Unreachable(c, true); !e.empty()) return e;
  // Menu items are actions of the bar, not widgets: Qt triggers them itself.
  // One with a drop-down is clicked on the bar, where it opens as in the window.
  if (!c.Widget()) {
    if (QMenuBar* bar = BarWithDropDown(c); bar && !right) {
      QWindow* handle = Handle(form);
      if (!handle) return "the window is not shown";
      QAction* action = static_cast<const TMenuItem&>(c).Action();
      Click(handle, *form.Window(), bar->mapTo(form.Window(), bar->actionGeometry(action).center()),
            Qt::LeftButton);
      return {};
    }
    return right ? std::string() : c.UserClick();
  }
  QPoint at;
  if (auto e = PointOn(form, c, at); !e.empty()) return e;
  QWindow* handle = Handle(form);
  if (!handle) return "the window is not shown";
  Click(handle, *form.Window(), at, right ? Qt::RightButton : Qt::LeftButton);
  return {};
}

std::string PressKey(TForm& form, std::string_view name) {
  int qt_key = 0;
  Qt::KeyboardModifiers modifiers;
  QString text;
  if (!QtKeyNamed(name, qt_key, modifiers, text))
    return "unknown key '" + std::string(name) + "' (keys: " + std::string(KeyNames()) + ")";
  if (QWindow* handle = Handle(form)) SendKey(handle, qt_key, modifiers, text);
  return {};
}

std::string TypeText(TForm& form, std::string_view text) {
  QWindow* handle = Handle(form);
  if (!handle) return {};
  for (char32_t ch : QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())).toUcs4()) {
    const QString typed = QString::fromUcs4(&ch, 1);
    // The key of a letter is its capital, as the keyboard reports it.
    const QString capital = typed.toUpper();
    int qt_key = Qt::Key_unknown;
    if (ch == U' ')
      qt_key = Qt::Key_Space;
    else if (capital.size() == 1 && capital.at(0).unicode() < 0x100)
      qt_key = capital.at(0).unicode();
    SendKey(handle, qt_key, Qt::NoModifier, typed);
  }
  return {};
}

std::string TurnWheel(TForm& form, TControl& c, int notches) {
  if (auto e = Unreachable(c, false); !e.empty()) return e;
  if (!c.Widget()) return c.Name() + " has no wheel";
  QPoint at;
  if (auto e = PointOn(form, c, at); !e.empty()) return e;
  QWindow* handle = Handle(form);
  if (!handle) return "the window is not shown";
  const QPointF local(at), global(form.Window()->mapToGlobal(at));
  for (int i = 0; i < std::abs(notches); ++i) {
    // One notch is 120, positive away from the user.
    QWheelEvent wheel(local, global, QPoint(), QPoint(0, notches > 0 ? -120 : 120), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(handle, &wheel);
  }
  return {};
}

void FocusAsPressed(TControl& c) {
  QWidget* w = c.Widget();
  if (w && c.CanFocus() && (w->focusPolicy() & Qt::ClickFocus)) w->setFocus(Qt::MouseFocusReason);
}

OpenPopup OpenPopupNow() {
  OpenPopup open;
  QWidget* popup = QApplication::activePopupWidget();
  if (!popup) return open;
  if (auto* menu = qobject_cast<QMenu*>(popup)) {
    open.list = "menu";
    for (QAction* a : menu->actions()) {
      if (a->isSeparator() || !a->isVisible()) continue;
      // The entry as shown: without its shortcut and access-key marks.
      QString t = a->text().section(u'\t', 0, 0);
      t.replace(QStringLiteral("&&"), QStringLiteral("\x01")).remove(u'&').replace(u'\x01', u'&');
      open.menu.push_back(t.toStdString());
    }
    return open;
  }
  const TControl* owner = ControlOfWidget(popup->parentWidget());
  open.list = owner ? owner->Name() : "menu";
  return open;
}

}  // namespace platform
