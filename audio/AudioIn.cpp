// SPDX-License-Identifier: GPL-3.0-or-later
#include "audio/AudioIn.h"

namespace {
constexpr UINT kHeaderSize = sizeof(WAVEHDR);
}

TCallBackWinIn::TCallBackWinIn(platform::TComponent* AOwner) : platform::TWinControl(AOwner) {}

void TCallBackWinIn::WndProc(platform::TMessage& Message) {
  TAudioIn* stream = StreamRef ? *StreamRef : nullptr;
  if (stream == nullptr) return;
  switch (Message.Msg) {
    case MM_WIM_DATA:
      WimData(*stream, Message.WParam);
      break;
    case MM_WIM_OPEN:
      if (stream->OnStart) stream->OnStart(this);
      break;
    case MM_WIM_CLOSE:
      if (stream->OnStop) stream->OnStop(this);
      break;
    default:
      platform::TWinControl::WndProc(Message);
  }
}

void TCallBackWinIn::WimData(TAudioIn& s, WPARAM Device) {
  // A buffer of a device that has been closed since (returned by its reset).
  if (!s.FDeviceOpen || Device != reinterpret_cast<WPARAM>(s.FWaveHandle)) return;
  ++s.FDoneCount;
  --s.FQueuedCount;
  s.FRunning = s.FQueuedCount > 0;
  if (s.ConsumeBuffer(s.Blocks[s.FNextSlot], s.FBufferBytes) && s.FDeviceOpen) s.QueueNextBuffer();
  if (!s.FRunning && s.FDeviceOpen) {
    s.FAccepting = false;
    s.CloseDevice();
  }
}

TAudioIn::TAudioIn(platform::TComponent* AOwner) : TAudioIO(AOwner) {}

TAudioIn::~TAudioIn() {
  // The device must give the blocks and headers back before they are freed.
  AbortStream();
}

void TAudioIn::AbortStream() {
  if (!FDeviceOpen) return;
  FRunning = false;
  FAccepting = false;
  waveInReset(FWaveHandle);
  CloseDevice();
}

void TAudioIn::FinishStream() {
  if (FDeviceOpen) FAccepting = false;
}

bool TAudioIn::ConsumeBuffer(void* Buffer, std::int32_t Size) {
  if (!FAccepting) return false;
  bool result = true;
  if (OnBufferFilled) {
    std::int32_t size = Size;  // a change the handler makes is discarded
    result = OnBufferFilled(Buffer, size);
  }
  if (result) ++FFilledCount;
  return result;
}

MMRESULT TAudioIn::PrepareHeader(WAVEHDR* Header) {
  return waveInPrepareHeader(FWaveHandle, Header, kHeaderSize);
}

MMRESULT TAudioIn::UnprepareHeader(WAVEHDR* Header) {
  return waveInUnprepareHeader(FWaveHandle, Header, kHeaderSize);
}

void TAudioIn::CloseDevice() {
  FRunning = false;
  UnprepareHeaders(false);
  waveInReset(FWaveHandle);
  // Headers still queued above came back with the reset; release them too.
  UnprepareHeaders(true);
  waveInClose(FWaveHandle);
  FDeviceOpen = false;
}

bool TAudioIn::OpenDevice(TAudioIn*& StreamRef) {
  if (!BeginOpen("Wave Input device is already open")) return false;
  const auto window = CallbackWindowFor(FCallbackWindow, StreamRef).Handle();
  return FinishOpen(
      waveInOpen(&FWaveHandle, DeviceId, &WaveFormat, window, 0, CALLBACK_WINDOW | WAVE_ALLOWSYNC));
}

bool TAudioIn::StartRecording() {
  MMRESULT r = waveInStart(FWaveHandle);
  if (r != MMSYSERR_NOERROR) {
    CloseDevice();
    FLastError = "Error starting wave record: " + InErrorText(r);
    return false;
  }
  FRunning = true;
  for (int i = 0; i < FNumBuffers; ++i) {
    if (!QueueNextBuffer()) {
      CloseDevice();
      return false;
    }
  }
  return true;
}

bool TAudioIn::QueueNextBuffer() {
  WAVEHDR* h = Headers[FNextSlot];
  h->dwFlags = WHDR_PREPARED;
  MMRESULT r = waveInAddBuffer(FWaveHandle, h, kHeaderSize);
  if (r != MMSYSERR_NOERROR) {
    FLastError = InErrorText(r);
    FinishStream();
    return false;
  }
  FNextSlot = (FNextSlot + 1) % FNumBuffers;
  ++FQueuedCount;
  return true;
}

bool TAudioIn::OpenAndStart(TAudioIn*& StreamRef) {
  if (!OpenDevice(StreamRef)) return false;
  return StartRecording();
}
