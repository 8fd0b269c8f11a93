// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Internal to the toolkit: repaints at most once per display frame. The idle
// loop changes the picture thousands of times a second; a change within a
// frame of the last paint is held until that frame is over, and the paint
// then shows whatever the picture is by then, so none is older than a frame.
#include <QElapsedTimer>
#include <QTimer>
#include <functional>

namespace platform {

class FramePacer {
 public:
  explicit FramePacer(std::function<void()> repaint);
  FramePacer(const FramePacer&) = delete;
  FramePacer& operator=(const FramePacer&) = delete;

  // The picture changed.
  void Request();
  // A paint took place now, asked for or not; `hz` is the display's rate.
  void Painted(double hz);

 private:
  std::function<void()> repaint_;
  QElapsedTimer since_paint_;
  QTimer timer_;
  qint64 frame_ns_ = 1'000'000'000 / 60;
};

}  // namespace platform
