// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A sound card: one object that owns its wave, volume and mixer backends and
// installs them behind platform/mm's calls, sets itself up from the
// platform's options, lists its devices, says what a dump shows of it, and
// answers what scripts and the window ask of it. The table of cards is
// cards.h; card/virtual/ is the skeleton to copy for a new card.
#include <optional>
#include <string>

#include "platform/card/input_recorder.h"

namespace platform {

class JsonWriter;
struct PlatformOptions;

class Card {
 public:
  virtual ~Card() = default;

  // "virtual", or "alsa:DEVICE": what a calibration is kept for.
  virtual std::string Name() const = 0;

  // Takes the options that concern it: empty, or a message naming the one
  // that cannot be taken (an option of another card is refused by name).
  virtual std::string SetUp(const PlatformOptions& options) = 0;
  // Creates the files the options name (recording, output capture), once
  // the whole run has been checked: empty, or the option and why not.
  virtual std::string OpenOutputs(const PlatformOptions& options) = 0;
  // Its backends behind the wave, volume and mixer calls.
  virtual void Install() = 0;
  // At the program's end: files finished; a card with threads stops them
  // and takes its backends out of mm.
  virtual void Finish() = 0;
  // --list-cards: its PCM and mixer devices, one a line on stdout.
  virtual void List(const PlatformOptions& options) = 0;

  // The dump's "card" object (inside it); the volumes the dump reads
  // through mm's calls.
  virtual void DumpCard(JsonWriter& w) = 0;

  // The `signal` and `mixer` script commands: empty, or why not.
  virtual std::string SetSignal(char side, const std::string& source) = 0;
  virtual std::string ChangeMixer(const std::string& line, const std::string& control,
                                  const std::string& value) = 0;
  // What those would refuse, asked before a script's first line runs; they
  // change nothing.
  virtual std::string CheckSignal(char side, const std::string& source) = 0;
  virtual std::string CheckMixer(const std::string& line, const std::string& control,
                                 const std::string& value) = 0;

  // Recording the input (--record-input, the window's menu): empty, or why
  // the file cannot be written.
  virtual std::string StartRecording(const std::string& path) = 0;
  virtual void StopRecording() = 0;
  virtual bool Recording() const = 0;
  // Every frame the card records, file or not, also goes to `tap` (the
  // measuring instrument), on the thread that records.
  virtual void SetCaptureTap(CaptureTap tap) = 0;

  // The circuit its inputs are wired to (--circuit), as given; empty for none.
  virtual std::string CircuitText() const { return {}; }

  // Where the next frame written to the output will be recorded: its index
  // among the frames given to the capture tap since the tap was set; empty
  // when the card cannot tell. A frequency response sweep measures from
  // there, not from a guess of the output queue's length.
  virtual std::optional<std::int64_t> TapFrameOfNextOutput() const { return std::nullopt; }
  // How often the output has broken off so far (an underrun, a device lost
  // and reopened): frames written before a break are recorded later than
  // TapFrameOfNextOutput said.
  virtual std::int64_t OutputBreaks() const { return 0; }
};

}  // namespace platform
