// SPDX-License-Identifier: GPL-3.0-or-later
// The waveform view's cursors moved as a user moves them: dragged with the
// mouse and stepped with the keys, checked against where the picture draws
// them.
#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QKeyEvent>
#include <QMouseEvent>
#include <algorithm>
#include <cmath>
#include <numbers>
#include <vector>

#include "lab/view_state.h"
#include "lab/waveform_view.h"

namespace {

// The columns (or rows) holding the most pixels of `colour`, in order.
std::vector<int> Lines(const QImage& image, QRgb colour, bool columns, int count) {
  std::vector<int> hits(columns ? image.width() : image.height());
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x)
      if ((image.pixel(x, y) & 0xffffff) == (colour & 0xffffff)) ++hits[columns ? x : y];
  std::vector<int> best;
  for (int i = 0; i < count; ++i) {
    int top = 0;
    for (int k = 0; k < static_cast<int>(hits.size()); ++k)
      if (hits[k] > hits[top]) top = k;
    best.push_back(top);
    hits[top] = 0;
  }
  std::sort(best.begin(), best.end());
  return best;
}

void Mouse(QWidget& w, QEvent::Type type, QPoint at) {
  QMouseEvent e(type, at, w.mapToGlobal(at), Qt::LeftButton,
                type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(&w, &e);
}

void Key(QWidget& w, int key) {
  QKeyEvent e(QEvent::KeyPress, key, Qt::NoModifier);
  QApplication::sendEvent(&w, &e);
}

TEST(WaveformView, CursorsFollowTheMouseAndTheKeysByThePixelsTheyAreDrawnAt) {
  constexpr std::size_t kFrames = 11025;
  lab::ViewState state(kFrames);
  std::vector<double> ur(kFrames), il(kFrames);
  for (std::size_t n = 0; n < kFrames; ++n) {
    ur[n] = -0.5 * std::sin(2 * std::numbers::pi * 100 * static_cast<double>(n) / 44100);
    il[n] = ur[n] / 1000;
  }
  analysis::Readings readings{};
  readings.ur.frequency = 100;
  state.Take({ur, il, readings, 0, 44100, 1.1, 0.011, "dBFS", "dBFS"});
  state.cursors = {0.01, 0.02, 0.2, -0.2};

  lab::WaveformView view(state);
  view.resize(640, 480);
  const QRgb time = qRgb(0x00, 0x80, 0x30), level = qRgb(0xa0, 0x00, 0xa0);
  QImage picture = view.grab().toImage();
  const std::vector<int> x = Lines(picture, time, true, 2);
  const std::vector<int> y = Lines(picture, level, false, 2);
  const double seconds_per_px = 0.01 / (x[1] - x[0]);
  const double volts_per_px = 0.4 / (y[1] - y[0]);

  // t1 dragged 100 pixels right.
  Mouse(view, QEvent::MouseButtonPress, {x[0] + 2, 200});
  Mouse(view, QEvent::MouseMove, {x[0] + 50, 210});
  Mouse(view, QEvent::MouseMove, {x[0] + 100, 220});
  Mouse(view, QEvent::MouseButtonRelease, {x[0] + 100, 220});
  EXPECT_NEAR(state.cursors.t1, 0.01 + 100 * seconds_per_px, 1.5 * seconds_per_px);
  EXPECT_EQ(state.cursors.t2, 0.02);
  picture = view.grab().toImage();
  EXPECT_NEAR(Lines(picture, time, true, 2)[0], x[0] + 100, 1);

  // v2 picked with its key and stepped up ten pixels (within half a pixel of
  // the scale read off the picture).
  Key(view, Qt::Key_4);
  for (int i = 0; i < 10; ++i) Key(view, Qt::Key_Up);
  EXPECT_NEAR(state.cursors.v2, -0.2 + 10 * volts_per_px, 0.5 * volts_per_px);
  EXPECT_EQ(state.cursors.v1, 0.2);
  Key(view, Qt::Key_Right);  // a time key moves no level cursor
  EXPECT_NEAR(state.cursors.v2, -0.2 + 10 * volts_per_px, 0.5 * volts_per_px);

  // A click away from every cursor moves none.
  Mouse(view, QEvent::MouseButtonPress, {(x[0] + x[1]) / 2 + 30, (y[0] + y[1]) / 2 + 7});
  Mouse(view, QEvent::MouseButtonRelease, {(x[0] + x[1]) / 2 + 30, (y[0] + y[1]) / 2 + 7});
  EXPECT_NEAR(state.cursors.t1, 0.01 + 100 * seconds_per_px, 1.5 * seconds_per_px);
  EXPECT_EQ(state.cursors.t2, 0.02);
}

}  // namespace
