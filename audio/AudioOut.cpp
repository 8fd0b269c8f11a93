// SPDX-License-Identifier: GPL-3.0-or-later
#include "audio/AudioOut.h"

namespace {
constexpr UINT kHeaderSize = sizeof(WAVEHDR);
}

TCallBackWinOut::TCallBackWinOut(platform::TComponent* AOwner) : platform::TWinControl(AOwner) {}

void TCallBackWinOut::WndProc(platform::TMessage& Message) {
  TAudioOut* stream = StreamRef ? *StreamRef : nullptr;
  if (stream == nullptr) return;
  switch (Message.Msg) {
    case MM_WOM_DONE:
      WomDone(*stream, Message.WParam);
      break;
    case MM_WOM_OPEN:
      if (stream->OnStart) stream->OnStart(this);
      break;
    case MM_WOM_CLOSE:
      if (stream->OnStop) stream->OnStop(this);
      break;
    default:
      platform::TWinControl::WndProc(Message);
  }
}

void TCallBackWinOut::WomDone(TAudioOut& s, WPARAM Device) {
  // A buffer of a device that has been closed since (returned by its reset).
  if (!s.FDeviceOpen || Device != reinterpret_cast<WPARAM>(s.FWaveHandle)) return;
  ++s.FDoneCount;
  --s.FOnDevice;
  s.FQueuedCount = s.FFilledCount - s.FDoneCount;
  s.FRunning = s.FQueuedCount > 0 && s.FOnDevice > 0;
  if (s.ProduceBuffer(s.FNextSlot, s.FBufferBytes) && s.FDeviceOpen) s.QueueNextBuffer();
  if (!s.FRunning && s.FDeviceOpen) {
    s.FAccepting = false;
    s.CloseDevice();
  }
}

TAudioOut::TAudioOut(platform::TComponent* AOwner) : TAudioIO(AOwner) {}

TAudioOut::~TAudioOut() {
  // The output normally still plays when its owner goes; stop it first so
  // the device gives the blocks and headers back before they are freed.
  AbortStream();
}

void TAudioOut::AbortStream() {
  if (!FDeviceOpen) return;
  FRunning = false;
  FAccepting = false;
  waveOutReset(FWaveHandle);
  CloseDevice();
}

void TAudioOut::FinishStream() {
  if (FDeviceOpen) FAccepting = false;
}

bool TAudioOut::ProduceBuffer(int Slot, std::int32_t Size) {
  if (!FAccepting) return false;
  bool result = false;
  if (OnFillBuffer) {
    std::int32_t size = Size;
    result = OnFillBuffer(Blocks[Slot], size);
    if (size < 0) size = 0;
    if (size > FBufferBytes) size = FBufferBytes;  // never beyond the block
    Headers[Slot]->dwBufferLength = static_cast<DWORD>(size);
  }
  if (result) ++FFilledCount;
  FQueuedCount = FFilledCount - FDoneCount;
  return result;
}

void TAudioOut::SetPaused(bool Value) {
  FPaused = Value;
  if (!FRunning) return;
  if (Value)
    waveOutPause(FWaveHandle);
  else
    waveOutRestart(FWaveHandle);
}

MMRESULT TAudioOut::PrepareHeader(WAVEHDR* Header) {
  return waveOutPrepareHeader(FWaveHandle, Header, kHeaderSize);
}

MMRESULT TAudioOut::UnprepareHeader(WAVEHDR* Header) {
  return waveOutUnprepareHeader(FWaveHandle, Header, kHeaderSize);
}

void TAudioOut::CloseDevice() {
  FRunning = false;
  SetPaused(false);
  waveOutReset(FWaveHandle);  // nothing may stay queued at the close
  UnprepareHeaders(false);
  waveOutClose(FWaveHandle);
  FDeviceOpen = false;
}

bool TAudioOut::OpenDevice(TAudioOut*& StreamRef) {
  if (!BeginOpen("Wave output device is already open")) return false;
  const auto window = CallbackWindowFor(FCallbackWindow, StreamRef).Handle();
  if (!FinishOpen(waveOutOpen(&FWaveHandle, DeviceId, &WaveFormat, window, 0,
                              CALLBACK_WINDOW | WAVE_ALLOWSYNC)))
    return false;
  FOnDevice = 0;
  if (!ProduceBuffer(0, FBufferBytes)) {
    CloseDevice();
    FLastError = "There must be at least one filled buffer";
    return false;
  }
  for (int i = 1; i < FNumBuffers; ++i) ProduceBuffer(i, FBufferBytes);
  return true;
}

bool TAudioOut::StartPlayback() {
  FRunning = true;
  if (FPaused) waveOutPause(FWaveHandle);
  if (!QueueNextBuffer()) {
    CloseDevice();
    return false;
  }
  for (int i = 1; i < FNumBuffers; ++i) QueueNextBuffer();
  return true;
}

bool TAudioOut::QueueNextBuffer() {
  WAVEHDR* h = Headers[FNextSlot];
  h->dwFlags = WHDR_PREPARED;
  MMRESULT r = waveOutWrite(FWaveHandle, h, kHeaderSize);
  if (r != MMSYSERR_NOERROR) {
    FLastError = OutErrorText(r);
    FinishStream();
    return false;
  }
  FNextSlot = (FNextSlot + 1) % FNumBuffers;
  ++FOnDevice;
  return true;
}

bool TAudioOut::OpenAndStart(TAudioOut*& StreamRef) {
  if (!OpenDevice(StreamRef)) return false;
  return StartPlayback();
}
