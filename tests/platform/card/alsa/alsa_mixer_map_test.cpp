// SPDX-License-Identifier: GPL-3.0-or-later
// The ALSA mixer over a fake simple mixer: which element becomes which
// line and control, the values read through the mixer calls, and element
// events turned into the two notifications.
#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <tuple>
#include <vector>

#include "platform/base/messages.h"
#include "platform/card/alsa/alsa_mixer.h"

namespace {

using platform::AlsaElementInfo;
using platform::AlsaValue;

class FakeElements final : public platform::AlsaElements {
 public:
  std::vector<AlsaElementInfo> elements;
  std::map<std::tuple<std::string, AlsaValue, int>, long> values;
  std::vector<AlsaElementInfo> List() override { return elements; }
  bool Read(const std::string& name, unsigned, AlsaValue what, int channel, long* v) override {
    auto it = values.find({name, what, channel});
    if (it == values.end()) return false;
    *v = it->second;
    return true;
  }
};

AlsaElementInfo Playback(const char* name, bool mono = false) {
  AlsaElementInfo e;
  e.name = name;
  e.playback_volume = e.playback_switch = true;
  e.playback_mono = mono;
  e.playback_max = 87;
  return e;
}

AlsaElementInfo Capture(const char* name, bool mono = false) {
  AlsaElementInfo e;
  e.name = name;
  e.capture_volume = e.capture_switch = true;
  e.capture_mono = mono;
  e.capture_min = -10;
  e.capture_max = 31;
  return e;
}

struct Recorder final : platform::MessageTarget {
  std::vector<platform::TMessage> got;
  void WndProc(platform::TMessage& m) override { got.push_back(m); }
};

class AlsaMixerMap : public ::testing::Test {
 protected:
  void SetUp() override {
    auto pcm = Playback("PCM");
    pcm.playback_switch = false;
    auto line = Playback("Line");
    line.capture_volume = line.capture_switch = true;
    line.capture_max = 31;
    AlsaElementInfo source;
    source.name = "Capture Source";
    source.capture_enum = true;
    source.enum_items = 4;
    fake_ = new FakeElements;
    fake_->elements = {Playback("Headphone"),
                       Playback("Master"),
                       pcm,
                       line,
                       Playback("Mic", true),
                       Playback("CD"),
                       Playback("Phone"),
                       Playback("Aux"),
                       Playback("Video"),
                       Playback("Synth"),
                       Playback("Beep"),
                       Capture("Capture"),
                       source,
                       Capture("Mic", true)};
    std::vector<platform::AlsaMixerBackend::Device> devices;
    devices.push_back({"fake", std::unique_ptr<platform::AlsaElements>(fake_),
                       platform::MapAlsaElements("Fake Card", fake_->elements)});
    backend_ = std::make_unique<platform::AlsaMixerBackend>(std::move(devices), false);
    platform::SetMixerBackend(backend_.get());
  }
  void TearDown() override {
    platform::SetMixerBackend(nullptr);
    platform::DispatchPostedMessages();
  }
  platform::MixerDeviceTree Copy() {
    platform::MixerDeviceTree t;
    for (DWORD d = 0; backend_->Line(0, d, ~0u); ++d)
      t.destinations.push_back(*backend_->Line(0, d, ~0u));
    return t;
  }
  // Values of a control through mixerGetControlDetailsA, by device ID.
  MMRESULT Details(DWORD id, DWORD channels, DWORD items, std::vector<LONG>& out) {
    out.assign(channels * (items ? items : 1), -99);
    MIXERCONTROLDETAILS d{};
    d.cbStruct = sizeof d;
    d.dwControlID = id;
    d.cChannels = channels;
    d.cMultipleItems = items;
    d.cbDetails = 4;
    d.paDetails = out.data();
    return mixerGetControlDetailsA(nullptr, &d, MIXER_GETCONTROLDETAILSF_VALUE);
  }

  FakeElements* fake_ = nullptr;
  std::unique_ptr<platform::AlsaMixerBackend> backend_;
};

TEST_F(AlsaMixerMap, ElementsBecomeLinesByTheirNames) {
  const platform::MixerDeviceTree t = Copy();
  ASSERT_EQ(t.destinations.size(), 2u);
  const auto& speakers = t.destinations[0];
  // Headphone comes first but Master is not needed: the first of the
  // three names is the destination.
  EXPECT_EQ(speakers.component, MIXERLINE_COMPONENTTYPE_DST_HEADPHONES);
  ASSERT_EQ(speakers.controls.size(), 2u);
  EXPECT_EQ(speakers.controls[0].type, MIXERCONTROL_CONTROLTYPE_VOLUME);
  EXPECT_EQ(speakers.controls[0].maximum, 87);
  EXPECT_EQ(speakers.controls[1].type, MIXERCONTROL_CONTROLTYPE_MUTE);
  const DWORD want[] = {
      MIXERLINE_COMPONENTTYPE_SRC_UNDEFINED,   MIXERLINE_COMPONENTTYPE_SRC_WAVEOUT,
      MIXERLINE_COMPONENTTYPE_SRC_LINE,        MIXERLINE_COMPONENTTYPE_SRC_MICROPHONE,
      MIXERLINE_COMPONENTTYPE_SRC_COMPACTDISC, MIXERLINE_COMPONENTTYPE_SRC_TELEPHONE,
      MIXERLINE_COMPONENTTYPE_SRC_AUXILIARY,   MIXERLINE_COMPONENTTYPE_SRC_ANALOG,
      MIXERLINE_COMPONENTTYPE_SRC_SYNTHESIZER, MIXERLINE_COMPONENTTYPE_SRC_UNDEFINED};
  ASSERT_EQ(speakers.sources.size(), std::size(want));
  for (std::size_t i = 0; i < std::size(want); ++i)
    EXPECT_EQ(speakers.sources[i].component, want[i]) << speakers.sources[i].name;
  EXPECT_EQ(speakers.sources[1].controls.size(), 1u);  // PCM: volume only
  EXPECT_EQ(speakers.sources[3].channels, 1u);         // mono Mic

  const auto& wavein = t.destinations[1];
  EXPECT_EQ(wavein.component, MIXERLINE_COMPONENTTYPE_DST_WAVEIN);
  ASSERT_EQ(wavein.controls.size(), 3u);
  EXPECT_EQ(wavein.controls[0].type, MIXERCONTROL_CONTROLTYPE_MUX);
  EXPECT_EQ(wavein.controls[0].items, 4u);
  EXPECT_EQ(wavein.controls[1].minimum, -10);
  ASSERT_EQ(wavein.sources.size(), 2u);
  EXPECT_EQ(wavein.sources[0].component, MIXERLINE_COMPONENTTYPE_SRC_LINE);
  EXPECT_EQ(wavein.sources[1].component, MIXERLINE_COMPONENTTYPE_SRC_MICROPHONE);

  EXPECT_TRUE(platform::MapAlsaElements("none", {}).tree.destinations.empty());
}

TEST_F(AlsaMixerMap, ValuesAreReadFromTheElementsThroughTheMixerCalls) {
  const platform::MixerDeviceTree t = Copy();
  const DWORD volume = t.destinations[0].controls[0].id;
  const DWORD mute = t.destinations[0].controls[1].id;
  const DWORD mux = t.destinations[1].controls[0].id;
  fake_->values[{"Headphone", AlsaValue::PlaybackVolume, 0}] = 40;
  fake_->values[{"Headphone", AlsaValue::PlaybackVolume, 1}] = 60;
  fake_->values[{"Headphone", AlsaValue::PlaybackSwitch, 0}] = 0;
  fake_->values[{"Capture Source", AlsaValue::EnumItem, 0}] = 2;
  std::vector<LONG> v;
  ASSERT_EQ(Details(volume, 2, 0, v), MMSYSERR_NOERROR);
  EXPECT_EQ(v, (std::vector<LONG>{40, 60}));
  ASSERT_EQ(Details(volume, 1, 0, v), MMSYSERR_NOERROR);
  EXPECT_EQ(v, (std::vector<LONG>{60}));  // one channel: the louder
  ASSERT_EQ(Details(mute, 1, 0, v), MMSYSERR_NOERROR);
  EXPECT_EQ(v, (std::vector<LONG>{1}));  // switch off: muted
  ASSERT_EQ(Details(mux, 1, 4, v), MMSYSERR_NOERROR);
  EXPECT_EQ(v, (std::vector<LONG>{0, 0, 1, 0}));
  // Wrong item count, wrong channel count, unreadable element, unknown ID.
  EXPECT_EQ(Details(mux, 1, 3, v), MMSYSERR_INVALPARAM);
  EXPECT_EQ(Details(volume, 3, 0, v), MMSYSERR_INVALPARAM);
  fake_->values.erase({"Headphone", AlsaValue::PlaybackVolume, 1});
  EXPECT_EQ(Details(volume, 2, 0, v), MMSYSERR_ERROR);
  EXPECT_EQ(Details(9999, 1, 0, v), MIXERR_INVALCONTROL);
}

TEST_F(AlsaMixerMap, ElementEventsBecomeNotificationsOfTheOpenHandles) {
  Recorder window;
  HMIXER h = nullptr;
  ASSERT_EQ(mixerOpen(&h, 0, window.Handle(), 0, CALLBACK_WINDOW), MMSYSERR_NOERROR);
  const platform::MixerDeviceTree t = Copy();
  backend_->ElementChanged(0, "Mic", 0, true);  // playback and capture Mic
  backend_->ElementChanged(0, "CD", 0, false);  // not a value: the line
  backend_->ElementChanged(0, "Nothing", 0, true);
  platform::DispatchPostedMessages();
  ASSERT_EQ(window.got.size(), 5u);
  const auto& mic = t.destinations[0].sources[3];
  EXPECT_EQ(window.got[0].Msg, MM_MIXM_CONTROL_CHANGE);
  EXPECT_EQ(window.got[0].WParam, reinterpret_cast<WPARAM>(h));
  EXPECT_EQ(static_cast<DWORD>(window.got[0].LParam), mic.controls[0].id);
  EXPECT_EQ(static_cast<DWORD>(window.got[1].LParam), mic.controls[1].id);
  EXPECT_EQ(static_cast<DWORD>(window.got[2].LParam), t.destinations[1].sources[1].controls[0].id);
  EXPECT_EQ(window.got[4].Msg, MM_MIXM_LINE_CHANGE);
  EXPECT_EQ(static_cast<DWORD>(window.got[4].LParam), t.destinations[0].sources[4].id);
  EXPECT_EQ(mixerClose(h), MMSYSERR_NOERROR);
  backend_->ElementChanged(0, "Mic", 0, true);
  EXPECT_EQ(platform::DispatchPostedMessages(), 0);
}

}  // namespace
