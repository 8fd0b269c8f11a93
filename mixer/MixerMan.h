// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// TMixerMan receives the mixer device's notifications: its message method
// is the window procedure of the hidden notification window. The window is
// made at the mixer's first open, reused by every later open and released
// with the manager, so windows do not pile up and a notification still in
// the queue after a close finds a window that ignores it.
#include <memory>

#include "platform/base/messages.h"

class TAudioMixer;

class TMixerMan {
 public:
  explicit TMixerMan(TAudioMixer* Mixer);
  ~TMixerMan();
  TMixerMan(const TMixerMan&) = delete;
  TMixerMan& operator=(const TMixerMan&) = delete;

  // The notification window, made on first use.
  HWND WindowHandle();
  bool HasWindow() const { return FWindow != nullptr; }
  // The window's handle, or NullWindow before the first open.
  HWND Window() const;
  void MixerMessage(platform::TMessage& Message);

 private:
  class TNotifyWindow;
  TAudioMixer* FMixer;
  std::unique_ptr<TNotifyWindow> FWindow;
};
