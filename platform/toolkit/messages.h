#pragma once
// Window messages: PostMessage queues a message for a window handle from any
// thread; the GUI thread's message loop hands it to the window in posting
// order. A message for a window that no longer exists is dropped.
#include "platform/mm/wintypes.h"

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

// Number of live message targets (for leak checks).
int LiveWindowCount();

}  // namespace platform
