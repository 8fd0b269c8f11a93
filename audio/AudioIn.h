// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// TAudioIn records from the wave input into the ring of TAudioIO and hands
// each recorded buffer to its owner through OnBufferFilled; TCallBackWinIn
// is the hidden window that receives the device's notifications.
//
// One callback window serves every open of a stream (TAudioIO makes it)
// and is released with the stream. MM_WIM_DATA carries the device handle in
// wParam; a message from a device that is no longer the stream's open
// device (buffers returned by a reset before a close) is ignored, so it
// cannot reach a run opened since.
#include "audio/AudioIO.h"
#include "platform/toolkit/wincontrol.h"

class TAudioIn;

class TCallBackWinIn : public platform::TWinControl {
 public:
  explicit TCallBackWinIn(platform::TComponent* AOwner);
  TAudioIn** StreamRef = nullptr;
  void WndProc(platform::TMessage& Message) override;

 private:
  void WimData(TAudioIn& Stream, WPARAM Device);
};

class TAudioIn : public TAudioIO {
 public:
  explicit TAudioIn(platform::TComponent* AOwner);
  ~TAudioIn() override;

  void AbortStream() override;
  void FinishStream() override;
  virtual bool ConsumeBuffer(void* Buffer, std::int32_t Size);
  void CloseDevice() override;
  virtual bool OpenDevice(TAudioIn*& StreamRef);

  bool StartRecording();
  bool QueueNextBuffer();
  bool OpenAndStart(TAudioIn*& StreamRef);

  TBufferEvent OnBufferFilled;

  TCallBackWinIn* CallbackWindow() const { return FCallbackWindow; }
  HWAVEIN WaveHandle() const { return FWaveHandle; }

 protected:
  MMRESULT PrepareHeader(WAVEHDR* Header) override;
  MMRESULT UnprepareHeader(WAVEHDR* Header) override;
  std::string ErrorText(MMRESULT Code) const override { return InErrorText(Code); }

 private:
  friend class TCallBackWinIn;
  TCallBackWinIn* FCallbackWindow = nullptr;
  HWAVEIN FWaveHandle = nullptr;
};
