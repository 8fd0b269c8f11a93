// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What the measuring instrument needs of the running program, and no more:
// every frame the card records, the generator, the card's name, its capture
// volume, and for remote clients the main window's picture and the dump. The program's entry fills
// it in; nothing of the form or the platform is seen from here.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace lab {

struct GeneratorSetting {
  int frequency_hz = 0;
  int amplitude = 0;  // peak, of 32767
};

struct ProgramLink {
  using Frames = std::function<void(const std::int16_t* stereo, std::size_t frames)>;
  // Frames arrive on the thread that records (a real card's capture thread).
  std::function<void(Frames)> set_capture_tap;
  std::function<GeneratorSetting()> generator;
  std::function<void(GeneratorSetting)> set_generator;
  std::function<std::string()> card_name;
  // The capture (recording) volume, 0 to 65535, where the card has one.
  std::function<std::optional<int>()> capture_volume;
  // The main window as the user sees it, menu bar included, as PNG; empty
  // when there is none.
  std::function<std::string()> form_picture;
  // The program's whole dump (JSON), as the script command writes it.
  std::function<std::string()> dump;
  // The index, among the frames the capture tap has given, at which the
  // generator's next sample (the first a change made now alters) will be
  // recorded; empty when the card cannot tell.
  std::function<std::optional<std::int64_t>()> generator_arrival;
  // How often the output has broken off (an underrun, a device lost).
  std::function<std::int64_t()> output_breaks;
};

}  // namespace lab
