// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/card/alsa/alsa_pcm.h"

#include <cerrno>
#include <mutex>

namespace platform {

namespace {
void QuietAlsa(const char*, int, const char*, int, const char*, ...) {}
}  // namespace

void SilenceAlsaLibrary() {
  static std::once_flag once;
  std::call_once(once, [] { snd_lib_error_set_handler(QuietAlsa); });
}

const char* DirName(WaveDir dir) { return dir == WaveDir::In ? "capture" : "playback"; }

MMRESULT OpenAlsaPcm(const std::string& device, WaveDir dir, const WAVEFORMATEX& format,
                     PcmPtr& out, PcmGeometry& geometry, std::string& why) {
  SilenceAlsaLibrary();
  snd_pcm_t* raw = nullptr;
  const snd_pcm_stream_t stream =
      dir == WaveDir::In ? SND_PCM_STREAM_CAPTURE : SND_PCM_STREAM_PLAYBACK;
  int e = snd_pcm_open(&raw, device.c_str(), stream, SND_PCM_NONBLOCK);
  if (e < 0) {
    why = "ALSA device '" + device + "' (" + DirName(dir) + "): " + snd_strerror(e);
    return OpenErrorToMmresult(e);
  }
  PcmPtr pcm(raw);
  const snd_pcm_format_t sample =
      format.wBitsPerSample == 8 ? SND_PCM_FORMAT_U8 : SND_PCM_FORMAT_S16_LE;
  e = snd_pcm_set_params(pcm.get(), sample, SND_PCM_ACCESS_RW_INTERLEAVED, format.nChannels,
                         format.nSamplesPerSec, 1,
                         dir == WaveDir::In ? kCaptureRingUs : kPlaybackRingUs);
  if (e < 0) {
    why = "ALSA device '" + device + "' (" + DirName(dir) +
          "): " + std::to_string(format.nChannels) + " channel(s), " +
          std::to_string(format.wBitsPerSample) + " bits, " +
          std::to_string(format.nSamplesPerSec) + " Hz: " + snd_strerror(e);
    return e == -EINVAL ? WAVERR_BADFORMAT : OpenErrorToMmresult(e);
  }
  geometry = {};
  if (snd_pcm_get_params(pcm.get(), &geometry.ring, &geometry.period) < 0 ||
      geometry.period == 0 || geometry.ring == 0) {
    geometry.period = format.nSamplesPerSec / 40;
    geometry.ring = 4 * geometry.period;
  }
  out = std::move(pcm);
  return MMSYSERR_NOERROR;
}

MMRESULT OpenErrorToMmresult(int alsa_error) {
  switch (-alsa_error) {
    case ENOENT:
    case ENODEV:
    case ENXIO:
    case EINVAL:
      return MMSYSERR_BADDEVICEID;
    case EBUSY:
    case EAGAIN:
      return MMSYSERR_ALLOCATED;
    case ENOMEM:
      return MMSYSERR_NOMEM;
    case EACCES:
    case EPERM:
      return MMSYSERR_NOTENABLED;
    default:
      return MMSYSERR_NODRIVER;
  }
}

std::string AlsaDeviceFromCardOption(const std::string& card) {
  const std::string prefix = "alsa:";
  if (card.compare(0, prefix.size(), prefix) != 0 || card.size() == prefix.size()) return "default";
  return card.substr(prefix.size());
}

bool AlsaPcmUsable(const std::string& device, WaveDir dir, const WAVEFORMATEX& format) {
  PcmPtr pcm;
  PcmGeometry geometry;
  std::string why;
  return OpenAlsaPcm(device, dir, format, pcm, geometry, why) == MMSYSERR_NOERROR;
}

}  // namespace platform
