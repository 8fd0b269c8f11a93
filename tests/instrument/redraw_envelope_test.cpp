// SPDX-License-Identifier: GPL-3.0-or-later
// A redraw builds the positive envelope of R only where its result survives
// or is read; afterwards EnvelopeR, the lobe and the trace start are those
// of the full passes, run one after the other.
#include <gtest/gtest.h>

#include <string>

#include "tests/instrument/form_fixture.h"

namespace osciloskop::testing {
namespace {

using RedrawEnvelope = FormTest;

TEST_F(RedrawEnvelope, EqualsTheFullPasses) {
  // Long half-waves (the lobe search reads far past the first ones), short
  // ones, no negative sample at all, and a square.
  for (const char* source : {"sine:20:20000", "sine:30:20000", "sine:600:16000", "sine:3000:9000",
                             "silence", "square:45:12000", "square:1700:30000"}) {
    SCOPED_TRACE(source);
    platform::TheVirtualCard().SetInputSource('r', source);
    platform::TheVirtualCard().SetInputSource('l', "sine:200:5000");
    Run(1.3);
    bool done = true;
    form->MyIdleEvent(nullptr, done);
    const SampleArray redrawn = form->EnvelopeR;
    const auto lobe_start = form->LobeStartR, lobe_end = form->LobeEndR;
    const double measured = form->MeasuredFrequencyR;
    const auto trace_start = form->TraceStartR;

    // The same passes as the step makes them, with the envelope built whole.
    form->EdgeIndexR = 1;
    form->MeasureChannelR();
    form->ShowFrequencyR();
    EXPECT_EQ(form->LobeStartR, lobe_start);
    EXPECT_EQ(form->LobeEndR, lobe_end);
    EXPECT_EQ(form->MeasuredFrequencyR, measured);
    form->FindTriggerR();
    EXPECT_EQ(form->TraceStartR, trace_start);
    long differ = 0;
    for (std::size_t i = 0; i < redrawn.size(); ++i) differ += redrawn[i] != form->EnvelopeR[i];
    EXPECT_EQ(differ, 0);
  }
}

}  // namespace
}  // namespace osciloskop::testing
