// SPDX-License-Identifier: GPL-3.0-or-later
#include "mixer/MixerDump.h"

namespace {

void DumpControl(const TAudioControl& c, platform::JsonWriter& w) {
  w.BeginObject();
  w.Value("name", c.Name)
      .Value("shortName", c.ShortName)
      .Value("valid", c.Valid)
      .Value("controlID", static_cast<std::int64_t>(c.ControlID))
      .Value("type", static_cast<std::int64_t>(c.ControlType))
      .Value("disabled", c.Disabled)
      .Value("multiple", c.Multiple)
      .Value("uniform", c.Uniform)
      .Value("itemCount", c.ItemCount)
      .Value("minimum", static_cast<std::int64_t>(c.Minimum))
      .Value("maximum", static_cast<std::int64_t>(c.Maximum))
      .Value("steps", static_cast<std::int64_t>(c.Steps));
  std::vector<std::int64_t> left, right;
  for (const auto& v : c.Values) {
    left.push_back(v->Left);
    right.push_back(v->Right);
  }
  w.List("left", left.data(), left.size());
  w.List("right", right.data(), right.size());
  w.EndObject();
}

void DumpLine(const TSource& l, platform::JsonWriter& w) {
  w.Value("name", l.Name)
      .Value("shortName", l.ShortName)
      .Value("valid", l.Valid)
      .Value("active", l.Active)
      .Value("disconnected", l.Disconnected)
      .Value("componentType", static_cast<std::int64_t>(l.ComponentType))
      .Value("lineID", static_cast<std::int64_t>(l.LineID))
      .Value("channels", static_cast<std::int64_t>(l.Channels))
      .Value("muteControl", l.MuteControl)
      .Value("volumeControl", l.VolumeControl)
      .Value("selectorControl", l.SelectorControl);
  w.BeginArray("controls");
  for (const auto& c : l.Controls) DumpControl(*c, w);
  w.EndArray();
}

void DumpWellKnown(platform::JsonWriter& w, const char* key, const TSource* line) {
  if (line == nullptr) {
    w.Null(key);
    return;
  }
  w.BeginObject(key)
      .Value("name", line->Name)
      .Value("lineID", static_cast<std::int64_t>(line->LineID))
      .Value("sourceIndex", line->SourceIndex)
      .EndObject();
}

}  // namespace

void DumpMixer(const TAudioMixer& m, platform::JsonWriter& w) {
  w.Value("open", m.IsOpen())
      .Value("deviceCount", static_cast<std::int64_t>(m.DeviceCount()))
      .Value("mixerID", static_cast<std::int64_t>(m.MixerID()))
      .Value("productName", m.ProductName())
      .Value("destinationCount", static_cast<std::int64_t>(m.DestinationCount()))
      .Value("notificationWindow", m.Manager().HasWindow())
      .Value("notificationsHandled", m.NotificationsHandled())
      .Value("controlChangesRaised", m.ControlChangesRaised())
      .Value("lineChangesRaised", m.LineChangesRaised());
  w.BeginArray("destinations");
  for (const auto& d : m.Destinations()) {
    w.BeginObject();
    DumpLine(*d, w);
    w.BeginArray("sources");
    for (const auto& s : d->Sources) {
      w.BeginObject();
      DumpLine(*s, w);
      w.EndObject();
    }
    w.EndArray();
    w.EndObject();
  }
  w.EndArray();
  w.BeginObject("wellKnown");
  DumpWellKnown(w, "speakerDestination", m.SpeakerDestination);
  DumpWellKnown(w, "recordingDestination", m.RecordingDestination);
  DumpWellKnown(w, "voiceInDestination", m.VoiceInDestination);
  DumpWellKnown(w, "waveOutSource", m.WaveOutSource);
  DumpWellKnown(w, "pcSpeakerSource", m.PCSpeakerSource);
  DumpWellKnown(w, "synthesizerSource", m.SynthesizerSource);
  DumpWellKnown(w, "playbackLineIn", m.PlaybackLineIn);
  DumpWellKnown(w, "recordingLineIn", m.RecordingLineIn);
  DumpWellKnown(w, "playbackMicrophone", m.PlaybackMicrophone);
  DumpWellKnown(w, "recordingMicrophone", m.RecordingMicrophone);
  DumpWellKnown(w, "playbackCD", m.PlaybackCD);
  DumpWellKnown(w, "recordingCD", m.RecordingCD);
  DumpWellKnown(w, "playbackTelephone", m.PlaybackTelephone);
  DumpWellKnown(w, "recordingTelephone", m.RecordingTelephone);
  DumpWellKnown(w, "playbackAuxiliary", m.PlaybackAuxiliary);
  DumpWellKnown(w, "recordingAuxiliary", m.RecordingAuxiliary);
  DumpWellKnown(w, "playbackAnalog", m.PlaybackAnalog);
  DumpWellKnown(w, "recordingAnalog", m.RecordingAnalog);
  w.EndObject();
}
