// SPDX-License-Identifier: GPL-3.0-or-later
// Signals close the window through the loop; a second one ends the process
// at once. Each case in a process of its own: the handlers are the process's.
#include "platform/toolkit/close_signals.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <csignal>
#include <cstdlib>

namespace {

TEST(CloseSignalsDeathTest, TheFirstClosesOnTheLoopTheSecondEndsAtOnce) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  // The close runs on the loop, not in the handler; the process then ends
  // as the signal would have ended it.
  EXPECT_EXIT(
      {
        int closes = 0;
        platform::CloseSignals watch([&] { ++closes; });
        std::raise(SIGHUP);
        if (closes != 0) std::_Exit(3);
        QCoreApplication::processEvents();
        if (closes != 1 || platform::CloseSignals::Received() != SIGHUP) std::_Exit(4);
        platform::CloseSignals::FinishAsSignalled();
        std::_Exit(5);
      },
      testing::KilledBySignal(SIGHUP), "");
  // A close that hangs is cut short by the next signal.
  EXPECT_EXIT(
      {
        platform::CloseSignals watch([] {});
        std::raise(SIGTERM);
        std::raise(SIGINT);
        std::_Exit(0);
      },
      testing::ExitedWithCode(128 + SIGINT), "");
}

}  // namespace
