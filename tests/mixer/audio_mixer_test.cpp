// SPDX-License-Identifier: GPL-3.0-or-later
// TAudioMixer on the virtual card's mixer: the tree it reads, the
// well-known lines, the notifications, its exceptions and its failures.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "mixer/AudioMixer.h"
#include "platform/card/virtual/virtual_mixer.h"
#include "platform/mm/volume.h"
#include "platform/card/virtual/virtual_card.h"

namespace {

using platform::TheVirtualMixer;
using platform::VirtualMixerMode;

struct Event {
  char kind;  // 'c' control, 'l' line
  DWORD d, s, c;
  bool operator==(const Event&) const = default;
};

class MixerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    platform::ResetVirtualCard();
    platform::DispatchPostedMessages();
  }
  void TearDown() override {
    mixer_.reset();
    platform::ResetVirtualCard();
    platform::DispatchPostedMessages();
  }
  // A mixer made now (it reads the device count when it is made), with
  // both events recorded.
  TAudioMixer& Make() {
    mixer_ = std::make_unique<TAudioMixer>(nullptr);
    mixer_->OnMixerControlChange = [this](platform::TObject*, DWORD d, DWORD s, DWORD c) {
      events.push_back({'c', d, s, c});
    };
    mixer_->OnMixerLineChange = [this](platform::TObject*, DWORD d, DWORD s) {
      events.push_back({'l', d, s, 0});
    };
    return *mixer_;
  }
  TAudioMixer& Opened() {
    Make().Open();
    return *mixer_;
  }
  static std::string MessageOf(const std::function<void()>& fn) {
    try {
      fn();
    } catch (const std::exception& e) {
      return e.what();
    }
    return "(nothing raised)";
  }
  static const TVolume& ValueOf(const TSource& line, int control, int item = 0) {
    return *line.Controls.at(control)->Values.at(item);
  }

  std::vector<Event> events;
  std::unique_ptr<TAudioMixer> mixer_;
};

constexpr DWORD kDest = TAudioMixer::DestinationLine;

TEST_F(MixerTest, OpenReadsTheWholeVirtualTree) {
  TAudioMixer& m = Opened();
  ASSERT_TRUE(m.IsOpen());
  EXPECT_EQ(m.ProductName(), "Virtual Mixer");
  ASSERT_EQ(m.Destinations().size(), 3u);
  const TDestination& speakers = *m.Destinations()[0];
  const TDestination& wavein = *m.Destinations()[1];
  EXPECT_EQ(speakers.Name, "Speakers");
  EXPECT_EQ(speakers.Sources.size(), 8u);
  EXPECT_EQ(wavein.Sources.size(), 7u);
  EXPECT_EQ(m.Destinations()[2]->Sources.size(), 1u);

  // Bass, treble, volume, mute: the tone controls are passed over.
  EXPECT_EQ(speakers.VolumeControl, 2);
  EXPECT_EQ(speakers.MuteControl, 3);
  EXPECT_EQ(speakers.SelectorControl, -1);
  const TAudioControl& volume = *speakers.Controls[2];
  EXPECT_EQ(volume.ControlType, MIXERCONTROL_CONTROLTYPE_VOLUME);
  EXPECT_FALSE(volume.Uniform);
  EXPECT_EQ(volume.Maximum, 65535);
  // Stereo, not uniform: its own left and right.
  EXPECT_EQ(ValueOf(speakers, 2).Left, 0xB000);
  EXPECT_EQ(ValueOf(speakers, 2).Right, 0xC000);
  // Uniform: right = left.
  EXPECT_EQ(ValueOf(speakers, 0).Right, 0x8000);

  // The wave source's volume is the wave output volume.
  const TSource& wave = *speakers.Sources[0];
  const DWORD v = platform::InitialVirtualVolume(0);
  EXPECT_EQ(ValueOf(wave, wave.VolumeControl).Left, static_cast<std::int32_t>(v & 0xFFFF));
  EXPECT_EQ(ValueOf(wave, wave.VolumeControl).Right, static_cast<std::int32_t>(v >> 16));
  // A mono line gives right = left.
  const TSource& mic = *speakers.Sources[4];
  EXPECT_EQ(mic.Channels, 1u);
  EXPECT_EQ(ValueOf(mic, 1).Right, ValueOf(mic, 1).Left);

  // The multiplexer: one boolean per recording source, the first selected.
  EXPECT_EQ(wavein.SelectorControl, 0);
  EXPECT_EQ(wavein.VolumeControl, 1);
  const TAudioControl& mux = *wavein.Controls[0];
  ASSERT_TRUE(mux.Multiple);
  ASSERT_EQ(mux.Values.size(), 7u);
  for (int k = 0; k < 7; ++k) {
    EXPECT_EQ(mux.Values[k]->ItemIndex, k);
    EXPECT_EQ(mux.Values[k]->Left, k == 0 ? 1 : 0);
  }
}

TEST_F(MixerTest, WellKnownLinesFollowTheirRules) {
  TAudioMixer& m = Opened();
  const auto& d = m.Destinations();
  EXPECT_EQ(m.SpeakerDestination, d[0].get());
  EXPECT_EQ(m.RecordingDestination, d[1].get());
  EXPECT_EQ(m.VoiceInDestination, d[2].get());
  EXPECT_EQ(m.WaveOutSource, d[0]->Sources[0].get());
  EXPECT_EQ(m.SynthesizerSource, d[0]->Sources[1].get());
  EXPECT_EQ(m.PCSpeakerSource, d[0]->Sources[7].get());
  EXPECT_EQ(m.PlaybackLineIn, d[0]->Sources[2].get());
  EXPECT_EQ(m.PlaybackMicrophone, d[0]->Sources[4].get());
  // Line sources: every later one replaces the recording line-in.
  EXPECT_EQ(m.RecordingLineIn, d[1]->Sources[6].get());
  EXPECT_EQ(m.RecordingLineIn->SourceIndex, 6);
  // Other kinds: the first after the recording destination stays, even
  // when another destination has one too.
  EXPECT_EQ(m.RecordingMicrophone, d[1]->Sources[1].get());
  EXPECT_EQ(m.RecordingMicrophone->SourceIndex, 1);
  EXPECT_EQ(d[2]->Sources[0]->SourceIndex, 0);
  EXPECT_EQ(m.RecordingCD->SourceIndex, 2);
  EXPECT_EQ(m.RecordingTelephone->SourceIndex, 3);
  EXPECT_EQ(m.RecordingAuxiliary->SourceIndex, 4);
  EXPECT_EQ(m.RecordingAnalog->SourceIndex, 5);
  EXPECT_EQ(m.PlaybackAnalog, nullptr);
  EXPECT_EQ(m.PlaybackLineIn->SourceIndex, 0);

  m.Close();
  EXPECT_TRUE(m.Destinations().empty());
  EXPECT_EQ(m.SpeakerDestination, nullptr);
  EXPECT_EQ(m.RecordingLineIn, nullptr);
}

TEST_F(MixerTest, ControlNotificationsUpdateExactlyTheirControl) {
  TAudioMixer& m = Opened();
  const TDestination& speakers = *m.Destinations()[0];
  const TSource& cd = *speakers.Sources[3];
  const TSource& wave = *speakers.Sources[0];
  const std::int32_t wave_left = ValueOf(wave, 1).Left;

  ASSERT_EQ(TheVirtualMixer().SetControl("speakers.cd", "volume", 100, 200), "");
  // Nothing changes before the notification is delivered.
  EXPECT_EQ(ValueOf(cd, 1).Left,
            static_cast<std::int32_t>(platform::InitialVirtualVolume(2) & 0xFFFF));
  platform::DispatchPostedMessages();
  EXPECT_EQ(ValueOf(cd, 1).Left, 100);
  EXPECT_EQ(ValueOf(cd, 1).Right, 200);
  EXPECT_EQ(ValueOf(wave, 1).Left, wave_left);
  ASSERT_EQ(TheVirtualMixer().SetControl("speakers", "mute", 1), "");
  ASSERT_EQ(TheVirtualMixer().SetControl("wavein", "mux", 3), "");
  platform::DispatchPostedMessages();
  EXPECT_EQ(ValueOf(speakers, 3).Left, 1);
  const TDestination& wavein = *m.Destinations()[1];
  EXPECT_EQ(ValueOf(wavein, 0, 0).Left, 0);
  EXPECT_EQ(ValueOf(wavein, 0, 3).Left, 1);
  EXPECT_EQ(events, (std::vector<Event>{{'c', 0, 3, 1}, {'c', 0, kDest, 3}, {'c', 1, kDest, 0}}));

  ASSERT_EQ(TheVirtualMixer().SetLineActive("wavein.line2", false), "");
  ASSERT_EQ(TheVirtualMixer().SetLineActive("voicein", false), "");
  platform::DispatchPostedMessages();
  EXPECT_FALSE(wavein.Sources[6]->Active);
  EXPECT_FALSE(m.Destinations()[2]->Active);
  EXPECT_TRUE(wavein.Sources[5]->Active);
  EXPECT_EQ(events.size(), 5u);
  EXPECT_EQ(events[3], (Event{'l', 1, 6, 0}));
  EXPECT_EQ(events[4], (Event{'l', 2, kDest, 0}));
  EXPECT_EQ(m.NotificationsHandled(), 5);
}

TEST_F(MixerTest, ForeignHandlesUnknownIdsAndClosedMixersChangeNothing) {
  TAudioMixer& m = Opened();
  TAudioMixer other(nullptr);
  other.Open();
  const DWORD cd_volume = TheVirtualMixer().ControlId("speakers.cd", "volume");
  platform::SetVirtualVolume(2, 0x00050005);
  auto post = [&](UINT msg, HMIXER h, LPARAM id) {
    platform::PostMessage(m.Manager().Window(), msg, reinterpret_cast<WPARAM>(h), id);
    platform::DispatchPostedMessages();
  };
  // Another mixer's handle, an unknown control, a negative ID, an unknown line.
  post(MM_MIXM_CONTROL_CHANGE, other.Handle(), cd_volume);
  post(MM_MIXM_CONTROL_CHANGE, m.Handle(), 9999);
  post(MM_MIXM_CONTROL_CHANGE, m.Handle(), static_cast<LONG>(cd_volume | 0x80000000u));
  post(MM_MIXM_LINE_CHANGE, m.Handle(), 0x7777);
  const TSource& cd = *m.Destinations()[0]->Sources[3];
  EXPECT_NE(ValueOf(cd, 1).Left, 5);
  EXPECT_TRUE(events.empty());
  // The right handle and ID do reach it.
  post(MM_MIXM_CONTROL_CHANGE, m.Handle(), cd_volume);
  EXPECT_EQ(ValueOf(cd, 1).Left, 5);
  ASSERT_EQ(events.size(), 1u);

  // After a close, a late notification finds nothing to change.
  m.Close();
  TheVirtualMixer().SetControl("speakers.cd", "volume", 1);
  platform::DispatchPostedMessages();
  EXPECT_EQ(events.size(), 1u);
}

TEST_F(MixerTest, EveryExceptionHasItsMessage) {
  TheVirtualMixer().SetMode(VirtualMixerMode::None);
  TAudioMixer& none = Make();
  EXPECT_EQ(MessageOf([&] { none.Open(); }), "No mixer device present in this system.");
  EXPECT_THROW(none.SetMixerID(0), EMixerID);
  EXPECT_EQ(MessageOf([&] { none.SetMixerID(0); }), "MixerID maximum for this machine: -1");

  TheVirtualMixer().SetMode(VirtualMixerMode::Present);
  TAudioMixer& one = Make();
  EXPECT_EQ(MessageOf([&] { one.SetMixerID(1); }), "MixerID maximum for this machine: 0");
  TheVirtualMixer().SetMode(VirtualMixerMode::FailCaps);
  EXPECT_THROW(one.Open(), EMixerCaps);
  EXPECT_EQ(MessageOf([&] { one.Open(); }), "Function mixerGetDevCaps failed. Mixer device ID: 0");
  TheVirtualMixer().SetMode(VirtualMixerMode::FailOpen);
  EXPECT_THROW(one.Open(), EMixerOpen);
  EXPECT_EQ(MessageOf([&] { one.Open(); }), "Function mixerOpen failed");
  EXPECT_FALSE(one.IsOpen());
  EXPECT_TRUE(one.Destinations().empty());
}

TEST_F(MixerTest, OneWindowPerMixerAndEveryHandleClosed) {
  const int windows = platform::LiveWindowCount();
  {
    TAudioMixer& m = Opened();
    EXPECT_EQ(platform::LiveWindowCount(), windows + 1);
    for (int i = 0; i < 3; ++i) m.Open();  // reopening closes first
    m.SetMixerID(0);                       // a change of ID closes too
    EXPECT_FALSE(m.IsOpen());
    EXPECT_TRUE(m.Destinations().empty());
    EXPECT_EQ(TheVirtualMixer().OpenHandles(), 0);
    m.Open();
    EXPECT_EQ(platform::LiveWindowCount(), windows + 1);
    EXPECT_EQ(TheVirtualMixer().OpenHandles(), 1);
    mixer_.reset();
  }
  EXPECT_EQ(TheVirtualMixer().OpenHandles(), 0);
  EXPECT_EQ(platform::LiveWindowCount(), windows);
}

TEST_F(MixerTest, FailingCallsLeaveInvalidLinesAndControlsAndTheSearchGoesOn) {
  TheVirtualMixer().FailLineInfo("speakers.synth", MMSYSERR_ERROR);
  TheVirtualMixer().FailLineInfo("voicein", MMSYSERR_ERROR);
  TheVirtualMixer().FailLineControls("speakers.line", MMSYSERR_ERROR);
  TheVirtualMixer().FailValues("wavein", "volume", MMSYSERR_ERROR);
  TAudioMixer& m = Opened();
  const TDestination& speakers = *m.Destinations()[0];
  const TSource& synth = *speakers.Sources[1];
  EXPECT_FALSE(synth.Valid);
  EXPECT_TRUE(synth.Controls.empty());
  EXPECT_EQ(m.SynthesizerSource, nullptr);
  const TDestination& voicein = *m.Destinations()[2];
  EXPECT_FALSE(voicein.Valid);
  EXPECT_TRUE(voicein.Sources.empty());
  EXPECT_TRUE(voicein.Controls.empty());
  const TSource& line = *speakers.Sources[2];
  ASSERT_EQ(line.Controls.size(), 2u);
  EXPECT_FALSE(line.Controls[0]->Valid);
  EXPECT_FALSE(line.Controls[1]->Valid);
  EXPECT_FALSE(m.Destinations()[1]->Controls[1]->Valid);
  EXPECT_TRUE(m.Destinations()[1]->Controls[0]->Valid);
  // Enumeration went on past every failure.
  EXPECT_TRUE(speakers.Sources[7]->Valid);
  EXPECT_EQ(m.PCSpeakerSource, speakers.Sources[7].get());

  // A control behind a source without controls is still found.
  TheVirtualMixer().SetControl("speakers.cd", "volume", 42);
  platform::DispatchPostedMessages();
  EXPECT_EQ(ValueOf(*speakers.Sources[3], 1).Left, 42);
  EXPECT_EQ(events, (std::vector<Event>{{'c', 0, 3, 1}}));
}

TEST_F(MixerTest, ALineChangeDoesNotMakeAPlaybackLineTheRecordingLineIn) {
  TAudioMixer& m = Opened();
  TSource* recording = m.RecordingLineIn;
  TheVirtualMixer().SetLineActive("speakers.line", false);
  platform::DispatchPostedMessages();
  EXPECT_FALSE(m.Destinations()[0]->Sources[2]->Active);
  EXPECT_EQ(m.RecordingLineIn, recording);
  EXPECT_EQ(m.RecordingLineIn->SourceIndex, 6);
}

}  // namespace
