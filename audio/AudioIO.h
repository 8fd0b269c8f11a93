// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// TAudioIO: what the two wave streams share. The PCM format and its
// properties, a ring of up to four wave buffers in global memory with one
// WAVEHDR each, the run state and buffer counters, the start/stop events,
// the text of the last failure, and the steps of opening and closing a
// device that do not depend on its direction. It calls the device only
// through the wave calls its subclass gives it.
//
// Fields carry an F prefix where a property of the same name reads them.
//
// Data blocks are obtained with RequestedBytes, which BufferBytes never
// exceeds whatever the format, so a header's dwBufferLength always fits its
// block. Headers are sizeof(WAVEHDR) (the record is larger than on 32-bit
// systems).
#include <cstdint>
#include <functional>
#include <string>

#include "platform/mm/memory.h"
#include "platform/toolkit/classes.h"
#include "platform/mm/mmsystem.h"
#include "platform/toolkit/wincontrol.h"

// The buffer event of both streams: Buffer is one data block, Size its
// length in bytes (the output's handler may shorten it).
using TBufferEvent = std::function<bool(void* Buffer, std::int32_t& Size)>;

class TAudioIO : public platform::TComponent {
 public:
  static constexpr int MaxBuffers = 4;
  static constexpr std::int32_t MinBufferBytes = 512;

  explicit TAudioIO(platform::TComponent* AOwner);
  ~TAudioIO() override;

  virtual void AbortStream();
  virtual void FinishStream();
  virtual void CloseDevice() = 0;

  // Properties. Setters clamp rather than refuse; BufferSize and NumBuffers
  // are refused while the device is open (they would pull blocks or ring
  // slots from under it); the value is kept and LastError says why.
  std::int32_t BufferSize() const { return FBufferBytes; }
  void SetBufferSize(std::int32_t Value);
  std::int32_t NumBuffers() const { return FNumBuffers; }
  void SetNumBuffers(std::int32_t Value);
  std::int32_t FrameRate() const { return static_cast<std::int32_t>(WaveFormat.nSamplesPerSec); }
  void SetFrameRate(std::int32_t Value);
  bool Stereo() const { return WaveFormat.nChannels == 2; }
  void SetStereo(bool Value);
  std::uint16_t Quantization() const { return WaveFormat.wBitsPerSample; }
  void SetQuantization(std::uint16_t Value);

  platform::TNotifyEvent OnStart;
  platform::TNotifyEvent OnStop;

  // Read access to the run state, for the owner and the dump.
  bool Running() const { return FRunning; }
  bool Accepting() const { return FAccepting; }
  std::int32_t QueuedCount() const { return FQueuedCount; }
  std::int32_t DoneCount() const { return FDoneCount; }
  std::int32_t FilledCount() const { return FFilledCount; }
  std::int32_t NextSlot() const { return FNextSlot; }
  const std::string& LastError() const { return FLastError; }
  virtual bool DeviceOpen() const { return FDeviceOpen; }

  std::int32_t RequestedBytes() const { return FRequestedBytes; }
  const WAVEFORMATEX& Format() const { return WaveFormat; }
  const WAVEHDR* Header(int Slot) const { return Headers[Slot]; }
  void* Block(int Slot) const { return Blocks[Slot]; }
  HGLOBAL BlockHandle(int Slot) const { return BlockHandles[Slot]; }
  HGLOBAL HeaderHandle(int Slot) const { return HeaderHandles[Slot]; }

 protected:
  // The wave calls of the stream's direction.
  virtual MMRESULT PrepareHeader(WAVEHDR* Header) = 0;
  virtual MMRESULT UnprepareHeader(WAVEHDR* Header) = 0;
  virtual std::string ErrorText(MMRESULT Code) const = 0;

  // OpenDevice around the device's own open call: BeginOpen refuses a
  // second open; FinishOpen takes the open call's result, prepares the
  // headers (closing the device again if one fails) and starts the counters
  // of a new run.
  bool BeginOpen(const char* AlreadyOpen);
  bool FinishOpen(MMRESULT Opened);
  // The hidden window that receives the device's notifications: made at the
  // first open and reused, so it outlives the device's close message and
  // windows do not pile up.
  template <class Window, class Stream>
  Window& CallbackWindowFor(Window*& Field, Stream*& StreamRef) {
    if (Field == nullptr) {
      Field = new Window(this);
      Field->SetParent(dynamic_cast<platform::TWinControl*>(Owner()));
      Field->SetVisible(false);
    }
    Field->StreamRef = &StreamRef;
    return *Field;
  }
  // Unprepares the headers of the ring; with OnlyPrepared only those the
  // device still has prepared.
  void UnprepareHeaders(bool OnlyPrepared);

  void UpdateFormat();
  bool AllocateHeaders();
  void FreeHeaders();
  bool AllocateBuffers();
  void FreeBuffers();
  bool ResetHeaders();
  static std::string OutErrorText(MMRESULT Code);
  static std::string InErrorText(MMRESULT Code);

  std::int32_t FBufferBytes = 0;
  std::int32_t FRequestedBytes = 0;
  std::int32_t FNumBuffers = 0;
  bool FPaused = false;
  WAVEFORMATEX WaveFormat{};
  DWORD DeviceId = WAVE_MAPPER;
  HGLOBAL HeaderHandles[MaxBuffers] = {};
  WAVEHDR* Headers[MaxBuffers] = {};
  void* Blocks[MaxBuffers] = {};
  HGLOBAL BlockHandles[MaxBuffers] = {};
  std::int32_t FNextSlot = 0;
  bool FAccepting = false;
  std::string FLastError;
  bool FRunning = false;
  bool FDeviceOpen = false;
  std::int32_t FFilledCount = 0;
  std::int32_t FQueuedCount = 0;
  std::int32_t FDoneCount = 0;
};
