// SPDX-License-Identifier: GPL-3.0-or-later
// Channel measurement and readouts: the channel split, the peak, the
// amplitude and frequency boxes, the edge finders and the lobe search, and
// what happens with signals that have no lobe at all.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "form_fixture.h"

namespace osciloskop {
namespace {

using testing::FormTest;

constexpr double kPi = 3.14159265358979323846;

std::int32_t Clamp16(double v) {
  return static_cast<std::int32_t>(std::clamp(std::nearbyint(v), -32768.0, 32767.0));
}

// Frame i of one side of the capture buffer: side 0 is R (even entries),
// side 1 is L (odd entries). One delivered buffer holds 11025 frames.
void FillSide(TForm1* f, int side, double hz, double peak, double phase = 0.0,
              int frames = 11025) {
  for (int i = 0; i < frames; ++i)
    f->CaptureBuffer[2 * i + side] = Clamp16(peak * std::sin(2 * kPi * hz * i / 44100.0 + phase));
}

std::string Pad(long v, int width) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%*ld", width, v);
  return buf;
}

long Nearest(double x) { return std::lrint(x); }  // default rounding: halves to even

// The frequency estimate written out once more, straight from its description
// and with plain vectors, as the oracle for the readouts of arbitrary signals.
struct Reference {
  std::vector<std::int32_t> x;    // the channel, one entry per frame
  std::vector<std::int32_t> env;  // kept between passes, as the instrument keeps it
  long edge = 0;
  int n = 0;  // the sample count

  // Takes the channel from the capture buffer, and the envelope and edge
  // index as the instrument holds them before the readout.
  Reference(const TForm1& f, int side) : x(44100, 0), env(44100 + 64, 0), n(f.SampleCount) {
    for (int i = 0; i < n && 2 * i + side < 44100; ++i) x[i] = f.CaptureBuffer[2 * i + side];
    const SampleArray& e = side == 1 ? f.EnvelopeL : f.EnvelopeR;
    std::copy(e.begin(), e.end(), env.begin());
    edge = side == 1 ? f.EdgeIndexL : f.EdgeIndexR;
  }

  static std::uint16_t Low(std::int32_t v) { return static_cast<std::uint16_t>(v); }

  double Pass(int stride, int skip, double gain) {
    for (int i = 1; i <= n; ++i)
      if (x[i] > 0) {
        edge = i;
        env[i] = x[i];
        break;
      }
    for (long i = edge + 1; i <= n; ++i)
      env[i] = x[i] < 0 ? 0 : static_cast<std::int32_t>(x[i] / 16.0 + env[i - 1] - env[i - 1] / 16.0);
    long c = edge;
    const double t = 1.0 / gain;
    for (;;) {
      const std::uint16_t p0 = Low(env[c]), p1 = Low(env[c + stride]), p2 = Low(env[c + 2 * stride]);
      ++c;
      if ((p0 <= t && p1 > p0 && p2 > p0) || c == 20000) break;
    }
    const long start = c - 1;
    c += skip;
    for (;;) {
      const std::uint16_t p0 = Low(env[c]);
      ++c;
      if (p0 == 0 || c == 20000) break;
    }
    long end = c;
    if (end == start) end = start + 1;
    return 22050.0 / (end - start);
  }

  std::string Readout(double gain) {
    double f = Pass(3, 95, gain);
    if (f <= 100) return " " + Pad(Nearest(f), 5) + " Hz";
    f = Pass(1, 5, gain);
    if (f > 2500) return "  f > fmax";
    return " " + Pad(10 * Nearest(f / 10), 4) + " Hz";
  }
};

// The instrument as the first display pass leaves it: fixed readouts on, the
// automatic 5 V range in force on both channels.
class Measurement : public FormTest {
 protected:
  void SetUp() override {
    FormTest::SetUp();
    form->FixedReadoutL = 1;
    form->FixedReadoutR = 1;
    form->RangeGainL = 0.02;
    form->RangeGainR = 0.02;
    form->SampleCount = 22050;
  }
  std::string ReadL() {
    form->MeasureChannelL();
    form->ShowFrequencyL();
    return form->Edit12->Text();
  }
  std::string ReadR() {
    form->MeasureChannelR();
    form->ShowFrequencyR();
    return form->Edit8->Text();
  }
};

TEST_F(Measurement, FrequencyReadoutsAcrossTheRanges) {
  const double freqs[] = {40, 50, 99, 100, 600, 1000, 2500, 2600, 3000, 3500};
  for (double hz : freqs) {
    for (double phase : {0.0, 1.0, 2.5}) {
      SCOPED_TRACE("L " + std::to_string(hz) + " Hz, phase " + std::to_string(phase));
      FillSide(form, 1, hz, 16000, phase);
      FillSide(form, 0, 777, 9000);  // R differs, so a mixed-up split shows
      const std::string expected = Reference(*form, 1).Readout(0.02);
      const std::string text = ReadL();
      EXPECT_EQ(text, expected);
      // The shape of the text, whatever the value.
      if (form->FrequencyL <= 100) {
        EXPECT_EQ(text.size(), 9u);
        EXPECT_EQ(text.substr(6), " Hz");
      } else if (form->FrequencyL <= 2500) {
        EXPECT_EQ(text.size(), 8u);
        EXPECT_EQ(text.substr(5), " Hz");
        EXPECT_EQ(text[4], '0');  // measured values above 100 Hz end in 0
      } else {
        EXPECT_EQ(text, "  f > fmax");
      }
    }
  }
}

TEST_F(Measurement, KnownReadings) {
  // 1 kHz at either gain: the fine pass counts 24 samples. (A capture that
  // begins on a positive sample below the zero level would start the lobe
  // at its first sample instead; these amplitudes stay clear of that.)
  for (double gain : {0.02, 1.0}) {
    for (double peak : {1000.0, 16000.0, 32767.0}) {
      form->RangeGainL = gain;
      FillSide(form, 1, 1000, peak);
      EXPECT_EQ(ReadL(), "  920 Hz") << gain << " " << peak;
      EXPECT_DOUBLE_EQ(form->MeasuredFrequencyL, 918.75);
      EXPECT_EQ(form->LobeEndL - form->LobeStartL, 24);
    }
  }
  form->RangeGainL = 0.02;
  // 50 Hz: coarse pass, half-wave of 442 to 445 samples.
  FillSide(form, 1, 50, 16000);
  EXPECT_EQ(ReadL(), "    50 Hz");  // four blanks, 50, a blank and Hz
  EXPECT_EQ(form->PeriodStrideL, 3);  // no fine pass was made
  EXPECT_GE(form->LobeEndL - form->LobeStartL, 442);
  EXPECT_LE(form->LobeEndL - form->LobeStartL, 445);
  // 3 kHz reads 2200 or 2450 depending on the sample grid; from about
  // 3.5 kHz on the reading is out of range (4 kHz always is).
  for (double phase : {0.0, 0.7, 1.9, 3.0}) {
    FillSide(form, 1, 3000, 16000, phase);
    const std::string t = ReadL();
    EXPECT_TRUE(t == " 2200 Hz" || t == " 2450 Hz") << t;
    FillSide(form, 1, 4000, 16000, phase);
    EXPECT_EQ(ReadL(), "  f > fmax");
  }
}

// The envelope after a readout, entry by entry, against its formula in
// floating point: s/16 + e - e/16 truncated toward zero, 0 for s < 0.
TEST_F(Measurement, EnvelopeFollowsItsFormula) {
  auto check = [&](const SampleArray& x, const SampleArray& env, long edge, int n) {
    long bad = 0;
    for (long i = edge + 1; i <= n; ++i) {
      const std::int32_t want =
          x[i] < 0 ? 0 : static_cast<std::int32_t>(x[i] / 16.0 + env[i - 1] - env[i - 1] / 16.0);
      if (env[i] != want && ++bad < 5) ADD_FAILURE() << "entry " << i << ": " << env[i] << " vs " << want;
    }
    return bad;
  };
  // Sines, a square at full scale and noise.
  FillSide(form, 1, 600, 32767, 0.3);
  for (int i = 0; i < 11025; ++i)
    form->CaptureBuffer[2 * i] =
        static_cast<std::int32_t>((static_cast<std::uint32_t>(i) * 2654435761u) >> 16) - 32768;
  form->MeasureChannelL();
  form->ShowFrequencyL();
  EXPECT_EQ(check(form->SamplesL, form->EnvelopeL, form->EdgeIndexL, 22050), 0);
  form->MeasureChannelR();
  form->ShowFrequencyR();
  EXPECT_EQ(check(form->SamplesR, form->EnvelopeR, form->EdgeIndexR, 22050), 0);
  for (int i = 0; i < 11025; ++i) form->CaptureBuffer[2 * i + 1] = (i / 13) % 2 ? -32768 : 32767;
  form->MeasureChannelL();
  form->ShowFrequencyL();
  EXPECT_EQ(check(form->SamplesL, form->EnvelopeL, form->EdgeIndexL, 22050), 0);

  // No positive sample: the pass starts from whatever the entry at the edge
  // holds, here a negative value left by a trigger search.
  std::fill(form->SamplesR.begin(), form->SamplesR.end(), 0);
  for (int i = 200; i < 260; ++i) form->SamplesR[i] = -7;
  form->EdgeIndexR = 10;
  form->EnvelopeR[10] = -5000;
  form->ShowFrequencyR();
  EXPECT_EQ(form->EdgeIndexR, 10);
  EXPECT_EQ(check(form->SamplesR, form->EnvelopeR, 10, 22050), 0);
  EXPECT_LT(form->EnvelopeR[11], 0);
  EXPECT_EQ(form->EnvelopeR[11], -4687);  // trunc(-5000 + 312.5)
}

TEST_F(Measurement, WarningPanelRules) {
  // A fine-pass readout within range hides the warning.
  form->Panel14->SetVisible(true);
  FillSide(form, 1, 600, 16000);
  ReadL();
  EXPECT_FALSE(form->Panel14->Visible());
  // The coarse form leaves it as it was.
  form->Panel14->SetVisible(true);
  FillSide(form, 1, 40, 16000);
  EXPECT_EQ(ReadL(), "    40 Hz");
  EXPECT_TRUE(form->Panel14->Visible());
  // Above the limit it is not touched either: hidden stays hidden, shown stays shown.
  FillSide(form, 1, 4000, 16000);
  EXPECT_EQ(ReadL(), "  f > fmax");
  EXPECT_TRUE(form->Panel14->Visible());
  form->Panel14->SetVisible(false);
  EXPECT_EQ(ReadL(), "  f > fmax");
  EXPECT_FALSE(form->Panel14->Visible());
  // Channel R follows the same rules in its own box.
  form->Panel14->SetVisible(true);
  FillSide(form, 0, 600, 16000);
  Reference ref(*form, 0);
  EXPECT_EQ(ReadR(), ref.Readout(0.02));
  EXPECT_FALSE(form->Panel14->Visible());
}

TEST_F(Measurement, FollowGeneratorShowsTheGeneratorFrequency) {
  form->FollowGenerator = 1;
  FillSide(form, 1, 1000, 16000);  // what is measured no longer matters
  FillSide(form, 0, 1000, 16000);
  struct Case {
    int gen;
    const char* text;
  } cases[] = {{100, "   100 Hz"}, {101, "  101 Hz"}, {40, "    40 Hz"},
               {2500, " 2500 Hz"}, {1234, " 1234 Hz"}, {2501, "  f > fmax"}};
  for (const Case& c : cases) {
    form->GenFrequency = c.gen;
    form->Panel14->SetVisible(true);
    EXPECT_EQ(ReadL(), c.text) << c.gen;
    EXPECT_EQ(ReadR(), c.text) << c.gen;
    EXPECT_EQ(form->FrequencyL, c.gen);
    EXPECT_EQ(form->FrequencyR, c.gen);
    // Only the fine form within range hides the warning.
    EXPECT_EQ(form->Panel14->Visible(), c.gen <= 100 || c.gen > 2500) << c.gen;
  }
}

TEST_F(Measurement, AmplitudeBoxesAfterAnIdleStep) {
  platform::TheVirtualCard().SetInputSource('r', "sine:600:16000");
  platform::TheVirtualCard().SetInputSource('l', "square:100:30000");
  form->FixedReadoutL = 0;
  form->FixedReadoutR = 0;
  Run(0.003);
  EXPECT_EQ(form->FixedReadoutL, 1);
  EXPECT_EQ(form->FixedReadoutR, 1);
  EXPECT_EQ(form->Edit4->Text(), "2.50 V");
  EXPECT_EQ(form->Edit1->Text(), "2.50 V");
  Run(0.5);  // with a captured buffer in place: still the fixed value
  EXPECT_EQ(form->SampleCount, 22050);
  EXPECT_EQ(form->Edit4->Text(), "2.50 V");
  EXPECT_EQ(form->Edit1->Text(), "2.50 V");
  EXPECT_EQ(form->AmplitudeL, 2500.0);
  EXPECT_EQ(form->AmplitudeR, 2500.0);
}

TEST_F(Measurement, FormatAmplitudeBranches) {
  // Below 100: tenths in a field of 4, halves to even.
  EXPECT_EQ(form->FormatAmplitude(2.25, " mV", " V"), " 2.2 mV");
  EXPECT_EQ(form->FormatAmplitude(2.75, " mV", " V"), " 2.8 mV");
  EXPECT_EQ(form->FormatAmplitude(0.0, " mV", " V"), " 0.0 mV");
  EXPECT_EQ(form->FormatAmplitude(99.5, " mV", " V"), "99.5 mV");
  EXPECT_EQ(form->FormatAmplitude(99.96, " mV", " V"), "100.0 mV");  // never cut
  // 100 to below 1000: whole numbers in a field of 4.
  EXPECT_EQ(form->FormatAmplitude(100.0, " mV", " V"), " 100 mV");
  EXPECT_EQ(form->FormatAmplitude(250.5, " mV", " V"), " 250 mV");
  EXPECT_EQ(form->FormatAmplitude(251.5, " mV", " V"), " 252 mV");
  EXPECT_EQ(form->FormatAmplitude(999.4, " mV", " V"), " 999 mV");
  // From 1000: thousandths with 2 decimals in a field of 2, the large unit.
  EXPECT_EQ(form->FormatAmplitude(1000.0, " mV", " V"), "1.00 V");
  EXPECT_EQ(form->FormatAmplitude(2500.0, " mV", " V"), "2.50 V");
  EXPECT_EQ(form->FormatAmplitude(2500.5, " mV", " V"), "2.50 V");
  EXPECT_EQ(form->FormatAmplitude(12340.0, " mA", " A"), "12.34 A");
  EXPECT_EQ(form->NumberText, "12.34");
  // Values far beyond any reading: exact while they fit, bounded beyond.
  EXPECT_EQ(form->FormatAmplitude(1e12, " mV", " V"), "1000000000.00 V");
  const std::string huge = form->FormatAmplitude(1e300, " mV", " V");
  EXPECT_LE(form->NumberText.size(), 40u);
  EXPECT_EQ(huge, form->NumberText + " V");
}

TEST_F(Measurement, ChannelSplitPeakAndSideEffects) {
  // Entry 2i is frame i of R, 2i+1 frame i of L.
  for (int i = 0; i < 11025; ++i) {
    form->CaptureBuffer[2 * i] = 1000 + i;
    form->CaptureBuffer[2 * i + 1] = -(2000 + i);
  }
  form->CaptureBuffer[1] = -32768;  // index 0 of L is never looked at for the peak
  form->CaptureBuffer[2 * 7 + 1] = 31000;
  form->Edit4->SetColor(platform::clRed);
  form->Edit12->SetColor(platform::clRed);
  form->PeakAbsR = 0;
  form->MeasureChannelL();
  EXPECT_EQ(form->SamplesL[0], -32768);
  EXPECT_EQ(form->SamplesL[1], -2001);
  EXPECT_EQ(form->SamplesL[11024], -(2000 + 11024));
  EXPECT_EQ(form->SamplesL[11025], 0);  // the second half comes from entries no buffer fills
  EXPECT_EQ(form->SamplesL[22049], 0);
  EXPECT_EQ(form->PeakAbsL, 31000);
  EXPECT_EQ(form->Edit11->Text(), "rmaxl =31000rmaxr =0");
  EXPECT_EQ(form->Edit4->Color(), platform::clYellow);
  EXPECT_EQ(form->Edit12->Color(), platform::clYellow);

  form->Panel2->SetVisible(true);
  form->MeasureChannelR();
  EXPECT_EQ(form->SamplesR[0], 1000);
  EXPECT_EQ(form->SamplesR[11024], 1000 + 11024);
  EXPECT_EQ(form->SamplesR[11025], 0);
  EXPECT_EQ(form->PeakAbsR, 1000 + 11024);
  EXPECT_FALSE(form->Panel2->Visible());
  // The L box reports the R peak of the previous R measurement.
  form->CaptureBuffer[2 * 9 + 1] = -32768;
  form->MeasureChannelL();
  EXPECT_EQ(form->PeakAbsL, 32768);
  EXPECT_EQ(form->Edit11->Text(), "rmaxl =32768rmaxr =12024");
  // The peak is rebuilt from 0 by each measurement.
  form->CaptureBuffer[2 * 9 + 1] = 0;
  form->CaptureBuffer[2 * 7 + 1] = 0;
  form->MeasureChannelL();
  EXPECT_EQ(form->PeakAbsL, 2000 + 11024);
}

TEST_F(Measurement, EdgeFinders) {
  std::fill(form->SamplesL.begin(), form->SamplesL.end(), 0);
  std::fill(form->SamplesR.begin(), form->SamplesR.end(), 0);
  form->SamplesL[0] = 500;  // index 0 is not searched
  form->SamplesL[4] = -3;
  form->SamplesL[6] = 17;
  form->FindFirstPositiveL();
  EXPECT_EQ(form->EdgeIndexL, 6);
  EXPECT_EQ(form->EnvelopeL[6], 17);

  form->SamplesR[0] = -500;
  form->SamplesR[2] = 9;
  form->SamplesR[3] = -40;
  form->FindFirstPositiveR();
  EXPECT_EQ(form->EdgeIndexR, 2);
  EXPECT_EQ(form->EnvelopeR[2], 9);
  form->FindFirstNegativeR();
  EXPECT_EQ(form->EdgeIndexR, 3);
  EXPECT_EQ(form->EnvelopeR[3], -40);

  // The last index searched is SampleCount itself.
  form->SampleCount = 100;
  std::fill(form->SamplesL.begin(), form->SamplesL.end(), 0);
  form->SamplesL[100] = 5;
  form->SamplesL[101] = 6;
  form->FindFirstPositiveL();
  EXPECT_EQ(form->EdgeIndexL, 100);
  // Without a match nothing changes.
  form->SamplesL[100] = 0;
  form->EnvelopeL[100] = 77;
  form->FindFirstPositiveL();
  EXPECT_EQ(form->EdgeIndexL, 100);
  EXPECT_EQ(form->EnvelopeL[100], 77);
  // No pass at all with a count of 0.
  form->SampleCount = 0;
  form->SamplesR[1] = -1;
  form->FindFirstNegativeR();
  EXPECT_EQ(form->EdgeIndexR, 3);
}

TEST_F(Measurement, CoarsestRRangesLowerTheZeroLevel) {
  // An envelope that rises from 150 at index 10 and from 0 at index 50:
  // a zero level of 200 (gain 0.005) takes the first rise, 100 only the second.
  auto setup = [&](SampleArray& env) {
    std::fill(env.begin(), env.end(), 0);
    for (int i = 1; i <= 10; ++i) env[i] = 150;
    for (int i = 11; i <= 40; ++i) env[i] = 1000;
    for (int i = 51; i <= 80; ++i) env[i] = 1000;
  };
  setup(form->EnvelopeR);
  form->EdgeIndexR = 1;
  form->PeriodStrideR = 1;
  form->PeriodSkipR = 5;
  form->RangeLatchR.fill(0);
  form->RangeLatchR[Range20V] = 1;
  form->RangeGainR = 0.005;
  form->MeasurePeriodR();
  EXPECT_EQ(form->LobeStartR, 50);
  EXPECT_EQ(form->LobeEndR, 82);
  EXPECT_EQ(form->RangeGainR, 0.005);

  form->RangeLatchR.fill(0);
  form->RangeLatchR[Range50V] = 1;
  form->RangeGainR = 0.002;
  form->MeasurePeriodR();
  EXPECT_EQ(form->LobeStartR, 50);
  EXPECT_EQ(form->RangeGainR, 0.002);

  // Any other range uses its own gain.
  form->RangeLatchR.fill(0);
  form->RangeLatchR[Range10V] = 1;
  form->RangeGainR = 0.005;
  form->MeasurePeriodR();
  EXPECT_EQ(form->LobeStartR, 10);
  EXPECT_EQ(form->LobeEndR, 42);
  EXPECT_DOUBLE_EQ(form->MeasuredFrequencyR, 22050.0 / 32);
  // And so does L, whatever the R latches say.
  setup(form->EnvelopeL);
  form->EdgeIndexL = 1;
  form->PeriodStrideL = 1;
  form->PeriodSkipL = 5;
  form->RangeLatchR[Range20V] = 1;
  form->RangeGainL = 0.005;
  form->MeasurePeriodL();
  EXPECT_EQ(form->LobeStartL, 10);

  // A whole R readout on the 20 V range leaves the gain at 0.005.
  form->RangeLatchR.fill(0);
  form->RangeLatchR[Range20V] = 1;
  form->RangeGainR = 0.005;
  FillSide(form, 0, 600, 16000);
  Reference ref(*form, 0);
  EXPECT_EQ(ReadR(), ref.Readout(0.01));
  EXPECT_EQ(form->RangeGainR, 0.005);
}

TEST_F(Measurement, SilenceHasNoLobe) {
  // Coarse pass alone: the start search runs to 20000, the end search stops
  // at the first zero after the skip.
  form->PeriodStrideL = 3;
  form->PeriodSkipL = 95;
  form->EdgeIndexL = 0;
  form->MeasurePeriodL();
  EXPECT_EQ(form->LobeStartL, 19999);
  EXPECT_EQ(form->LobeEndL, 20096);
  EXPECT_DOUBLE_EQ(form->MeasuredFrequencyL, 22050.0 / 97);
  EXPECT_EQ(Nearest(form->MeasuredFrequencyL), 227);
  // The whole readout: fine pass 22050 / 7.
  EXPECT_EQ(ReadL(), "  f > fmax");
  EXPECT_EQ(form->LobeStartL, 19999);
  EXPECT_EQ(form->LobeEndL, 20006);
  EXPECT_DOUBLE_EQ(form->MeasuredFrequencyL, 3150.0);
  EXPECT_EQ(ReadR(), "  f > fmax");
  EXPECT_DOUBLE_EQ(form->MeasuredFrequencyR, 3150.0);
  // The start-up count of 22100 gives the same.
  form->SampleCount = 22100;
  EXPECT_EQ(ReadL(), "  f > fmax");
  EXPECT_DOUBLE_EQ(form->MeasuredFrequencyL, 3150.0);
}

// Sample counts beyond one buffer: the split reads past the capture buffer's
// end for 22100 and 44100, the envelope pass runs to index SampleCount
// inclusive. The arrays lie next to each other in the window, so a read or
// write past one end lands in the neighbour; the sentinels below show it.
TEST_F(Measurement, LargeSampleCountsStayInsideTheArrays) {
  for (std::int32_t count : {22100, 44100}) {
    SCOPED_TRACE(count);
    form->SampleCount = count;
    std::fill(form->CaptureBuffer.begin(), form->CaptureBuffer.end(), 7);
    form->EnvelopeR[0] = 12345;  // the entry after EnvelopeL's last
    form->PrevTraceL[0] = 4321;  // the entry after EnvelopeR's last
    form->MeasureChannelL();
    form->MeasureChannelR();
    // Entries past the buffer read as 0.
    for (int i = 22050; i < std::min(count, 44100); ++i) {
      ASSERT_EQ(form->SamplesL[i], 0) << i;
      ASSERT_EQ(form->SamplesR[i], 0) << i;
    }
    EXPECT_EQ(form->SamplesL[22049], 7);
    EXPECT_EQ(form->SamplesR[22049], 7);
    form->ShowFrequencyL();
    EXPECT_EQ(form->EnvelopeR[0], 12345);
    form->EnvelopeR[0] = 0;
    form->ShowFrequencyR();
    EXPECT_EQ(form->PrevTraceL[0], 4321);
    EXPECT_TRUE(std::isfinite(form->MeasuredFrequencyL));
    EXPECT_TRUE(std::isfinite(form->MeasuredFrequencyR));
  }
}

// A first positive sample beyond index 20000 (possible only with a count
// larger than one buffer) starts the lobe search past its usual bound; it
// must still end.
TEST_F(Measurement, LobeSearchStartingPastItsBoundEnds) {
  form->SampleCount = 44100;
  std::fill(form->SamplesL.begin(), form->SamplesL.end(), 0);
  std::fill(form->EnvelopeL.begin(), form->EnvelopeL.end(), 0);
  for (int i = 20500; i < 44100; ++i) form->SamplesL[i] = 5000;  // DC to the very end
  form->FindFirstPositiveL();
  EXPECT_EQ(form->EdgeIndexL, 20500);
  for (int pass = 0; pass < 2; ++pass) {
    form->PeriodStrideL = pass == 0 ? 3 : 1;
    form->PeriodSkipL = pass == 0 ? 95 : 5;
    for (int i = 20501; i < 44100; ++i) form->EnvelopeL[i] = 5000;
    form->MeasurePeriodL();
    EXPECT_GT(form->LobeEndL, form->LobeStartL);
    EXPECT_TRUE(std::isfinite(form->MeasuredFrequencyL));
    EXPECT_GT(form->MeasuredFrequencyL, 0.0);
  }
}

TEST_F(Measurement, DegenerateSignalsNeverHangOrDivideByZero) {
  struct Signal {
    const char* name;
    std::int32_t (*value)(int i);
  } signals[] = {
      {"dc+", [](int) { return 5000; }},
      {"dc-", [](int) { return -5000; }},
      {"full-scale square", [](int i) { return (i / 37) % 2 ? -32768 : 32767; }},
      {"clipped sine",
       [](int i) { return Clamp16(60000 * std::sin(2 * kPi * 440 * i / 44100.0)); }},
      {"noise",
       [](int i) {
         std::uint32_t h = static_cast<std::uint32_t>(i) * 2654435761u;
         h ^= h >> 15;
         h *= 2246822519u;
         h ^= h >> 13;
         return static_cast<std::int32_t>(h % 65536) - 32768;
       }},
      {"single spike", [](int i) { return i == 3000 ? 20000 : 0; }},
  };
  for (std::int32_t count : {22050, 22100, 44100}) {
    for (const Signal& s : signals) {
      SCOPED_TRACE(std::string(s.name) + " " + std::to_string(count));
      form->SampleCount = count;
      for (int i = 0; i < 44100; ++i) form->CaptureBuffer[i] = s.value(i / 2 + (i % 2) * 11);
      Reference ref_l(*form, 1), ref_r(*form, 0);
      const std::string l = ReadL();
      const std::string r = ReadR();
      for (double f : {form->MeasuredFrequencyL, form->MeasuredFrequencyR}) {
        EXPECT_TRUE(std::isfinite(f));
        EXPECT_GT(f, 0.0);
        EXPECT_LE(f, 22050.0);
      }
      for (const std::string& t : {l, r})
        EXPECT_TRUE(t == "  f > fmax" || t.substr(t.size() - 3) == " Hz") << t;
      if (count == 22050) {
        EXPECT_EQ(l, ref_l.Readout(0.02));
        EXPECT_EQ(r, ref_r.Readout(0.02));
      }
    }
  }
}

}  // namespace
}  // namespace osciloskop
