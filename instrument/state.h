// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The instrument's working state: every variable the routines of the main
// window share, with the types they have. All are zero when the program is
// loaded; FormCreate gives them their start-up values.
#include <array>
#include <cstdint>
#include <string>

#include "platform/base/sanitized.h"

namespace osciloskop {

inline constexpr int kSampleArraySize = 44100;
using SampleArray = std::array<std::int32_t, kSampleArraySize>;

// One flag per fixed range, in this order.
enum RangeFlag {
  Range10mV, Range20mV, Range50mV, Range100mV, Range200mV, Range500mV,
  Range1V, Range2V, Range5V, Range10V, Range20V, Range50V,
  RangeFlagCount
};
using RangeLatches = std::array<std::int32_t, RangeFlagCount>;

// In the sanitizer builds a poisoned gap follows each array, so a read or
// write past its end is reported even though the next array follows at once
// (platform/base/sanitized.h); elsewhere the gaps are empty.
#define OSCILOSKOP_GAP(n) [[no_unique_address]] platform::ArrayGuard Gap##n

struct InstrumentState {
  // Sample arrays, allocated once with the window.
  OSCILOSKOP_GAP(0);
  SampleArray CaptureBuffer{};
  OSCILOSKOP_GAP(1);
  SampleArray SamplesL{};
  OSCILOSKOP_GAP(2);
  SampleArray SamplesR{};
  OSCILOSKOP_GAP(3);
  SampleArray EnvelopeL{};
  OSCILOSKOP_GAP(4);
  SampleArray EnvelopeR{};
  OSCILOSKOP_GAP(5);
  SampleArray PrevTraceL{};
  OSCILOSKOP_GAP(6);
  SampleArray PrevTraceR{};
  OSCILOSKOP_GAP(7);

  // Counters and cursors.
  std::int32_t SampleCount = 0;
  std::uint16_t SampleCursor = 0;
  std::uint16_t CaptureCursor = 0;
  std::int32_t CapturedSample = 0;

  // Mode switches and latches.
  std::int32_t PeriodicMode = 0;
  std::int32_t FixedReadoutL = 0;
  std::int32_t FixedReadoutR = 0;
  std::int32_t AutoTimeBase = 0;
  std::int16_t FollowGenerator = 0;
  double TriggerLevel = 0.0;
  std::int32_t CalibrationActive = 0;
  std::int32_t GridEnabled = 0;
  std::int32_t AutoRangeL = 0;
  std::int32_t AutoRangeR = 0;
  RangeLatches RangeLatchL{};
  OSCILOSKOP_GAP(8);
  RangeLatches RangeLatchR{};
  OSCILOSKOP_GAP(9);
  std::int32_t BandLatch1 = 0, BandLatch2 = 0, BandLatch3 = 0, BandLatch4 = 0, BandLatch5 = 0,
               BandLatch6 = 0, BandLatch7 = 0;

  // Measurement results.
  std::uint16_t PeakAbsL = 0, PeakAbsR = 0;
  double AmplitudeL = 0.0, AmplitudeR = 0.0;
  std::uint16_t EdgeIndexL = 0, EdgeIndexR = 0;
  std::uint16_t TraceStartR = 0;
  std::uint16_t PeriodStrideL = 0, PeriodStrideR = 0;
  std::uint16_t PeriodSkipL = 0, PeriodSkipR = 0;
  std::int32_t EnvelopeDivisorL = 0, EnvelopeDivisorR = 0;
  std::uint16_t LobeStartL = 0, LobeEndL = 0, LobeStartR = 0, LobeEndR = 0;
  std::uint16_t ProbeL0 = 0, ProbeL1 = 0, ProbeL2 = 0, ProbeR0 = 0, ProbeR1 = 0, ProbeR2 = 0;
  double MeasuredFrequencyL = 0.0, MeasuredFrequencyR = 0.0;
  double FrequencyL = 0.0, FrequencyR = 0.0;

  // Range factors.
  double RangeStepL = 0.0, RangeStepR = 0.0;
  double RangeGainL = 0.0, RangeGainR = 0.0;

  // Screen and time axis.
  std::int16_t GridBrightness = 0;
  double GridUnit = 0.0;
  double SweepStep = 0.0;
  std::int32_t SamplesPerPoint = 0;
  double TraceGainL = 0.0, TraceGainR = 0.0;
  std::int16_t TraceWidth = 0;
  std::int32_t TraceShift = 0;

  // Generator (GenFrequency is a field of the window itself).
  std::int32_t GenAmplitude = 0;

  // Playback volumes saved at start-up, written back at close.
  std::uint32_t SavedWaveOutVolume = 0;
  std::uint32_t SavedAuxVolume1 = 0, SavedAuxVolume2 = 0, SavedAuxVolume3 = 0,
                SavedAuxVolume4 = 0, SavedAuxVolume5 = 0;

  // Scratch text for readout numbers (at most 40 characters).
  std::string NumberText;
};

#undef OSCILOSKOP_GAP

// x to the nearest integer, halves to even.
int nearest(double x);

}  // namespace osciloskop
