// SPDX-License-Identifier: GPL-3.0-or-later
// The mixer calls' own checks, on the virtual mixer: records, sizes,
// flags, device IDs and handles are refused with the system's codes
// before a backend sees them.
#include <gtest/gtest.h>

#include <vector>

#include "platform/card/virtual/virtual_card.h"
#include "platform/mm/mixer.h"

namespace {

HMIXEROBJ Device(std::uintptr_t id) { return reinterpret_cast<HMIXEROBJ>(id); }

class MixerApi : public ::testing::Test {
 protected:
  void SetUp() override { platform::ResetVirtualCard(); }
  void TearDown() override { platform::ResetVirtualCard(); }
};

TEST_F(MixerApi, BadRecordsFlagsDevicesAndHandlesAreRefused) {
  MIXERCAPSA caps{};
  EXPECT_EQ(mixerGetDevCapsA(0, &caps, sizeof caps - 1), MMSYSERR_INVALPARAM);
  EXPECT_EQ(mixerGetDevCapsA(1, &caps, sizeof caps), MMSYSERR_BADDEVICEID);
  HMIXER h = nullptr;
  EXPECT_EQ(mixerOpen(nullptr, 0, 0, 0, 0), MMSYSERR_INVALPARAM);
  EXPECT_EQ(mixerOpen(&h, 1, 0, 0, 0), MMSYSERR_BADDEVICEID);
  EXPECT_EQ(mixerOpen(&h, 0, 0, 0, CALLBACK_WINDOW), MMSYSERR_INVALPARAM);
  EXPECT_EQ(mixerOpen(&h, 0, 0, 0, 0x00030000), MMSYSERR_INVALFLAG);  // a function callback
  ASSERT_EQ(mixerOpen(&h, 0, 0, 0, 0), MMSYSERR_NOERROR);

  MIXERLINEA line{};
  line.cbStruct = sizeof line - 8;
  EXPECT_EQ(mixerGetLineInfoA(Device(0), &line, MIXER_GETLINEINFOF_DESTINATION),
            MMSYSERR_INVALPARAM);
  line.cbStruct = sizeof line;
  EXPECT_EQ(mixerGetLineInfoA(Device(1), &line, MIXER_GETLINEINFOF_DESTINATION),
            MMSYSERR_BADDEVICEID);
  EXPECT_EQ(mixerGetLineInfoA(Device(0), &line, 9), MMSYSERR_INVALFLAG);
  line.dwDestination = 3;
  EXPECT_EQ(mixerGetLineInfoA(Device(0), &line, MIXER_GETLINEINFOF_DESTINATION), MIXERR_INVALLINE);
  line.dwDestination = 1;
  line.dwSource = 6;
  ASSERT_EQ(mixerGetLineInfoA(reinterpret_cast<HMIXEROBJ>(h), &line,
                              MIXER_OBJECTF_HMIXER | MIXER_GETLINEINFOF_SOURCE),
            MMSYSERR_NOERROR);
  EXPECT_STREQ(line.szName, "Line In 2");
  EXPECT_EQ(line.fdwLine & MIXERLINE_LINEF_SOURCE, MIXERLINE_LINEF_SOURCE);

  std::vector<MIXERCONTROLA> controls(1);
  MIXERLINECONTROLSA list{};
  list.cbStruct = sizeof list;
  list.dwLineID = line.dwLineID;
  list.cControls = 1;
  list.cbmxctrl = sizeof(MIXERCONTROLA);
  list.pamxctrl = controls.data();
  EXPECT_EQ(mixerGetLineControlsA(Device(0), &list, MIXER_GETLINECONTROLSF_ALL), MMSYSERR_NOERROR);
  list.cbmxctrl = 100;
  EXPECT_EQ(mixerGetLineControlsA(Device(0), &list, MIXER_GETLINECONTROLSF_ALL),
            MMSYSERR_INVALPARAM);
  list.cbmxctrl = sizeof(MIXERCONTROLA);
  list.dwLineID = 0x00FF0000;
  EXPECT_EQ(mixerGetLineControlsA(Device(0), &list, MIXER_GETLINECONTROLSF_ALL), MIXERR_INVALLINE);

  LONG value[2] = {};
  MIXERCONTROLDETAILS d{};
  d.cbStruct = sizeof d;
  d.dwControlID = controls[0].dwControlID;
  d.cChannels = 2;
  d.cbDetails = 2;
  d.paDetails = value;
  EXPECT_EQ(mixerGetControlDetailsA(Device(0), &d, 0), MMSYSERR_INVALPARAM);
  d.cbDetails = 4;
  EXPECT_EQ(mixerGetControlDetailsA(Device(0), &d, 1), MMSYSERR_NOTSUPPORTED);  // item texts
  EXPECT_EQ(mixerGetControlDetailsA(Device(0), &d, 0), MMSYSERR_NOERROR);

  EXPECT_EQ(mixerClose(h), MMSYSERR_NOERROR);
  EXPECT_EQ(mixerClose(h), MMSYSERR_INVALHANDLE);
  EXPECT_EQ(mixerGetControlDetailsA(reinterpret_cast<HMIXEROBJ>(h), &d, MIXER_OBJECTF_HMIXER),
            MMSYSERR_INVALHANDLE);
}

}  // namespace
