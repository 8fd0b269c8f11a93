// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The mixer devices of the real card: the ALSA control devices, the one
// that belongs to the chosen PCM first, then each card's "hw:N". Each is
// read through its simple mixer (see alsa_mixer_map.h for the mapping).
// With no control device the count is 0.
//
// Changes made by other programs reach the open handles as notifications:
// a watcher thread per backend turns element events into
// MM_MIXM_CONTROL_CHANGE (value changes) and MM_MIXM_LINE_CHANGE (any other
// change of an element), posted to the GUI thread. The watcher and the
// value reads share one simple mixer per device under a lock, so a value
// read after a notification is never older than the event. A mixer whose
// server went is opened again (by the next read, or by the watcher each
// second).
#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/card/alsa/alsa_mixer_map.h"

namespace platform {

struct WatchContext;

class AlsaMixerBackend final : public TreeMixerBackend {
 public:
  struct Device {
    std::string ctl;  // the ALSA control device name
    std::unique_ptr<AlsaElements> elements;
    AlsaMixerMap map;
  };

  // The devices: `first` (a control device name, skipped when it cannot be
  // opened), then every card not already named.
  static std::unique_ptr<AlsaMixerBackend> Discover(const std::string& first);
  // Devices over given elements (tests: fakes below the backend).
  explicit AlsaMixerBackend(std::vector<Device> devices, bool watch = true);
  ~AlsaMixerBackend() override;

  MMRESULT Open(UINT device, HWND callback, std::uintptr_t* handle) override;
  const std::string& ControlDevice(UINT device) const { return devices_[device].ctl; }

  // From the watcher (or a test): an element of a device changed.
  void ElementChanged(UINT device, const std::string& name, unsigned index, bool value_only);

 protected:
  MMRESULT BeforeValues(UINT device, MixerLineNode& line, MixerControlNode& control) override;

 private:
  void Watch();
  void Listen(UINT device);
  std::vector<Device> devices_;
  std::mutex mixer_mutex_;  // guards the devices' elements once watched
  bool listening_ = false;  // their events are notifications (under the lock)
  std::vector<std::unique_ptr<WatchContext>> contexts_;
  bool watch_;
  std::thread watcher_;
  std::atomic<bool> stop_{false};
  // Set once the watcher listens: a change made after Open is never missed.
  std::mutex watching_mutex_;
  std::condition_variable watching_changed_;
  bool watching_ = false;
  int wake_[2] = {-1, -1};
};

// The simple mixer of one ALSA control device; nullptr with `error` set
// when it cannot be opened.
std::unique_ptr<AlsaElements> OpenAlsaElements(const std::string& ctl, std::string& error);
// A readable name of a control device (its card's name where it has one).
std::string AlsaControlDeviceName(const std::string& ctl);

}  // namespace platform
