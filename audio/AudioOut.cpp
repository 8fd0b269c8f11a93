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

void TAudioOut::CloseDevice() {
  FRunning = false;
  SetPaused(false);
  waveOutReset(FWaveHandle);  // nothing may stay queued at the close
  for (int i = 0; i < FNumBuffers; ++i) waveOutUnprepareHeader(FWaveHandle, Headers[i], kHeaderSize);
  waveOutClose(FWaveHandle);
  FDeviceOpen = false;
}

bool TAudioOut::OpenDevice(TAudioOut*& StreamRef) {
  if (FDeviceOpen) {
    FLastError = "Wave output device is already open";
    return false;
  }
  FNextSlot = 0;
  if (FCallbackWindow == nullptr) {
    FCallbackWindow = new TCallBackWinOut(this);
    FCallbackWindow->SetParent(dynamic_cast<platform::TWinControl*>(Owner()));
    FCallbackWindow->SetVisible(false);
  }
  FCallbackWindow->StreamRef = &StreamRef;
  MMRESULT r = waveOutOpen(&FWaveHandle, DeviceId, &WaveFormat, FCallbackWindow->Handle(), 0,
                           CALLBACK_WINDOW | WAVE_ALLOWSYNC);
  if (r != MMSYSERR_NOERROR) {
    FLastError = OutErrorText(r);
    return false;
  }
  FDeviceOpen = true;
  ResetHeaders();
  for (int i = 0; i < FNumBuffers; ++i) {
    r = waveOutPrepareHeader(FWaveHandle, Headers[i], kHeaderSize);
    if (r != MMSYSERR_NOERROR) {
      FLastError = OutErrorText(r);
      CloseDevice();
      return false;
    }
  }
  FQueuedCount = 0;
  FDoneCount = 0;
  FFilledCount = 0;
  FOnDevice = 0;
  FAccepting = true;
  FRunning = true;
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
