// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/card/alsa/alsa_mixer_map.h"

#include <algorithm>
#include <cctype>
#include <climits>

namespace platform {

namespace {

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

bool Has(const std::string& lower_name, const char* word) {
  return lower_name.find(word) != std::string::npos;
}

bool IsSpeakerName(const std::string& name) {
  const std::string n = Lower(name);
  return Has(n, "master") || Has(n, "speaker") || Has(n, "headphone");
}

LONG Clamp(long v) { return static_cast<LONG>(std::clamp<long>(v, INT_MIN, INT_MAX)); }

std::string LineName(const AlsaElementInfo& e) {
  return e.index == 0 ? e.name : e.name + " " + std::to_string(e.index);
}

struct Builder {
  AlsaMixerMap map;
  // Controls get their IDs only when the tree is numbered, so their
  // sources are kept by position until then.
  struct Pending {
    std::size_t dest;
    long source;  // -1: the destination line
    std::size_t control;
    AlsaControlSource from;
  };
  std::vector<Pending> pending;

  void Add(MixerLineNode& line, std::size_t dest, long source, MixerControlNode control,
           const AlsaElementInfo& e, AlsaValue what) {
    pending.push_back({dest, source, line.controls.size(), {0, e.name, e.index, what}});
    line.controls.push_back(std::move(control));
  }

  // The volume and mute of one side (playback or capture) of an element.
  void AddSide(MixerLineNode& line, std::size_t dest, long source, const AlsaElementInfo& e,
               bool capture) {
    if (capture ? e.capture_volume : e.playback_volume)
      Add(line, dest, source,
          MakeMixerControl("volume", MIXERCONTROL_CONTROLTYPE_VOLUME, "Volume",
                           Clamp(capture ? e.capture_min : e.playback_min),
                           Clamp(capture ? e.capture_max : e.playback_max)),
          e, capture ? AlsaValue::CaptureVolume : AlsaValue::PlaybackVolume);
    if (capture ? e.capture_switch : e.playback_switch)
      Add(line, dest, source,
          MakeMixerControl("mute", MIXERCONTROL_CONTROLTYPE_MUTE, "Mute", 0, 1,
                           MIXERCONTROL_CONTROLF_UNIFORM),
          e, capture ? AlsaValue::CaptureSwitch : AlsaValue::PlaybackSwitch);
  }
};

MixerLineNode Source(const AlsaElementInfo& e, const char* prefix, bool mono) {
  MixerLineNode l;
  l.key = prefix + Lower(LineName(e));
  l.component = AlsaComponentType(e.name);
  l.name = LineName(e);
  l.short_name = l.name.substr(0, MIXER_SHORT_NAME_CHARS - 1);
  l.channels = mono ? 1 : 2;
  return l;
}

}  // namespace

DWORD AlsaComponentType(const std::string& element_name) {
  const std::string n = Lower(element_name);
  // Headphone before Phone, which it contains.
  if (Has(n, "headphone") || Has(n, "master") || Has(n, "speaker"))
    return MIXERLINE_COMPONENTTYPE_SRC_UNDEFINED;
  if (Has(n, "pcm")) return MIXERLINE_COMPONENTTYPE_SRC_WAVEOUT;
  if (Has(n, "line")) return MIXERLINE_COMPONENTTYPE_SRC_LINE;
  if (Has(n, "cd")) return MIXERLINE_COMPONENTTYPE_SRC_COMPACTDISC;
  if (Has(n, "mic")) return MIXERLINE_COMPONENTTYPE_SRC_MICROPHONE;
  if (Has(n, "phone")) return MIXERLINE_COMPONENTTYPE_SRC_TELEPHONE;
  if (Has(n, "aux")) return MIXERLINE_COMPONENTTYPE_SRC_AUXILIARY;
  if (Has(n, "video") || Has(n, "analog")) return MIXERLINE_COMPONENTTYPE_SRC_ANALOG;
  if (Has(n, "synth")) return MIXERLINE_COMPONENTTYPE_SRC_SYNTHESIZER;
  return MIXERLINE_COMPONENTTYPE_SRC_UNDEFINED;
}

AlsaMixerMap MapAlsaElements(const std::string& product,
                             const std::vector<AlsaElementInfo>& elements) {
  Builder b;
  MixerLineNode speakers, wavein;
  speakers.key = "speakers";
  speakers.name = speakers.short_name = "Speakers";
  speakers.target_type = MIXERLINE_TARGETTYPE_WAVEOUT;
  wavein.key = "wavein";
  wavein.name = "Recording Control";
  wavein.short_name = "Recording";
  wavein.target_type = MIXERLINE_TARGETTYPE_WAVEIN;
  const AlsaElementInfo* master = nullptr;
  const AlsaElementInfo* capture = nullptr;
  const AlsaElementInfo* selector = nullptr;
  bool any_playback = false, any_capture = false;
  for (const AlsaElementInfo& e : elements) {
    const bool playback = e.playback_volume || e.playback_switch;
    const bool capturing = e.capture_volume || e.capture_switch;
    any_playback = any_playback || playback;
    any_capture = any_capture || capturing || e.capture_enum;
    if (playback && !master && IsSpeakerName(e.name)) master = &e;
    if (capturing && !capture && Lower(e.name) == "capture") capture = &e;
    if (e.capture_enum && e.enum_items > 0 && !selector) selector = &e;
  }
  std::vector<MixerLineNode> destinations;
  if (any_playback) {
    const std::size_t d = destinations.size();
    speakers.component = master && Has(Lower(master->name), "headphone")
                             ? MIXERLINE_COMPONENTTYPE_DST_HEADPHONES
                             : MIXERLINE_COMPONENTTYPE_DST_SPEAKERS;
    speakers.channels = master && master->playback_mono ? 1 : 2;
    if (master) b.AddSide(speakers, d, -1, *master, false);
    for (const AlsaElementInfo& e : elements) {
      if (&e == master || !(e.playback_volume || e.playback_switch)) continue;
      MixerLineNode s = Source(e, "speakers.", e.playback_mono);
      b.AddSide(s, d, static_cast<long>(speakers.sources.size()), e, false);
      speakers.sources.push_back(std::move(s));
    }
    destinations.push_back(std::move(speakers));
  }
  if (any_capture) {
    const std::size_t d = destinations.size();
    wavein.component = MIXERLINE_COMPONENTTYPE_DST_WAVEIN;
    wavein.channels = capture && capture->capture_mono ? 1 : 2;
    if (selector)
      b.Add(wavein, d, -1,
            MakeMixerControl("mux", MIXERCONTROL_CONTROLTYPE_MUX, "Capture Source", 0,
                             static_cast<LONG>(selector->enum_items) - 1,
                             MIXERCONTROL_CONTROLF_UNIFORM | MIXERCONTROL_CONTROLF_MULTIPLE,
                             selector->enum_items),
            *selector, AlsaValue::EnumItem);
    if (capture) b.AddSide(wavein, d, -1, *capture, true);
    for (const AlsaElementInfo& e : elements) {
      if (&e == capture || !(e.capture_volume || e.capture_switch)) continue;
      MixerLineNode s = Source(e, "wavein.", e.capture_mono);
      b.AddSide(s, d, static_cast<long>(wavein.sources.size()), e, true);
      wavein.sources.push_back(std::move(s));
    }
    destinations.push_back(std::move(wavein));
  }
  b.map.tree.product = product;
  b.map.tree.destinations = std::move(destinations);
  NumberMixerTree(b.map.tree);
  for (Builder::Pending& p : b.pending) {
    MixerLineNode& dest = b.map.tree.destinations[p.dest];
    MixerLineNode& line = p.source < 0 ? dest : dest.sources[static_cast<std::size_t>(p.source)];
    p.from.control_id = line.controls[p.control].id;
    b.map.sources.push_back(p.from);
  }
  return b.map;
}

bool ReadAlsaControl(AlsaElements& elements, const AlsaControlSource& source,
                     MixerControlNode& control) {
  long v = 0;
  if (source.what == AlsaValue::EnumItem) {
    if (!elements.Read(source.element, source.index, source.what, 0, &v)) return false;
    for (DWORD i = 0; i < control.items; ++i) control.values[i] = static_cast<DWORD>(v) == i;
    return true;
  }
  const bool is_switch =
      source.what == AlsaValue::PlaybackSwitch || source.what == AlsaValue::CaptureSwitch;
  for (DWORD ch = 0; ch < control.channels; ++ch) {
    if (!elements.Read(source.element, source.index, source.what, static_cast<int>(ch), &v))
      return false;
    // The switch is on when the sound passes; mute is its inverse.
    control.values[ch] = is_switch ? (v ? 0 : 1) : Clamp(v);
  }
  return true;
}

}  // namespace platform
