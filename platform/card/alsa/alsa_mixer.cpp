// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/card/alsa/alsa_mixer.h"

#include <alsa/asoundlib.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstring>

namespace platform {

// What an element callback of the watcher needs.
struct WatchContext {
  AlsaMixerBackend* backend;
  UINT device;
};

namespace {

void QuietAlsa(const char*, int, const char*, int, const char*, ...) {}

struct MixerCloser {
  void operator()(snd_mixer_t* m) const { snd_mixer_close(m); }
};
using MixerPtr = std::unique_ptr<snd_mixer_t, MixerCloser>;

MixerPtr OpenSimpleMixer(const std::string& ctl, std::string& error) {
  snd_lib_error_set_handler(QuietAlsa);
  snd_mixer_t* raw = nullptr;
  int e = snd_mixer_open(&raw, 0);
  if (e < 0) {
    error = snd_strerror(e);
    return nullptr;
  }
  MixerPtr m(raw);
  if ((e = snd_mixer_attach(m.get(), ctl.c_str())) < 0 ||
      (e = snd_mixer_selem_register(m.get(), nullptr, nullptr)) < 0 ||
      (e = snd_mixer_load(m.get())) < 0) {
    error = "ALSA mixer '" + ctl + "': " + snd_strerror(e);
    return nullptr;
  }
  return m;
}

snd_mixer_selem_channel_id_t ChannelOf(int channel) {
  return channel == 0 ? SND_MIXER_SCHN_FRONT_LEFT : SND_MIXER_SCHN_FRONT_RIGHT;
}

class AlsaSimpleMixer final : public AlsaElements {
 public:
  explicit AlsaSimpleMixer(MixerPtr m) : mixer_(std::move(m)) {}

  std::vector<AlsaElementInfo> List() override {
    std::vector<AlsaElementInfo> list;
    for (snd_mixer_elem_t* e = snd_mixer_first_elem(mixer_.get()); e; e = snd_mixer_elem_next(e)) {
      if (!snd_mixer_selem_is_active(e)) continue;
      AlsaElementInfo i;
      i.name = snd_mixer_selem_get_name(e);
      i.index = snd_mixer_selem_get_index(e);
      i.playback_volume = snd_mixer_selem_has_playback_volume(e);
      i.playback_switch = snd_mixer_selem_has_playback_switch(e);
      i.playback_mono = snd_mixer_selem_is_playback_mono(e);
      i.capture_volume = snd_mixer_selem_has_capture_volume(e);
      i.capture_switch = snd_mixer_selem_has_capture_switch(e);
      i.capture_mono = snd_mixer_selem_is_capture_mono(e);
      if (i.playback_volume)
        snd_mixer_selem_get_playback_volume_range(e, &i.playback_min, &i.playback_max);
      if (i.capture_volume)
        snd_mixer_selem_get_capture_volume_range(e, &i.capture_min, &i.capture_max);
      if (snd_mixer_selem_is_enumerated(e) && snd_mixer_selem_is_enum_capture(e)) {
        const int n = snd_mixer_selem_get_enum_items(e);
        i.capture_enum = n > 0;
        i.enum_items = n > 0 ? static_cast<unsigned>(n) : 0;
      }
      list.push_back(std::move(i));
    }
    return list;
  }

  bool Read(const std::string& name, unsigned index, AlsaValue what, int channel,
            long* value) override {
    // Takes in what changed since the last read; a mixer whose server went
    // answers no more.
    if (snd_mixer_handle_events(mixer_.get()) < 0) return false;
    snd_mixer_selem_id_t* id = nullptr;
    snd_mixer_selem_id_alloca(&id);
    snd_mixer_selem_id_set_name(id, name.c_str());
    snd_mixer_selem_id_set_index(id, index);
    snd_mixer_elem_t* e = snd_mixer_find_selem(mixer_.get(), id);
    if (e == nullptr) return false;
    int sw = 0;
    unsigned item = 0;
    int r = -1;
    switch (what) {
      case AlsaValue::PlaybackVolume:
        if (snd_mixer_selem_is_playback_mono(e)) channel = 0;
        r = snd_mixer_selem_get_playback_volume(e, ChannelOf(channel), value);
        break;
      case AlsaValue::CaptureVolume:
        if (snd_mixer_selem_is_capture_mono(e)) channel = 0;
        r = snd_mixer_selem_get_capture_volume(e, ChannelOf(channel), value);
        break;
      case AlsaValue::PlaybackSwitch:
        r = snd_mixer_selem_get_playback_switch(e, ChannelOf(0), &sw);
        *value = sw;
        break;
      case AlsaValue::CaptureSwitch:
        r = snd_mixer_selem_get_capture_switch(e, ChannelOf(0), &sw);
        *value = sw;
        break;
      case AlsaValue::EnumItem:
        r = snd_mixer_selem_get_enum_item(e, SND_MIXER_SCHN_FRONT_LEFT, &item);
        *value = static_cast<long>(item);
        break;
    }
    return r >= 0;
  }

 // The watcher waits on it and takes its events in.
  MixerPtr& Handle() { return mixer_; }

 private:
  MixerPtr mixer_;
};


int ElementEvent(snd_mixer_elem_t* e, unsigned int mask) {
  auto* ctx = static_cast<WatchContext*>(snd_mixer_elem_get_callback_private(e));
  if (ctx == nullptr) return 0;
  const bool value_only =
      mask != SND_CTL_EVENT_MASK_REMOVE && (mask & ~SND_CTL_EVENT_MASK_VALUE) == 0;
  ctx->backend->ElementChanged(ctx->device, snd_mixer_selem_get_name(e),
                               snd_mixer_selem_get_index(e), value_only);
  return 0;
}

int MixerEvent(snd_mixer_t* m, unsigned int mask, snd_mixer_elem_t* e) {
  // A new element: watch it too.
  if (mask & SND_CTL_EVENT_MASK_ADD) {
    snd_mixer_elem_set_callback(e, ElementEvent);
    snd_mixer_elem_set_callback_private(e, snd_mixer_get_callback_private(m));
  }
  return 0;
}

// A mixer whose events are no longer reported (before it is closed).
MixerPtr& Quiet(MixerPtr& m) {
  snd_mixer_set_callback(m.get(), nullptr);
  for (snd_mixer_elem_t* e = snd_mixer_first_elem(m.get()); e; e = snd_mixer_elem_next(e))
    snd_mixer_elem_set_callback(e, nullptr);
  return m;
}

}  // namespace

std::unique_ptr<AlsaElements> OpenAlsaElements(const std::string& ctl, std::string& error) {
  MixerPtr m = OpenSimpleMixer(ctl, error);
  if (!m) return nullptr;
  return std::make_unique<AlsaSimpleMixer>(std::move(m));
}

std::string AlsaControlDeviceName(const std::string& ctl) {
  snd_lib_error_set_handler(QuietAlsa);
  snd_ctl_t* handle = nullptr;
  if (snd_ctl_open(&handle, ctl.c_str(), 0) < 0) return ctl;
  snd_ctl_card_info_t* info = nullptr;
  snd_ctl_card_info_alloca(&info);
  std::string name = ctl;
  if (snd_ctl_card_info(handle, info) >= 0 && *snd_ctl_card_info_get_name(info))
    name = snd_ctl_card_info_get_name(info);
  snd_ctl_close(handle);
  return name;
}

std::unique_ptr<AlsaMixerBackend> AlsaMixerBackend::Discover(const std::string& first) {
  std::vector<std::string> names;
  if (!first.empty()) names.push_back(first);
  snd_lib_error_set_handler(QuietAlsa);
  for (int card = -1; snd_card_next(&card) == 0 && card >= 0;) {
    const std::string hw = "hw:" + std::to_string(card);
    if (hw != first) names.push_back(hw);
  }
  std::vector<Device> devices;
  for (const std::string& ctl : names) {
    std::string error;
    std::unique_ptr<AlsaElements> elements = OpenAlsaElements(ctl, error);
    if (!elements) continue;
    AlsaMixerMap map = MapAlsaElements(AlsaControlDeviceName(ctl), elements->List());
    devices.push_back({ctl, std::move(elements), std::move(map)});
  }
  return std::make_unique<AlsaMixerBackend>(std::move(devices));
}

AlsaMixerBackend::AlsaMixerBackend(std::vector<Device> devices, bool watch)
    : devices_(std::move(devices)), watch_(watch) {
  for (Device& d : devices_) trees_.push_back(d.map.tree);
}

AlsaMixerBackend::~AlsaMixerBackend() {
  if (watcher_.joinable()) {
    stop_ = true;
    const char byte = 1;
    (void)!write(wake_[1], &byte, 1);
    watcher_.join();
  }
  for (int fd : wake_)
    if (fd >= 0) close(fd);
}

MMRESULT AlsaMixerBackend::Open(UINT device, HWND callback, std::uintptr_t* handle) {
  MMRESULT r = TreeMixerBackend::Open(device, callback, handle);
  // Watching starts with the first open: nobody listens before.
  if (r == MMSYSERR_NOERROR && watch_ && !watcher_.joinable() && pipe(wake_) == 0) {
    watcher_ = std::thread([this] { Watch(); });
    std::unique_lock lock(watching_mutex_);
    watching_changed_.wait_for(lock, std::chrono::seconds(2), [this] { return watching_; });
  }
  return r;
}

void AlsaMixerBackend::ElementChanged(UINT device, const std::string& name, unsigned index,
                                      bool value_only) {
  if (device >= devices_.size()) return;
  // Trees are not changed after construction, so reading them here is safe.
  std::vector<DWORD> lines;
  for (const AlsaControlSource& s : devices_[device].map.sources) {
    if (s.element != name || s.index != index) continue;
    if (value_only) {
      NotifyControlChange(device, s.control_id);
      continue;
    }
    for (const MixerLineNode& dest : trees_[device].destinations) {
      auto note = [&](const MixerLineNode& l) {
        for (const MixerControlNode& c : l.controls)
          if (c.id == s.control_id && std::find(lines.begin(), lines.end(), l.id) == lines.end())
            lines.push_back(l.id);
      };
      note(dest);
      for (const MixerLineNode& src : dest.sources) note(src);
    }
  }
  for (DWORD line : lines) NotifyLineChange(device, line);
}

MMRESULT AlsaMixerBackend::BeforeValues(UINT device, MixerLineNode&, MixerControlNode& control) {
  for (const AlsaControlSource& s : devices_[device].map.sources) {
    if (s.control_id != control.id) continue;
    std::lock_guard lock(mixer_mutex_);
    Device& d = devices_[device];
    if (d.elements && ReadAlsaControl(*d.elements, s, control)) return MMSYSERR_NOERROR;
    // Opened again once: the server may have been restarted since.
    std::string error;
    std::unique_ptr<AlsaElements> fresh = OpenAlsaElements(d.ctl, error);
    if (!fresh) return MMSYSERR_ERROR;
    if (d.elements && listening_) Quiet(static_cast<AlsaSimpleMixer&>(*d.elements).Handle());
    d.elements = std::move(fresh);
    if (listening_) Listen(device);
    return ReadAlsaControl(*d.elements, s, control) ? MMSYSERR_NOERROR : MMSYSERR_ERROR;
  }
  return MIXERR_INVALCONTROL;
}

// Locked: element events of the device's mixer become notifications.
void AlsaMixerBackend::Listen(UINT device) {
  snd_mixer_t* m = static_cast<AlsaSimpleMixer&>(*devices_[device].elements).Handle().get();
  WatchContext* context = contexts_[device].get();
  snd_mixer_set_callback(m, MixerEvent);
  snd_mixer_set_callback_private(m, context);
  for (snd_mixer_elem_t* e = snd_mixer_first_elem(m); e; e = snd_mixer_elem_next(e)) {
    snd_mixer_elem_set_callback(e, ElementEvent);
    snd_mixer_elem_set_callback_private(e, context);
  }
}

void AlsaMixerBackend::Watch() {
  // The watcher and the reads share one mixer per device, under the lock:
  // a value read after a notification is the one the event brought.
  {
    std::lock_guard lock(mixer_mutex_);
    for (UINT d = 0; d < devices_.size(); ++d) {
      contexts_.push_back(std::make_unique<WatchContext>(WatchContext{this, d}));
      if (devices_[d].elements) Listen(d);
    }
    listening_ = true;
  }
  {
    std::lock_guard lock(watching_mutex_);
    watching_ = true;
  }
  watching_changed_.notify_all();
  while (!stop_) {
    std::vector<pollfd> fds(1);
    fds[0] = {wake_[0], POLLIN, 0};
    {
      std::lock_guard lock(mixer_mutex_);
      for (Device& d : devices_) {
        if (!d.elements) continue;
        snd_mixer_t* m = static_cast<AlsaSimpleMixer&>(*d.elements).Handle().get();
        const int n = snd_mixer_poll_descriptors_count(m);
        if (n <= 0) continue;
        const std::size_t first = fds.size();
        fds.resize(first + static_cast<std::size_t>(n));
        snd_mixer_poll_descriptors(m, &fds[first], static_cast<unsigned>(n));
      }
    }
    // The poll's timeout is also the pace of reopening a mixer that went.
    if (poll(fds.data(), fds.size(), 1000) < 0 && errno != EINTR) break;
    if (stop_) break;
    std::lock_guard lock(mixer_mutex_);
    for (UINT d = 0; d < devices_.size(); ++d) {
      Device& device = devices_[d];
      if (!device.elements) {
        // Its server may be back (restarted): watch it again.
        std::string error;
        device.elements = OpenAlsaElements(device.ctl, error);
        if (device.elements) Listen(d);
      } else if (snd_mixer_handle_events(
                     static_cast<AlsaSimpleMixer&>(*device.elements).Handle().get()) < 0) {
        Quiet(static_cast<AlsaSimpleMixer&>(*device.elements).Handle());
        device.elements.reset();
      }
    }
  }
  // Closing a mixer reports its elements as removed: nobody listens then.
  std::lock_guard lock(mixer_mutex_);
  listening_ = false;
  for (Device& d : devices_)
    if (d.elements) Quiet(static_cast<AlsaSimpleMixer&>(*d.elements).Handle());
}

}  // namespace platform
