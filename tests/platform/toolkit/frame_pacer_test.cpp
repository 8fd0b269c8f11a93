// SPDX-License-Identifier: GPL-3.0-or-later
// Repaints paced to the display: the first change paints at once, changes
// within a frame of a paint are held and shown by one paint when it ends.
#include "platform/toolkit/frame_pacer.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <chrono>
#include <thread>

namespace platform {
namespace {

// Dispatches events until `done` or two seconds have passed.
template <class Done>
bool PumpUntil(Done done) {
  QElapsedTimer t;
  t.start();
  while (!done() && t.elapsed() < 2000) QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
  return done();
}

TEST(FramePacer, OnePaintPerFrameShowingTheLatestChange) {
  int repaints = 0;
  FramePacer pacer([&] { ++repaints; });
  pacer.Request();
  EXPECT_EQ(repaints, 1);  // nothing painted yet: at once
  pacer.Painted(10.0);     // a slow display: frames of 100 ms
  QElapsedTimer since_paint;
  since_paint.start();
  for (int i = 0; i < 1000; ++i) pacer.Request();
  EXPECT_EQ(repaints, 1);  // held, however many changes
  ASSERT_TRUE(PumpUntil([&] { return repaints == 2; }));
  EXPECT_GE(since_paint.elapsed(), 99);  // not before the frame is over
  // A change a frame or more after the last paint paints at once.
  pacer.Painted(0.0);  // no rate known: 60 Hz
  std::this_thread::sleep_for(std::chrono::milliseconds(40));
  pacer.Request();
  EXPECT_EQ(repaints, 3);
}

}  // namespace
}  // namespace platform
