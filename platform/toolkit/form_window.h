#pragma once
// Internal to the toolkit: the Qt window of a form.
#include <QMainWindow>
#include <QWidget>

#include "platform/toolkit/frame_pacer.h"

namespace platform {

class TForm;

// The client area: paints the form's canvas; the controls lie on top.
class ClientArea final : public QWidget {
 public:
  explicit ClientArea(TForm* form);
  // Repaints with the canvas as it is then, at most once per display frame.
  void RequestPaint() { pacer_.Request(); }

 protected:
  void paintEvent(QPaintEvent* e) override;

 private:
  TForm* form_;
  FramePacer pacer_;
};

class FormWindow final : public QMainWindow {
 public:
  explicit FormWindow(TForm* form);
  ClientArea* Client() const { return client_; }

 protected:
  void closeEvent(QCloseEvent* e) override;
  void resizeEvent(QResizeEvent* e) override;

 private:
  TForm* form_;
  ClientArea* client_;
};

}  // namespace platform
