// SPDX-License-Identifier: GPL-3.0-or-later
// TAudioMixer on a real sound server: a private PulseAudio whose sink
// outA is the ALSA control device "osc". Changes made with pactl, as
// another program would, arrive as notifications and update the tree.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <thread>

#include "mixer/AudioMixer.h"
#include "platform/card/alsa/alsa_mixer.h"

namespace {

std::string Output(const std::string& command) {
  std::string out;
  if (FILE* p = popen(command.c_str(), "r")) {
    char buf[256];
    while (fgets(buf, sizeof buf, p)) out += buf;
    pclose(p);
  }
  return out;
}

class PulseMixer : public ::testing::Test {
 protected:
  void SetUp() override {
    char templ[] = "/tmp/osciloskop-pulse-XXXXXX";
    dir_ = mkdtemp(templ);
    script_ = std::string(SOURCE_DIR) + "/scripts/pulse-loopback";
    const int status = std::system(("'" + script_ + "' start " + dir_ + " 2>/dev/null").c_str());
    if (status != 0) {
      started_ = false;
      GTEST_SKIP() << "no private PulseAudio server could be started (pulseaudio missing or "
                      "refused); the ALSA mixer is covered by the mapping tests only";
    }
    started_ = true;
    // export K='V' lines
    const std::string env = Output("'" + script_ + "' env " + dir_);
    for (std::size_t at = 0; (at = env.find("export ", at)) != std::string::npos;) {
      const std::size_t eq = env.find('=', at);
      const std::size_t end = env.find('\n', eq);
      std::string value = env.substr(eq + 1, end - eq - 1);
      if (value.size() >= 2 && value.front() == '\'') value = value.substr(1, value.size() - 2);
      setenv(env.substr(at + 7, eq - at - 7).c_str(), value.c_str(), 1);
      at = end;
    }
  }
  void TearDown() override {
    mixer_.reset();
    platform::SetMixerBackend(nullptr);
    backend_.reset();
    if (started_) std::system(("'" + script_ + "' stop " + dir_ + " 2>/dev/null").c_str());
  }
  // Delivers notifications until `done` or five seconds have passed.
  template <class F>
  bool Await(F done) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (std::chrono::steady_clock::now() < end) {
      platform::DispatchPostedMessages();
      if (done()) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
  }

  std::string dir_, script_;
  bool started_ = false;
  std::unique_ptr<platform::AlsaMixerBackend> backend_;
  std::unique_ptr<TAudioMixer> mixer_;
};

TEST_F(PulseMixer, TheSinkIsTheSpeakersLineAndOutsideChangesArrive) {
  backend_ = platform::AlsaMixerBackend::Discover("osc");
  ASSERT_GE(backend_->DeviceCount(), 1u);
  EXPECT_EQ(backend_->ControlDevice(0), "osc");
  platform::SetMixerBackend(backend_.get());
  mixer_ = std::make_unique<TAudioMixer>(nullptr);
  int control_events = 0;
  mixer_->OnMixerControlChange = [&](platform::TObject*, DWORD, DWORD, DWORD) { ++control_events; };
  mixer_->Open();
  ASSERT_NE(mixer_->SpeakerDestination, nullptr);
  ASSERT_NE(mixer_->RecordingDestination, nullptr);
  const TDestination& speakers = *mixer_->SpeakerDestination;
  ASSERT_GE(speakers.VolumeControl, 0);
  ASSERT_GE(speakers.MuteControl, 0);
  const TAudioControl& volume = *speakers.Controls[speakers.VolumeControl];
  const TAudioControl& mute = *speakers.Controls[speakers.MuteControl];
  ASSERT_TRUE(volume.Valid);
  ASSERT_GT(volume.Maximum, volume.Minimum);

  std::system("pactl set-sink-volume outA 30% && pactl set-sink-mute outA 1");
  const long expected = volume.Minimum + (volume.Maximum - volume.Minimum) * 30 / 100;
  const long tolerance = (volume.Maximum - volume.Minimum) / 50;
  EXPECT_TRUE(Await([&] {
    return std::labs(volume.Values[0]->Left - expected) <= tolerance && mute.Values[0]->Left == 1;
  })) << "volume "
      << volume.Values[0]->Left << " (want about " << expected << "), mute "
      << mute.Values[0]->Left;
  EXPECT_LE(std::labs(volume.Values[0]->Right - expected), tolerance);
  EXPECT_GE(control_events, 2);
}

}  // namespace
