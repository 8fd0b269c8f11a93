// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/card/alsa/alsa_volume.h"

#include <alsa/asoundlib.h>

#include <algorithm>
#include <cstdint>
#include <iterator>

namespace platform {

namespace {

struct MixerCloser {
  void operator()(snd_mixer_t* m) const { snd_mixer_close(m); }
};
using MixerPtr = std::unique_ptr<snd_mixer_t, MixerCloser>;

struct SelemIdFree {
  void operator()(snd_mixer_selem_id_t* id) const { snd_mixer_selem_id_free(id); }
};

void QuietAlsa(const char*, int, const char*, int, const char*, ...) {}

}  // namespace

struct AlsaVolumeBackend::Mixer {
  MixerPtr handle;
  std::unique_ptr<snd_mixer_selem_id_t, SelemIdFree> id;

  // The element of a device now (elements can come and go with the card);
  // null with `dead` set when the mixer no longer answers.
  snd_mixer_elem_t* Element(int device, std::string* name, bool* dead = nullptr) {
    if (snd_mixer_handle_events(handle.get()) < 0 && dead) *dead = true;
    for (const std::string& n : AlsaVolumeElementNames(device)) {
      snd_mixer_selem_id_set_name(id.get(), n.c_str());
      snd_mixer_selem_id_set_index(id.get(), 0);
      snd_mixer_elem_t* e = snd_mixer_find_selem(handle.get(), id.get());
      if (e != nullptr && snd_mixer_selem_has_playback_volume(e)) {
        if (name) *name = n;
        return e;
      }
    }
    return nullptr;
  }
};

std::string AlsaMixerForPcm(const std::string& pcm) {
  const std::size_t colon = pcm.find(':');
  if (colon == std::string::npos) return pcm.empty() ? "default" : pcm;
  // The standard per-card PCMs take the card as their first argument; for
  // any other plugin the argument may be anything, so the default mixer.
  static const char* const per_card[] = {
      "hw",     "plughw",     "sysdefault", "default",    "front",      "rear",       "center_lfe",
      "side",   "surround21", "surround40", "surround41", "surround50", "surround51", "surround71",
      "iec958", "spdif",      "hdmi",       "dmix",       "dsnoop",     "usbstream"};
  const std::string plugin = pcm.substr(0, colon);
  const std::string args = pcm.substr(colon + 1);
  std::string card;
  if (const std::size_t at = args.find("CARD="); at != std::string::npos) {
    card = args.substr(at + 5);
  } else if (std::find(std::begin(per_card), std::end(per_card), plugin) != std::end(per_card)) {
    card = args;
  }
  card = card.substr(0, card.find(','));
  if (card.size() >= 2 && card.front() == '"' && card.back() == '"')
    card = card.substr(1, card.size() - 2);
  if (card.empty()) return "default";
  return "hw:" + card;
}

const std::vector<std::string>& AlsaVolumeElementNames(int device) {
  static const std::vector<std::string> names[] = {{"PCM", "Master"}, {"Line"}, {"CD"},
                                                   {"Mic"},           {"Aux"},  {"Video"}};
  static const std::vector<std::string> none;
  if (device < 0 || device > kLastAuxDevice) return none;
  return names[device];
}

WORD AlsaValueToVolumeWord(long value, long min, long max) {
  if (max <= min) return value > min ? 0xFFFF : 0;
  const std::int64_t span = static_cast<std::int64_t>(max) - min;
  const std::int64_t v = std::clamp<std::int64_t>(static_cast<std::int64_t>(value) - min, 0, span);
  return static_cast<WORD>((v * 0xFFFF + span / 2) / span);
}

long VolumeWordToAlsaValue(WORD word, long min, long max) {
  if (max <= min) return min;
  const std::int64_t span = static_cast<std::int64_t>(max) - min;
  return static_cast<long>(min + (static_cast<std::int64_t>(word) * span + 0x7FFF) / 0xFFFF);
}

AlsaVolumeBackend::AlsaVolumeBackend(std::string mixer_device) : device_(std::move(mixer_device)) {
  snd_lib_error_set_handler(QuietAlsa);
  Connect();
}

void AlsaVolumeBackend::Connect() {
  mixer_.reset();
  error_.clear();
  snd_mixer_t* raw = nullptr;
  int e = snd_mixer_open(&raw, 0);
  if (e < 0) {
    error_ = snd_strerror(e);
    return;
  }
  MixerPtr handle(raw);
  if ((e = snd_mixer_attach(handle.get(), device_.c_str())) < 0 ||
      (e = snd_mixer_selem_register(handle.get(), nullptr, nullptr)) < 0 ||
      (e = snd_mixer_load(handle.get())) < 0) {
    error_ = "ALSA mixer '" + device_ + "': " + snd_strerror(e);
    return;
  }
  snd_mixer_selem_id_t* id = nullptr;
  if ((e = snd_mixer_selem_id_malloc(&id)) < 0) {
    error_ = snd_strerror(e);
    return;
  }
  mixer_ = std::make_unique<Mixer>();
  mixer_->handle = std::move(handle);
  mixer_->id.reset(id);
}

AlsaVolumeBackend::~AlsaVolumeBackend() = default;

MMRESULT AlsaVolumeBackend::Get(int device, DWORD* volume) {
  if (device < 0 || device > kLastAuxDevice) return MMSYSERR_BADDEVICEID;
  MMRESULT r = TryGet(device, volume);
  if (r == MMSYSERR_NODRIVER || r == MMSYSERR_ERROR) {
    Connect();
    r = TryGet(device, volume);
  }
  return r;
}

MMRESULT AlsaVolumeBackend::Set(int device, DWORD volume) {
  if (device < 0 || device > kLastAuxDevice) return MMSYSERR_BADDEVICEID;
  // The simple mixer writes a value only where it differs from the one it
  // last saw, and a change another program made an instant ago (a volume
  // set just before a close) may not have reached it yet: a fresh mixer sees
  // the card as it is.
  Connect();
  const MMRESULT r = TrySet(device, volume);
  if ((r == MMSYSERR_NODRIVER || r == MMSYSERR_ERROR) && !set_failure_told_ && log_) {
    set_failure_told_ = true;
    log_("ALSA mixer '" + device_ + "': the volumes could not be set" +
         (error_.empty() ? std::string() : " (" + error_ + ")"));
  }
  return r;
}

bool AlsaVolumeBackend::IsOpen() const { return mixer_ != nullptr; }

std::string AlsaVolumeBackend::ElementName(int device) {
  std::string name;
  if (mixer_ && device >= 0 && device <= kLastAuxDevice) mixer_->Element(device, &name);
  return name;
}

MMRESULT AlsaVolumeBackend::TryGet(int device, DWORD* volume) {
  if (!mixer_) return MMSYSERR_NODRIVER;
  bool dead = false;
  snd_mixer_elem_t* e = mixer_->Element(device, nullptr, &dead);
  if (dead) return MMSYSERR_NODRIVER;
  if (e == nullptr) return MMSYSERR_BADDEVICEID;
  if (volume == nullptr) return MMSYSERR_INVALPARAM;
  long min = 0, max = 0, left = 0, right = 0;
  if (snd_mixer_selem_get_playback_volume_range(e, &min, &max) < 0 ||
      snd_mixer_selem_get_playback_volume(e, SND_MIXER_SCHN_FRONT_LEFT, &left) < 0)
    return MMSYSERR_ERROR;
  right = left;
  if (!snd_mixer_selem_is_playback_mono(e) &&
      snd_mixer_selem_has_playback_channel(e, SND_MIXER_SCHN_FRONT_RIGHT) &&
      snd_mixer_selem_get_playback_volume(e, SND_MIXER_SCHN_FRONT_RIGHT, &right) < 0)
    return MMSYSERR_ERROR;
  *volume = static_cast<DWORD>(AlsaValueToVolumeWord(right, min, max)) << 16 |
            AlsaValueToVolumeWord(left, min, max);
  return MMSYSERR_NOERROR;
}

MMRESULT AlsaVolumeBackend::TrySet(int device, DWORD volume) {
  if (!mixer_) return MMSYSERR_NODRIVER;
  bool dead = false;
  snd_mixer_elem_t* e = mixer_->Element(device, nullptr, &dead);
  if (dead) return MMSYSERR_NODRIVER;
  if (e == nullptr) return MMSYSERR_BADDEVICEID;
  long min = 0, max = 0;
  if (snd_mixer_selem_get_playback_volume_range(e, &min, &max) < 0) return MMSYSERR_ERROR;
  const long left = VolumeWordToAlsaValue(static_cast<WORD>(volume & 0xFFFF), min, max);
  const long right = VolumeWordToAlsaValue(static_cast<WORD>(volume >> 16), min, max);
  int r = 0;
  if (snd_mixer_selem_is_playback_mono(e)) {
    r = snd_mixer_selem_set_playback_volume_all(e, left);
  } else {
    r = snd_mixer_selem_set_playback_volume(e, SND_MIXER_SCHN_FRONT_LEFT, left);
    if (r >= 0 && snd_mixer_selem_has_playback_channel(e, SND_MIXER_SCHN_FRONT_RIGHT))
      r = snd_mixer_selem_set_playback_volume(e, SND_MIXER_SCHN_FRONT_RIGHT, right);
  }
  return r < 0 ? MMSYSERR_ERROR : MMSYSERR_NOERROR;
}

}  // namespace platform
