// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/toolkit/frame_pacer.h"

#include <utility>

namespace platform {

FramePacer::FramePacer(std::function<void()> repaint) : repaint_(std::move(repaint)) {
  timer_.setSingleShot(true);
  timer_.setTimerType(Qt::PreciseTimer);
  QObject::connect(&timer_, &QTimer::timeout, [this] { repaint_(); });
}

void FramePacer::Request() {
  if (timer_.isActive()) return;  // the held paint will show this change too
  const qint64 since = since_paint_.isValid() ? since_paint_.nsecsElapsed() : frame_ns_;
  if (since >= frame_ns_) {
    repaint_();
    return;
  }
  const qint64 wait_ns = frame_ns_ - since;
  timer_.start(static_cast<int>((wait_ns + 999'999) / 1'000'000));
}

void FramePacer::Painted(double hz) {
  since_paint_.start();
  // Displays that report no rate are taken as 60 Hz.
  frame_ns_ = static_cast<qint64>(1e9 / (hz >= 1 ? hz : 60.0));
}

}  // namespace platform
