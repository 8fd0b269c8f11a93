// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// How a card's ALSA simple mixer appears as a mixer device: playback
// elements under a speakers destination, capture elements under a wave-in
// destination, the capture source enumeration as its multiplexer.
//
// - The first Master, Speaker or Headphone playback element is the
//   speakers destination's own line (volume and mute); every other
//   playback element is one of its sources.
// - An element named "Capture" is the wave-in destination's own line;
//   every other capture element is one of its sources. The first
//   enumerated capture element ("Capture Source", "Input Source") is the
//   multiplexer, one item per enumeration item.
// - A source's component type comes from its name: PCM wave-out, Line,
//   CD, Mic, Phone, Aux, Video or Analog, Synth; anything else undefined.
// - Volume controls keep the element's own range; a mute control is the
//   inverse of the element's switch. A mono element is a one-channel line.
//
// Below the mapping sits AlsaElements: the real simple mixer of a control
// device, or a fake in tests.
#include <memory>
#include <string>
#include <vector>

#include "platform/mm/mixer_tree.h"

namespace platform {

struct AlsaElementInfo {
  std::string name;
  unsigned index = 0;
  bool playback_volume = false, playback_switch = false, playback_mono = false;
  bool capture_volume = false, capture_switch = false, capture_mono = false;
  long playback_min = 0, playback_max = 0, capture_min = 0, capture_max = 0;
  bool capture_enum = false;  // an enumerated capture element
  unsigned enum_items = 0;
};

enum class AlsaValue { PlaybackVolume, PlaybackSwitch, CaptureVolume, CaptureSwitch, EnumItem };

class AlsaElements {
 public:
  virtual ~AlsaElements() = default;
  virtual std::vector<AlsaElementInfo> List() = 0;
  // Channel 0 is the left (or only) channel, 1 the right. False when the
  // element or its value cannot be read now.
  virtual bool Read(const std::string& name, unsigned index, AlsaValue what, int channel,
                    long* value) = 0;
};

// Where a tree control's value comes from.
struct AlsaControlSource {
  DWORD control_id;
  std::string element;
  unsigned index;
  AlsaValue what;
};

struct AlsaMixerMap {
  MixerDeviceTree tree;
  std::vector<AlsaControlSource> sources;
};

AlsaMixerMap MapAlsaElements(const std::string& product,
                             const std::vector<AlsaElementInfo>& elements);

// The component type of a source named so, playback or capture side.
DWORD AlsaComponentType(const std::string& element_name);

// Reads a control's values from the elements into the tree control; false
// when they cannot be read.
bool ReadAlsaControl(AlsaElements& elements, const AlsaControlSource& source,
                     MixerControlNode& control);

}  // namespace platform
