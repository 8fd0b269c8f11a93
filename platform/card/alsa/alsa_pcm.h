// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Opening an ALSA PCM for a wave format, and what ALSA's answers mean for the
// wave calls.
#include <alsa/asoundlib.h>

#include <memory>
#include <string>

#include "platform/mm/wave_backend.h"

namespace platform {

struct PcmCloser {
  void operator()(snd_pcm_t* pcm) const { snd_pcm_close(pcm); }
};
using PcmPtr = std::unique_ptr<snd_pcm_t, PcmCloser>;

// The ring asked of each direction. Playback holds more than half a second,
// so a sound server's hiccup under load is bridged while the wave queue
// (about a second) waits behind it; capture holds half a second, so the
// device thread may be late that long without losing a frame.
inline constexpr unsigned kPlaybackRingUs = 600'000;
inline constexpr unsigned kCaptureRingUs = 500'000;

struct PcmGeometry {
  snd_pcm_uframes_t ring = 0;    // frames the PCM's buffer holds
  snd_pcm_uframes_t period = 0;  // frames between wake-ups
};

// Opens `device` non-blocking with the format's sample size, channels and
// rate. On failure returns the wave code and says why in `why`, naming the
// device and the direction.
MMRESULT OpenAlsaPcm(const std::string& device, WaveDir dir, const WAVEFORMATEX& format,
                     PcmPtr& out, PcmGeometry& geometry, std::string& why);

// What an ALSA error code means for an open of a wave device.
MMRESULT OpenErrorToMmresult(int alsa_error);

// The PCM name that --card=alsa[:DEVICE] names ("alsa" alone: "default").
std::string AlsaDeviceFromCardOption(const std::string& card);

// True when the named PCM can be opened for that direction with that
// format right now (opened and closed again at once).
bool AlsaPcmUsable(const std::string& device, WaveDir dir, const WAVEFORMATEX& format);

const char* DirName(WaveDir dir);

// The library's own diagnostics would repeat on stderr what the result
// codes already say, on every retry.
void SilenceAlsaLibrary();

}  // namespace platform
