// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The measuring instrument beside the form: it takes every frame the card
// records in quarter-second blocks, measures each (analysis/), keeps the
// calibration, drives the generator, logs, and has a window of its own
// ("Měření"). Scripts and the dump reach the same actions and readings.
// Lives on the GUI thread; only OnFrames is called from the recording one.
#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "analysis/block_analyzer.h"
#include "lab/block.h"
#include "lab/block_collector.h"
#include "lab/calibration.h"
#include "lab/calibration_store.h"
#include "lab/measurement_log.h"
#include "lab/program_link.h"
#include "lab/response_sweep.h"
#include "lab/response_view.h"
#include "lab/view_state.h"

namespace platform {
class JsonWriter;
}

namespace lab {

class MeasuringWindow;
class RemoteServer;
class ResponseView;

struct LabOptions {
  bool open_window = false;
  std::string settings;  // "" the default file, "none", or a file
  std::optional<double> cal_ur, cal_il, shunt;
};

inline constexpr std::size_t kBlockFrames = 11025;  // a quarter second

class Lab final : public QObject {
 public:
  Lab(ProgramLink link, LabOptions options);
  ~Lab() override;

  // Loads the calibration, attaches to the card and opens the window if
  // asked; empty, or a note for stderr (a broken settings file).
  std::string Start();

  // The actions of the window and of scripts: empty, or why not (Czech).
  std::string SetGenerator(double frequency_hz, std::optional<double> peak_v);
  std::string CalibrateUr(double true_rms_v);
  std::string CalibrateIl(double true_rms_v);
  std::string CalibrateClockTo(double true_hz);
  std::string CalibrateSkewNow();
  std::string SetShuntOhm(double ohm);
  std::string ResetCalibration();
  std::string StartLog(const std::string& path);
  void StopLog();
  void ShowWindow();
  void HideWindow();
  bool WindowShown() const;
  std::string SaveWindowPicture(const std::string& path);
  // The measuring window's picture as PNG: empty, or why not.
  std::string WindowPicture(QByteArray& png);
  // The generator as it was at the start, no sweep (the calibration stays).
  std::string Reset();

  // The SCPI server (remote_server.h) on "HOST:PORT": empty, or why not.
  std::string StartRemote(const std::string& address);
  void StopRemote();
  RemoteServer* Remote() const { return remote_.get(); }
  // Where it listens or listened last, or would by default.
  const std::string& RemoteAddress() const { return remote_address_; }
  // Why it could not start the last time, or empty.
  const std::string& RemoteProblem() const { return remote_problem_; }

  const Calibration& CurrentCalibration() const { return calibration_; }
  const std::optional<analysis::Readings>& Latest() const { return latest_; }
  GeneratorSetting Generator() const { return link_.generator(); }
  // The warnings the window shows under the readings.
  std::vector<std::string> Notes() const;
  const MeasurementLog& Log() const { return log_; }
  ViewState& Views() { return views_; }
  // Called with every measured block, on the GUI thread.
  void AddListener(std::function<void(const Block&)> listener);
  // save-view: the shown view's picture (.png; at a size if not 0) or data (.csv).
  std::string SaveView(const std::string& path, int width = 0, int height = 0);
  const ProgramLink& Link() const { return link_; }
  // Blocks measured so far, the latest one's samples (stereo counts, R
  // first) and the time of its first frame.
  std::uint64_t Blocks() const { return blocks_; }
  const std::vector<std::int16_t>& LastBlock() const { return last_block_; }
  double LatestTime() const { return latest_time_s_; }

  // The frequency response sweep (response_sweep.h) and a sweep kept for comparison.
  std::string StartSweep(const SweepSettings& settings);
  void StopSweep();
  void KeepSweep();
  const ResponseSweep& Sweep() const { return sweep_; }
  SweepResult CurrentSweep() const;
  const std::optional<SweepResult>& KeptSweep() const { return kept_; }
  // Whether a script line is still running (a sweep), and how it ended.
  bool Busy() const { return sweep_.Running(); }
  std::string Finished() const;

  // Scripts: whether a line is the lab's, its check before the run, and
  // the line itself; empty or the message.
  static const std::vector<std::string>& Commands();  // the lines' first words
  static bool Handles(const std::vector<std::string>& words);
  static std::string Check(const std::vector<std::string>& words);
  std::string Run(const std::vector<std::string>& words);
  void Dump(platform::JsonWriter& w) const;

 private:
  void OnFrames(const std::int16_t* stereo, std::size_t frames);
  void ProcessBlocks();
  void Measure(const std::vector<std::int16_t>& stereo, std::uint64_t first_frame);
  std::string Calibrated(std::string error);
  void Refresh();
  void DumpResponse(platform::JsonWriter& w) const;

  ProgramLink link_;
  LabOptions options_;
  CalibrationStore store_;
  Calibration calibration_;
  std::string card_;
  BlockCollector collector_;
  analysis::BlockAnalyzer analyzer_;
  std::vector<std::int16_t> block_, last_block_;
  GeneratorSetting startup_generator_;
  std::vector<double> ur_, il_;
  std::optional<analysis::Readings> latest_;
  double latest_time_s_ = 0;
  std::uint64_t blocks_ = 0;
  MeasurementLog log_;
  std::string log_error_;
  ResponseSweep sweep_;
  std::optional<SweepResult> kept_;
  ViewState views_;
  std::vector<std::function<void(const Block&)>> listeners_;
  std::unique_ptr<MeasuringWindow> window_;
  std::unique_ptr<RemoteServer> remote_;
  std::string remote_address_;
  std::string remote_problem_;
  ResponseView* response_view_ = nullptr;  // a tab of window_
};

}  // namespace lab
