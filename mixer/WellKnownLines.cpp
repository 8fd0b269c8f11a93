// SPDX-License-Identifier: GPL-3.0-or-later
// The well-known lines the mixer remembers while it enumerates, by
// component type. Destinations are read before their sources; "before the
// recording destination" means before the first wave-in destination of
// this open.
#include "mixer/AudioMixer.h"

namespace {

// The playback and recording reference of a source kind: the first one
// seen before the recording destination is the playback source; the first
// one after that (or while a playback one is held) the recording source.
void RememberPair(TSource*& Playback, TSource*& Recording, TSource& Line, DWORD S,
                  bool BeforeRecording) {
  if (BeforeRecording && Playback == nullptr) {
    Playback = &Line;
  } else if (Recording == nullptr) {
    Recording = &Line;
    Line.SourceIndex = static_cast<int>(S);
  }
}

}  // namespace

void TAudioMixer::RememberWellKnownLine(TSource& Line, DWORD D, DWORD S) {
  (void)D;
  const bool BeforeRecording = RecordingDestination == nullptr;
  switch (Line.ComponentType) {
    case MIXERLINE_COMPONENTTYPE_DST_SPEAKERS:
    case MIXERLINE_COMPONENTTYPE_DST_HEADPHONES:
      if (SpeakerDestination == nullptr) SpeakerDestination = static_cast<TDestination*>(&Line);
      break;
    case MIXERLINE_COMPONENTTYPE_DST_WAVEIN:
      if (RecordingDestination == nullptr) RecordingDestination = static_cast<TDestination*>(&Line);
      break;
    case MIXERLINE_COMPONENTTYPE_DST_VOICEIN:
      if (VoiceInDestination == nullptr) VoiceInDestination = static_cast<TDestination*>(&Line);
      break;
    case MIXERLINE_COMPONENTTYPE_SRC_WAVEOUT:
      if (WaveOutSource == nullptr) WaveOutSource = &Line;
      break;
    case MIXERLINE_COMPONENTTYPE_SRC_PCSPEAKER:
      if (PCSpeakerSource == nullptr) PCSpeakerSource = &Line;
      break;
    case MIXERLINE_COMPONENTTYPE_SRC_SYNTHESIZER:
      if (SynthesizerSource == nullptr && BeforeRecording) SynthesizerSource = &Line;
      break;
    case MIXERLINE_COMPONENTTYPE_SRC_LINE:
      // Unlike the other kinds, every later line source replaces the
      // recording line-in.
      if (BeforeRecording && PlaybackLineIn == nullptr) {
        PlaybackLineIn = &Line;
      } else {
        RecordingLineIn = &Line;
        Line.SourceIndex = static_cast<int>(S);
      }
      break;
    case MIXERLINE_COMPONENTTYPE_SRC_MICROPHONE:
      RememberPair(PlaybackMicrophone, RecordingMicrophone, Line, S, BeforeRecording);
      break;
    case MIXERLINE_COMPONENTTYPE_SRC_COMPACTDISC:
      RememberPair(PlaybackCD, RecordingCD, Line, S, BeforeRecording);
      break;
    case MIXERLINE_COMPONENTTYPE_SRC_TELEPHONE:
      RememberPair(PlaybackTelephone, RecordingTelephone, Line, S, BeforeRecording);
      break;
    case MIXERLINE_COMPONENTTYPE_SRC_AUXILIARY:
      RememberPair(PlaybackAuxiliary, RecordingAuxiliary, Line, S, BeforeRecording);
      break;
    case MIXERLINE_COMPONENTTYPE_SRC_ANALOG:
      RememberPair(PlaybackAnalog, RecordingAnalog, Line, S, BeforeRecording);
      break;
    default:
      break;
  }
}

void TAudioMixer::ForgetWellKnownLines() {
  SpeakerDestination = RecordingDestination = VoiceInDestination = nullptr;
  WaveOutSource = PCSpeakerSource = SynthesizerSource = nullptr;
  PlaybackLineIn = RecordingLineIn = nullptr;
  PlaybackMicrophone = RecordingMicrophone = nullptr;
  PlaybackCD = RecordingCD = nullptr;
  PlaybackTelephone = RecordingTelephone = nullptr;
  PlaybackAuxiliary = RecordingAuxiliary = nullptr;
  PlaybackAnalog = RecordingAnalog = nullptr;
}
