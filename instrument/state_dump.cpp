// SPDX-License-Identifier: GPL-3.0-or-later
// What a headless dump shows of the instrument: its state by name and the
// run state of both streams.
#include "audio/AudioIn.h"
#include "audio/AudioOut.h"
#include "instrument/Form1.h"
#include "mixer/MixerDump.h"
#include "platform/base/json.h"

namespace osciloskop {

namespace {
// Long arrays are shown by their first entries and how many are not zero.
void DumpArray(platform::JsonWriter& w, const char* name, const SampleArray& a) {
  constexpr std::size_t kHead = 32;
  long nonzero = 0;
  for (std::int32_t v : a) nonzero += v != 0;
  w.BeginObject(name);
  w.Value("length", static_cast<std::int64_t>(a.size()));
  w.Value("nonzero", static_cast<std::int64_t>(nonzero));
  w.List("head", a.data(), kHead);
  w.EndObject();
}

void DumpStream(platform::JsonWriter& w, const char* name, const TAudioIO* s) {
  w.BeginObject(name);
  if (s) {
    w.Value("DeviceOpen", s->DeviceOpen())
        .Value("Running", s->Running())
        .Value("Accepting", s->Accepting())
        .Value("QueuedCount", s->QueuedCount())
        .Value("DoneCount", s->DoneCount())
        .Value("FilledCount", s->FilledCount())
        .Value("NextSlot", s->NextSlot())
        .Value("LastError", s->LastError())
        .Value("BufferSize", s->BufferSize())
        .Value("FrameRate", s->FrameRate())
        .Value("Stereo", s->Stereo());
  }
  w.EndObject();
}
}  // namespace

void TForm1::DumpState(platform::JsonWriter& w) const {
  w.BeginObject("state");
  DumpArray(w, "CaptureBuffer", CaptureBuffer);
  DumpArray(w, "SamplesL", SamplesL);
  DumpArray(w, "SamplesR", SamplesR);
  DumpArray(w, "EnvelopeL", EnvelopeL);
  DumpArray(w, "EnvelopeR", EnvelopeR);
  DumpArray(w, "PrevTraceL", PrevTraceL);
  DumpArray(w, "PrevTraceR", PrevTraceR);
#define OSC_FIELD(name) w.Value(#name, name)
  w.Value("SampleCount", SampleCount);
  w.Value("SampleCursor", static_cast<int>(SampleCursor));
  w.Value("CaptureCursor", static_cast<int>(CaptureCursor));
  OSC_FIELD(CapturedSample);
  OSC_FIELD(PeriodicMode);
  OSC_FIELD(FixedReadoutL);
  OSC_FIELD(FixedReadoutR);
  OSC_FIELD(AutoTimeBase);
  w.Value("FollowGenerator", static_cast<int>(FollowGenerator));
  OSC_FIELD(TriggerLevel);
  OSC_FIELD(CalibrationActive);
  OSC_FIELD(GridEnabled);
  OSC_FIELD(AutoRangeL);
  OSC_FIELD(AutoRangeR);
  w.List("RangeLatchL", RangeLatchL.data(), RangeLatchL.size());
  w.List("RangeLatchR", RangeLatchR.data(), RangeLatchR.size());
  OSC_FIELD(BandLatch1);
  OSC_FIELD(BandLatch2);
  OSC_FIELD(BandLatch3);
  OSC_FIELD(BandLatch4);
  OSC_FIELD(BandLatch5);
  OSC_FIELD(BandLatch6);
  OSC_FIELD(BandLatch7);
#define OSC_U16(name) w.Value(#name, static_cast<int>(name))
  OSC_U16(PeakAbsL);
  OSC_U16(PeakAbsR);
  OSC_FIELD(AmplitudeL);
  OSC_FIELD(AmplitudeR);
  OSC_U16(EdgeIndexL);
  OSC_U16(EdgeIndexR);
  OSC_U16(TraceStartR);
  OSC_U16(PeriodStrideL);
  OSC_U16(PeriodStrideR);
  OSC_U16(PeriodSkipL);
  OSC_U16(PeriodSkipR);
  OSC_FIELD(EnvelopeDivisorL);
  OSC_FIELD(EnvelopeDivisorR);
  OSC_U16(LobeStartL);
  OSC_U16(LobeEndL);
  OSC_U16(LobeStartR);
  OSC_U16(LobeEndR);
  OSC_U16(ProbeL0);
  OSC_U16(ProbeL1);
  OSC_U16(ProbeL2);
  OSC_U16(ProbeR0);
  OSC_U16(ProbeR1);
  OSC_U16(ProbeR2);
  OSC_FIELD(MeasuredFrequencyL);
  OSC_FIELD(MeasuredFrequencyR);
  OSC_FIELD(FrequencyL);
  OSC_FIELD(FrequencyR);
  OSC_FIELD(RangeStepL);
  OSC_FIELD(RangeStepR);
  OSC_FIELD(RangeGainL);
  OSC_FIELD(RangeGainR);
  OSC_U16(GridBrightness);
  OSC_FIELD(GridUnit);
  OSC_FIELD(SweepStep);
  OSC_FIELD(SamplesPerPoint);
  OSC_FIELD(TraceGainL);
  OSC_FIELD(TraceGainR);
  OSC_U16(TraceWidth);
  OSC_FIELD(TraceShift);
  OSC_FIELD(GenAmplitude);
  OSC_FIELD(GenFrequency);
  OSC_FIELD(GeneratorSilenced);
  OSC_FIELD(SavedWaveOutVolume);
  OSC_FIELD(SavedAuxVolume1);
  OSC_FIELD(SavedAuxVolume2);
  OSC_FIELD(SavedAuxVolume3);
  OSC_FIELD(SavedAuxVolume4);
  OSC_FIELD(SavedAuxVolume5);
  OSC_FIELD(NumberText);
#undef OSC_U16
#undef OSC_FIELD
  w.EndObject();
  w.BeginObject("streams");
  DumpStream(w, "AudioIn1", AudioIn1);
  DumpStream(w, "AudioOut1", AudioOut1);
  w.EndObject();
  w.BeginObject("mixer");
  if (AudioMixer1) DumpMixer(*AudioMixer1, w);
  w.EndObject();
}

}  // namespace osciloskop
