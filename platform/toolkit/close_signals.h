// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// SIGINT, SIGTERM and SIGHUP (Ctrl+C, kill, a logout) close the window as a
// user's close does: the signal handler only writes to a pipe, and the GUI
// thread's loop, woken by it, closes the main form there, so the close
// handler runs, the volumes are put back and the files are finished. A
// second signal while that close is under way ends the process at once.
// One for the whole program.
#include <QObject>
#include <functional>
#include <memory>

class QSocketNotifier;

namespace platform {

class CloseSignals final : public QObject {
 public:
  // `close` runs on the GUI thread at the first signal.
  explicit CloseSignals(std::function<void()> close);
  ~CloseSignals() override;

  // The first signal received, or 0.
  static int Received();
  // After the program's own end: the signal's default action, so that the
  // caller sees the process ended by it. Returns only if none came.
  static void FinishAsSignalled();

 private:
  std::function<void()> close_;
  std::unique_ptr<QSocketNotifier> notifier_;
};

}  // namespace platform
