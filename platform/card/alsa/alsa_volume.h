// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Playback volumes of a real card from its ALSA simple mixer: device 0 (the
// wave output) is the element "PCM", or "Master" where the card has no
// "PCM"; the auxiliary devices 1..5 are "Line", "CD", "Mic", "Aux" and
// "Video". Each volume word 0..0xFFFF maps linearly onto the element's own
// range, the left channel in the low word, the right in the high word (a
// mono element reads the same in both and is set from the left word).
//
// A device whose element the card lacks (or which has no playback volume)
// answers MMSYSERR_BADDEVICEID; every device answers MMSYSERR_NODRIVER
// when the mixer itself cannot be opened. A mixer that stopped answering (a
// sound server restarted since) is opened again once before a call fails;
// a volume that still cannot be set is told once.
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/mm/volume.h"

namespace platform {

// The mixer (control device) that belongs to a PCM name: "hw:1,0",
// "plughw:1" and "front:CARD=PCH,DEV=0" name card 1 or PCH ("hw:1",
// "hw:PCH"); a name without a card part ("default", "pulse") is its own.
std::string AlsaMixerForPcm(const std::string& pcm_device);

// The element names tried for a volume device, first match wins.
const std::vector<std::string>& AlsaVolumeElementNames(int device);

// The linear maps between a volume word and an element value in [min, max].
WORD AlsaValueToVolumeWord(long value, long min, long max);
long VolumeWordToAlsaValue(WORD word, long min, long max);

class AlsaVolumeBackend final : public VolumeBackend {
 public:
  explicit AlsaVolumeBackend(std::string mixer_device);
  ~AlsaVolumeBackend() override;
  AlsaVolumeBackend(const AlsaVolumeBackend&) = delete;
  AlsaVolumeBackend& operator=(const AlsaVolumeBackend&) = delete;

  MMRESULT Get(int device, DWORD* volume) override;
  MMRESULT Set(int device, DWORD volume) override;

  bool IsOpen() const;
  const std::string& MixerDevice() const { return device_; }
  // Why the mixer could not be opened; empty when it is open.
  const std::string& OpenError() const { return error_; }
  // The element serving a device, empty when the card has none.
  std::string ElementName(int device);
  void SetErrorLog(std::function<void(const std::string&)> log) { log_ = std::move(log); }

 private:
  struct Mixer;
  void Connect();
  MMRESULT TryGet(int device, DWORD* volume);
  MMRESULT TrySet(int device, DWORD volume);
  std::string device_;
  std::function<void(const std::string&)> log_;
  bool set_failure_told_ = false;
  std::string error_;
  std::unique_ptr<Mixer> mixer_;
};

}  // namespace platform
