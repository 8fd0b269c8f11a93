// SPDX-License-Identifier: GPL-3.0-or-later
#include "mixer/MixerMan.h"

#include "mixer/AudioMixer.h"

class TMixerMan::TNotifyWindow final : public platform::MessageTarget {
 public:
  explicit TNotifyWindow(TMixerMan* Manager) : FManager(Manager) {}
  void WndProc(platform::TMessage& Message) override { FManager->MixerMessage(Message); }

 private:
  TMixerMan* FManager;
};

TMixerMan::TMixerMan(TAudioMixer* Mixer) : FMixer(Mixer) {}

TMixerMan::~TMixerMan() = default;

HWND TMixerMan::WindowHandle() {
  if (!FWindow) FWindow = std::make_unique<TNotifyWindow>(this);
  return FWindow->Handle();
}

HWND TMixerMan::Window() const { return FWindow ? FWindow->Handle() : NullWindow; }

void TMixerMan::MixerMessage(platform::TMessage& Message) {
  switch (Message.Msg) {
    case MM_MIXM_CONTROL_CHANGE:
      FMixer->MixerControlChange(Message.WParam, Message.LParam);
      break;
    case MM_MIXM_LINE_CHANGE:
      FMixer->MixerLineChange(Message.WParam, Message.LParam);
      break;
    default:
      break;
  }
}
