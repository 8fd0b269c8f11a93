// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/toolkit/close_signals.h"

#include <fcntl.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <atomic>
#include <csignal>
#include <utility>

namespace platform {

namespace {

constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP};
int pipe_fds[2] = {-1, -1};
std::atomic<int> first_signal{0};
static_assert(std::atomic<int>::is_always_lock_free);

// Async-signal-safe: an atomic, write and _exit only.
void OnSignal(int sig) {
  int expected = 0;
  if (!first_signal.compare_exchange_strong(expected, sig)) _exit(128 + sig);
  const char byte = static_cast<char>(sig);
  [[maybe_unused]] const ssize_t n = write(pipe_fds[1], &byte, 1);
}

}  // namespace

CloseSignals::CloseSignals(std::function<void()> close) : close_(std::move(close)) {
  if (pipe_fds[0] < 0 && pipe2(pipe_fds, O_CLOEXEC | O_NONBLOCK) != 0) return;
  notifier_ = std::make_unique<QSocketNotifier>(pipe_fds[0], QSocketNotifier::Read);
  QObject::connect(notifier_.get(), &QSocketNotifier::activated, this, [this] {
    char byte;
    while (read(pipe_fds[0], &byte, 1) > 0) {
    }
    if (close_) close_();
  });
  struct sigaction sa = {};
  sa.sa_handler = OnSignal;
  sigemptyset(&sa.sa_mask);
  sa.sa_flags = SA_RESTART;
  for (int sig : kSignals) sigaction(sig, &sa, nullptr);
}

// The handlers stay: a signal after the loop has ended lets the program
// finish its files, and FinishAsSignalled ends it then.
CloseSignals::~CloseSignals() = default;

int CloseSignals::Received() { return first_signal.load(); }

void CloseSignals::FinishAsSignalled() {
  const int sig = first_signal.load();
  if (sig == 0) return;
  std::signal(sig, SIG_DFL);
  std::raise(sig);
}

}  // namespace platform
