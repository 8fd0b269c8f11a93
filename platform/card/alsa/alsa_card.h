// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The real sound card over ALSA (--card=alsa[:DEVICE]): its wave backend
// (a device thread per direction), its volumes and its mixers, all on the
// control device that belongs to the PCM, and the input recorder the capture
// thread writes to.
#include <memory>
#include <string>
#include <utility>

#include "platform/card/card.h"
#include "platform/card/input_recorder.h"

namespace platform {

class AlsaWaveBackend;
class AlsaVolumeBackend;
class AlsaMixerBackend;

class AlsaCard final : public Card {
 public:
  // `option` is the --card value: "alsa" or "alsa:DEVICE".
  explicit AlsaCard(const std::string& option);
  ~AlsaCard() override;

  // Refuses the virtual card's options: ignoring them would mislead.
  std::string SetUp(const PlatformOptions& options) override;
  std::string OpenOutputs(const PlatformOptions& options) override;
  void Install() override;
  void Finish() override;
  void List(const PlatformOptions& options) override;
  void DumpCard(JsonWriter& w) override;
  std::string SetSignal(char side, const std::string& source) override;
  std::string ChangeMixer(const std::string& line, const std::string& control,
                          const std::string& value) override;
  std::string CheckSignal(char side, const std::string& source) override;
  std::string CheckMixer(const std::string& line, const std::string& control,
                         const std::string& value) override;
  std::string StartRecording(const std::string& path) override { return recorder_.Create(path); }
  void StopRecording() override { recorder_.Close(); }
  bool Recording() const override { return recorder_.IsOpen(); }
  std::string Name() const override { return "alsa:" + device_; }
  void SetCaptureTap(CaptureTap tap) override { recorder_.SetTap(std::move(tap)); }
  std::optional<std::int64_t> TapFrameOfNextOutput() const override;
  std::int64_t OutputBreaks() const override;

 private:
  std::string device_;
  InputRecorder recorder_;  // outlives the wave backend's threads
  std::unique_ptr<AlsaWaveBackend> wave_;
  std::unique_ptr<AlsaVolumeBackend> volume_;
  std::unique_ptr<AlsaMixerBackend> mixer_;
};

}  // namespace platform
