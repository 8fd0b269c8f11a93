// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// An eventfd that wakes a device thread out of poll().
#include <sys/eventfd.h>
#include <unistd.h>

#include <cstdint>

namespace platform {

class WakeFd {
 public:
  WakeFd() : fd_(eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {}
  ~WakeFd() {
    if (fd_ >= 0) close(fd_);
  }
  WakeFd(const WakeFd&) = delete;
  WakeFd& operator=(const WakeFd&) = delete;
  bool Valid() const { return fd_ >= 0; }
  int Fd() const { return fd_; }
  void Signal() const {
    const std::uint64_t one = 1;
    [[maybe_unused]] ssize_t n = write(fd_, &one, sizeof one);
  }
  void Drain() const {
    std::uint64_t count = 0;
    [[maybe_unused]] ssize_t n = read(fd_, &count, sizeof count);
  }

 private:
  int fd_;
};

}  // namespace platform
