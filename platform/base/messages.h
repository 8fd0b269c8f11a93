// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Window messages: PostMessage queues a message for a window handle from any
// thread; the GUI thread's message loop hands it to the window in posting
// order. A message for a window that no longer exists is dropped.
#include <cstdint>

#include "platform/base/wintypes.h"

namespace platform {

struct TMessage {
  UINT Msg;
  WPARAM WParam;
  LPARAM LParam;
  LRESULT Result;
};

// Anything that has a window handle and receives messages.
class MessageTarget {
 public:
  MessageTarget();
  virtual ~MessageTarget();
  MessageTarget(const MessageTarget&) = delete;
  MessageTarget& operator=(const MessageTarget&) = delete;

  HWND Handle() const { return handle_; }
  virtual void WndProc(TMessage& Message) = 0;

 private:
  HWND handle_;
};

// Thread-safe; returns false for the null handle.
bool PostMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

// Delivers every message posted so far (GUI thread). Returns how many were
// handed to a live window.
int DispatchPostedMessages();

// Messages handed to a live window so far (GUI thread).
std::uint64_t DeliveredMessageCount();

// Messages posted and not yet handed out (any thread).
int PendingMessageCount();

// The steady-clock time (ns) of the first message handed to a window since
// the last call, or -1 if none: what a paint shows the effect of.
std::int64_t TakeFirstDeliveryTime();

// Number of live message targets (for leak checks).
int LiveWindowCount();

}  // namespace platform
