// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Internal to the toolkit: the Qt window of a form.
#include <QImage>
#include <QMainWindow>
#include <QWidget>
#include <cstdint>
#include <vector>

#include "platform/toolkit/frame_pacer.h"

namespace platform {

class TForm;

// What the window's paints have been: how many, and how long after the
// first message that preceded each (a buffer's arrival) it came.
struct PaintStats {
  std::int64_t paints = 0;
  std::int64_t timed = 0;  // paints that followed a message
  double sum_ms = 0, max_ms = 0;
};

// The client area: paints the form's canvas; the controls lie on top.
class ClientArea final : public QWidget {
 public:
  explicit ClientArea(TForm* form);
  // Repaints with the canvas as it is then, at most once per display frame.
  // A canvas that shows what was last painted is not painted again: steps
  // that draw the same picture over itself cost the display nothing.
  void RequestPaint();
  // Messages first arrived at `since_ns` (steady clock) and were handled,
  // with the steps after them: if a paint is due now, it shows their effect.
  void NoteArrival(std::int64_t since_ns);
  const PaintStats& Stats() const { return stats_; }

 protected:
  void paintEvent(QPaintEvent* e) override;
  // A right click where no control lies: the screen's own menu.
  void contextMenuEvent(QContextMenuEvent* e) override;

 private:
  TForm* form_;
  FramePacer pacer_;
  PaintStats stats_;
  std::vector<std::uint32_t> shown_;  // the canvas's pixels at the last paint
  int shown_width_ = -1, shown_height_ = -1;
  bool paint_due_ = false;
  std::int64_t arrival_ = -1;
};

// The client area as shown, canvas and controls; with `menu_bar` the menu
// bar above it too.
QImage ClientPicture(TForm& form, bool menu_bar = false);

class ScreenMenu;

class FormWindow final : public QMainWindow {
 public:
  explicit FormWindow(TForm* form);
  ClientArea* Client() const { return client_; }
  TForm* Form() const { return form_; }
  ScreenMenu* Menu() const { return menu_; }

 protected:
  void closeEvent(QCloseEvent* e) override;
  void resizeEvent(QResizeEvent* e) override;

 private:
  TForm* form_;
  ClientArea* client_;
  ScreenMenu* menu_;
};

}  // namespace platform
