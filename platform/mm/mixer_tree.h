// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A mixer device held as a tree of lines and controls, and the part of a
// mixer backend that answers the mixer* queries from such trees. A card
// builds its trees (the virtual card from a fixed layout, ALSA from its
// simple-mixer elements) and adds what is its own: where values come from,
// which calls fail.
//
// IDs: destination D has line ID D << 16 | 0xFFFF, its source S has
// D << 16 | S; controls are numbered from 1 across the device.
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "platform/mm/mixer_backend.h"

namespace platform {

struct MixerControlNode {
  DWORD id = 0;
  DWORD type = 0;
  DWORD flags = 0;  // MIXERCONTROL_CONTROLF_*
  DWORD items = 0;  // multiple items, 0 for a single-item control
  LONG minimum = 0;
  LONG maximum = 0;
  DWORD steps = 0;
  std::string short_name, name;
  std::string key;  // the name scripts and tests use ("volume", "mute", "mux")
  // ValueChannels() x max(items, 1) values, value[channel * n + item].
  std::vector<LONG> values;
  DWORD channels = 1;  // channels the values are kept for

  bool Multiple() const { return (flags & MIXERCONTROL_CONTROLF_MULTIPLE) != 0; }
  DWORD ItemCount() const { return Multiple() ? items : 1; }
};

struct MixerLineNode {
  DWORD id = 0;
  DWORD component = 0;
  DWORD flags = MIXERLINE_LINEF_ACTIVE;  // active / disconnected bits
  DWORD channels = 2;
  DWORD target_type = MIXERLINE_TARGETTYPE_UNDEFINED;
  std::string short_name, name;
  std::string key;  // "speakers", "wavein.line" ...
  std::vector<MixerControlNode> controls;
  std::vector<MixerLineNode> sources;  // destinations only
};

struct MixerDeviceTree {
  std::string product;
  std::vector<MixerLineNode> destinations;
};

// Gives every line its ID and every control its ID and value storage (one
// value per channel and item, zero), keeping values already sized.
void NumberMixerTree(MixerDeviceTree& tree);

// A control with the given number of channels, items and bounds.
MixerControlNode MakeMixerControl(std::string key, DWORD type, std::string name, LONG minimum,
                                  LONG maximum, DWORD flags = 0, DWORD items = 0);

class TreeMixerBackend : public MixerBackend {
 public:
  UINT DeviceCount() override;
  MMRESULT Caps(UINT device, MIXERCAPSA& caps) override;
  MMRESULT Open(UINT device, HWND callback, std::uintptr_t* handle) override;
  MMRESULT DeviceOf(std::uintptr_t handle, UINT* device) override;
  MMRESULT Close(std::uintptr_t handle) override;
  MMRESULT LineInfo(UINT device, MIXERLINEA& line, DWORD query) override;
  MMRESULT LineControls(UINT device, MIXERLINECONTROLSA& controls, DWORD query) override;
  MMRESULT ControlValues(UINT device, MIXERCONTROLDETAILS& details) override;

  int OpenHandles() const;

  // Lookups; nullptr when there is no such line or control.
  MixerLineNode* Line(UINT device, DWORD destination, DWORD source);  // source ~0u: destination
  MixerLineNode* LineById(UINT device, DWORD line_id);
  MixerLineNode* LineByKey(UINT device, const std::string& key);
  MixerControlNode* Control(UINT device, DWORD control_id, MixerLineNode** line = nullptr);

  // Post to every open handle of the device (any thread).
  void NotifyLineChange(UINT device, DWORD line_id);
  void NotifyControlChange(UINT device, DWORD control_id);

 protected:
  // Before a line's information or control list is given out, or a
  // control's values are read: a card refreshes them or fails the call.
  virtual MMRESULT BeforeLineInfo(UINT device, MixerLineNode& line);
  virtual MMRESULT BeforeLineControls(UINT device, MixerLineNode& line);
  virtual MMRESULT BeforeValues(UINT device, MixerLineNode& line, MixerControlNode& control);

  std::vector<MixerDeviceTree> trees_;

 private:
  struct OpenHandle {
    std::uintptr_t handle;
    UINT device;
    HWND callback;
  };
  void Post(UINT device, UINT msg, DWORD id);
  mutable std::mutex handles_mutex_;
  std::vector<OpenHandle> handles_;
};

// The record of one control, as mixerGetLineControls gives it out.
void FillMixerControl(const MixerControlNode& node, MIXERCONTROLA& out);

}  // namespace platform
