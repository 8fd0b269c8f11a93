// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// TAudioOut plays through the wave output from the ring of TAudioIO; the
// owner fills each buffer through OnFillBuffer before it is played and
// again each time the device has played it. TCallBackWinOut is the hidden
// window that receives the device's notifications.
//
// As on the input side, one callback window serves every open and late
// MM_WOM_DONE messages of a closed device are ignored. CloseDevice resets
// the device before releasing it, so a buffer still queued (a fill accepted
// in the handling that closes the stream, or slots written after declined
// fills) comes back and the close succeeds instead of leaving the device
// held. A handler's Size is kept within 0..BufferBytes.
//
// QueuedCount (FilledCount - DoneCount) also counts a filled slot whose
// write failed, which the device never returns; the stream therefore also
// counts the buffers it has handed to the device and ends the run when
// either count has run dry, so a failed write cannot keep it open forever.
#include "audio/AudioIO.h"
#include "platform/toolkit/wincontrol.h"

class TAudioOut;

class TCallBackWinOut : public platform::TWinControl {
 public:
  explicit TCallBackWinOut(platform::TComponent* AOwner);
  TAudioOut** StreamRef = nullptr;
  void WndProc(platform::TMessage& Message) override;

 private:
  void WomDone(TAudioOut& Stream, WPARAM Device);
};

class TAudioOut : public TAudioIO {
 public:
  explicit TAudioOut(platform::TComponent* AOwner);
  ~TAudioOut() override;

  void AbortStream() override;
  void FinishStream() override;
  virtual bool ProduceBuffer(int Slot, std::int32_t Size);
  void CloseDevice() override;
  virtual bool OpenDevice(TAudioOut*& StreamRef);

  bool StartPlayback();
  bool QueueNextBuffer();
  bool OpenAndStart(TAudioOut*& StreamRef);

  bool Paused() const { return FPaused; }
  void SetPaused(bool Value);
  TBufferEvent OnFillBuffer;

  TCallBackWinOut* CallbackWindow() const { return FCallbackWindow; }
  HWAVEOUT WaveHandle() const { return FWaveHandle; }

 protected:
  MMRESULT PrepareHeader(WAVEHDR* Header) override;
  MMRESULT UnprepareHeader(WAVEHDR* Header) override;
  std::string ErrorText(MMRESULT Code) const override { return OutErrorText(Code); }

 private:
  friend class TCallBackWinOut;
  TCallBackWinOut* FCallbackWindow = nullptr;
  HWAVEOUT FWaveHandle = nullptr;
  std::int32_t FOnDevice = 0;  // written and not yet returned
};
