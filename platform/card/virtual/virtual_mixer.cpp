// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/card/virtual/virtual_mixer.h"

#include <charconv>
#include <iterator>
#include <memory>

#include "platform/card/virtual/virtual_volumes.h"

namespace platform {

namespace {

constexpr LONG kVolumeMax = 0xFFFF;

// The volume device a playback source's volume is, or -1.
int VolumeDeviceOf(const std::string& line_key) {
  static const char* const keys[] = {"speakers.wave", "speakers.line", "speakers.cd",
                                     "speakers.mic",  "speakers.aux",  "speakers.synth"};
  for (int d = 0; d <= kLastAuxDevice; ++d)
    if (line_key == keys[d]) return d;
  return -1;
}

MixerControlNode Volume() {
  return MakeMixerControl("volume", MIXERCONTROL_CONTROLTYPE_VOLUME, "Volume", 0, kVolumeMax);
}
MixerControlNode Mute() {
  return MakeMixerControl("mute", MIXERCONTROL_CONTROLTYPE_MUTE, "Mute", 0, 1,
                          MIXERCONTROL_CONTROLF_UNIFORM);
}
MixerControlNode Tone(const char* key, DWORD type, const char* name) {
  return MakeMixerControl(key, type, name, 0, kVolumeMax, MIXERCONTROL_CONTROLF_UNIFORM);
}

MixerLineNode MakeLine(std::string key, DWORD component, std::string name, DWORD channels,
                       std::vector<MixerControlNode> controls) {
  MixerLineNode l;
  l.key = std::move(key);
  l.component = component;
  l.short_name = name.substr(0, MIXER_SHORT_NAME_CHARS - 1);
  l.name = std::move(name);
  l.channels = channels;
  l.controls = std::move(controls);
  return l;
}

MixerDeviceTree VirtualTree() {
  MixerDeviceTree t;
  t.product = "Virtual Mixer";
  // Bass and treble before the volume, so "the first control that is no
  // tone control" is not simply the first one.
  MixerLineNode speakers =
      MakeLine("speakers", MIXERLINE_COMPONENTTYPE_DST_SPEAKERS, "Speakers", 2,
               {Tone("bass", MIXERCONTROL_CONTROLTYPE_BASS, "Bass"),
                Tone("treble", MIXERCONTROL_CONTROLTYPE_TREBLE, "Treble"), Volume(), Mute()});
  speakers.target_type = MIXERLINE_TARGETTYPE_WAVEOUT;
  struct Src {
    const char* key;
    DWORD component;
    const char* name;
    DWORD channels;
  };
  const Src playback[] = {
      {"wave", MIXERLINE_COMPONENTTYPE_SRC_WAVEOUT, "Wave", 2},
      {"synth", MIXERLINE_COMPONENTTYPE_SRC_SYNTHESIZER, "SW Synth", 2},
      {"line", MIXERLINE_COMPONENTTYPE_SRC_LINE, "Line In", 2},
      {"cd", MIXERLINE_COMPONENTTYPE_SRC_COMPACTDISC, "CD Audio", 2},
      {"mic", MIXERLINE_COMPONENTTYPE_SRC_MICROPHONE, "Microphone", 1},
      {"phone", MIXERLINE_COMPONENTTYPE_SRC_TELEPHONE, "Phone Line", 1},
      {"aux", MIXERLINE_COMPONENTTYPE_SRC_AUXILIARY, "Aux", 2},
      {"pcspeaker", MIXERLINE_COMPONENTTYPE_SRC_PCSPEAKER, "PC Speaker", 1},
  };
  for (const Src& s : playback)
    speakers.sources.push_back(MakeLine(std::string("speakers.") + s.key, s.component, s.name,
                                        s.channels, {Mute(), Volume()}));

  const Src recording[] = {
      {"line", MIXERLINE_COMPONENTTYPE_SRC_LINE, "Line In", 2},
      {"mic", MIXERLINE_COMPONENTTYPE_SRC_MICROPHONE, "Microphone", 1},
      {"cd", MIXERLINE_COMPONENTTYPE_SRC_COMPACTDISC, "CD Audio", 2},
      {"phone", MIXERLINE_COMPONENTTYPE_SRC_TELEPHONE, "Phone Line", 1},
      {"aux", MIXERLINE_COMPONENTTYPE_SRC_AUXILIARY, "Aux", 2},
      {"analog", MIXERLINE_COMPONENTTYPE_SRC_ANALOG, "Video", 2},
      {"line2", MIXERLINE_COMPONENTTYPE_SRC_LINE, "Line In 2", 2},
  };
  const DWORD n = static_cast<DWORD>(std::size(recording));
  MixerLineNode wavein =
      MakeLine("wavein", MIXERLINE_COMPONENTTYPE_DST_WAVEIN, "Recording Control", 2,
               {MakeMixerControl("mux", MIXERCONTROL_CONTROLTYPE_MUX, "Recording Source", 0, n - 1,
                                 MIXERCONTROL_CONTROLF_UNIFORM | MIXERCONTROL_CONTROLF_MULTIPLE, n),
                Volume()});
  wavein.target_type = MIXERLINE_TARGETTYPE_WAVEIN;
  for (const Src& s : recording)
    wavein.sources.push_back(
        MakeLine(std::string("wavein.") + s.key, s.component, s.name, s.channels, {Volume()}));

  MixerLineNode voicein =
      MakeLine("voicein", MIXERLINE_COMPONENTTYPE_DST_VOICEIN, "Voice Input", 1, {Volume()});
  voicein.sources.push_back(
      MakeLine("voicein.mic", MIXERLINE_COMPONENTTYPE_SRC_MICROPHONE, "Microphone", 1, {Volume()}));

  t.destinations = {std::move(speakers), std::move(wavein), std::move(voicein)};
  NumberMixerTree(t);

  // Start values: distinct per channel where a line is stereo.
  for (MixerLineNode& d : t.destinations) {
    auto init = [](MixerLineNode& l) {
      for (MixerControlNode& c : l.controls) {
        if (c.key == "volume") {
          c.values[0] = 0xB000;
          if (c.channels > 1) c.values[1] = 0xC000;
        } else if (c.key == "bass" || c.key == "treble") {
          c.values[0] = 0x8000;
        }
      }
    };
    init(d);
    for (MixerLineNode& s : d.sources) init(s);
  }
  // The recording source is the (first) line input.
  t.destinations[1].controls[0].values[0] = 1;
  return t;
}

bool ParseLong(const std::string& s, LONG& out) {
  auto r = std::from_chars(s.data(), s.data() + s.size(), out);
  return r.ec == std::errc() && r.ptr == s.data() + s.size() && !s.empty();
}

// VALUE or LEFT,RIGHT: empty, or why not.
std::string ParseValueText(const std::string& value, LONG& left, std::optional<LONG>& right) {
  const std::size_t comma = value.find(',');
  LONG r = 0;
  if (!ParseLong(value.substr(0, comma), left) ||
      (comma != std::string::npos && !ParseLong(value.substr(comma + 1), r)))
    return "'" + value + "' is not VALUE or LEFT,RIGHT in whole numbers";
  if (comma != std::string::npos) right = r;
  return {};
}

}  // namespace

VirtualMixer::VirtualMixer(VirtualVolumes& volumes) : volumes_(volumes) {
  trees_.push_back(VirtualTree());
}

UINT VirtualMixer::DeviceCount() {
  return mode_ == VirtualMixerMode::None ? 0 : TreeMixerBackend::DeviceCount();
}

MMRESULT VirtualMixer::Caps(UINT device, MIXERCAPSA& caps) {
  if (mode_ == VirtualMixerMode::FailCaps) return MMSYSERR_NODRIVER;
  return TreeMixerBackend::Caps(device, caps);
}

MMRESULT VirtualMixer::Open(UINT device, HWND callback, std::uintptr_t* handle) {
  if (mode_ == VirtualMixerMode::FailOpen) return MMSYSERR_ALLOCATED;
  return TreeMixerBackend::Open(device, callback, handle);
}

std::string VirtualMixer::SetMode(const std::string& option) {
  if (option == "none") {
    mode_ = VirtualMixerMode::None;
  } else if (option == "fail-caps") {
    mode_ = VirtualMixerMode::FailCaps;
  } else if (option == "fail-open") {
    mode_ = VirtualMixerMode::FailOpen;
  } else {
    return "unknown mixer fault '" + option + "' (use none, fail-caps or fail-open)";
  }
  return {};
}

MixerControlNode* VirtualMixer::ControlNamed(const std::string& line, const std::string& control,
                                             MixerLineNode** owner, std::string& error) {
  MixerLineNode* l = LineByKey(0, line);
  if (l == nullptr) {
    error = "the mixer has no line '" + line + "'";
    return nullptr;
  }
  for (MixerControlNode& c : l->controls)
    if (c.key == control) {
      *owner = l;
      return &c;
    }
  error = "the mixer line '" + line + "' has no control '" + control + "'";
  return nullptr;
}

DWORD VirtualMixer::ControlId(const std::string& line, const std::string& control) {
  MixerLineNode* owner = nullptr;
  std::string error;
  MixerControlNode* c = ControlNamed(line, control, &owner, error);
  return c ? c->id : 0;
}

MixerControlNode* VirtualMixer::Settable(const std::string& line, const std::string& control,
                                         LONG left, std::optional<LONG> right, std::string& error) {
  if (mode_ == VirtualMixerMode::None) {
    error = "the virtual card has no mixer (--mixer=none)";
    return nullptr;
  }
  MixerLineNode* owner = nullptr;
  MixerControlNode* c = ControlNamed(line, control, &owner, error);
  if (c == nullptr) return nullptr;
  if (right && c->channels < 2) {
    error = "the mixer control " + line + " " + control + " has one value, not two";
    return nullptr;
  }
  for (LONG v : {left, right.value_or(left)})
    if (v < c->minimum || v > c->maximum) {
      error = "the value " + std::to_string(v) + " is outside " + std::to_string(c->minimum) +
              ".." + std::to_string(c->maximum) + " of " + line + " " + control;
      return nullptr;
    }
  return c;
}

std::string VirtualMixer::SetControl(const std::string& line, const std::string& control, LONG left,
                                     std::optional<LONG> right) {
  std::string error;
  MixerControlNode* c = Settable(line, control, left, right, error);
  if (c == nullptr) return error;
  const LONG r = right.value_or(left);
  if (c->Multiple()) {
    // A multiplexer selects exactly one item: the value is its index.
    for (DWORD i = 0; i < c->items; ++i) c->values[i] = i == static_cast<DWORD>(left) ? 1 : 0;
  } else {
    c->values[0] = left;
    if (c->channels > 1) c->values[1] = r;
  }
  if (int device = VolumeDeviceOf(line); device >= 0 && c->key == "volume") {
    const DWORD right_word = static_cast<DWORD>(c->values[c->channels > 1 ? 1 : 0]);
    volumes_.Set(device, right_word << 16 | static_cast<DWORD>(left));
  }
  NotifyControlChange(0, c->id);
  return {};
}

std::string VirtualMixer::SetControlText(const std::string& line, const std::string& control,
                                         const std::string& value) {
  LONG left = 0;
  std::optional<LONG> right;
  if (std::string error = ParseValueText(value, left, right); !error.empty()) return error;
  return SetControl(line, control, left, right);
}

std::string VirtualMixer::CheckControlText(const std::string& line, const std::string& control,
                                           const std::string& value) {
  LONG left = 0;
  std::optional<LONG> right;
  std::string error = ParseValueText(value, left, right);
  if (error.empty()) Settable(line, control, left, right, error);
  return error;
}

std::string VirtualMixer::SetLineActive(const std::string& line, bool active) {
  MixerLineNode* l = LineByKey(0, line);
  if (l == nullptr) return "the mixer has no line '" + line + "'";
  l->flags = active ? (l->flags | MIXERLINE_LINEF_ACTIVE) : (l->flags & ~MIXERLINE_LINEF_ACTIVE);
  NotifyLineChange(0, l->id);
  return {};
}

void VirtualMixer::FailLineInfo(const std::string& line, MMRESULT code) {
  if (MixerLineNode* l = LineByKey(0, line)) line_info_faults_.push_back({l->id, code});
}

void VirtualMixer::FailLineControls(const std::string& line, MMRESULT code) {
  if (MixerLineNode* l = LineByKey(0, line)) line_controls_faults_.push_back({l->id, code});
}

void VirtualMixer::FailValues(const std::string& line, const std::string& control, MMRESULT code) {
  if (DWORD id = ControlId(line, control)) value_faults_.push_back({id, code});
}

MMRESULT VirtualMixer::Find(const std::vector<Fault>& faults, DWORD id) {
  for (const Fault& f : faults)
    if (f.id == id) return f.code;
  return MMSYSERR_NOERROR;
}

MMRESULT VirtualMixer::BeforeLineInfo(UINT, MixerLineNode& line) {
  return Find(line_info_faults_, line.id);
}

MMRESULT VirtualMixer::BeforeLineControls(UINT, MixerLineNode& line) {
  return Find(line_controls_faults_, line.id);
}

MMRESULT VirtualMixer::BeforeValues(UINT, MixerLineNode& line, MixerControlNode& control) {
  if (MMRESULT r = Find(value_faults_, control.id); r != MMSYSERR_NOERROR) return r;
  if (int device = VolumeDeviceOf(line.key); device >= 0 && control.key == "volume") {
    // The volume device holds the setting; a mono line shows its left word.
    DWORD v = 0;
    volumes_.Get(device, &v);
    control.values[0] = static_cast<LONG>(v & 0xFFFF);
    if (control.channels > 1) control.values[1] = static_cast<LONG>(v >> 16);
  }
  return MMSYSERR_NOERROR;
}

}  // namespace platform
