// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The stepped-sine sweep: sets the generator to each frequency in turn and
// measures each point only from frames recorded after that frequency's
// first sample arrived at the inputs and the circuit settled. Where the new
// samples arrive is asked of the card (the output queues about a second
// ahead, so time since the change says little); the next frequency is set
// as soon as the output has been filled past the point's frames, so the
// queue's delay is paid once per point at most. The generator is put back
// as it was when the sweep ends or is stopped.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "analysis/response.h"
#include "lab/calibration.h"
#include "lab/program_link.h"

namespace lab {

struct SweepSettings {
  int start_hz = 20, stop_hz = 20000, points = 31;
  analysis::ResponseQuantity quantity = analysis::ResponseQuantity::kTransfer;
  double peak_v = 0.5;
};

// What the sweep needs of the program (ProgramLink's generator and arrival).
struct SweepLink {
  std::function<GeneratorSetting()> generator;
  std::function<void(GeneratorSetting)> set_generator;
  std::function<std::optional<std::int64_t>()> arrival;
  std::function<std::int64_t()> breaks;  // of the output; may be empty
};

class ResponseSweep {
 public:
  explicit ResponseSweep(SweepLink link) : link_(std::move(link)) {}

  // Empty, or why not (Czech). Settings are checked by the caller;
  // `now_frame` is the tap's index of the frame being recorded now.
  std::string Start(const SweepSettings& settings, const Calibration& calibration,
                    std::int64_t now_frame);
  // Stops short; the points measured stay.
  void Stop(const std::string& why = {});
  // A block of stereo counts (R, L) whose first frame has the tap's index first_frame.
  void OnBlock(const std::vector<std::int16_t>& stereo, std::uint64_t first_frame);

  bool Running() const { return running_; }
  // Counts the sweeps started.
  int Serial() const { return serial_; }
  int Planned() const { return static_cast<int>(frequencies_.size()); }
  int Measured() const { return measured_; }
  const SweepSettings& Settings() const { return settings_; }
  const std::vector<analysis::ResponsePoint>& Points() const { return points_; }
  // Why the last sweep stopped short or left points out; empty if it did not.
  const std::string& Problem() const { return problem_; }
  // From the start to the end of the last point measured, in seconds of
  // recorded frames (the wall clock on a real card).
  double Seconds() const { return static_cast<double>(ended_ - started_) / kSampleRateHz; }

 private:
  struct Window {
    int frequency_hz;
    std::int64_t from, to;  // tap frames
    std::int64_t breaks;    // the output's, when the frequency was set
    std::vector<double> ur, il;
  };
  void Begin(std::size_t index);
  void Finish(const Window& w);
  void Restore();
  std::int64_t Breaks() const { return link_.breaks ? link_.breaks() : 0; }

  SweepLink link_;
  SweepSettings settings_;
  Calibration calibration_;
  std::vector<int> frequencies_;
  std::vector<Window> windows_;  // set, not yet measured, in order
  std::size_t next_ = 0;         // next frequency to set
  std::int64_t last_to_ = 0;     // the end of the last point's frames
  std::int64_t started_ = 0, ended_ = 0;  // tap frames
  int measured_ = 0;
  bool running_ = false;
  int serial_ = 0;
  std::optional<GeneratorSetting> saved_;
  std::vector<analysis::ResponsePoint> points_;
  std::string problem_;
};

}  // namespace lab
