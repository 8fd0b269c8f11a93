// SPDX-License-Identifier: GPL-3.0-or-later
// Channel measurement and the frequency and amplitude readouts.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "instrument/Form1.h"
#include "instrument/envelope_pass.h"
#include "instrument/sample_access.h"

namespace osciloskop {

namespace {

constexpr std::size_t kNumberTextMax = 40;

// One channel's share of the state, so that L and R run the same code.
struct Channel {
  SampleArray& samples;
  SampleArray& envelope;
  std::uint16_t& peak;
  std::uint16_t& edge;
  std::uint16_t& stride;
  std::uint16_t& skip;
  std::int32_t& divisor;
  std::uint16_t& lobe_start;
  std::uint16_t& lobe_end;
  std::uint16_t& probe0;
  std::uint16_t& probe1;
  std::uint16_t& probe2;
  double& measured;
  double& frequency;
};

// Splits the channel out of the capture buffer and finds its peak in the
// same pass.
void SplitChannel(const SampleArray& capture, std::int32_t sample_count, int first,
                  SampleArray& samples, std::uint16_t& cursor_out, std::uint16_t& peak) {
  // At least one entry; never more than the array holds. Entries whose
  // capture index lies past the buffer read as 0.
  const std::int32_t count = std::clamp(sample_count, 1, kSampleArraySize);
  const std::int32_t inside = std::min(count, (kSampleArraySize - first + 1) / 2);
  const std::int32_t* src = capture.data() + first;
  std::int32_t* dst = samples.data();
  // Index 0 is not looked at for the peak; index 1 is, even with fewer samples.
  std::uint32_t p = peak;
  auto look = [&p](std::int32_t x) {
    const std::uint32_t a =
        x < 0 ? 0u - static_cast<std::uint32_t>(x) : static_cast<std::uint32_t>(x);
    p = a >= p ? a : p;
  };
  dst[0] = src[0];
  for (std::int32_t i = 1; i < inside; ++i) {
    const std::int32_t v = src[2 * i];
    dst[i] = v;
    look(v);
  }
  std::fill(dst + inside, dst + count, 0);  // zeros leave the peak as it is
  if (count < 2) look(dst[1]);
  peak = static_cast<std::uint16_t>(p);
  cursor_out = static_cast<std::uint16_t>(first + 2L * count);
}

// First index from 1 whose sample is positive (or negative); the envelope
// takes that sample. Without one nothing changes.
template <class Test>
void FindFirst(const SampleArray& samples, std::int32_t sample_count, std::uint16_t& edge,
               SampleArray& envelope, Test test) {
  const std::int32_t last = LastIndex(sample_count);
  for (std::int32_t i = 1; i <= last; ++i) {
    if (test(samples[static_cast<std::size_t>(i)])) {
      edge = static_cast<std::uint16_t>(i);
      envelope[static_cast<std::size_t>(i)] = samples[static_cast<std::size_t>(i)];
      return;
    }
  }
}

// Entries first..last of the positive envelope, from the entry before them.
void PositiveEnvelope(Channel& ch, std::int32_t first, std::int32_t last) {
  if (first > last) return;
  std::int32_t* env = ch.envelope.data();
  const std::int32_t* x = ch.samples.data();
  if (ch.divisor == 16) {
    // In doubles, s/16 + e - e/16 is exact: every term and the sum have at
    // most 37 significant bits. It is therefore (s + 15e)/16 exactly, and
    // integer division, which also truncates toward zero, gives the same
    // value without the floating-point latency in the loop.
    std::int64_t e = env[first - 1];
    std::int32_t i = first;
    // Only an envelope entry left by the trigger search can be negative.
    for (; i <= last && e < 0; ++i) {
      const std::int32_t s = x[i];
      e = s < 0 ? 0 : (s + 15 * e) / 16;
      env[i] = static_cast<std::int32_t>(e);
    }
    // From here on e >= 0, so the quotient is e + floor((s - e) / 16); a 0
    // envelope stays 0 on samples <= 0.
    EnvelopePass(
        x, env, i, last, [](std::int32_t v) { return v <= 0; },
        [](std::int64_t v, std::int64_t prev) { return v < 0 ? 0 : prev + ((v - prev) >> 4); });
    return;
  }
  const double d = ch.divisor;
  for (std::int32_t i = first; i <= last; ++i) {
    if (x[i] < 0)
      env[i] = 0;
    else
      env[i] = static_cast<std::int32_t>(x[i] / d + env[i - 1] - env[i - 1] / d);
  }
}

std::uint16_t Low16(std::int32_t v) { return static_cast<std::uint16_t>(v & 0xFFFF); }

// The envelope probes of one step of a lobe search, as unsigned 16-bit values.
inline void Probe(Channel& ch, long c, long s) {
  if (c + 2 * s < kSampleArraySize) {
    ch.probe0 = Low16(ch.envelope[static_cast<std::size_t>(c)]);
    ch.probe1 = Low16(ch.envelope[static_cast<std::size_t>(c + s)]);
    ch.probe2 = Low16(ch.envelope[static_cast<std::size_t>(c + 2 * s)]);
  } else {
    ch.probe0 = Low16(At(ch.envelope, c));
    ch.probe1 = Low16(At(ch.envelope, c + s));
    ch.probe2 = Low16(At(ch.envelope, c + 2 * s));
  }
}

void MeasurePeriod(Channel& ch, double gain, std::int32_t sample_count) {
  const long s = ch.stride;
  const long k = ch.skip;
  long c = ch.edge;
  ch.lobe_start = 0;
  ch.lobe_end = 0;
  const double threshold = 1.0 / gain;
  // The searches end at index 20000; one that starts beyond it ends past
  // the sample count instead of running on.
  auto at_bound = [&](long cursor) {
    return cursor == 20000 || (cursor > 20000 && cursor > sample_count);
  };
  for (;;) {
    Probe(ch, c, s);
    ++c;
    if ((ch.probe0 <= threshold && ch.probe1 > ch.probe0 && ch.probe2 > ch.probe0) || at_bound(c))
      break;
  }
  ch.lobe_start = static_cast<std::uint16_t>(c - 1);
  c += k;
  for (;;) {
    Probe(ch, c, s);
    ++c;
    if (ch.probe0 == 0 || at_bound(c)) break;
  }
  ch.lobe_end = static_cast<std::uint16_t>(c);
  if (ch.lobe_end == ch.lobe_start) ch.lobe_end = static_cast<std::uint16_t>(ch.lobe_start + 1);
  ch.measured = 22050.0 / (static_cast<int>(ch.lobe_end) - static_cast<int>(ch.lobe_start));
}

std::string Padded(long value, int width) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%*ld", width, value);
  return buf;
}

}  // namespace

std::string TForm1::FormatAmplitude(double x, const char* small_unit, const char* large_unit) {
  // Rounded in floating point, so that no value can overflow an integer;
  // the scratch text holds at most 40 characters.
  char buf[kNumberTextMax + 1];
  if (x < 100)
    std::snprintf(buf, sizeof buf, "%4.1f", std::nearbyint(10 * x) / 10.0);
  else if (x < 1000)
    std::snprintf(buf, sizeof buf, "%4.0f", std::nearbyint(x));
  else
    std::snprintf(buf, sizeof buf, "%2.2f", std::nearbyint(x) / 1000.0);
  NumberText.assign(buf);
  std::string text;
  const char* unit = x < 1000 ? small_unit : large_unit;
  text.reserve(NumberText.size() + std::strlen(unit));
  text.append(NumberText).append(unit);
  return text;
}

void TForm1::MeasureChannelL() {
  PeakAbsL = 0;
  SplitChannel(CaptureBuffer, SampleCount, 1, SamplesL, CaptureCursor, PeakAbsL);
  // Formatted in place and set only when it differs: the text is too long
  // for a string's own storage, and it rarely changes.
  char peaks[48];
  const int n = std::snprintf(peaks, sizeof peaks, "rmaxl =%urmaxr =%u", unsigned{PeakAbsL},
                              unsigned{PeakAbsR});
  const std::string_view text(peaks, static_cast<std::size_t>(n));
  if (Edit11->Text() != text) Edit11->SetText(std::string(text));
  Edit4->SetColor(platform::clYellow);
  Edit12->SetColor(platform::clYellow);
  if (FixedReadoutL == 1) {
    AmplitudeL = 2500.0;
    Edit4->SetText(FormatAmplitude(AmplitudeL, " mV", " V"));
  }
}

void TForm1::MeasureChannelR() {
  PeakAbsR = 0;
  SplitChannel(CaptureBuffer, SampleCount, 0, SamplesR, CaptureCursor, PeakAbsR);
  Panel2->SetVisible(false);
  if (FixedReadoutR == 1) {
    AmplitudeR = 2500.0;
    Edit1->SetText(FormatAmplitude(AmplitudeR, " mV", " V"));
  }
}

void TForm1::FindFirstPositiveL() {
  FindFirst(SamplesL, SampleCount, EdgeIndexL, EnvelopeL, [](std::int32_t v) { return v > 0; });
}

void TForm1::FindFirstPositiveR() {
  FindFirst(SamplesR, SampleCount, EdgeIndexR, EnvelopeR, [](std::int32_t v) { return v > 0; });
}

void TForm1::FindFirstNegativeR() {
  FindFirst(SamplesR, SampleCount, EdgeIndexR, EnvelopeR, [](std::int32_t v) { return v < 0; });
}

namespace {
Channel ChannelL(TForm1& f) {
  return {f.SamplesL,    f.EnvelopeL,        f.PeakAbsL,           f.EdgeIndexL, f.PeriodStrideL,
          f.PeriodSkipL, f.EnvelopeDivisorL, f.LobeStartL,         f.LobeEndL,   f.ProbeL0,
          f.ProbeL1,     f.ProbeL2,          f.MeasuredFrequencyL, f.FrequencyL};
}
Channel ChannelR(TForm1& f) {
  return {f.SamplesR,    f.EnvelopeR,        f.PeakAbsR,           f.EdgeIndexR, f.PeriodStrideR,
          f.PeriodSkipR, f.EnvelopeDivisorR, f.LobeStartR,         f.LobeEndR,   f.ProbeR0,
          f.ProbeR1,     f.ProbeR2,          f.MeasuredFrequencyR, f.FrequencyR};
}
}  // namespace

void TForm1::MeasurePeriodL() {
  Channel ch = ChannelL(*this);
  MeasurePeriod(ch, RangeGainL, SampleCount);
}

void TForm1::MeasurePeriodR() {
  // On the two coarsest ranges the zero level of the search is 100 units.
  const bool v20 = RangeLatchR[Range20V] == 1;
  const bool v50 = RangeLatchR[Range50V] == 1;
  if (v20 || v50) RangeGainR = 0.01;
  Channel ch = ChannelR(*this);
  MeasurePeriod(ch, RangeGainR, SampleCount);
  if (v20) RangeGainR = 0.005;
  if (v50) RangeGainR = 0.002;
}

namespace {
// The two-pass estimate shared by both channels; returns the readout text.
// Envelope entries from rewritten_from on are built only as far as the lobe
// search reads them.
template <class FindFirstPositive, class MeasurePeriodFn>
std::string ShowFrequency(Channel ch, std::int32_t sample_count, std::int32_t rewritten_from,
                          bool follow, std::int32_t gen, FindFirstPositive find_first,
                          MeasurePeriodFn measure, bool& hide_warning) {
  // Beyond what the searches of a clean signal read, not much more.
  constexpr std::int32_t kLookahead = 1024;
  const std::int32_t last = LastIndex(sample_count);
  // The envelope depends only on the samples, the edge and the entry at the
  // edge; when the fine pass finds them as the coarse pass left them, the
  // pass would write the very values that are already there.
  long built_edge = -1;
  std::int32_t built_from = 0;
  std::int32_t built_to = 0;
  auto pass = [&](std::uint16_t stride, std::uint16_t skip) {
    ch.stride = stride;
    ch.skip = skip;
    ch.divisor = 16;
    find_first();
    const std::int32_t from = ch.envelope[ch.edge];
    if (ch.edge != built_edge || from != built_from) {
      built_to = std::min(last, std::max(rewritten_from - 1, ch.edge + kLookahead));
      PositiveEnvelope(ch, ch.edge + 1, built_to);
      built_edge = ch.edge;
      built_from = from;
    }
    measure();
    // The last probe read lobe_end - 1 + 2 stride; past what was built, the
    // whole envelope is built and the lobe measured again.
    if (built_to < last && ch.lobe_end - 1 + 2 * ch.stride > built_to) {
      PositiveEnvelope(ch, built_to + 1, last);
      built_to = last;
      measure();
    }
    ch.frequency = follow ? gen : ch.measured;
  };
  hide_warning = false;
  pass(3, 95);
  if (ch.frequency <= 100) return " " + Padded(nearest(ch.frequency), 5) + " Hz";
  pass(1, 5);
  if (ch.frequency > 2500) return "  f > fmax";
  hide_warning = true;
  const long n = follow ? nearest(ch.frequency) : 10L * nearest(ch.frequency / 10);
  return " " + Padded(n, 4) + " Hz";
}
}  // namespace

void TForm1::ShowFrequencyL() {
  bool hide = false;
  Edit12->SetText(ShowFrequency(
      ChannelL(*this), SampleCount, kSampleArraySize, FollowGenerator == 1, GenFrequency,
      [this] { FindFirstPositiveL(); }, [this] { MeasurePeriodL(); }, hide));
  if (hide) Panel14->SetVisible(false);
}

void TForm1::ShowFrequencyR() {
  bool hide = false;
  Edit8->SetText(ShowFrequency(
      ChannelR(*this), SampleCount, EnvelopeRRewrittenFrom, FollowGenerator == 1, GenFrequency,
      [this] { FindFirstPositiveR(); }, [this] { MeasurePeriodR(); }, hide));
  if (hide) Panel14->SetVisible(false);
}

}  // namespace osciloskop
