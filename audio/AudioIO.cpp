// SPDX-License-Identifier: GPL-3.0-or-later
#include "audio/AudioIO.h"

namespace {
constexpr UINT kHeaderFlags = GMEM_MOVEABLE | GMEM_DDESHARE | GMEM_ZEROINIT;
constexpr UINT kBlockFlags = GMEM_MOVEABLE | GMEM_DDESHARE;
}  // namespace

TAudioIO::TAudioIO(platform::TComponent* AOwner) : platform::TComponent(AOwner) {
  FNumBuffers = 4;
  FRequestedBytes = 8192;
  FRunning = false;
  FPaused = false;
  DeviceId = WAVE_MAPPER;
  WaveFormat.wFormatTag = WAVE_FORMAT_PCM;
  WaveFormat.wBitsPerSample = 16;
  WaveFormat.nChannels = 1;
  WaveFormat.nSamplesPerSec = 22050;
  WaveFormat.cbSize = 0;
  UpdateFormat();
  for (void*& b : Blocks) b = nullptr;
  AllocateHeaders();
  AllocateBuffers();
}

TAudioIO::~TAudioIO() {
  // The subclasses have closed their device by now, so nothing holds these.
  FreeBuffers();
  FreeHeaders();
}

void TAudioIO::AbortStream() {
  FRunning = false;
  FAccepting = false;
}

void TAudioIO::FinishStream() { FAccepting = false; }

void TAudioIO::SetBufferSize(std::int32_t Value) {
  if (DeviceOpen()) {
    FLastError = "Buffer size cannot be changed while the device is open";
    return;
  }
  FRequestedBytes = Value < MinBufferBytes ? MinBufferBytes : Value;
  UpdateFormat();
  FreeBuffers();
  AllocateBuffers();
}

void TAudioIO::SetNumBuffers(std::int32_t Value) {
  if (DeviceOpen()) {
    FLastError = "Number of buffers cannot be changed while the device is open";
    return;
  }
  const std::int32_t n = Value < 2 ? 2 : (Value > MaxBuffers ? MaxBuffers : Value);
  FNumBuffers = n;
  // A ring grown beyond the blocks held gets the missing ones now, so every
  // slot in use has a block.
  bool missing = false;
  for (int i = 0; i < FNumBuffers; ++i) missing = missing || BlockHandles[i] == nullptr;
  if (missing) {
    FreeBuffers();
    AllocateBuffers();
  }
}

void TAudioIO::SetFrameRate(std::int32_t Value) {
  WaveFormat.nSamplesPerSec = static_cast<DWORD>(Value);
  UpdateFormat();
}

void TAudioIO::SetStereo(bool Value) {
  WaveFormat.nChannels = Value ? 2 : 1;
  UpdateFormat();
}

void TAudioIO::SetQuantization(std::uint16_t Value) {
  WaveFormat.wBitsPerSample = Value <= 8 ? 8 : 16;
  UpdateFormat();
}

void TAudioIO::UpdateFormat() {
  WaveFormat.nBlockAlign = static_cast<WORD>((WaveFormat.wBitsPerSample / 8) * WaveFormat.nChannels);
  WaveFormat.nAvgBytesPerSec = WaveFormat.nBlockAlign * WaveFormat.nSamplesPerSec;
  FBufferBytes = FRequestedBytes - (FRequestedBytes % WaveFormat.nBlockAlign);
}

bool TAudioIO::AllocateHeaders() {
  for (int i = 0; i < MaxBuffers; ++i) {
    HeaderHandles[i] = GlobalAlloc(kHeaderFlags, sizeof(WAVEHDR));
    if (HeaderHandles[i] == nullptr) {
      FreeHeaders();
      FLastError = "Error allocating wave header memory";
      return false;
    }
    Headers[i] = static_cast<WAVEHDR*>(GlobalLock(HeaderHandles[i]));
    if (Headers[i] == nullptr) {
      FreeHeaders();
      FLastError = "Could not lock header memory for recording";
      return false;
    }
  }
  return true;
}

void TAudioIO::FreeHeaders() {
  for (int i = 0; i < MaxBuffers; ++i) {
    if (HeaderHandles[i] == nullptr) continue;
    GlobalUnlock(HeaderHandles[i]);
    GlobalFree(HeaderHandles[i]);
    HeaderHandles[i] = nullptr;
    Headers[i] = nullptr;
  }
}

bool TAudioIO::AllocateBuffers() {
  for (int i = 0; i < FNumBuffers; ++i) {
    BlockHandles[i] = GlobalAlloc(kBlockFlags, static_cast<std::size_t>(FRequestedBytes));
    if (BlockHandles[i] == nullptr) {
      FreeBuffers();
      FLastError = "Error allocating wave buffer memory";
      return false;
    }
    Blocks[i] = GlobalLock(BlockHandles[i]);
    if (Blocks[i] == nullptr) {
      FreeBuffers();
      FLastError = "Error Locking wave buffer memory";
      return false;
    }
    if (Headers[i] != nullptr) Headers[i]->lpData = static_cast<char*>(Blocks[i]);
  }
  return true;
}

void TAudioIO::FreeBuffers() {
  for (int i = 0; i < MaxBuffers; ++i) {
    if (BlockHandles[i] == nullptr) continue;
    if (Blocks[i] != nullptr) GlobalUnlock(BlockHandles[i]);
    GlobalFree(BlockHandles[i]);
    BlockHandles[i] = nullptr;
    Blocks[i] = nullptr;
    if (Headers[i] != nullptr) Headers[i]->lpData = nullptr;
  }
}

bool TAudioIO::ResetHeaders() {
  UpdateFormat();
  for (int i = 0; i < FNumBuffers; ++i) {
    WAVEHDR* h = Headers[i];
    if (h == nullptr) continue;
    h->lpData = static_cast<char*>(Blocks[i]);
    h->dwBufferLength = static_cast<DWORD>(FBufferBytes);
    h->dwBytesRecorded = 0;
    h->dwUser = 0;
    h->dwFlags = 0;
    h->dwLoops = 0;
    h->lpNext = nullptr;
    h->reserved = 0;
  }
  return true;
}

bool TAudioIO::BeginOpen(const char* AlreadyOpen) {
  if (FDeviceOpen) {
    FLastError = AlreadyOpen;
    return false;
  }
  FNextSlot = 0;
  return true;
}

bool TAudioIO::FinishOpen(MMRESULT Opened) {
  if (Opened != MMSYSERR_NOERROR) {
    FLastError = ErrorText(Opened);
    return false;
  }
  FDeviceOpen = true;
  ResetHeaders();
  for (int i = 0; i < FNumBuffers; ++i) {
    const MMRESULT r = PrepareHeader(Headers[i]);
    if (r != MMSYSERR_NOERROR) {
      FLastError = ErrorText(r);
      CloseDevice();
      return false;
    }
  }
  FQueuedCount = 0;
  FDoneCount = 0;
  FFilledCount = 0;
  FAccepting = true;
  FRunning = true;
  return true;
}

void TAudioIO::UnprepareHeaders(bool OnlyPrepared) {
  for (int i = 0; i < FNumBuffers; ++i) {
    if (OnlyPrepared && (Headers[i] == nullptr || !(Headers[i]->dwFlags & WHDR_PREPARED))) continue;
    UnprepareHeader(Headers[i]);
  }
}

std::string TAudioIO::OutErrorText(MMRESULT Code) {
  char text[MAXERRORLENGTH] = {};
  waveOutGetErrorTextA(Code, text, MAXERRORLENGTH);
  return text;
}

std::string TAudioIO::InErrorText(MMRESULT Code) {
  char text[MAXERRORLENGTH] = {};
  waveInGetErrorTextA(Code, text, MAXERRORLENGTH);
  return text;
}
